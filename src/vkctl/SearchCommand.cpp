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

#include "Connection.h"
#include "DbFolder.h"
#include "SearchMedia.h"
#include "Statement.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vk {

namespace {

constexpr int Done = 0;
constexpr int Failed = 1;
constexpr int Usage = 2;

// The titles of a path: split at "/", with "\/" standing for a "/" inside a title.
QStringList pathTitles(const QString &path)
{
    QStringList out;
    QString current;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path[i] == QLatin1Char('\\') && i + 1 < path.size() && path[i + 1] == QLatin1Char('/')) {
            current += QLatin1Char('/');
            ++i;
        } else if (path[i] == QLatin1Char('/')) {
            out << current;
            current.clear();
        } else {
            current += path[i];
        }
    }
    out << current;
    return out;
}

} // namespace

TDbFolder *FindFolderByName(TDbFolderList &roots, const QString &name, QString *error)
{
    if (TDbFolder *f = roots.FindFolderByOid(name))
        return f;
    QList<TDbFolder *> level = roots.Folders;
    QList<TDbFolder *> found;
    const QStringList titles = pathTitles(name);
    for (qsizetype depth = 0; depth < titles.size(); ++depth) {
        found.clear();
        for (TDbFolder *f : std::as_const(level))
            if (f->Rec.Title == titles[depth])
                found << f;
        if (depth + 1 < titles.size()) {
            level.clear();
            for (TDbFolder *f : std::as_const(found))
                for (TDbMedia *m : f->MediaList->Items)
                    if (m->SubFolder)
                        level << m->SubFolder;
        }
    }
    if (found.size() == 1)
        return found.first();
    if (found.isEmpty()) {
        *error = QStringLiteral("there is no folder %1").arg(name);
    } else {
        QStringList oids;
        for (TDbFolder *f : std::as_const(found))
            oids << f->Rec.OID;
        *error = QStringLiteral("%1 folders are at \"%2\"; name one by its OID: %3")
                     .arg(found.size())
                     .arg(name, oids.join(QStringLiteral(", ")));
    }
    return nullptr;
}

int cmdSearch(QStringList args, const BookCommandContext &ctx)
{
    TrecSearchCondition c;
    QString folderName;
    QStringList keywordNames;
    bool summary = false, json = false;
    auto usage = [&ctx](const QString &what) {
        ctx.error(what);
        ctx.error(
            QStringLiteral("usage: vkctl search [--folder FOLDER] [--type image|audio|avi|text|others]... "
                           "[--text TEXT] [--author TEXT] [--separator CHAR] [--case] [--keyword NAME]... "
                           "[--from YYYY-MM-DD] [--to YYYY-MM-DD] [--summary] [--json]"));
        return Usage;
    };
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        auto value = [&args](QString *out) {
            if (args.isEmpty())
                return false;
            *out = args.takeFirst();
            return true;
        };
        QString v;
        if (a == QLatin1String("--case")) {
            c.caseSensitive = true;
        } else if (a == QLatin1String("--summary")) {
            summary = true;
        } else if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--folder") && value(&v)) {
            folderName = v;
        } else if (a == QLatin1String("--type") && value(&v)) {
            int index = -1;
            for (int i = 0; i < MediaClassCount; ++i)
                if (MediaClassName(i).compare(v, Qt::CaseInsensitive) == 0)
                    index = i;
            if (index < 0)
                return usage(QStringLiteral("unknown type '%1'").arg(v));
            if (!c.mediaTypes.contains(index))
                c.mediaTypes << index;
        } else if (a == QLatin1String("--text") && value(&v)) {
            c.text = v;
        } else if (a == QLatin1String("--author") && value(&v)) {
            c.author = v;
        } else if (a == QLatin1String("--separator") && value(&v)) {
            if (v.size() != 1)
                return usage(QStringLiteral("the separator is one character"));
            c.separator = v[0];
        } else if (a == QLatin1String("--keyword") && value(&v)) {
            keywordNames << v;
        } else if (a == QLatin1String("--from") && value(&v)) {
            c.from = v;
        } else if (a == QLatin1String("--to") && value(&v)) {
            c.to = v;
        } else {
            return usage(QStringLiteral("unknown option '%1' for search").arg(a));
        }
    }
    if (!c.from.isEmpty() && !c.to.isEmpty())
        c.dateMode = TrecSearchCondition::Between;
    else if (!c.from.isEmpty())
        c.dateMode = TrecSearchCondition::From;
    else if (!c.to.isEmpty())
        c.dateMode = TrecSearchCondition::To;

    Connection connection;
    if (!ctx.open(connection))
        return Failed;
    TDbFolderList roots(connection);
    if (!folderName.isEmpty()) {
        if (!roots.Load(80, 100, 3))
            return Failed;
        QString error;
        c.folder = FindFolderByName(roots, folderName, &error);
        if (!c.folder) {
            ctx.error(error);
            return Failed;
        }
    }
    for (const QString &name : std::as_const(keywordNames)) {
        Statement st(connection, QStringLiteral("select OID from KeyWords_Table where Name = ?"));
        QStringList row;
        if (!st.needsParams() || st.bind(name) > 1 || st.execute() > 1 || st.fetch(row) != vkdb::DbOk) {
            ctx.error(QStringLiteral("there is no keyword %1").arg(name));
            return Failed;
        }
        c.keywordNames << name;
        c.keywordOids << row.value(0);
    }
    const SearchQuery q = BuildSearchQuery(c);
    if (!q.error.isEmpty()) {
        ctx.error(q.error);
        return q.fromInvalid || q.toInvalid ? Usage : Failed;
    }
    QStringList oids;
    if (!SearchOids(connection, q, &oids))
        return Failed;
    const QStringList lines = SearchSummary(c);
    if (json) {
        QJsonObject doc{{QStringLiteral("media"), QJsonArray::fromStringList(oids)}};
        if (summary)
            doc.insert(QStringLiteral("summary"), QJsonArray::fromStringList(lines));
        ctx.print(QString::fromUtf8(QJsonDocument(doc).toJson(QJsonDocument::Indented)).trimmed());
        return Done;
    }
    if (summary)
        for (const QString &line : lines)
            ctx.print(line);
    for (const QString &oid : std::as_const(oids))
        ctx.print(oid);
    return Done;
}

} // namespace vk
