// The help window: the HTML pages shipped inside the program, with a contents page
// and back and forward.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace vk {

class THelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit THelpWindow(QWidget *parent = nullptr);

    // Shows a page of the help ("index.html" is the contents).
    void showPage(const QString &page);
    QTextBrowser *browser() const { return m_browser; }

    static QString pageUrl(const QString &page);

private:
    QTextBrowser *m_browser = nullptr;
};

} // namespace vk
