// vkctl search: the media search from the command line.
//
//   search [--folder FOLDER] [--type image|audio|avi|text|others]... [--text TEXT] [--author TEXT]
//          [--separator CHAR] [--case] [--keyword NAME]... [--from YYYY-MM-DD] [--to YYYY-MM-DD]
//          [--summary] [--json]
//
// Prints the OIDs of the matching media, one a line, in the order the search gives them;
// --summary first prints the eight summary lines as the search dialog shows them. FOLDER is a
// folder's OID or its title path ("Holiday 2026/Day 1", a "/" inside a title written "\/").
#include "SearchCommand.h"

#include "CliOutput.h"
#include "CliSource.h"
#include "Connection.h"
#include "DbFolder.h"
#include "SearchMedia.h"
#include "Statement.h"

#include <QJsonArray>
#include <QJsonObject>

namespace vk {

namespace {

int runSearch(Call &call)
{
    TrecSearchCondition c;
    c.caseSensitive = call.isSet(QStringLiteral("case"));
    for (const QString &type : call.values(QStringLiteral("type"))) {
        int index = -1;
        for (int i = 0; i < MediaClassCount; ++i)
            if (MediaClassName(i).compare(type, Qt::CaseInsensitive) == 0)
                index = i;
        if (index < 0)
            return call.usageError(QStringLiteral("unknown type '%1'").arg(type));
        if (!c.mediaTypes.contains(index))
            c.mediaTypes << index;
    }
    c.text = call.value(QStringLiteral("text"));
    c.author = call.value(QStringLiteral("author"));
    if (call.isSet(QStringLiteral("separator"))) {
        const QString separator = call.value(QStringLiteral("separator"));
        if (separator.size() != 1)
            return call.usageError(QStringLiteral("the separator is one character"));
        c.separator = separator[0];
    }
    c.from = call.value(QStringLiteral("from"));
    c.to = call.value(QStringLiteral("to"));
    if (!c.from.isEmpty() && !c.to.isEmpty())
        c.dateMode = TrecSearchCondition::Between;
    else if (!c.from.isEmpty())
        c.dateMode = TrecSearchCondition::From;
    else if (!c.to.isEmpty())
        c.dateMode = TrecSearchCondition::To;

    Connection connection;
    if (!call.open(connection))
        return ExitFailed;
    TDbFolderList roots(connection);
    const QString folderName = call.value(QStringLiteral("folder"));
    if (!folderName.isEmpty()) {
        if (!roots.Load(80, 100, 3))
            return ExitFailed;
        c.folder = namedFolder(roots, folderName);
        if (!c.folder)
            return ExitFailed;
    }
    for (const QString &name : call.values(QStringLiteral("keyword"))) {
        Statement st(connection, QStringLiteral("select OID from KeyWords_Table where Name = ?"));
        QStringList row;
        if (!st.needsParams() || st.bind(name) > 1 || st.execute() > 1 || st.fetch(row) != vkdb::DbOk) {
            printError(QStringLiteral("there is no keyword %1").arg(name));
            return ExitFailed;
        }
        c.keywordNames << name;
        c.keywordOids << row.value(0);
    }
    const SearchQuery q = BuildSearchQuery(c);
    if (!q.error.isEmpty()) {
        if (q.fromInvalid || q.toInvalid)
            return call.usageError(q.error);
        printError(q.error);
        return ExitFailed;
    }
    QStringList oids;
    if (!SearchOids(connection, q, &oids))
        return ExitFailed;
    const QStringList lines = SearchSummary(c);
    const bool summary = call.isSet(QStringLiteral("summary"));
    if (call.json()) {
        QJsonObject doc{{QStringLiteral("media"), QJsonArray::fromStringList(oids)}};
        if (summary)
            doc.insert(QStringLiteral("summary"), QJsonArray::fromStringList(lines));
        printJson(doc);
        return ExitDone;
    }
    if (summary)
        for (const QString &line : lines)
            printLine(line);
    for (const QString &oid : std::as_const(oids))
        printLine(oid);
    return ExitDone;
}

} // namespace

QList<Command> searchCommands()
{
    Command search;
    search.name = QStringLiteral("search");
    search.synopsis = QStringLiteral(
        "[--folder FOLDER] [--type image|audio|avi|text|others]... [--text TEXT] [--author TEXT] "
        "[--separator CHAR] [--case] [--keyword NAME]... [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--summary] "
        "[--json]");
    search.summary = QStringLiteral("the OIDs of the media that match, in order");
    search.description = QStringLiteral(
        "Prints the OIDs of the matching media, one a line, in the order the search gives them; "
        "--summary first prints the eight summary lines as the search dialog shows them. Every "
        "condition given must hold; text is matched literally, keywords by whole names. With --json: "
        "{\"media\": [OID...], \"summary\": [LINE...]}.\n\n"
        "FOLDER is a folder's OID or its title path (\"Holiday 2026/Day 1\", a \"/\" inside a title "
        "written \"\\/\"); its subfolders are searched too.");
    search.options = {
        QCommandLineOption(QStringLiteral("folder"), QStringLiteral("only in FOLDER and its subfolders"),
                           QStringLiteral("FOLDER")),
        QCommandLineOption(QStringLiteral("type"),
                           QStringLiteral("only media of this class (image, audio, avi, text, others); "
                                          "may be given more than once"),
                           QStringLiteral("TYPE")),
        QCommandLineOption(QStringLiteral("text"), QStringLiteral("in the title or description"),
                           QStringLiteral("TEXT")),
        QCommandLineOption(QStringLiteral("author"), QStringLiteral("by this author"),
                           QStringLiteral("TEXT")),
        QCommandLineOption(QStringLiteral("separator"),
                           QStringLiteral("the character that cuts TEXT into pieces, each searched for"),
                           QStringLiteral("CHAR")),
        QCommandLineOption(QStringLiteral("case"), QStringLiteral("match text with its letter case")),
        QCommandLineOption(QStringLiteral("keyword"),
                           QStringLiteral("tagged with the keyword NAME; may be given more than once"),
                           QStringLiteral("NAME")),
        QCommandLineOption(QStringLiteral("from"), QStringLiteral("inserted on or after this day"),
                           QStringLiteral("YYYY-MM-DD")),
        QCommandLineOption(QStringLiteral("to"), QStringLiteral("inserted on or before this day"),
                           QStringLiteral("YYYY-MM-DD")),
        QCommandLineOption(QStringLiteral("summary"), QStringLiteral("print the search's summary first")),
        jsonOption(),
    };
    search.examples = {QStringLiteral(
        "vkctl search --folder \"Holiday 2026\" --type image --keyword Beach --from 2026-07-01")};
    search.readOnly = true;
    search.run = runSearch;
    return {search};
}

} // namespace vk
