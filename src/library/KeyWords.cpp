#include "KeyWords.h"

#include "Connection.h"
#include "DbFolder.h"
#include "Engine.h"
#include "Messages.h"
#include "RowValues.h"
#include "Schema.h"
#include "Statement.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace vk {

namespace {

const QString KeyWordsTable = QStringLiteral("KeyWords_Table");

} // namespace

bool TDbKeyWord::Select(Connection &c)
{
    if (Rec.OID == QLatin1String("-1"))
        return false;
    Statement st(c, QStringLiteral("select Name, filename(Icon), Reference from KeyWords_Table where OID=?"));
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    st.bind(Rec.OID);
    if (st.execute() > 1) {
        c.report(MsgRetrieveDataFromTable, KeyWordsTable);
        return false;
    }
    QStringList row;
    if (st.fetch(row) != vkdb::DbOk)
        return false;
    Rec.Name = row[0];
    Rec.IconFile = row[1];
    Rec.Reference = row[2].toInt();
    Modified = false;
    IconChanged = false;
    return true;
}

namespace {

// The name column holds 32 characters, one line: a name that does not fit is refused with
// its reason instead of being cut or breaking the one-a-line lists.
bool nameFits(Connection &c, const QString &name)
{
    QString reason;
    if (name.trimmed().isEmpty())
        reason = vkMessage("KeywordNameEmpty");
    else if (name.size() > 32)
        reason = vkMessage("KeywordNameTooLong").arg(name);
    else if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        reason = vkMessage("KeywordNameLineBreak");
    if (reason.isEmpty())
        return true;
    c.report(reason);
    return false;
}

} // namespace

bool TDbKeyWord::Update(Connection &c)
{
    if (Rec.OID == QLatin1String("-1") || !nameFits(c, Rec.Name))
        return false;
    Statement st(c, QStringLiteral("update KeyWords_Table") +
                        (IconChanged ? QStringLiteral(" set Name=?, Icon=?, Reference=?")
                                     : QStringLiteral(" set Name=?, Reference=?")) +
                        QStringLiteral(" where OID=?"));
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    st.bind(Rec.Name);
    if (IconChanged)
        st.bindFile(Rec.IconFile); // null when there is no such file
    st.bind(QString::number(Rec.Reference));
    st.bind(Rec.OID);
    if (st.execute() > 1) {
        c.report(MsgUpdateData, KeyWordsTable);
        return false;
    }
    if (IconChanged)
        Select(c);
    Modified = false;
    IconChanged = false;
    return true;
}

bool TDbKeyWord::Delete(Connection &c)
{
    Statement st(c, QStringLiteral("delete from KeyWords_Table where OID=?"));
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    st.bind(Rec.OID);
    if (st.execute() > 1) {
        c.report(MsgDeleteData, KeyWordsTable);
        return false;
    }
    Rec.OID = QStringLiteral("-1");
    return true;
}

bool TDbKeyWord::Insert(Connection &c)
{
    if (!nameFits(c, Rec.Name))
        return false;
    Statement st(c, QStringLiteral("insert into KeyWords_Table (Name, Icon, Reference) values (?, ?, ?)"));
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    st.bind(Rec.Name);
    st.bindFile(Rec.IconFile);
    st.bind(QString::number(Rec.Reference));
    QString oid;
    if (st.execute(&oid) > 1 || oid.isEmpty()) {
        c.report(MsgInsertData, KeyWordsTable);
        return false;
    }
    Rec.OID = oid;
    Select(c);
    return true;
}

TDbKeyWordList::~TDbKeyWordList()
{
    qDeleteAll(Items);
}

bool TDbKeyWordList::Load(Connection &c)
{
    Statement st(c, QStringLiteral("select OID, Name, filename(Icon), Reference from KeyWords_Table"));
    if (!st.isOpen()) {
        c.report(MsgSqlOpen);
        return false;
    }
    while (st.next() == vkdb::DbOk) {
        auto *k = new TDbKeyWord;
        k->Rec.OID = st.text(0);
        k->Rec.Name = st.text(1);
        k->Rec.IconFile = st.text(2);
        k->Rec.Reference = columnInt(st, 3);
        Items.append(k);
    }
    return true;
}

bool RefreshKeywords(Connection &c, TDbKeyWordList &list)
{
    TDbKeyWordList stored;
    if (!stored.Load(c))
        return false;
    QList<TDbKeyWord *> merged;
    for (TDbKeyWord *fresh : stored.Items) {
        if (TDbKeyWord *k = FindKeyword(list, fresh->Rec.OID)) {
            if (!k->Modified && !k->IconChanged)
                k->Rec = fresh->Rec;
            list.Items.removeOne(k);
            merged.append(k);
        } else {
            merged.append(fresh);
        }
    }
    // Kept objects were taken out of `list`, new ones go over to it: what stays in either old
    // list is no longer stored.
    for (TDbKeyWord *k : std::as_const(merged))
        stored.Items.removeOne(k);
    qDeleteAll(list.Items);
    list.Items = merged;
    return true;
}

int AddKeyword(Connection &c, TDbKeyWordList &list, const TsKeyWord &record)
{
    auto *k = new TDbKeyWord;
    k->Rec = record;
    list.Items.append(k);
    if (!k->Insert(c)) {
        list.Items.removeOne(k);
        delete k;
        return -1;
    }
    return int(list.Items.size()) - 1;
}

bool RemoveKeyword(Connection &c, TDbKeyWordList &list, TDbKeyWord *keyword,
                   const std::function<void(const QString &oid, const QString &keyWords)> &untagged)
{
    QList<QPair<QString, QString>> changed; // media OID, its KeyWords without the keyword
    if (keyword->Rec.OID != QLatin1String("-1")) {
        const QString oid = keyword->Rec.OID;
        Transaction tx(c);
        if (!tx.isActive())
            return false;
        {
            // OIDs are digits: the pattern finds candidates, the whole-line test decides.
            Statement st(c, QStringLiteral("select OID, KeyWords from MediaData where KeyWords like ?"));
            if (!st.needsParams() || st.bind(QLatin1Char('%') + oid + QLatin1Char('%')) > 1 ||
                st.execute() > 1) {
                c.report(MsgRetrieveTableData, QStringLiteral("MediaData"));
                return false;
            }
            QStringList row;
            int rc;
            while ((rc = st.fetch(row)) < 2) {
                QStringList oids = KeywordOids(row.value(1));
                if (oids.removeAll(oid) > 0)
                    changed.append({row.value(0), KeywordText(oids)});
            }
            if (rc != vkdb::DbNoMoreRows) {
                c.report(MsgRetrieveTableData, QStringLiteral("MediaData"));
                return false;
            }
        }
        Statement update(c, QStringLiteral("update MediaData set KeyWords=? where OID=?"));
        for (const auto &[mediaOid, keyWords] : changed) {
            update.nextParamSet();
            if (!update.needsParams() || update.bind(keyWords) != vkdb::DbNeedParams ||
                update.bind(mediaOid) > 1 || update.execute() > 1) {
                c.report(MsgUpdateData, QStringLiteral("MediaData"));
                return false;
            }
        }
        if (!keyword->Delete(c) || !tx.commit())
            return false;
    }
    if (untagged)
        for (const auto &[mediaOid, keyWords] : changed)
            untagged(mediaOid, keyWords);
    list.Items.removeOne(keyword);
    delete keyword;
    return true;
}

TDbKeyWord *FindKeyword(const TDbKeyWordList &list, const QString &oid)
{
    for (TDbKeyWord *k : list.Items)
        if (k->Rec.OID == oid)
            return k;
    return nullptr;
}

QStringList KeywordOids(const QString &keyWords)
{
    QStringList out;
    for (const QString &line :
         keyWords.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")), Qt::SkipEmptyParts)) {
        const QString oid = line.trimmed();
        if (!oid.isEmpty())
            out.append(oid);
    }
    return out;
}

QString KeywordText(const QStringList &oids)
{
    QString text;
    for (const QString &oid : oids)
        text += oid + QStringLiteral("\r\n");
    return text;
}

bool HasKeyword(const QString &keyWords, const QString &oid)
{
    return KeywordOids(keyWords).contains(oid);
}

bool ToggleKeyword(Connection &c, TDbKeyWord *keyword, TDbMedia *item, bool down)
{
    TDbMedia *target = item && item->MirrorOf ? item->MirrorOf : item;
    if (!target || target->SubFolder || target->isSubFolderTile())
        return false;
    QStringList oids = KeywordOids(target->Rec.KeyWords);
    const bool listed = oids.contains(keyword->Rec.OID);
    if (down == listed)
        return false;
    if (down)
        oids.append(keyword->Rec.OID);
    else
        oids.removeAll(keyword->Rec.OID);
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    const QString before = target->Rec.KeyWords;
    target->Rec.KeyWords = KeywordText(oids);
    target->Changed = MediaKeyWords;
    keyword->Rec.Reference += down ? 1 : -1;
    if (!target->Update(c, false) || !keyword->Update(c) || !tx.commit()) {
        target->Rec.KeyWords = before;
        keyword->Rec.Reference -= down ? 1 : -1;
        return false;
    }
    if (item != target)
        item->Rec.KeyWords = target->Rec.KeyWords;
    return true;
}

bool RecountKeywords(Connection &c)
{
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    if (!ConvertKeywords(c))
        return false;
    return tx.commit();
}

} // namespace vk
