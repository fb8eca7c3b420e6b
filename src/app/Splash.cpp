#include "Splash.h"

#include "Messages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QScreen>

namespace vk {

namespace {

QPointer<TSplashForm> g_splash;

QPixmap drawLogo(const QSize &size)
{
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(18, 52, 86));
    g.setColorAt(1, QColor(8, 110, 120));
    p.fillRect(pixmap.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    // A stack of three slides, the program's mark.
    for (int i = 0; i < 3; ++i) {
        const QRectF r(70 + i * 16, 60 + i * 14, 150, 100);
        p.setPen(QPen(QColor(255, 255, 255, 200), 2));
        p.setBrush(QColor(255, 255, 255, 40 + i * 30));
        p.drawRoundedRect(r, 8, 8);
    }
    QFont f(QStringLiteral("Arial Black"));
    f.setPixelSize(30);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 200, size.width(), 40), Qt::AlignHCenter, QStringLiteral("Vellumark"));
    return pixmap;
}

} // namespace

TSplashForm::TSplashForm(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setFixedSize(338, 312);
    m_pnlLogo = new QFrame(this);
    m_pnlLogo->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_pnlLogo->setLineWidth(2);
    m_pnlLogo->setGeometry(rect());
    m_imgLogo = new QLabel(m_pnlLogo);
    m_imgLogo->setGeometry(m_pnlLogo->contentsRect());
    m_imgLogo->setScaledContents(true);
    m_imgLogo->setPixmap(drawLogo(m_imgLogo->size()));
    m_labInitMessage = new QLabel(m_pnlLogo);
    QFont font(QStringLiteral("Arial Black"));
    font.setPointSize(9);
    m_labInitMessage->setFont(font);
    m_labInitMessage->setStyleSheet(QStringLiteral("color: #00c0c0; background: transparent;"));
    m_labInitMessage->setAttribute(Qt::WA_TranslucentBackground);
    m_labInitMessage->move(20, height() - 40);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    g_splash = this;
    showStatus(vkMessage("Welcome"));
}

TSplashForm *TSplashForm::instance()
{
    return g_splash;
}

void TSplashForm::showStatus(const QString &text)
{
    const int width = QFontMetrics(m_labInitMessage->font()).horizontalAdvance(text);
    m_labInitMessage->setText(text);
    m_labInitMessage->resize(width + 4, m_labInitMessage->sizeHint().height());
    m_labInitMessage->move(m_pnlLogo->width() - width - 20, m_labInitMessage->y());
}

QString TSplashForm::statusText() const
{
    return m_labInitMessage->text();
}

void ShowStartupStatus(const QString &text)
{
    if (!g_splash)
        return;
    g_splash->showStatus(text);
    g_splash->repaint();
    QApplication::processEvents();
}

} // namespace vk
