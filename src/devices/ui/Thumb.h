// "Video Image": previews a capture device, grabs single frames and saves each, in the picture
// format of the ScanImageType option, into the folder of the folder window that opened it.
#pragma once

#include "Capture.h"

#include <functional>

class QLabel;

namespace vk {

class TThumbShoot : public TCaptureForm
{
    Q_OBJECT
public:
    // `insertFile` puts a saved frame into the folder (and shows it there); it answers whether
    // it did. The frames are written in `workDir` (ending with '/') on their way.
    TThumbShoot(UiServices &ui, const QString &workDir, int scanImageType,
                std::function<bool(const QString &)> insertFile,
                std::unique_ptr<CaptureDevice> device = nullptr, QWidget *parent = nullptr);

    QPushButton *btnShoot = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnClose = nullptr;
    QLabel *imgFrame = nullptr; // the last frame, "(None)" before the first
    const QImage &Frame() const { return m_frame; }
    int Counter() const { return m_counter; }

    void ShootClick();
    void SaveClick();

protected:
    int layoutControls(int left) override;

private:
    QString m_workDir;
    int m_scanImageType;
    std::function<bool(const QString &)> m_insertFile;
    QImage m_frame;
    int m_counter = 0;
};

} // namespace vk
