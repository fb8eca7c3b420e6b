#include "FolderNames.h"

#include "DbFolder.h"
#include "Statement.h"

#include <functional>

namespace vk {

namespace {

// Walks the titles of a path down from the root level. `children` answers the folders in a
// folder (null: the root level) in their order, `title` a folder's title.
template <typename Folder>
QList<Folder> matchPath(const QStringList &titles,
                        const std::function<QList<Folder>(const Folder *)> &children,
                        const std::function<QString(const Folder &)> &title)
{
    QList<Folder> level = children(nullptr);
    QList<Folder> found;
    for (qsizetype depth = 0; depth < titles.size(); ++depth) {
        found.clear();
        for (const Folder &f : std::as_const(level))
            if (title(f) == titles[depth])
                found << f;
        if (depth + 1 < titles.size()) {
            level.clear();
            for (const Folder &f : std::as_const(found))
                level << children(&f);
        }
    }
    return found;
}

QString ambiguity(const QString &name, const QStringList &oids)
{
    return QStringLiteral("%1 folders are at \"%2\"; name one by its OID: %3")
        .arg(oids.size())
        .arg(name, oids.join(QStringLiteral(", ")));
}

QString missing(const QString &name)
{
    return QStringLiteral("there is no folder %1").arg(name);
}

} // namespace

QStringList PathTitles(const QString &path)
{
    QStringList out;
    QString current;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar next = i + 1 < path.size() ? path[i + 1] : QChar();
        if (path[i] == QLatin1Char('\\') && (next == QLatin1Char('/') || next == QLatin1Char('\\'))) {
            current += next;
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

QString PathStep(const QString &title)
{
    QString out = title;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('/'), QLatin1String("\\/"));
    return out;
}

QString FolderPath(const TDbFolder *folder)
{
    QStringList steps;
    for (const TDbFolder *f = folder; f; f = f->Tile ? f->Tile->Owner : nullptr)
        steps.prepend(PathStep(f->Rec.Title));
    return steps.join(QLatin1Char('/'));
}

TDbFolder *FindFolderByName(TDbFolderList &roots, const QString &name, QString *error)
{
    if (TDbFolder *f = roots.FindFolderByOid(name))
        return f;
    const QList<TDbFolder *> found = matchPath<TDbFolder *>(
        PathTitles(name),
        [&roots](TDbFolder *const *parent) {
            if (!parent)
                return roots.Folders;
            QList<TDbFolder *> subfolders;
            if ((*parent)->MediaList)
                for (TDbMedia *m : (*parent)->MediaList->Items)
                    if (m->SubFolder)
                        subfolders << m->SubFolder;
            return subfolders;
        },
        [](TDbFolder *const &f) { return f->Rec.Title; });
    if (found.size() == 1)
        return found.first();
    if (found.isEmpty()) {
        *error = missing(name);
    } else {
        QStringList oids;
        for (TDbFolder *f : found)
            oids << f->Rec.OID;
        *error = ambiguity(name, oids);
    }
    return nullptr;
}

namespace {

struct Row
{
    QString oid, folderId, parent, title;
    bool isRoot() const { return parent.isEmpty() || parent == QLatin1String("0"); }
};

// The rows of the Folder table; false with *error set when it cannot be read.
bool folderRows(Connection &c, QList<Row> *rows, QString *error)
{
    Statement st(c, QStringLiteral("select OID, FolderId, ParFolderId, Title from Folder order by index"));
    QStringList values;
    int rc;
    while ((rc = st.fetch(values)) < 2)
        rows->append({values.value(0), values.value(1), values.value(2), values.value(3)});
    if (rc != vkdb::DbNoMoreRows) {
        *error = QString::fromStdString(vkdb::DbErrorText());
        return false;
    }
    return true;
}

} // namespace

QString FolderPathByOid(Connection &c, const QString &oid)
{
    QList<Row> rows;
    QString error;
    if (!folderRows(c, &rows, &error))
        return QString();
    QStringList steps;
    QString next = oid;
    // A loop of parents (a damaged table) ends when a folder comes round again.
    for (qsizetype guard = 0; guard <= rows.size(); ++guard) {
        const Row *found = nullptr;
        for (const Row &r : std::as_const(rows))
            if (guard == 0 ? r.oid == next : r.folderId == next)
                found = &r;
        if (!found)
            return guard == 0 ? QString() : steps.join(QLatin1Char('/'));
        steps.prepend(PathStep(found->title));
        if (found->isRoot())
            break;
        next = found->parent;
    }
    return steps.join(QLatin1Char('/'));
}

QString FolderOidByName(Connection &c, const QString &name, QString *error)
{
    QList<Row> rows;
    if (!folderRows(c, &rows, error))
        return QString();
    for (const Row &r : std::as_const(rows))
        if (r.oid == name)
            return name;
    const QList<Row> found = matchPath<Row>(
        PathTitles(name),
        [&rows](const Row *parent) {
            QList<Row> level;
            for (const Row &r : std::as_const(rows)) {
                if (parent ? !r.isRoot() && r.parent == parent->folderId : r.isRoot())
                    level << r;
            }
            return level;
        },
        [](const Row &r) { return r.title; });
    if (found.size() == 1)
        return found.first().oid;
    if (found.isEmpty()) {
        *error = missing(name);
    } else {
        QStringList oids;
        for (const Row &r : found)
            oids << r.oid;
        *error = ambiguity(name, oids);
    }
    return QString();
}

} // namespace vk
