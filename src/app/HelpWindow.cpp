#include "HelpWindow.h"

#include "Icons.h"

#include <QDesktopServices>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace vk {

QString THelpWindow::pageUrl(const QString &page)
{
    return QStringLiteral("qrc:/vellumark/help/") + page;
}

THelpWindow::THelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Vellumark Help"));
    setWindowIcon(vkIcon(QStringLiteral("help")));
    resize(720, 560);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *bar = new QToolBar(this);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_browser = new QTextBrowser(this);
    // Pages inside the program open here; addresses outside it go to the desktop's browser.
    m_browser->setOpenLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        if (url.scheme() == QLatin1String("qrc") || url.isRelative())
            m_browser->setSource(m_browser->source().resolved(url));
        else
            QDesktopServices::openUrl(url);
    });
    QAction *back = bar->addAction(QStringLiteral("Back"), m_browser, &QTextBrowser::backward);
    QAction *forward = bar->addAction(QStringLiteral("Forward"), m_browser, &QTextBrowser::forward);
    bar->addAction(QStringLiteral("Contents"), this, [this] { showPage(QStringLiteral("index.html")); });
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    layout->addWidget(bar);
    layout->addWidget(m_browser);
}

void THelpWindow::showPage(const QString &page)
{
    m_browser->setSource(QUrl(pageUrl(page)));
}

} // namespace vk
