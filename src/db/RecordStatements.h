// The shared record statements: titles, descriptions, file objects, folder sizes,
// file-name lookups and maxima, used by every library and authoring model.
//
// Each reports a failure with its database message followed by the table or
// column it addresses, and answers false (or an empty / negative value).
#pragma once

#include <QString>

namespace vk {

class Connection;

// Which table a shared title or description statement addresses.
enum class RecordKind : int
{
    Folder = 0,
    MediaData = 1,
    ClearBook = 2,
    Slide = 3,
    Object = 4
};

bool DeleteMediaRow(Connection &c, const QString &oid);
// Kinds Folder to Slide; the description is answered in *description.
bool ReadDescription(Connection &c, const QString &oid, RecordKind kind, QString *description);
// Kinds Folder and MediaData.
bool WriteTitleAndDescription(Connection &c, const QString &oid, const QString &title,
                              const QString &description, RecordKind kind);
bool WriteFolderIndex(Connection &c, const QString &oid, double index);
// Kinds Folder to Object.
bool WriteTitle(Connection &c, const QString &oid, const QString &title, RecordKind kind);
// Kinds Folder to Slide.
bool WriteDescription(Connection &c, const QString &oid, const QString &description, RecordKind kind);
bool WriteFolderTileSize(Connection &c, const QString &oid, int width, int height, int border);

// Stores the file at path as the row's thumbnail (or media) file object; a path that does not
// exist stores null. Stops at the first failing step. On success *newName is the stored file's
// full name (empty for null).
bool ReplaceThumbnailFile(Connection &c, const QString &oid, const QString &path, QString *newName);
bool ReplaceMediaFile(Connection &c, const QString &oid, const QString &path, QString *newName);

// The full names of a media row's files; empty when there is no row or no file.
QString MediaFileName(Connection &c, const QString &oid);
QString ThumbnailFileName(Connection &c, const QString &oid);
// Writes the content of a media row's file to path.
bool WriteMediaToFile(Connection &c, const QString &oid, const QString &path);

// The largest order key of the folders, or of a column of a table: 0 for an empty table,
// -1 when it cannot be read.
double MaxFolderIndex(Connection &c);
double MaxOfColumn(Connection &c, const QString &column, const QString &table);

// Text forms of values in statements: integers in decimal, floats with '.' and as
// few digits as they need.
QString floatText(double value);

} // namespace vk
