#include "Capture.h"

#include "CSetup.h"
#include "Messages.h"
#include "UiServices.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QInputDialog>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>

namespace vk {

namespace {

// A picture larger than this is shown scaled down to it: the window must fit a screen.
const QSize LargestPreview(640, 480);

QSize previewSize(QSize image)
{
    if (image.isEmpty())
        return QSize(160, 120);
    if (image.width() > LargestPreview.width() || image.height() > LargestPreview.height())
        image.scale(LargestPreview, Qt::KeepAspectRatio);
    return image;
}

} // namespace

TCaptureView::TCaptureView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Capture Window"));
    setWindowTitle(QStringLiteral("Capture Window"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TCaptureView::showFrame(const QImage &frame)
{
    m_frame = frame;
    update();
}

void TCaptureView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_frame.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(rect(), m_frame);
}

TCaptureForm::TCaptureForm(UiServices &ui, std::unique_ptr<CaptureDevice> device, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_device(device ? std::move(device) : createCaptureDevice())
{
    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));
    m_view = new TCaptureView(m_panel);
    m_view->setGeometry(0, 0, 160, 120);
    m_popup = new QMenu(this);
    connect(m_device.get(), &CaptureDevice::previewFrame, m_view, &TCaptureView::showFrame);
}

TCaptureForm::~TCaptureForm()
{
    m_device->disconnectDriver();
}

QAction *TCaptureForm::addAction(const QString &name, const QString &text)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    m_popup->addAction(a);
    m_actions.insert(name, a);
    return a;
}

void TCaptureForm::createChannel()
{
    m_ui.setHourglass(true);
    const QList<CaptureDriver> drivers = m_device->drivers();
    if (!drivers.isEmpty())
        m_popup->addSeparator();
    for (const CaptureDriver &d : drivers) {
        auto *a = new QAction(QStringLiteral("%1. %2").arg(d.index).arg(d.description), this);
        a->setCheckable(true);
        a->setData(d.index);
        m_popup->addAction(a);
        m_driverItems.append(a);
        connect(a, &QAction::triggered, this, [this, index = d.index] { DriverClick(index); });
    }
    for (QAction *a : m_driverItems) {
        if (m_device->connectDriver(a->data().toInt())) {
            m_driverIndex = a->data().toInt();
            a->setChecked(true);
            break;
        }
    }
    m_ui.setHourglass(false);
}

void TCaptureForm::StartChannel()
{
    if (!hasDevice()) {
        const int left = 160 + 15;
        const int bottom = layoutControls(left);
        m_panel->setGeometry(0, 0, 170, std::max(120, bottom) + 10);
        resize(left + 120, std::max(120, bottom) + 10);
        return;
    }
    const CaptureCapabilities caps = m_device->capabilities();
    const std::pair<const char *, bool> dialogs[] = {{"VideoSource", caps.hasVideoSource},
                                                     {"VideoFormat", caps.hasVideoFormat},
                                                     {"VideoDisplay", caps.hasVideoDisplay}};
    for (const auto &[name, offered] : dialogs)
        if (QAction *a = action(QLatin1String(name)))
            a->setEnabled(offered);
    capabilitiesRead(caps);
    // The window follows the video: its picture at the left, the buttons beside it.
    const QSize image = previewSize(m_device->imageSize());
    const int bottom = layoutControls(image.width() + 15);
    const int height = std::max(image.height(), bottom) + 10;
    m_panel->setGeometry(0, 0, image.width() + 10, height);
    m_view->setGeometry((m_panel->width() - image.width()) / 2, (m_panel->height() - image.height()) / 2,
                        image.width(), image.height());
    int buttonWidth = 0;
    for (QPushButton *b : findChildren<QPushButton *>())
        buttonWidth = std::max(buttonWidth, b->width());
    setFixedSize(image.width() + buttonWidth + 30, height);
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    m_device->setPreview(true);
    if (QAction *a = action(QStringLiteral("Preview")))
        a->setChecked(true);
    m_channelStarted = true;
}

void TCaptureForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_channelStarted)
        StartChannel();
}

void TCaptureForm::DriverClick(int index)
{
    const int previous = m_driverIndex;
    m_device->setPreview(false);
    m_device->setOverlay(false);
    if (m_device->connectDriver(index)) {
        m_driverIndex = index;
    } else if (previous != NoCaptureDriver && !m_device->connectDriver(previous)) {
        m_driverIndex = NoCaptureDriver;
    }
    for (QAction *a : m_driverItems)
        a->setChecked(a->data().toInt() == m_driverIndex);
    StartChannel();
}

void TCaptureForm::VideoFormatClick()
{
    const QStringList formats = m_device->videoFormats();
    if (formats.isEmpty())
        return;
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(this, QStringLiteral("Video Format"), QStringLiteral("Format:"), formats,
                              std::max(0, m_device->videoFormat()), false, &ok);
    if (!ok)
        return;
    const int index = int(formats.indexOf(chosen));
    // A format the driver refuses is simply not applied.
    if (index != m_device->videoFormat() && m_device->setVideoFormat(index))
        StartChannel();
}

void TCaptureForm::contextMenuEvent(QContextMenuEvent *event)
{
    // A window without a device has no menu.
    if (hasDevice())
        m_popup->popup(event->globalPos());
}

// ---------------------------------------------------------------------------------------------

TCaptureVideo::TCaptureVideo(UiServices &ui, const QString &workDir, std::unique_ptr<CaptureDevice> device,
                             QWidget *parent)
    : TCaptureForm(ui, std::move(device), parent), m_workDir(workDir)
{
    setWindowTitle(QStringLiteral("Video Clip"));
    btnRecord = new QPushButton(QStringLiteral("Record"), this);
    btnStop = new QPushButton(QStringLiteral("Stop"), this);
    btnSave = new QPushButton(QStringLiteral("Save"), this);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(btnRecord, &QPushButton::clicked, this, &TCaptureVideo::RecordClick);
    connect(btnStop, &QPushButton::clicked, this, &TCaptureVideo::StopClick);
    connect(btnSave, &QPushButton::clicked, this, &TCaptureVideo::SaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_device.get(), &CaptureDevice::recordingDone, this, &TCaptureVideo::recordingDone);

    connect(addAction(QStringLiteral("CaptureSetting"), QStringLiteral("Capture Setting...")),
            &QAction::triggered, this, &TCaptureVideo::CaptureSettingClick);
    QAction *preview = addAction(QStringLiteral("Preview"), QStringLiteral("Preview"));
    preview->setCheckable(true);
    connect(preview, &QAction::toggled, this, [this](bool on) { m_device->setPreview(on); });
    QAction *overlay = addAction(QStringLiteral("Overlay"), QStringLiteral("Overlay"));
    overlay->setCheckable(true);
    connect(overlay, &QAction::toggled, this, [this](bool on) { m_device->setOverlay(on); });
    // The media framework chooses the sound format and the compression itself, and needs no
    // palette: those items stay, greyed out.
    addAction(QStringLiteral("AudioFormat"), QStringLiteral("Audio Format..."))->setEnabled(false);
    connect(addAction(QStringLiteral("VideoFormat"), QStringLiteral("Video Format...")), &QAction::triggered,
            this, &TCaptureForm::VideoFormatClick);
    addAction(QStringLiteral("VideoSource"), QStringLiteral("Video Source..."));
    addAction(QStringLiteral("VideoDisplay"), QStringLiteral("Video Display..."));
    addAction(QStringLiteral("Compression"), QStringLiteral("Compression..."))->setEnabled(false);
    connect(addAction(QStringLiteral("Copy"), QStringLiteral("Copy")), &QAction::triggered, this, [this] {
        QImage frame;
        if (m_device->grabFrame(frame, nullptr))
            QApplication::clipboard()->setImage(frame);
    });
    addAction(QStringLiteral("PastePalette"), QStringLiteral("Paste Palette"))->setEnabled(false);
    addAction(QStringLiteral("MakePalette"), QStringLiteral("Make Palette"))->setEnabled(false);

    createChannel();
    if (!hasDevice()) {
        btnRecord->setEnabled(false);
        btnStop->setEnabled(false);
        btnSave->setEnabled(false);
    }
    // A unique name in the private work directory: two windows (or two programs) never write
    // into each other's clip.
    QTemporaryFile reserve(m_workDir + QStringLiteral("captureXXXXXX.avi"));
    reserve.setAutoRemove(false);
    if (reserve.open()) {
        m_file = reserve.fileName();
        reserve.close();
    }
    StartChannel();
}

TCaptureVideo::~TCaptureVideo()
{
    m_device->stopRecording();
    if (!m_file.isEmpty() && !(m_handedOver && m_recorded == m_file))
        QFile::remove(m_file);
    if (!m_handedOver && !m_recorded.isEmpty())
        QFile::remove(m_recorded);
}

int TCaptureVideo::layoutControls(int left)
{
    int top = 10;
    for (QPushButton *b : {btnRecord, btnStop, btnSave, btnCancel}) {
        b->setGeometry(left, top, 90, 28);
        top += 36;
    }
    return top;
}

void TCaptureVideo::capabilitiesRead(const CaptureCapabilities &caps)
{
    action(QStringLiteral("Overlay"))->setEnabled(caps.hasOverlay);
}

void TCaptureVideo::RecordClick()
{
    if (!hasDevice() || m_device->recording())
        return;
    if (m_file.isEmpty()) {
        m_ui.showMessage(vkMessage("CaptureRecordFailed").arg(m_workDir), UiServices::Icon::Error);
        return;
    }
    btnRecord->setEnabled(false);
    if (!m_recorded.isEmpty() && m_recorded != m_file)
        QFile::remove(m_recorded);
    m_recorded.clear();
    QString error;
    if (!m_device->startRecording(m_file, m_device->sequenceSetup(), &error)) {
        btnRecord->setEnabled(true);
        m_ui.showMessage(vkMessage("CaptureRecordFailed").arg(error), UiServices::Icon::Error);
    }
}

void TCaptureVideo::recordingDone(const QString &error)
{
    if (error.isEmpty())
        m_recorded = m_device->recordedFile();
    else
        m_ui.showMessage(vkMessage("CaptureRecordFailed").arg(error), UiServices::Icon::Error);
    QTimer::singleShot(100, this, [this] { btnRecord->setEnabled(hasDevice()); });
}

void TCaptureVideo::StopClick()
{
    m_device->stopRecording();
}

void TCaptureVideo::SaveClick()
{
    m_device->stopRecording();
    if (m_recorded.isEmpty() || !QFile::exists(m_recorded)) {
        m_ui.showMessage(vkMessage("CaptureNothingRecorded"));
        return;
    }
    m_handedOver = true;
    accept();
}

void TCaptureVideo::CaptureSettingClick()
{
    TCapSetup setup(m_device->sequenceSetup(), this);
    if (setup.exec() == QDialog::Accepted)
        m_device->setSequenceSetup(setup.params());
}

} // namespace vk
