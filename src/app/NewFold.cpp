#include "NewFold.h"

#include "DbFolder.h"
#include "Icons.h"
#include "Messages.h"
#include "RecordStatements.h"
#include "UiServices.h"

#include <QAction>
#include <QDate>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>

namespace vk {

namespace {
const char *const TextFilter = "ALL Files (*.*);;TXT Files (*.txt);;DOC Files (*.doc)";
// A description read from a file is text; a larger file is not one.
constexpr qint64 MaxDescriptionFile = 4 * 1024 * 1024;
} // namespace

TNewFolder::TNewFolder(UiServices &ui, Connection *connection, TDbFolder *source, QWidget *parent)
    : QDialog(parent), m_ui(ui)
{
    setWindowTitle(source ? QStringLiteral("Save as a New Folder") : QStringLiteral("New Folder"));
    setWindowIcon(vkIcon(QStringLiteral("folder-new")));
    auto *form = new QFormLayout(this);
    txtTitle = new QLineEdit(this);
    txtTitle->setObjectName(QStringLiteral("txtTitle"));
    txtTitle->setMaxLength(127);
    txtTitle->setMinimumWidth(280);
    meoDescription = new QPlainTextEdit(this);
    meoDescription->setObjectName(QStringLiteral("meoDescription"));
    meoDescription->setTabChangesFocus(true);
    meoDescription->setMinimumHeight(90);
    meoDescription->setContextMenuPolicy(Qt::CustomContextMenu);
    txtDate = new QLineEdit(this);
    txtDate->setObjectName(QStringLiteral("txtDate"));
    txtDate->setInputMask(QLatin1String(DateMask));
    txtAuthor = new QLineEdit(this);
    txtAuthor->setObjectName(QStringLiteral("txtAuthor"));
    form->addRow(QStringLiteral("&Title:"), txtTitle);
    form->addRow(QStringLiteral("&Description:"), meoDescription);
    form->addRow(QStringLiteral("D&ate:"), txtDate);
    form->addRow(QStringLiteral("A&uthor:"), txtAuthor);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OK = buttons->button(QDialogButtonBox::Ok);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TNewFolder::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    if (source) {
        txtTitle->setText(source->Rec.Title);
        if (source->Rec.InsertDate >= 0)
            txtDate->setText(dateToText(source->Rec.InsertDate));
        txtAuthor->setText(source->Rec.Author);
        QString text;
        if (connection && ReadDescription(*connection, source->Rec.OID, RecordKind::Folder, &text))
            meoDescription->setPlainText(text);
    } else {
        txtDate->setText(dateToText(today()));
    }
    OK->setEnabled(!txtTitle->text().isEmpty());
    connect(txtTitle, &QLineEdit::textChanged, this,
            [this](const QString &t) { OK->setEnabled(!t.isEmpty()); });
    connect(txtAuthor, &QLineEdit::textEdited, this, [this] { m_authorChanged = true; });
    connect(txtDate, &QLineEdit::textEdited, this, [this] { m_dateChanged = true; });
    connect(meoDescription, &QPlainTextEdit::textChanged, this, [this] { m_descriptionChanged = true; });

    DescriptionMenu = new QMenu(this);
    auto add = [this](const QString &text, auto slot) {
        QAction *a = DescriptionMenu->addAction(text);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add(QStringLiteral("&Undo"), [this] { meoDescription->undo(); });
    add(QStringLiteral("C&ut"), [this] { meoDescription->cut(); });
    add(QStringLiteral("&Copy"), [this] { meoDescription->copy(); });
    add(QStringLiteral("&Paste"), [this] { meoDescription->paste(); });
    DescriptionMenu->addSeparator();
    add(QStringLiteral("&Insert Text..."), [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QString(), QString(), QLatin1String(TextFilter), nullptr, QFileDialog::DontUseNativeDialog);
        if (!path.isEmpty())
            InsertText(path);
    })->setObjectName(QStringLiteral("InsertText"));
    add(QStringLiteral("&Export..."), [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QString(), QString(), QLatin1String(TextFilter), nullptr, QFileDialog::DontUseNativeDialog);
        if (!path.isEmpty())
            Export(path);
    })->setObjectName(QStringLiteral("Export"));
    DescriptionMenu->addSeparator();
    add(QStringLiteral("C&lear"), [this] { Clear(); })->setObjectName(QStringLiteral("Clear"));
    connect(meoDescription, &QWidget::customContextMenuRequested, this, &TNewFolder::descriptionMenu);
    // The changes the caller reads start from what the dialog showed.
    m_authorChanged = m_dateChanged = m_descriptionChanged = false;
    txtTitle->setFocus();
    txtTitle->selectAll();
}

QString TNewFolder::title() const
{
    return txtTitle->text();
}

QString TNewFolder::author() const
{
    return txtAuthor->text();
}

QString TNewFolder::description() const
{
    return meoDescription->toPlainText();
}

DateValue TNewFolder::date() const
{
    DateValue d = -1;
    parseDate(txtDate->text(), &d);
    return d;
}

bool TNewFolder::parseDate(const QString &text, DateValue *date)
{
    // The mask's separators stay in the text even when no digit was typed.
    const QString digits = QString(text).remove(QLatin1Char('-')).trimmed();
    if (digits.isEmpty()) {
        *date = -1;
        return true;
    }
    const QDate d = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        return false;
    *date = textToDate(d.toString(QStringLiteral("yyyy-MM-dd")));
    return *date >= 0;
}

void TNewFolder::accept()
{
    if (txtTitle->text().isEmpty()) {
        m_ui.showMessage(vkMessage("FolderTitleEmpty"));
        txtTitle->setFocus();
        return;
    }
    DateValue d = -1;
    if (m_dateChanged && !parseDate(txtDate->text(), &d)) {
        m_ui.showMessage(vkMessage("FolderDateInvalid"));
        txtDate->setFocus();
        txtDate->selectAll();
        return;
    }
    QDialog::accept();
}

void TNewFolder::descriptionMenu(const QPoint &at)
{
    const bool hasText = !meoDescription->toPlainText().isEmpty();
    for (QAction *a : DescriptionMenu->actions())
        if (a->objectName() == QLatin1String("Export") || a->objectName() == QLatin1String("Clear"))
            a->setEnabled(hasText);
    DescriptionMenu->popup(meoDescription->mapToGlobal(at));
}

void TNewFolder::InsertText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxDescriptionFile) {
        const QString why =
            file.isOpen() ? QStringLiteral("it is not a text of a few pages") : file.errorString();
        m_ui.showMessage(vkMessage("FileUnreadable").arg(path, why), UiServices::Icon::Warning);
        return;
    }
    meoDescription->setPlainText(QString::fromUtf8(file.readAll()));
}

bool TNewFolder::Export(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(meoDescription->toPlainText().toUtf8()) < 0 ||
        !file.commit()) {
        m_ui.showMessage(file.errorString(), UiServices::Icon::Warning);
        return false;
    }
    return true;
}

void TNewFolder::Clear()
{
    if (m_ui.askYesNo(vkMessage("ClearDescriptionQuestion")))
        meoDescription->clear();
}

} // namespace vk
