// The capture windows: "Video Clip" (TCaptureVideo) previews a capture device and records a
// clip into a capture file that the folder window imports; TCaptureForm is what it shares with
// "Video Image" (TThumbShoot, Thumb.h): the preview ("Capture Window"), the driver items of the
// popup menu and the window sized to the video.
#pragma once

#include "CaptureDevice.h"

#include <QDialog>
#include <QHash>
#include <QImage>

#include <memory>

class QAction;
class QMenu;
class QPushButton;

namespace vk {

class UiServices;

// The device's pictures, as they come.
class TCaptureView : public QWidget
{
    Q_OBJECT
public:
    explicit TCaptureView(QWidget *parent);
    void showFrame(const QImage &frame);
    const QImage &frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_frame;
};

class TCaptureForm : public QDialog
{
    Q_OBJECT
public:
    // Captures on `device`, or on a new device of the program's kind (createCaptureDevice).
    TCaptureForm(UiServices &ui, std::unique_ptr<CaptureDevice> device, QWidget *parent);
    ~TCaptureForm() override;

    CaptureDevice &device() const { return *m_device; }
    // The connected driver's index, NoCaptureDriver (99) when there is no device.
    int DriverIndex() const { return m_driverIndex; }
    bool hasDevice() const { return m_driverIndex != NoCaptureDriver; }
    QMenu *popupMenu() const { return m_popup; }
    QAction *action(const QString &name) const { return m_actions.value(name); }
    TCaptureView *captureWindow() const { return m_view; }
    // The driver items of the popup menu ("0. Description"), in index order.
    QList<QAction *> driverItems() const { return m_driverItems; }

    // Connects to another driver (the previous one again when it refuses), then starts the
    // channel again.
    void DriverClick(int index);
    // Chooses the video format (the framework's list of the driver's formats).
    void VideoFormatClick();

protected:
    QAction *addAction(const QString &name, const QString &text);
    // Lists the drivers and connects to the first that accepts.
    void createChannel();
    // Turns the preview on and sizes the window to the video.
    void StartChannel();
    // Where the buttons stand, right of the video; the window's own controls placed there.
    virtual int layoutControls(int left) = 0;
    // After the capabilities were read: the window's own items enabled or not.
    virtual void capabilitiesRead(const CaptureCapabilities &) {}
    void contextMenuEvent(QContextMenuEvent *event) override;
    void showEvent(QShowEvent *event) override;

    UiServices &m_ui;
    std::unique_ptr<CaptureDevice> m_device;
    QWidget *m_panel = nullptr;
    TCaptureView *m_view = nullptr;
    QMenu *m_popup = nullptr;
    QHash<QString, QAction *> m_actions;
    QList<QAction *> m_driverItems;
    int m_driverIndex = NoCaptureDriver;
    bool m_channelStarted = false;
};

class TCaptureVideo : public TCaptureForm
{
    Q_OBJECT
public:
    // The clip goes into a file of a unique name in `workDir` (ending with '/').
    TCaptureVideo(UiServices &ui, const QString &workDir, std::unique_ptr<CaptureDevice> device = nullptr,
                  QWidget *parent = nullptr);
    ~TCaptureVideo() override;

    // The clip recorded (empty before one was), which the caller imports after OK and then
    // deletes; a window closed otherwise deletes it itself.
    QString CaptureFile() const { return m_recorded; }
    QPushButton *btnRecord = nullptr;
    QPushButton *btnStop = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;

    void RecordClick();
    void StopClick();
    void SaveClick();
    void CaptureSettingClick();

protected:
    int layoutControls(int left) override;
    void capabilitiesRead(const CaptureCapabilities &caps) override;

private:
    void recordingDone(const QString &error);

    QString m_workDir;
    QString m_file;     // where the next clip goes
    QString m_recorded; // what the last one was written as
    bool m_handedOver = false;
};

} // namespace vk
