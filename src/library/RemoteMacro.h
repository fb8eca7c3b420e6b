// The macros another program hands the running workspace (`vkctl send`, a companion player):
// lines of text, the first naming the command. The only command is "NewMedia": line 2 the full
// path of a file, line 3 "True" to delete the file once it is in the library.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vk {

class TDbFolder;
class TDbFolderList;
class TDbMedia;
struct DisplayOptions;

// The root folder that receives the files handed over.
inline constexpr const char *RemoteMediaFolderTitle = "Media from VkPlayer";
// The longest macro a client may send; anything longer is not a macro of ours.
inline constexpr qsizetype MaxRemoteMacroSize = 64 * 1024;

struct NewMediaMacro
{
    QString path;
    bool deleteAfter = false;
};

// The lines of a macro as sent: split at line feeds, a carriage return before one dropped.
QList<QByteArray> SplitMacroLines(const QByteArray &data);
// A "NewMedia" macro, or nothing (with *reason set) when the lines are not one: fewer than three
// lines, another command, a path that is empty, relative, too long or holds a NUL byte. Lines
// after the third are ignored.
std::optional<NewMediaMacro> ParseNewMediaMacro(const QList<QByteArray> &lines, QString *reason = nullptr);

struct NewMediaResult
{
    TDbMedia *item = nullptr;    // the imported item; null when nothing was imported
    TDbFolder *folder = nullptr; // the receiving folder, when it exists
    bool folderMade = false;     // the receiving folder was made (again) for this file
    bool fileDeleted = false;
    bool ignored = false; // the macro was refused: it would delete a file of the data source's own
    QString reason; // why nothing was imported, or why the file was kept
};

// Imports the macro's file into the root folder "Media from VkPlayer" (made at the end of the
// root folders with the default tile sizes when there is none) as a database file, without
// asking. The file is deleted only when the macro asks for it and the import succeeded. A macro
// that would delete a file the data source keeps itself (a stored copy, the database) is
// ignored: nothing is imported and the file stays.
NewMediaResult ExecuteNewMedia(TDbFolderList &roots, const NewMediaMacro &macro,
                               const DisplayOptions &options);

} // namespace vk
