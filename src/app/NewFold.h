// The folder creation dialog: "New Folder" for a new main folder, "Save as a New Folder" for
// a copy of a folder. Title (never empty), description, date and author; the caller reads
// which of the last three the person changed.
#pragma once

#include "TextForms.h"

#include <QDialog>

class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace vk {

class Connection;
class TDbFolder;
class UiServices;

class TNewFolder : public QDialog
{
    Q_OBJECT
public:
    // The date box's input mask: year and month required, the day's digits optional while typing.
    static constexpr const char *DateMask = "0000-00-99;_";

    // With a source folder the dialog offers its title, date, author and description.
    TNewFolder(UiServices &ui, Connection *connection, TDbFolder *source, QWidget *parent = nullptr);

    QString title() const;
    QString author() const;
    QString description() const;
    // The date in the box; -1 when it is empty.
    DateValue date() const;
    bool authorChanged() const { return m_authorChanged; }
    bool dateChanged() const { return m_dateChanged; }
    bool descriptionChanged() const { return m_descriptionChanged; }

    // The date box's text as a date: empty gives -1, a day that is not in the calendar (or a
    // date with its day left out) answers false.
    static bool parseDate(const QString &text, DateValue *date);

    void accept() override;

    QLineEdit *txtTitle = nullptr;
    QPlainTextEdit *meoDescription = nullptr;
    QLineEdit *txtDate = nullptr;
    QLineEdit *txtAuthor = nullptr;
    QPushButton *OK = nullptr;
    QMenu *DescriptionMenu = nullptr;

    // The context menu's commands.
    void InsertText(const QString &path);
    bool Export(const QString &path);
    void Clear();

private:
    void descriptionMenu(const QPoint &at);

    UiServices &m_ui;
    bool m_authorChanged = false;
    bool m_dateChanged = false;
    bool m_descriptionChanged = false;
};

} // namespace vk
