// "Text Editor": one line of text for a label or a button's caption.
#pragma once

#include <QDialog>

class QLineEdit;

namespace vk {

class TInsertTextForm : public QDialog
{
    Q_OBJECT
public:
    explicit TInsertTextForm(const QString &text, QWidget *parent = nullptr);
    QString text() const;
    QLineEdit *edit = nullptr;
};

} // namespace vk
