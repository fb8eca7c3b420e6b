// vkctl folder: the folder tree, as the workspace loads it.
#include "Commands.h"

#include "ClearBookJson.h"
#include "CliOutput.h"
#include "CliSource.h"
#include "Connection.h"
#include "DbFolder.h"
#include "FolderNames.h"
#include "Messages.h"
#include "OptionStore.h"
#include "RecordStatements.h"
#include "Statement.h"
#include "TextForms.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>
#include <functional>

namespace vk {

namespace {

const QString FolderNaming = QStringLiteral(
    "A FOLDER is named by its OID or by its title path from the root level (\"Holiday 2026/Day 1\"), "
    "titles matched exactly, with a \"/\" inside a title written \"\\/\" and a backslash \"\\\\\"; a "
    "path that more than one folder matches is an error that lists their OIDs.");

QList<TDbFolder *> subfolders(const TDbFolder *folder)
{
    QList<TDbFolder *> out;
    for (TDbMedia *m : folder->MediaList->Items)
        if (m->SubFolder)
            out << m->SubFolder;
    return out;
}

// The parent given with --parent, or the root level (null); false after telling why.
bool parentOption(const Call &call, TDbFolderList &roots, TDbFolder **parent)
{
    *parent = nullptr;
    if (!call.isSet(QStringLiteral("parent")))
        return true;
    *parent = namedFolder(roots, call.value(QStringLiteral("parent")));
    return *parent != nullptr;
}

QString pathPrefix(const QStringList &titles, qsizetype count)
{
    QStringList steps;
    for (qsizetype i = 0; i < count; ++i)
        steps << PathStep(titles[i]);
    return steps.join(QLatin1Char('/'));
}

// The workspace takes no empty title for a folder; nor one of blanks only, which shows as none.
bool isBlankTitle(const QString &title)
{
    return title.trimmed().isEmpty();
}

int runAdd(Call &call)
{
    const QStringList titles = PathTitles(call.args[0]);
    if (titles.size() > 1 && titles.contains(QString()))
        return call.usageError(QStringLiteral("the path \"%1\" has an empty title in it").arg(call.args[0]));
    if (isBlankTitle(titles.value(titles.size() - 1)))
        return call.usageError(vkMessage("FolderTitleEmpty"));
    const bool parents = call.isSet(QStringLiteral("parents"));
    int at;
    if (!call.position(QStringLiteral("at"), &at))
        return ExitUsage;
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openTree(call, c, display, roots))
        return ExitFailed;
    TDbFolder *parent;
    if (!parentOption(call, roots, &parent))
        return ExitFailed;
    Transaction tx(c);
    TDbFolder *folder = nullptr;
    bool made = false;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const bool last = i + 1 == titles.size();
        if (!last || parents) {
            QList<TDbFolder *> found;
            for (TDbFolder *f : parent ? subfolders(parent) : roots.Folders)
                if (f->Rec.Title == titles[i])
                    found << f;
            if (found.size() == 1) {
                parent = folder = found.first();
                continue;
            }
            if (found.size() > 1) {
                QStringList oids;
                for (TDbFolder *f : std::as_const(found))
                    oids << f->Rec.OID;
                printError(QStringLiteral("%1 folders are at \"%2\"; name one by its OID with --parent: %3")
                               .arg(found.size())
                               .arg(pathPrefix(titles, i + 1), oids.join(QStringLiteral(", "))));
                return ExitFailed;
            }
            if (!parents) {
                printError(
                    QStringLiteral("there is no folder %1 (-p makes it)").arg(pathPrefix(titles, i + 1)));
                return ExitFailed;
            }
        }
        if (parent) {
            TDbMedia *tile = roots.AddSubFolder(parent, titles[i], display.DefaultPanelWidth,
                                                display.DefaultPanelHeight, display.DefaultPanelBorderWidth);
            folder = tile ? tile->SubFolder : nullptr;
        } else {
            folder = roots.AddRootFolder(titles[i], display.DefaultPanelWidth,
                                         display.DefaultPanelBorderWidth, display.DefaultPanelHeight);
        }
        if (!folder)
            return ExitFailed;
        made = true;
        // --at places the folder the command was asked for, when it made it.
        if (last && at >= 0 &&
            !(parent ? roots.MoveFolderInto(folder, parent, at) : roots.MoveFolderToRoot(folder, at)))
            return ExitFailed;
        parent = folder;
    }
    if (made && !tx.commit())
        return ExitFailed;
    printLine(folder->Rec.OID);
    return ExitDone;
}

struct TreeCounts
{
    int items = 0;
    qint64 bytes = 0;
};

// The folder's own items (not its subfolders) and the bytes of their files.
TreeCounts countItems(const TDbFolder *folder)
{
    TreeCounts counts;
    for (const TDbMedia *m : folder->MediaList->Items) {
        if (m->SubFolder)
            continue;
        ++counts.items;
        if (!m->Rec.MediaFile.isEmpty())
            counts.bytes += std::max<qint64>(0, QFileInfo(m->Rec.MediaFile).size());
    }
    return counts;
}

QString itemsText(int items)
{
    return items == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(items);
}

QJsonObject treeJson(TDbFolder *f)
{
    const TreeCounts counts = countItems(f);
    QJsonArray children;
    for (TDbFolder *sub : subfolders(f))
        children.append(treeJson(sub));
    return QJsonObject{{QStringLiteral("oid"), f->Rec.OID},
                       {QStringLiteral("title"), f->Rec.Title},
                       {QStringLiteral("items"), counts.items},
                       {QStringLiteral("bytes"), double(counts.bytes)},
                       {QStringLiteral("folders"), children}};
}

int runLs(Call &call)
{
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openTree(call, c, display, roots))
        return ExitFailed;
    const bool tree = call.isSet(QStringLiteral("tree"));
    if (tree && call.json()) {
        QJsonArray list;
        for (TDbFolder *f : std::as_const(roots.Folders))
            list.append(treeJson(f));
        printJson(list);
        return ExitDone;
    }
    if (tree) {
        // Indented titles, then the items and their size in columns of their own.
        struct Line
        {
            QString label, items, size;
        };
        QList<Line> lines;
        std::function<void(TDbFolder *, int)> draw = [&](TDbFolder *f, int depth) {
            const TreeCounts counts = countItems(f);
            lines.append({QString(depth * 2, QLatin1Char(' ')) + escapeField(f->Rec.Title),
                          itemsText(counts.items),
                          QLocale::c().formattedDataSize(counts.bytes, 1, QLocale::DataSizeIecFormat)});
            for (TDbFolder *sub : subfolders(f))
                draw(sub, depth + 1);
        };
        for (TDbFolder *f : std::as_const(roots.Folders))
            draw(f, 0);
        qsizetype label = 0, items = 0, size = 0;
        for (const Line &l : std::as_const(lines)) {
            label = std::max(label, l.label.size());
            items = std::max(items, l.items.size());
            size = std::max(size, l.size.size());
        }
        for (const Line &l : std::as_const(lines))
            printLine(l.label.leftJustified(label + 2) + l.items.rightJustified(items) +
                      QStringLiteral("  ") + l.size.rightJustified(size));
        return ExitDone;
    }
    QJsonArray list;
    std::function<void(TDbFolder *, int)> walk = [&](TDbFolder *f, int depth) {
        if (call.json())
            list.append(QJsonObject{{QStringLiteral("oid"), f->Rec.OID},
                                    {QStringLiteral("folderId"), f->Rec.FolderId},
                                    {QStringLiteral("parentFolderId"), f->Rec.ParFolderId},
                                    {QStringLiteral("depth"), depth},
                                    {QStringLiteral("index"), f->Rec.Index},
                                    {QStringLiteral("title"), f->Rec.Title},
                                    {QStringLiteral("path"), FolderPath(f)}});
        else
            printRecord({f->Rec.OID, f->Rec.FolderId, f->Rec.ParFolderId, QString::number(depth),
                         floatToText(f->Rec.Index), f->Rec.Title});
        for (TDbFolder *sub : subfolders(f))
            walk(sub, depth + 1);
    };
    for (TDbFolder *f : std::as_const(roots.Folders))
        walk(f, 0);
    if (call.json())
        printJson(list);
    return ExitDone;
}

int runRename(Call &call)
{
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openTree(call, c, display, roots))
        return ExitFailed;
    if (isBlankTitle(call.args[1]))
        return call.usageError(vkMessage("FolderTitleEmpty"));
    TDbFolder *f = namedFolder(roots, call.args[0]);
    return f && WriteTitle(c, f->Rec.OID, call.args[1], RecordKind::Folder) ? ExitDone : ExitFailed;
}

int runMoveOrCopy(Call &call, bool copy)
{
    const bool toRoot = call.isSet(QStringLiteral("root"));
    if (toRoot == call.isSet(QStringLiteral("parent")))
        return call.usageError(
            QStringLiteral("%1 takes one of --parent FOLDER and --root").arg(call.command.name));
    int at;
    if (!call.position(QStringLiteral("at"), &at))
        return ExitUsage;
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openTree(call, c, display, roots))
        return ExitFailed;
    TDbFolder *parent;
    if (!parentOption(call, roots, &parent))
        return ExitFailed;
    TDbFolder *f = namedFolder(roots, call.args[0]);
    if (!f)
        return ExitFailed;
    const int position = at >= 0 ? at : int(parent ? parent->MediaList->count() : roots.Folders.size());
    if (!copy)
        return (toRoot ? roots.MoveFolderToRoot(f, position) : roots.MoveFolderInto(f, parent, position))
                   ? ExitDone
                   : ExitFailed;
    TDbFolder *made =
        toRoot ? roots.CopyFolderToRoot(f, position) : roots.CopyFolderInto(f, parent, position);
    if (!made) {
        if (!toRoot && f->IsSelfOrDescendant(parent))
            printError(QStringLiteral("Cannot Move/Copy Folder to its SubFolder."));
        return ExitFailed;
    }
    printLine(made->Rec.OID);
    return ExitDone;
}

int runRm(Call &call)
{
    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openTree(call, c, display, roots))
        return ExitFailed;
    TDbFolder *f = namedFolder(roots, call.args[0]);
    if (!f)
        return ExitFailed;
    if (f->isRoot())
        return roots.RemoveRootFolder(f) ? ExitDone : ExitFailed;
    return roots.RemoveMedia(f->Tile) >= 0 ? ExitDone : ExitFailed;
}

QCommandLineOption parentOptionFor(const QString &what)
{
    return QCommandLineOption(QStringLiteral("parent"), what, QStringLiteral("FOLDER"));
}

} // namespace

QList<Command> folderCommands()
{
    Command add;
    add.name = QStringLiteral("folder add");
    add.synopsis = QStringLiteral("PATH [--parent FOLDER] [--at N] [-p]");
    add.summary = QStringLiteral("make a folder; prints its OID");
    add.description =
        QStringLiteral(
            "Makes the folder PATH and prints its OID. PATH is a title path: its last title is the "
            "new folder's, the titles before it name the folder to make it in, which must be there "
            "(with -p, what is missing is made, and a folder already at PATH is no error: its OID "
            "is printed). A \"/\" inside a title is written \"\\/\".\n\n") +
        FolderNaming;
    add.options = {
        parentOptionFor(QStringLiteral("make PATH inside FOLDER instead of at the root level")),
        atOption(QStringLiteral("the new folder's place among its siblings, from 0 (default: last)")),
        QCommandLineOption({QStringLiteral("p"), QStringLiteral("parents")},
                           QStringLiteral("make the missing folders of PATH; one already there is no error")),
    };
    add.examples = {QStringLiteral("vkctl folder add \"Holiday 2026/Day 1\" -p"),
                    QStringLiteral("vkctl folder add \"AC\\/DC\" --parent Music --at 0")};
    add.minArgs = add.maxArgs = 1;
    add.run = runAdd;

    Command ls;
    ls.name = QStringLiteral("folder ls");
    ls.synopsis = QStringLiteral("[--tree] [--json]");
    ls.summary = QStringLiteral("list the folders: OID, FolderId, ParFolderId, depth, index, title");
    ls.description = QStringLiteral(
        "Lists every folder, each root followed by its subfolders depth first, one a line: OID, "
        "FolderId, ParFolderId, depth, index and title. --json adds each folder's title path. "
        "--tree draws the tree instead, indented, with the number of items in each folder and the "
        "size of their files (with --json: nested objects, \"folders\" holding the subfolders).");
    ls.options = {QCommandLineOption(QStringLiteral("tree"),
                                     QStringLiteral("draw the tree with the items and sizes of each folder")),
                  jsonOption()};
    ls.examples = {QStringLiteral("vkctl folder ls --tree")};
    ls.readOnly = true;
    ls.run = runLs;

    Command rename;
    rename.name = QStringLiteral("folder rename");
    rename.synopsis = QStringLiteral("FOLDER TITLE");
    rename.summary = QStringLiteral("give a folder a new title");
    rename.description =
        QStringLiteral("Gives FOLDER the title TITLE (taken as it is, \"/\" and all).\n\n") + FolderNaming;
    rename.examples = {QStringLiteral("vkctl folder rename \"Holiday 2026/Day 1\" \"Arrival\"")};
    rename.minArgs = rename.maxArgs = 2;
    rename.run = runRename;

    Command mv;
    mv.name = QStringLiteral("folder mv");
    mv.synopsis = QStringLiteral("FOLDER (--parent FOLDER | --root) [--at N]");
    mv.summary = QStringLiteral("move a folder into another or to the root level");
    mv.description =
        QStringLiteral("Moves FOLDER, with its subfolders and items, into the --parent folder or to the "
                       "root level. A folder cannot go into its own subfolder.\n\n") +
        FolderNaming;
    mv.options = {parentOptionFor(QStringLiteral("move it into FOLDER")),
                  QCommandLineOption(QStringLiteral("root"), QStringLiteral("move it to the root level")),
                  atOption(QStringLiteral("its place there, from 0 (default: last)"))};
    mv.examples = {QStringLiteral("vkctl folder mv \"Day 1\" --parent \"Holiday 2026\" --at 0")};
    mv.minArgs = mv.maxArgs = 1;
    mv.run = [](Call &call) { return runMoveOrCopy(call, false); };

    Command cp = mv;
    cp.name = QStringLiteral("folder cp");
    cp.summary = QStringLiteral("copy a folder into another or to the root level; prints the copy's OID");
    cp.description =
        QStringLiteral("Copies FOLDER, with its subfolders and items, into the --parent folder or to the "
                       "root level, and prints the copy's OID. Items stored in the database get copies of "
                       "their own.\n\n") +
        FolderNaming;
    cp.options = {parentOptionFor(QStringLiteral("copy it into FOLDER")),
                  QCommandLineOption(QStringLiteral("root"), QStringLiteral("copy it to the root level")),
                  atOption(QStringLiteral("the copy's place there, from 0 (default: last)"))};
    cp.examples = {QStringLiteral("vkctl folder cp \"Holiday 2026\" --root")};
    cp.run = [](Call &call) { return runMoveOrCopy(call, true); };

    Command rm;
    rm.name = QStringLiteral("folder rm");
    rm.synopsis = QStringLiteral("FOLDER");
    rm.summary = QStringLiteral("remove a folder with its subfolders and items");
    rm.description =
        QStringLiteral("Removes FOLDER with its subfolders and their items. Copies stored in the "
                       "database go with their rows; linked files stay where they are.\n\n") +
        FolderNaming;
    rm.examples = {QStringLiteral("vkctl folder rm \"Holiday 2026/Day 1\"")};
    rm.minArgs = rm.maxArgs = 1;
    rm.run = runRm;

    return {add, ls, rename, mv, cp, rm};
}

} // namespace vk
