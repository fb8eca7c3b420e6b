// "Memo Text": the text of a memo, several lines.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace vk {

class TMemoForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMemoForm(const QString &text, QWidget *parent = nullptr);
    QString text() const;
    QPlainTextEdit *memo = nullptr;
};

} // namespace vk
