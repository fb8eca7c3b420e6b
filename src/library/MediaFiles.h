// Media files leaving the library: export with conversion, and the work files the
// windows write.
#pragma once

#include <QString>

#include <functional>

namespace vk {

class TDbMedia;

// Reads a picture file of one media type and writes it as another (the image component,
// set by the front end). Answers false with *error set.
using PictureConverter = std::function<bool(const QString &source, int sourceType, const QString &target,
                                            int targetType, QString *error)>;

// Writes an item's file to `path`. A picture of another `target` type (-1: its own) is
// converted; the same type, and every other kind of media, is copied as it is. Documents,
// lost items and targets that cannot be written (icons, metafiles) fail. The file appears
// whole or not at all: a failure leaves no new file at `path` and sets *error.
//
// A `path` that names something other than a plain file (a pipe, a device) is written into,
// never replaced; a conversion then goes through a scratch file in `workDir` (the system's
// temporary directory when empty).
bool ExportMediaFile(const TDbMedia &item, const QString &path, int target, const PictureConverter &convert,
                     QString *error, const QString &workDir = QString());

// The same, written into an open descriptor (standard output, a pipe); the descriptor is
// left open.
bool ExportMediaToDescriptor(const TDbMedia &item, int fd, int target, const PictureConverter &convert,
                             QString *error, const QString &workDir = QString());

// A new file name in `workDir`: base (or "def") + a running number + "." + ext. The number
// only increases over the life of the program; a leftover file of that name is deleted,
// and a name whose leftover cannot be deleted is passed over.
QString UniqueWorkFile(const QString &workDir, const QString &base, const QString &ext);

// A recording or capture that could not be stored in the library is moved out of the work
// directory (which is cleared when the program ends) into `keepDir`, under its own name with
// a date and a running number when that name is taken. Answers the kept file's path, or the
// file's own path when it could not be moved (it then stays where it is).
QString KeepUnstoredFile(const QString &file, const QString &keepDir);

// Where KeepUnstoredFile keeps them for this user: "Unsaved recordings" in the program's
// data directory.
QString UnstoredFilesDirectory();

} // namespace vk
