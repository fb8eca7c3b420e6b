// What a person edits of a media item or a folder (title, date, author, description, the
// keywords, the content of a text item) and the one path that writes it. The property dialog
// commits through it, and so does vkctl set, so that both check and store alike.
#pragma once

#include "DbFolder.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vk {

class Connection;

// Whether a date field's text names a day (the forms textToDate reads). An empty field names
// none: a date field is never cleared by mistake.
bool IsDateText(const QString &text);

// The fields that changed; the others are left as stored.
struct MediaEdits
{
    std::optional<QString> title;
    std::optional<QString> date; // as typed
    std::optional<QString> author;
    std::optional<QString> description;
    std::optional<QStringList> keywords; // the OIDs, in list order
    std::optional<QString> text;         // the new content of a text item

    bool isEmpty() const { return !title && !date && !author && !description && !keywords && !text; }
};

struct FolderEdits
{
    std::optional<QString> title;
    std::optional<QString> date;
    std::optional<QString> author;
    std::optional<QString> description;

    bool isEmpty() const { return !title && !date && !author && !description; }
};

// Writes the edits of a media item in one statement (a search result's mirror writes the
// library item it shows, and shows the result itself). The description and an edited text
// travel through work files in `workDir`; an edited text is stored inside the database, also
// for a linked item. A date that names no day is refused with "Date Format Error." before
// anything is written. On failure (its message shown) the item's record is as it was; true when
// there was nothing to write.
bool CommitMediaEdits(Connection &c, TDbMedia *item, const MediaEdits &edits, const QString &workDir);

// The same for a folder; a subfolder's tile takes the new fields. An empty title is refused
// with "Folder title cannot be empty!", as a rename in the explorer is.
bool CommitFolderEdits(Connection &c, TDbFolder *folder, const FolderEdits &edits, const QString &workDir);

// A mirror takes the fields a commit may change from the item it shows.
void CopyEditedFields(const TDbMedia &from, TDbMedia &to);

} // namespace vk
