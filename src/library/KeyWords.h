// Keywords: tags with a name and an icon, kept in KeyWords_Table. A media item lists
// its keywords' OIDs in its KeyWords column, one a line; each keyword counts the media
// that use it.
#pragma once

#include <QList>

#include <QString>
#include <QStringList>
#include <functional>

namespace vk {

class Connection;
class TDbMedia;

struct TsKeyWord
{
    QString OID = QStringLiteral("-1");
    QString Name;
    QString IconFile;
    int Reference = 0;
};

class TDbKeyWord
{
public:
    bool Modified = false;
    TsKeyWord Rec;
    bool IconChanged = false; // the icon was replaced and must be written

    bool Select(Connection &c);
    bool Update(Connection &c);
    bool Delete(Connection &c);
    bool Insert(Connection &c);
};

class TDbKeyWordList
{
public:
    TDbKeyWordList() = default;
    ~TDbKeyWordList();
    TDbKeyWordList(const TDbKeyWordList &) = delete;
    TDbKeyWordList &operator=(const TDbKeyWordList &) = delete;

    QList<TDbKeyWord *> Items; // in load order

    bool Load(Connection &c);
};

// Creates a keyword from the record, appends it and stores it; answers its position (-1 on failure).
int AddKeyword(Connection &c, TDbKeyWordList &list, const TsKeyWord &record);
// The keywords as stored now (another program changed them), merged into the list: one still
// there keeps its object with its name, icon and count read again, a new one is appended, one
// deleted elsewhere leaves the list and is freed. False when the table cannot be read (the list
// stays as it was).
bool RefreshKeywords(Connection &c, TDbKeyWordList &list);
// Takes the keyword off every media row that lists it, deletes its row, takes it out of the
// list and frees it, as one change. `untagged` is told each media row changed (its OID and
// its new KeyWords), for the items a caller holds in memory.
bool RemoveKeyword(Connection &c, TDbKeyWordList &list, TDbKeyWord *keyword,
                   const std::function<void(const QString &oid, const QString &keyWords)> &untagged = {});
TDbKeyWord *FindKeyword(const TDbKeyWordList &list, const QString &oid);

// The OIDs of a KeyWords text, one a line; and the text of a list of OIDs.
QStringList KeywordOids(const QString &keyWords);
QString KeywordText(const QStringList &oids);
// Whether a KeyWords text lists that OID: whole lines only, never a part of another OID.
bool HasKeyword(const QString &keyWords, const QString &oid);

// Tags or untags a media item (a search result's mirror tags the library item it shows; a
// subfolder tile is no target). The item's KeyWords is stored and the keyword's Reference
// follows. Answers false when nothing changed.
bool ToggleKeyword(Connection &c, TDbKeyWord *keyword, TDbMedia *item, bool down);

// Rebuilds every media row's KeyWords from names and every Reference, as one change.
bool RecountKeywords(Connection &c);

} // namespace vk
