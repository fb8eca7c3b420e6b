#include "MediaProperties.h"

#include "Connection.h"
#include "KeyWords.h"
#include "MediaFiles.h"
#include "Messages.h"
#include "TextForms.h"

#include <QFile>
#include <QScopeGuard>

namespace vk {

namespace {

// Writes a work file; on failure the person is told, and the commit stops before anything
// is stored (a description that did not reach its file would be stored as none).
bool writeWorkFile(Connection &c, const QString &path, const QString &text)
{
    QFile f(path);
    const QByteArray bytes = text.toUtf8();
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush())
        return true;
    c.report(vkMessage("WorkFileNotWritten").arg(path, f.errorString()));
    QFile::remove(path);
    return false;
}

bool checkDate(Connection &c, const std::optional<QString> &date)
{
    if (!date || IsDateText(*date))
        return true;
    c.report(vkMessage("DateFormatError"));
    return false;
}

} // namespace

bool IsDateText(const QString &text)
{
    return textToDate(text) >= 0;
}

void CopyEditedFields(const TDbMedia &from, TDbMedia &to)
{
    to.Rec.Title = from.Rec.Title;
    to.Rec.InsertDate = from.Rec.InsertDate;
    to.Rec.Author = from.Rec.Author;
    to.Rec.KeyWords = from.Rec.KeyWords;
    to.Rec.MediaFile = from.Rec.MediaFile;
    to.External = from.External;
    to.Lost = from.Lost;
}

bool CommitMediaEdits(Connection &c, TDbMedia *subject, const MediaEdits &edits, const QString &workDir)
{
    if (!subject || edits.isEmpty())
        return true;
    TDbMedia *item = subject->MirrorOf ? subject->MirrorOf : subject;
    if (item->SubFolder || item->isSubFolderTile() || !checkDate(c, edits.date))
        return false;
    QString descriptionFile, textFile;
    auto removeWorkFiles = qScopeGuard([&] {
        if (!descriptionFile.isEmpty())
            QFile::remove(descriptionFile);
        if (!textFile.isEmpty())
            QFile::remove(textFile);
    });
    if (edits.description) {
        descriptionFile = UniqueWorkFile(workDir, QStringLiteral("desc"), QStringLiteral("txt"));
        if (!writeWorkFile(c, descriptionFile, *edits.description))
            return false;
    }
    if (edits.text) {
        textFile = UniqueWorkFile(workDir, QStringLiteral("mda"), QStringLiteral("txt"));
        if (!writeWorkFile(c, textFile, *edits.text))
            return false;
    }
    const TsMedia before = item->Rec;
    quint16 changed = 0;
    if (edits.title) {
        item->Rec.Title = *edits.title;
        changed |= MediaTitle;
    }
    if (edits.date) {
        item->Rec.InsertDate = textToDate(*edits.date);
        changed |= MediaInsertDate;
    }
    if (edits.author) {
        item->Rec.Author = *edits.author;
        changed |= MediaAuthor;
    }
    if (edits.description)
        changed |= MediaDescription;
    if (edits.keywords) {
        item->Rec.KeyWords = KeywordText(*edits.keywords);
        changed |= MediaKeyWords;
    }
    if (edits.text) {
        item->Rec.MediaFile = textFile;
        changed |= MediaMedia;
    }
    item->Changed = changed;
    if (!item->Update(c, true, descriptionFile)) {
        item->Rec = before;
        item->Changed = 0;
        return false;
    }
    if (edits.text) {
        // The edited text is the database's own copy now, wherever the file was before.
        item->External = false;
        item->Lost = false;
    }
    if (subject != item)
        CopyEditedFields(*item, *subject);
    return true;
}

bool CommitFolderEdits(Connection &c, TDbFolder *folder, const FolderEdits &edits, const QString &workDir)
{
    if (!folder || edits.isEmpty())
        return true;
    if (edits.title && edits.title->trimmed().isEmpty()) {
        c.report(vkMessage("FolderTitleEmpty"));
        return false;
    }
    if (!checkDate(c, edits.date))
        return false;
    QString descriptionFile;
    auto removeWorkFile = qScopeGuard([&] {
        if (!descriptionFile.isEmpty())
            QFile::remove(descriptionFile);
    });
    if (edits.description) {
        descriptionFile = UniqueWorkFile(workDir, QStringLiteral("desc"), QStringLiteral("txt"));
        if (!writeWorkFile(c, descriptionFile, *edits.description))
            return false;
    }
    const TsFolder before = folder->Rec;
    quint16 changed = 0;
    if (edits.title) {
        folder->Rec.Title = *edits.title;
        changed |= FolderTitle;
    }
    if (edits.date) {
        folder->Rec.InsertDate = textToDate(*edits.date);
        changed |= FolderInsertDate;
    }
    if (edits.author) {
        folder->Rec.Author = *edits.author;
        changed |= FolderAuthor;
    }
    if (edits.description)
        changed |= FolderDescription;
    folder->Changed = changed;
    if (!folder->Update(c, descriptionFile)) {
        folder->Rec = before;
        folder->Changed = 0;
        return false;
    }
    if (folder->Tile)
        CopyFolderToTile(folder, folder->Tile);
    return true;
}

} // namespace vk
