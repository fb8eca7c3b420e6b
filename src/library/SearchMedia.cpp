#include "SearchMedia.h"

#include "Connection.h"
#include "DbFolder.h"
#include "Engine.h"
#include "Messages.h"
#include "Statement.h"

#include <QDate>
#include <QHash>

#include <memory>
#include <vector>

namespace vk {

namespace {

const char *const ClassNames[] = {"Image", "Audio", "AVI", "Text", "Others"};
const char *const ClassConditions[] = {"MediaType>0 and MediaType<98", "MediaType>100 and MediaType<199",
                                       "MediaType>200 and MediaType<299", "MediaType=99", "MediaType>299"};

QString quotedList(const QStringList &items, const QString &joiner)
{
    QStringList q;
    for (const QString &s : items)
        q << QLatin1Char('\'') + s + QLatin1Char('\'');
    return q.join(joiner);
}

bool allClasses(const QList<int> &types)
{
    if (types.isEmpty())
        return true;
    for (int i = 0; i < MediaClassCount; ++i)
        if (!types.contains(i))
            return false;
    return true;
}

bool validDate(const QString &text)
{
    return QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).isValid();
}

} // namespace

QString MediaClassName(int index)
{
    return index >= 0 && index < MediaClassCount ? QLatin1String(ClassNames[index]) : QString();
}

QStringList SplitSearchText(const QString &text, QChar separator)
{
    if (separator.isNull())
        return text.isEmpty() ? QStringList() : QStringList{text};
    return text.split(separator, Qt::SkipEmptyParts);
}

QStringList SearchSummary(const TrecSearchCondition &c)
{
    QStringList lines{QStringLiteral("Search Media are")};
    if (c.noFolder)
        lines << QStringLiteral("1) from No Folder");
    else if (!c.folder)
        lines << QStringLiteral("1) from All Folders");
    else
        lines << QStringLiteral("1) from Folder ") + c.folder->Rec.Title +
                     QStringLiteral(" and it's subfolder(s)");
    const QStringList texts = SplitSearchText(c.text, c.separator);
    lines << (texts.isEmpty() ? QStringLiteral("2) with Any Title or Description")
                              : QStringLiteral("2) with Title or Description containing ") +
                                    quotedList(texts, QStringLiteral(", ")));
    const QStringList authors = SplitSearchText(c.author, c.separator);
    lines << (authors.isEmpty()
                  ? QStringLiteral("3) by Any Author")
                  : QStringLiteral("3) by Author ") + quotedList(authors, QStringLiteral(", ")));
    lines << (c.caseSensitive ? QStringLiteral("4) case Sensitive")
                              : QStringLiteral("4) case Not sensitive"));
    if (allClasses(c.mediaTypes)) {
        lines << QStringLiteral("5) Any Format Type");
    } else {
        QStringList names;
        for (int i : c.mediaTypes)
            names << MediaClassName(i);
        lines << QStringLiteral("5) ") + quotedList(names, QStringLiteral(", ")) + QStringLiteral(" Format");
    }
    lines << (c.keywordNames.isEmpty()
                  ? QStringLiteral("6) about All KeyWords")
                  : QStringLiteral("6) about KeyWords: ") + quotedList(c.keywordNames, QStringLiteral(", ")));
    switch (c.dateMode) {
    case TrecSearchCondition::AllTime:
        lines << QStringLiteral("7) inserted on Any Date");
        break;
    case TrecSearchCondition::From:
        lines << QStringLiteral("7) inserted on Date from ") + c.from;
        break;
    case TrecSearchCondition::To:
        lines << QStringLiteral("7) inserted on Date To ") + c.to;
        break;
    case TrecSearchCondition::Between:
        lines << QStringLiteral("7) inserted on Date From ") + c.from + QStringLiteral(" To ") + c.to;
        break;
    }
    return lines;
}

SearchQuery BuildSearchQuery(const TrecSearchCondition &c)
{
    SearchQuery q;
    if (c.noFolder) {
        q.error = QStringLiteral("No folder selected!");
        return q;
    }
    QStringList clauses;
    QStringList titleParts;

    if (c.folder) {
        QList<const TDbFolder *> folders;
        for (const TDbFolder *d : c.folder->Descendants())
            folders << d;
        folders << c.folder;
        QStringList parts, titles;
        for (const TDbFolder *f : folders) {
            parts << QStringLiteral("FolderId=?");
            q.values << f->Rec.FolderId;
            titles << f->Rec.Title;
        }
        clauses << QLatin1Char('(') + parts.join(QStringLiteral(" or ")) + QLatin1Char(')');
        titleParts << QStringLiteral("Folder(") + quotedList(titles, QStringLiteral(",")) + QLatin1Char(')');
    }
    if (!allClasses(c.mediaTypes)) {
        QStringList parts, names;
        for (int i : c.mediaTypes) {
            if (i < 0 || i >= MediaClassCount)
                continue;
            parts << QLatin1Char('(') + QLatin1String(ClassConditions[i]) + QLatin1Char(')');
            names << MediaClassName(i);
        }
        clauses << QLatin1Char('(') + parts.join(QStringLiteral(" or ")) + QLatin1Char(')');
        titleParts << QStringLiteral("Media(") + quotedList(names, QStringLiteral(",")) + QLatin1Char(')');
    }
    // Texts and authors are contained literally: the engine's match and case match.
    const QString match = c.caseSensitive ? QStringLiteral(" case match ?") : QStringLiteral(" match ?");
    const QStringList texts = SplitSearchText(c.text, c.separator);
    if (!texts.isEmpty()) {
        QStringList parts;
        for (const QString &t : texts) {
            parts << QStringLiteral("( description") + match + QStringLiteral(" or title") + match +
                         QLatin1Char(')');
            q.values << t << t;
        }
        clauses << QLatin1Char('(') + parts.join(QStringLiteral(" or ")) + QLatin1Char(')');
        titleParts << QStringLiteral("Text(") + quotedList(texts, QStringLiteral(",")) + QLatin1Char(')');
    }
    const QStringList authors = SplitSearchText(c.author, c.separator);
    if (!authors.isEmpty()) {
        QStringList parts;
        for (const QString &a : authors) {
            parts << QStringLiteral("Author") + match;
            q.values << a;
        }
        clauses << QLatin1Char('(') + parts.join(QStringLiteral(" or ")) + QLatin1Char(')');
        titleParts << QStringLiteral("Author(") + quotedList(authors, QStringLiteral(",")) + QLatin1Char(')');
    }
    if (!c.keywordOids.isEmpty()) {
        // Whole lines of the KeyWords text, whatever line breaks it was written with.
        QStringList parts;
        for (const QString &oid : c.keywordOids) {
            parts << QStringLiteral("char(10)||replace(KeyWords,char(13),char(10))||char(10) like ?");
            q.values << QStringLiteral("%\n") + oid + QStringLiteral("\n%");
        }
        clauses << QLatin1Char('(') + parts.join(QStringLiteral(" or ")) + QLatin1Char(')');
        titleParts << QStringLiteral("KeyWords(") + quotedList(c.keywordNames, QStringLiteral(",")) +
                          QLatin1Char(')');
    }
    if (c.dateMode != TrecSearchCondition::AllTime) {
        const bool needFrom =
            c.dateMode == TrecSearchCondition::From || c.dateMode == TrecSearchCondition::Between;
        const bool needTo =
            c.dateMode == TrecSearchCondition::To || c.dateMode == TrecSearchCondition::Between;
        q.fromInvalid = needFrom && !validDate(c.from);
        q.toInvalid = !q.fromInvalid && needTo && !validDate(c.to);
        if (q.fromInvalid || q.toInvalid) {
            q.error = QStringLiteral("Date Format or Number is NOT Valid.");
            return q;
        }
        switch (c.dateMode) {
        case TrecSearchCondition::From:
            clauses << QStringLiteral("(InsertDate>=?)");
            q.values << c.from;
            titleParts << QStringLiteral("Date(") + c.from + QStringLiteral("...)");
            break;
        case TrecSearchCondition::To:
            clauses << QStringLiteral("(InsertDate<=?)");
            q.values << c.to;
            titleParts << QStringLiteral("Date(...") + c.to + QLatin1Char(')');
            break;
        default:
            clauses << QStringLiteral("((InsertDate>=?) and  (InsertDate<=?))");
            q.values << c.from << c.to;
            titleParts << QStringLiteral("Date(") + c.from + QStringLiteral("...") + c.to + QLatin1Char(')');
            break;
        }
    }
    q.text = QStringLiteral("select OID, FolderId, title, filename(media), MediaType, filename(MediaNail), "
                            "KeyWords, InsertDate, Author from MediaData ");
    for (qsizetype i = 0; i < clauses.size(); ++i)
        q.text += (i == 0 ? QStringLiteral(" Where ") : QStringLiteral(" and ")) + clauses[i];
    q.title = titleParts.join(QString());
    return q;
}

namespace {

// Opens and executes a search; null with the message shown on failure.
std::unique_ptr<Statement> openSearch(Connection &c, const SearchQuery &query)
{
    auto st = std::make_unique<Statement>(c, query.text);
    bool ok = st->isOpen();
    if (ok && st->needsParams())
        ok = st->bindAll(query.values) && st->execute() < 2;
    if (!ok) {
        c.report(MsgRetrieveTableData, QStringLiteral("MediaData"));
        return nullptr;
    }
    return st;
}

} // namespace

namespace {

// The same conditions over the columns given alone.
SearchQuery narrowedTo(const SearchQuery &query, const QString &columns)
{
    SearchQuery only = query;
    const qsizetype from = only.text.indexOf(QStringLiteral(" from MediaData "));
    if (only.text.startsWith(QStringLiteral("select ")) && from > 0)
        only.text = QStringLiteral("select ") + columns + only.text.mid(from);
    return only;
}

} // namespace

namespace {

TDbMedia *newResultItem(TDbFolder *result, int n)
{
    auto *item = new TDbMedia;
    item->Rec.Index = 32.0 * n;
    item->RefCount = 1;
    item->Owner = result;
    return item;
}

} // namespace

bool RunSearch(Connection &c, const SearchQuery &query, TDbFolder *result, TDbFolderList *roots)
{
    QStringList row;
    int rc;
    if (!roots) {
        std::unique_ptr<Statement> st = openSearch(c, query);
        if (!st)
            return false;
        int n = 0;
        while ((rc = st->fetch(row)) < 2) {
            TDbMedia *item = newResultItem(result, ++n);
            TsMedia &r = item->Rec;
            r.OID = row.value(0);
            r.FolderId = row.value(1);
            r.Title = row.value(2);
            r.MediaFile = row.value(3);
            r.MediaType = row.value(4).toInt();
            r.NailFile = row.value(5);
            r.KeyWords = row.value(6);
            r.InsertDate = row.value(7).isEmpty() ? -1 : textToDate(row.value(7));
            r.Author = row.value(8);
            result->MediaList->Items.append(item);
        }
    } else {
        // Each result item mirrors a library item and shows the values the library holds: only
        // the OIDs are fetched, which spares the engine the file names and the conversion of
        // every other column of every row found. The OIDs found are looked up among the
        // library's items in one pass over them.
        std::unique_ptr<Statement> st = openSearch(c, narrowedTo(query, QStringLiteral("OID")));
        if (!st)
            return false;
        QHash<QString, qsizetype> found; // OID -> its row
        while ((rc = st->fetch(row)) < 2)
            found.insert(row.value(0), found.size());
        std::vector<TDbMedia *> held(size_t(found.size()), nullptr);
        if (!found.isEmpty()) {
            for (const TDbFolder *f : roots->TreeOrder()) {
                if (!f->MediaList)
                    continue; // a subfolder whose list a partial load left unread
                for (TDbMedia *m : std::as_const(f->MediaList->Items)) {
                    if (m->SubFolder)
                        continue;
                    const auto at = found.constFind(m->Rec.OID);
                    if (at != found.cend())
                        held[size_t(*at)] = m;
                }
            }
        }
        int n = 0;
        for (TDbMedia *of : held) {
            if (!of)
                continue; // a row this program's library does not hold (yet)
            TDbMedia *item = newResultItem(result, ++n);
            const double index = item->Rec.Index;
            item->Rec = of->Rec;
            item->Rec.Index = index;
            item->MirrorOf = of;
            ++of->RefCount;
            item->External = of->External;
            item->Lost = of->Lost;
            item->NoThumb = of->NoThumb;
            result->MediaList->Items.append(item);
        }
    }
    if (rc != vkdb::DbNoMoreRows) {
        c.report(vkMessage(MsgDatabaseSearch) + QStringLiteral("MediaData"));
        return false;
    }
    return true;
}

bool SearchOids(Connection &c, const SearchQuery &query, QStringList *oids)
{
    // Only the OIDs are wanted: the same conditions over one column.
    std::unique_ptr<Statement> st = openSearch(c, narrowedTo(query, QStringLiteral("OID")));
    if (!st)
        return false;
    QStringList row;
    int rc;
    while ((rc = st->fetch(row)) < 2)
        oids->append(row.value(0));
    if (rc != vkdb::DbNoMoreRows) {
        c.report(vkMessage(MsgDatabaseSearch) + QStringLiteral("MediaData"));
        return false;
    }
    return true;
}

TDbFolder *MakeResultFolder(const QString &title, int width, int height, int border)
{
    auto *f = new TDbFolder;
    f->Rec.OID = QStringLiteral("-1");
    f->Rec.FolderId = QStringLiteral("-1");
    f->Rec.ParFolderId = QStringLiteral("0");
    f->Rec.Title = title;
    f->Rec.Width = width;
    f->Rec.Height = height;
    f->Rec.BorderWidth = border;
    f->MediaList = std::make_unique<TDbMediaList>(width, height, border);
    return f;
}

void ReleaseResultFolder(TDbFolderList &roots, TDbFolder *result)
{
    if (!result)
        return;
    for (TDbMedia *m : result->MediaList->Items)
        if (TDbMedia *of = m->MirrorOf) {
            m->MirrorOf = nullptr;
            roots.ReleaseItem(of);
        }
    roots.ReleaseFolder(result, false);
}

} // namespace vk
