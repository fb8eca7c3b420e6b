#include "AboutBox.h"

#include "Icons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vk {

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vellumark"));
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *logo = new QLabel(this);
    logo->setPixmap(applicationIcon().pixmap(96, 96));
    logo->setAlignment(Qt::AlignTop);
    auto *text = new QLabel(this);
    text->setTextFormat(Qt::RichText);
    text->setOpenExternalLinks(true);
    text->setText(QStringLiteral("<h2>Vellumark Workspace</h2>"
                                 "<p>Version %1</p>"
                                 "<p>A multimedia library kept in a database, and the ClearBooks "
                                 "built from it.</p>"
                                 "<p>Built with Qt %2 and SQLite. Icons from the Tango icon "
                                 "library (public domain).</p>")
                      .arg(QStringLiteral(VELLUMARK_VERSION), QLatin1String(qVersion())));
    text->setWordWrap(true);
    top->addWidget(logo);
    top->addWidget(text, 1);
    layout->addLayout(top);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setFixedWidth(420);
}

} // namespace vk
