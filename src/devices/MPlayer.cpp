#include "MPlayer.h"

#include "Messages.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <algorithm>

namespace vk {

namespace {

// Each open gets a number of its own, as the system's devices have.
int nextDeviceId()
{
    static int id = 0;
    return ++id;
}

bool isPlayLike(int mode)
{
    return mode == mpPlaying || mode == mpRecording || mode == mpSeeking;
}

} // namespace

TMediaPlayer::TMediaPlayer(QWidget *parent, std::unique_ptr<MediaDevice> device)
    : QWidget(parent), m_device(device ? std::move(device) : createMediaDevice()),
      m_table(mediaDeviceTable()), m_visible(AllButtons), m_enabled(AllButtons), m_colored(AllButtons)
{
    setObjectName(QStringLiteral("MediaPlayer"));
    setFocusPolicy(Qt::StrongFocus);
    resize(240, 30);
    connect(m_device.get(), &MediaDevice::reachedEnd, this, &TMediaPlayer::deviceReachedEnd);
    connect(m_device.get(), &MediaDevice::failed, this, &TMediaPlayer::deviceFailed);
    updateButtons();
}

TMediaPlayer::~TMediaPlayer()
{
    if (m_deviceId != 0)
        m_device->close();
}

// ----------------------------------------------------------------------------------------
// Settings

void TMediaPlayer::setVisibleButtons(TButtonSet buttons)
{
    m_visible = buttons & AllButtons;
    update();
}

void TMediaPlayer::setEnabledButtons(TButtonSet buttons)
{
    m_enabled = buttons & AllButtons;
    update();
}

void TMediaPlayer::setColoredButtons(TButtonSet buttons)
{
    m_colored = buttons & AllButtons;
    update();
}

void TMediaPlayer::setFileName(const QString &name)
{
    m_fileName = name;
    if (AutoOpen && !name.isEmpty())
        Open();
}

void TMediaPlayer::setDisplay(QWidget *window)
{
    m_display = window;
    if (m_deviceId != 0 && m_caps.hasVideo)
        m_error = m_device->setDisplay(window);
}

void TMediaPlayer::setNotify(bool notify)
{
    m_notify = notify;
    m_notifySet = true;
}

void TMediaPlayer::setWait(bool wait)
{
    m_wait = wait;
    m_waitSet = true;
}

QString TMediaPlayer::ErrorMessage() const
{
    const QString text = m_device->errorText(m_error);
    return text.isEmpty() && m_error != 0 ? vkMessage("UnknownErrorCode") : text;
}

// ----------------------------------------------------------------------------------------
// Status

int TMediaPlayer::TimeFormat()
{
    return m_deviceId != 0 ? m_device->timeFormat() : tfMilliseconds;
}

void TMediaPlayer::setTimeFormat(int format)
{
    m_error = m_device->setTimeFormat(format);
}

qint64 TMediaPlayer::Position()
{
    return m_deviceId != 0 ? m_device->position() : 0;
}

qint64 TMediaPlayer::Length()
{
    return m_deviceId != 0 ? m_device->length() : 0;
}

int TMediaPlayer::Tracks()
{
    return m_deviceId != 0 ? m_device->tracks() : 0;
}

int TMediaPlayer::Mode()
{
    return m_deviceId != 0 ? m_device->mode() : mpNotReady;
}

QRect TMediaPlayer::DisplayRect()
{
    return m_device->displayRect();
}

void TMediaPlayer::setDisplayRect(const QRect &rect)
{
    m_error = m_device->setDisplayRect(rect);
}

// ----------------------------------------------------------------------------------------
// Commands

TMediaPlayer::Flags TMediaPlayer::takeFlags(bool playLike)
{
    const Flags f{m_notifySet ? m_notify : playLike, m_waitSet ? m_wait : !playLike};
    m_notifySet = m_waitSet = false;
    return f;
}

void TMediaPlayer::requireOpen() const
{
    if (m_deviceId == 0)
        throw EMCIDeviceError(vkMessage("NoMciDeviceOpen"));
}

void TMediaPlayer::abortPending()
{
    if (!m_pending)
        return;
    m_pending = false;
    postNotify(nvAborted);
}

void TMediaPlayer::finish(int result, const Flags &flags, bool completes)
{
    m_error = result;
    if (result == MediaOk && flags.notify) {
        if (completes) {
            // Told once the play or recording ends; a completion still to come is superseded.
            if (m_pending)
                postNotify(nvSuperseded);
            m_pending = true;
        } else {
            if (m_pending) {
                m_pending = false;
                postNotify(nvSuperseded);
            }
            postNotify(nvSuccessful);
        }
    }
    if (result == MediaOk && completes && flags.wait)
        m_device->waitUntilDone();
    updateButtons();
}

void TMediaPlayer::postNotify(int value)
{
    QTimer::singleShot(0, this, [this, value] {
        m_notifyValue = value;
        if (AutoEnable && Mode() == mpStopped)
            updateButtons();
        emit OnNotify();
    });
}

void TMediaPlayer::deviceReachedEnd()
{
    if (m_pending) {
        m_pending = false;
        postNotify(nvSuccessful);
    }
    updateButtons();
}

void TMediaPlayer::deviceFailed(int code)
{
    m_error = code;
    if (m_pending) {
        m_pending = false;
        postNotify(nvFailure);
    }
    updateButtons();
}

void TMediaPlayer::Open()
{
    if (m_deviceId != 0)
        Close();
    const Flags flags = takeFlags(false);
    const QString type = DeviceType != dtAutoSelect && DeviceType >= 0 && DeviceType < DeviceTypeCount
                             ? m_table.names[DeviceType]
                             : QString();
    const int result = m_device->open(type, m_fileName, Shareable);
    m_error = result;
    if (result != MediaOk) {
        const QString text = m_device->errorText(result);
        throw EMCIDeviceError(text.isEmpty() ? vkMessage("UnknownErrorCode") : text);
    }
    m_deviceId = nextDeviceId();
    m_caps = m_device->capabilities();
    m_stepSize = m_device->length() / 10;
    if (m_caps.hasVideo && m_display)
        m_device->setDisplay(m_display);
    if (DeviceType == dtCDAudio || DeviceType == dtVideodisc)
        m_device->setTimeFormat(tfTMSF);
    finish(MediaOk, flags, false);
}

void TMediaPlayer::Close()
{
    requireOpen();
    const Flags flags = takeFlags(false);
    abortPending();
    const int result = m_device->close();
    if (result == MediaOk) {
        m_deviceId = 0;
        m_caps = MediaCapabilities();
    }
    finish(result, flags, false);
}

void TMediaPlayer::Play()
{
    requireOpen();
    if (AutoRewind && m_startPos < 0 && m_endPos < 0 && Position() == Length())
        Rewind();
    const Flags flags = takeFlags(true);
    abortPending();
    const int result = m_device->play(m_startPos, m_endPos);
    m_startPos = m_endPos = -1;
    finish(result, flags, true);
}

void TMediaPlayer::Pause()
{
    requireOpen();
    const int mode = Mode();
    if (mode == mpPaused) {
        Resume();
        return;
    }
    const Flags flags = takeFlags(false);
    if (!isPlayLike(mode)) {
        finish(MediaOk, flags, false);
        return;
    }
    finish(m_device->pause(), flags, false);
}

void TMediaPlayer::Resume()
{
    requireOpen();
    const bool notifySet = m_notifySet, notify = m_notify, waitSet = m_waitSet, wait = m_wait;
    const Flags flags = takeFlags(true);
    const int result = m_device->resume();
    if (result != MediaOk) {
        // Nothing to resume: play instead, with the same settings.
        m_notifySet = notifySet;
        m_notify = notify;
        m_waitSet = waitSet;
        m_wait = wait;
        Play();
        return;
    }
    finish(result, flags, true);
}

void TMediaPlayer::Stop()
{
    requireOpen();
    const Flags flags = takeFlags(false);
    abortPending();
    finish(m_device->stop(), flags, false);
}

void TMediaPlayer::Next()
{
    requireOpen();
    const Flags flags = takeFlags(false);
    abortPending();
    // One track: the next is the end.
    finish(m_device->seek(m_device->length()), flags, false);
}

void TMediaPlayer::Previous()
{
    requireOpen();
    const Flags flags = takeFlags(false);
    abortPending();
    finish(m_device->seek(0), flags, false);
}

void TMediaPlayer::Step()
{
    requireOpen();
    const Flags flags = takeFlags(false);
    if (!m_caps.hasVideo) {
        finish(MediaOk, flags, false);
        return;
    }
    abortPending();
    finish(m_device->step(m_stepSize), flags, false);
}

void TMediaPlayer::Back()
{
    requireOpen();
    const Flags flags = takeFlags(false);
    if (!m_caps.hasVideo) {
        finish(MediaOk, flags, false);
        return;
    }
    abortPending();
    finish(m_device->step(-m_stepSize), flags, false);
}

void TMediaPlayer::StartRecording()
{
    requireOpen();
    const Flags flags = takeFlags(true);
    abortPending();
    const int result = m_device->record(m_startPos, m_endPos);
    m_startPos = m_endPos = -1;
    finish(result, flags, true);
}

void TMediaPlayer::Save()
{
    requireOpen();
    const Flags flags = takeFlags(false);
    finish(m_device->save(m_fileName), flags, false);
}

void TMediaPlayer::Eject()
{
    requireOpen();
    const Flags flags = takeFlags(false);
    // Files have no door to open.
    finish(m_caps.canEject ? MediaOk : MediaUnsupported, flags, false);
}

void TMediaPlayer::setPosition(qint64 position)
{
    requireOpen();
    const Flags flags = takeFlags(false);
    abortPending();
    finish(m_device->seek(position), flags, false);
}

void TMediaPlayer::Rewind()
{
    requireOpen();
    abortPending();
    m_error = m_device->seek(0);
    updateButtons();
}

// ----------------------------------------------------------------------------------------
// The button bar

TButtonSet TMediaPlayer::autoEnabledButtons()
{
    if (m_deviceId == 0)
        return 0;
    TButtonSet on = buttonBit(btNext) | buttonBit(btPrev);
    if (m_caps.canStep)
        on |= buttonBit(btStep) | buttonBit(btBack);
    if (m_caps.canEject)
        on |= buttonBit(btEject);
    switch (Mode()) {
    case mpPlaying:
    case mpRecording:
    case mpSeeking:
        on |= buttonBit(btPause) | buttonBit(btStop);
        break;
    case mpPaused:
        on |= buttonBit(btPause) | buttonBit(btStop);
        if (m_caps.canPlay)
            on |= buttonBit(btPlay);
        break;
    default:
        if (m_caps.canPlay)
            on |= buttonBit(btPlay);
        if (m_caps.canRecord)
            on |= buttonBit(btRecord);
        break;
    }
    return on;
}

void TMediaPlayer::updateButtons()
{
    if (AutoEnable)
        m_enabled = autoEnabledButtons();
    update();
}

QRect TMediaPlayer::buttonRect(TMPBtnType button) const
{
    int shown = 0, before = 0;
    for (int b = 0; b < ButtonCount; ++b) {
        if (!(m_visible & buttonBit(TMPBtnType(b))))
            continue;
        if (b < button)
            ++before;
        ++shown;
    }
    if (!(m_visible & buttonBit(button)) || shown == 0)
        return QRect();
    const int w = width() / shown;
    return QRect(before * w, 0, w, height());
}

void TMediaPlayer::click(TMPBtnType button)
{
    if (!(m_enabled & buttonBit(button)) || !(m_visible & buttonBit(button)))
        return;
    bool doDefault = true;
    emit OnClick(button, doDefault);
    if (doDefault) {
        try {
            switch (button) {
            case btPlay:
                Play();
                break;
            case btPause:
                Pause();
                break;
            case btStop:
                Stop();
                break;
            case btNext:
                Next();
                break;
            case btPrev:
                Previous();
                break;
            case btStep:
                Step();
                break;
            case btBack:
                Back();
                break;
            case btRecord:
                StartRecording();
                break;
            case btEject:
                Eject();
                break;
            }
        } catch (const EMCIDeviceError &) {
            // A button of a closed device does nothing; Error() keeps the result.
        }
    }
    emit OnPostClick(button);
}

namespace {

// The pictures of the buttons: play, pause, stop, next, previous, step, back, record, eject.
void drawGlyph(QPainter &p, TMPBtnType b, const QRectF &r, const QColor &colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal s = std::min(r.width(), r.height()) * 0.55;
    const QRectF g(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
    auto triangle = [&](qreal left, qreal right, bool pointingRight) {
        QPainterPath path;
        if (pointingRight) {
            path.moveTo(left, g.top());
            path.lineTo(right, g.center().y());
            path.lineTo(left, g.bottom());
        } else {
            path.moveTo(right, g.top());
            path.lineTo(left, g.center().y());
            path.lineTo(right, g.bottom());
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    const qreal bar = s / 5;
    switch (b) {
    case btPlay:
        triangle(g.left() + s / 8, g.right(), true);
        break;
    case btPause:
        p.drawRect(QRectF(g.left() + s / 8, g.top(), bar * 1.4, s));
        p.drawRect(QRectF(g.right() - s / 8 - bar * 1.4, g.top(), bar * 1.4, s));
        break;
    case btStop:
        p.drawRect(g.adjusted(s / 10, s / 10, -s / 10, -s / 10));
        break;
    case btNext:
        triangle(g.left(), g.center().x(), true);
        triangle(g.center().x() - bar / 2, g.right() - bar, true);
        p.drawRect(QRectF(g.right() - bar, g.top(), bar, s));
        break;
    case btPrev:
        p.drawRect(QRectF(g.left(), g.top(), bar, s));
        triangle(g.left() + bar, g.center().x() + bar / 2, false);
        triangle(g.center().x(), g.right(), false);
        break;
    case btStep:
        triangle(g.left(), g.right() - bar * 1.5, true);
        p.drawRect(QRectF(g.right() - bar, g.top(), bar, s));
        break;
    case btBack:
        p.drawRect(QRectF(g.left(), g.top(), bar, s));
        triangle(g.left() + bar * 1.5, g.right(), false);
        break;
    case btRecord:
        p.drawEllipse(g.adjusted(s / 10, s / 10, -s / 10, -s / 10));
        break;
    case btEject: {
        QPainterPath path;
        path.moveTo(g.left(), g.top() + s * 0.6);
        path.lineTo(g.center().x(), g.top());
        path.lineTo(g.right(), g.top() + s * 0.6);
        path.closeSubpath();
        p.drawPath(path);
        p.drawRect(QRectF(g.left(), g.bottom() - bar, s, bar));
        break;
    }
    }
}

QColor glyphColour(TMPBtnType b, bool enabled, bool coloured)
{
    if (!enabled)
        return QColor(150, 150, 150);
    if (!coloured)
        return Qt::black;
    switch (b) {
    case btPlay:
        return QColor(0x4e, 0x9a, 0x06);
    case btRecord:
        return QColor(0xcc, 0x00, 0x00);
    case btPause:
    case btStop:
        return QColor(0x20, 0x4a, 0x87);
    default:
        return QColor(0x34, 0x65, 0xa4);
    }
}

} // namespace

void TMediaPlayer::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto b = TMPBtnType(i);
        const QRect r = buttonRect(b);
        if (r.isEmpty())
            continue;
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = r;
        option.state = QStyle::State_Raised;
        const bool enabled = m_enabled & buttonBit(b);
        if (enabled && isEnabled())
            option.state |= QStyle::State_Enabled;
        if (hasFocus() && m_focus == i)
            option.state |= QStyle::State_HasFocus;
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
        drawGlyph(p, b, r, glyphColour(b, enabled && isEnabled(), m_colored & buttonBit(b)));
    }
}

void TMediaPlayer::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    for (int i = 0; i < ButtonCount; ++i) {
        if (buttonRect(TMPBtnType(i)).contains(event->position().toPoint())) {
            m_focus = i;
            click(TMPBtnType(i));
            return;
        }
    }
}

void TMediaPlayer::keyPressEvent(QKeyEvent *event)
{
    auto moveFocus = [this](int direction) {
        for (int step = 1; step <= ButtonCount; ++step) {
            const int b = (m_focus + direction * step + ButtonCount) % ButtonCount;
            if (m_visible & buttonBit(TMPBtnType(b))) {
                m_focus = b;
                update();
                return;
            }
        }
    };
    switch (event->key()) {
    case Qt::Key_Space:
        click(TMPBtnType(m_focus));
        return;
    case Qt::Key_Left:
    case Qt::Key_Up:
        moveFocus(-1);
        return;
    case Qt::Key_Right:
    case Qt::Key_Down:
        moveFocus(1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// ----------------------------------------------------------------------------------------
// The operations of the media records and dialogs

bool OpenMediaFile(const QString &fileName, int mediaType, TMediaPlayer &player, QString *error)
{
    const MediaDeviceTable &table = mediaDeviceTable();
    if (!table.waveOutput) {
        if (error)
            *error = vkMessage("MediaNoAudioOutput");
        return false;
    }
    if ((mediaType >= 100 && mediaType < 300))
        player.DeviceType = table.deviceTypeOf(mediaType);
    player.setDeviceTable(table);
    player.setFileName(fileName);
    try {
        player.Open();
    } catch (const EMCIDeviceError &e) {
        if (error)
            *error = e.text();
        return false;
    }
    return true;
}

bool OpenMpegAudio(const QString &fileName, TMediaPlayer &player, QString *error)
{
    if (!OpenMediaFile(fileName, 104, player, error))
        return false;
    try {
        player.Play();
    } catch (const EMCIDeviceError &e) {
        if (error)
            *error = e.text();
        return false;
    }
    return true;
}

QTime MediaTime(TMediaPlayer &player, int which)
{
    const int previous = player.TimeFormat();
    if (previous != tfMilliseconds) {
        player.setTimeFormat(tfMilliseconds);
        if (player.TimeFormat() != tfMilliseconds)
            return QTime(0, 0, 0);
    }
    const qint64 ms = which == 0 ? player.Length() : player.Position();
    if (previous != tfMilliseconds)
        player.setTimeFormat(previous);
    const qint64 seconds = std::clamp<qint64>(ms / 1000, 0, 24 * 3600 - 1);
    return QTime(int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
}

QString MediaTimeText(const QTime &time)
{
    return time.toString(QStringLiteral("h:mm:ss"));
}

} // namespace vk
