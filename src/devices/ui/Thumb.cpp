#include "Thumb.h"

#include "ImageCodec.h"
#include "Messages.h"
#include "UiServices.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace vk {

namespace {

constexpr int FramePreviewWidth = 120;
constexpr int FramePreviewHeight = 90;

} // namespace

TThumbShoot::TThumbShoot(UiServices &ui, const QString &workDir, int scanImageType,
                         std::function<bool(const QString &)> insertFile,
                         std::unique_ptr<CaptureDevice> device, QWidget *parent)
    : TCaptureForm(ui, std::move(device), parent), m_workDir(workDir), m_scanImageType(scanImageType),
      m_insertFile(std::move(insertFile))
{
    setWindowTitle(QStringLiteral("Video Image"));
    btnShoot = new QPushButton(QStringLiteral("Shoot"), this);
    btnSave = new QPushButton(QStringLiteral("Save"), this);
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    imgFrame = new QLabel(QStringLiteral("(None)"), this);
    imgFrame->setObjectName(QStringLiteral("imgFrame"));
    imgFrame->setAlignment(Qt::AlignCenter);
    imgFrame->setFrameShape(QFrame::Panel);
    imgFrame->setFrameShadow(QFrame::Sunken);
    btnSave->setEnabled(false);
    connect(btnShoot, &QPushButton::clicked, this, &TThumbShoot::ShootClick);
    connect(btnSave, &QPushButton::clicked, this, &TThumbShoot::SaveClick);
    connect(btnClose, &QPushButton::clicked, this, [this] {
        m_device->disconnectDriver();
        accept();
    });
    connect(addAction(QStringLiteral("VideoFormat"), QStringLiteral("Video Format...")), &QAction::triggered,
            this, &TCaptureForm::VideoFormatClick);
    addAction(QStringLiteral("VideoSource"), QStringLiteral("Video Source..."));
    addAction(QStringLiteral("VideoDisplay"), QStringLiteral("Video Display..."));
    createChannel();
    btnShoot->setEnabled(hasDevice());
    StartChannel();
}

int TThumbShoot::layoutControls(int left)
{
    int top = 10;
    for (QPushButton *b : {btnShoot, btnSave, btnClose}) {
        b->setGeometry(left, top, FramePreviewWidth, 28);
        top += 36;
    }
    imgFrame->setGeometry(left, top, FramePreviewWidth, FramePreviewHeight);
    return top + FramePreviewHeight;
}

void TThumbShoot::ShootClick()
{
    if (!hasDevice())
        return;
    QImage frame;
    QString error;
    // A frame that cannot be had leaves the preview as it was.
    if (!m_device->grabFrame(frame, &error) || frame.isNull())
        return;
    m_frame = frame;
    imgFrame->setPixmap(QPixmap::fromImage(
        frame.scaled(imgFrame->contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    btnSave->setEnabled(true);
}

void TThumbShoot::SaveClick()
{
    if (m_frame.isNull())
        return;
    const StillFormat format = StillFormatOf(m_scanImageType);
    const QString path = CaptureImageName(m_workDir, m_counter, m_scanImageType);
    ++m_counter;
    QFile::remove(path);
    QString error;
    if (!saveImage(m_frame, path, format.format, format.parameter, &error)) {
        m_ui.showMessage(vkMessage("CaptureSaveFailed").arg(QDir::toNativeSeparators(path), error),
                         UiServices::Icon::Error);
        return;
    }
    const bool inserted = m_insertFile && m_insertFile(path);
    QFile::remove(path);
    // A frame the folder did not take can be saved again.
    btnSave->setEnabled(!inserted);
}

} // namespace vk
