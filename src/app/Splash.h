// The splash window shown while the workspace loads.
#pragma once

#include <QWidget>

class QLabel;
class QFrame;

namespace vk {

class TSplashForm : public QWidget
{
    Q_OBJECT
public:
    explicit TSplashForm(QWidget *parent = nullptr);

    // Places the text so that it ends 20 pixels from the panel's right edge.
    void showStatus(const QString &text);
    QString statusText() const;

    static TSplashForm *instance();

private:
    QFrame *m_pnlLogo = nullptr;
    QLabel *m_imgLogo = nullptr;
    QLabel *m_labInitMessage = nullptr;
};

// Shows a status text on the splash window while it exists; does nothing otherwise.
void ShowStartupStatus(const QString &text);

} // namespace vk
