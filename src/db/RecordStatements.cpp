#include "RecordStatements.h"

#include "Connection.h"
#include "Messages.h"
#include "Statement.h"

#include <QFileInfo>
#include <QLocale>

namespace vk {

namespace {

const char *const TableOfKind[] = {"Folder", "MediaData", "ClearBook_Table", "Slide_Table", "Object_Table"};

bool inRange(RecordKind kind, RecordKind last)
{
    return int(kind) >= 0 && int(kind) <= int(last);
}

QString tableOf(RecordKind kind)
{
    return QString::fromLatin1(TableOfKind[int(kind)]);
}

// An update with its values in order; reports `message` + `name` when a step fails.
bool runUpdate(Connection &c, const QString &text, const QStringList &values, int message,
               const QString &name)
{
    Statement st(c, text);
    bool good = st.needsParams();
    for (int i = 0; good && i < values.size(); ++i) {
        const int rc = st.bind(values[i]);
        good = rc < 2 || (rc == vkdb::DbNeedParams && i + 1 < values.size());
    }
    good = good && st.execute() < 2;
    if (!good)
        c.report(message, name);
    return good;
}

bool replaceFile(Connection &c, const QString &text, const QString &oid, const QString &path,
                 QString *newName, QString (*lookUp)(Connection &, const QString &))
{
    if (newName)
        newName->clear();
    {
        Statement st(c, text);
        if (!st.needsParams()) {
            c.report(MsgSqlOpen);
            return false;
        }
        const int fileResult = QFileInfo(path).isFile() ? st.bindFile(path) : st.bindNull();
        if (fileResult > 1 && fileResult != vkdb::DbNeedParams) {
            c.report(MsgUpdateData, QStringLiteral("MediaData"));
            return false;
        }
        if (st.bind(oid) > 1) {
            c.report(MsgUpdateData, QStringLiteral("MediaData"));
            return false;
        }
        if (st.execute() > 1) {
            c.report(MsgSetParamEnd);
            return false;
        }
    }
    const QString name = lookUp(c, oid);
    if (newName)
        *newName = name;
    return true;
}

QString fileNameOf(Connection &c, const QString &text, const QString &oid, int noRowMessage,
                   const QString &noRowName)
{
    Statement st(c, text);
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return QString();
    }
    st.bind(oid);
    if (st.execute() > 1) {
        c.report(MsgSetParamEnd);
        return QString();
    }
    QStringList row;
    if (st.fetch(row) > 1 || row.isEmpty()) {
        c.report(noRowMessage, noRowName);
        return QString();
    }
    return row.value(0);
}

double maxOf(Connection &c, const QString &text, const QString &table)
{
    Statement st(c, text);
    if (!st.isOpen()) {
        c.report(MsgRetrieveTableData, table);
        return -1;
    }
    QStringList row;
    const int rc = st.fetch(row);
    if (rc == vkdb::DbNoMoreRows)
        return 0;
    if (rc > 1) {
        c.report(MsgRetrieveTableData, table);
        return -1;
    }
    return row.value(0).isEmpty() ? 0 : row.value(0).toDouble();
}

} // namespace

QString floatText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool DeleteMediaRow(Connection &c, const QString &oid)
{
    return runUpdate(c, QStringLiteral("delete from MediaData where OID = ?"), {oid}, MsgDeleteData,
                     QStringLiteral("MediaData"));
}

bool ReadDescription(Connection &c, const QString &oid, RecordKind kind, QString *description)
{
    static const char *const texts[] = {
        "select Description from Folder where OID = ?",
        "select description from MediaData where OID = ?",
        "select CB_Describe from ClearBook_Table where OID = ?",
        "select Slide_Describe from Slide_Table where OID = ?",
    };
    if (!inRange(kind, RecordKind::Slide))
        return false;
    Statement st(c, QString::fromLatin1(texts[int(kind)]));
    QStringList row;
    bool good = st.needsParams() && st.bind(oid) < 2 && st.execute() < 2 && st.fetch(row) == vkdb::DbOk;
    if (!good) {
        c.report(MsgRetrieveColumnData, QStringLiteral("description"));
        return false;
    }
    if (description)
        *description = row.value(0);
    return true;
}

bool WriteTitleAndDescription(Connection &c, const QString &oid, const QString &title,
                              const QString &description, RecordKind kind)
{
    static const char *const texts[] = {
        "update Folder set Description = ?, Title= ?  where OID = ?",
        "update MediaData set description = ?, title= ?  where OID = ?",
    };
    if (!inRange(kind, RecordKind::MediaData))
        return false;
    return runUpdate(c, QString::fromLatin1(texts[int(kind)]), {description, title, oid}, MsgUpdateData,
                     tableOf(kind));
}

bool WriteFolderIndex(Connection &c, const QString &oid, double index)
{
    return runUpdate(c, QStringLiteral("update Folder set index=?  where OID = ?"), {floatText(index), oid},
                     MsgUpdateData, QStringLiteral("Folder"));
}

bool WriteTitle(Connection &c, const QString &oid, const QString &title, RecordKind kind)
{
    static const char *const texts[] = {
        "update Folder set Title= ?  where OID = ?",
        "update MediaData set title= ?  where OID = ?",
        "update ClearBook_Table set CB_Title= ?  where OID = ?",
        "update Slide_Table set Slide_Title= ?  where OID = ?",
        "update Object_Table set Title= ?  where OID = ?",
    };
    if (!inRange(kind, RecordKind::Object))
        return false;
    return runUpdate(c, QString::fromLatin1(texts[int(kind)]), {title, oid}, MsgUpdateData, tableOf(kind));
}

bool WriteDescription(Connection &c, const QString &oid, const QString &description, RecordKind kind)
{
    static const char *const texts[] = {
        "update Folder set Description = ? where OID = ?",
        "update MediaData set description = ? where OID = ?",
        "update ClearBook_Table set CB_Describe = ? where OID = ?",
        "update Slide_Table set Slide_Describe = ? where OID = ?",
    };
    if (!inRange(kind, RecordKind::Slide))
        return false;
    return runUpdate(c, QString::fromLatin1(texts[int(kind)]), {description, oid}, MsgUpdateData,
                     tableOf(kind));
}

bool WriteFolderTileSize(Connection &c, const QString &oid, int width, int height, int border)
{
    return runUpdate(c,
                     QStringLiteral("update Folder set Width = ?,Height = ?,BorderWidth = ? where OID = ?"),
                     {QString::number(width), QString::number(height), QString::number(border), oid},
                     MsgUpdateData, QStringLiteral("Folder"));
}

bool ReplaceThumbnailFile(Connection &c, const QString &oid, const QString &path, QString *newName)
{
    return replaceFile(c, QStringLiteral("update MediaData set  MediaNail = ?  where OID = ?"), oid, path,
                       newName, ThumbnailFileName);
}

bool ReplaceMediaFile(Connection &c, const QString &oid, const QString &path, QString *newName)
{
    return replaceFile(c, QStringLiteral("update MediaData set  media = ?  where OID = ?"), oid, path,
                       newName, MediaFileName);
}

QString MediaFileName(Connection &c, const QString &oid)
{
    return fileNameOf(c, QStringLiteral("select filename(media) from MediaData where OID = ?"), oid,
                      MsgRetrieveFilename, QStringLiteral("media"));
}

QString ThumbnailFileName(Connection &c, const QString &oid)
{
    return fileNameOf(c, QStringLiteral("select filename(MediaNail) from MediaData where OID = ?"), oid,
                      MsgRetrieveTableData, QStringLiteral("MediaData"));
}

bool WriteMediaToFile(Connection &c, const QString &oid, const QString &path)
{
    Statement st(c, QStringLiteral("select media from MediaData where OID = ?"));
    QStringList row;
    bool good = st.needsParams() && st.bind(oid) < 2 && st.execute() < 2 && st.setColumnFile(0, path) < 2 &&
                st.fetch(row) == vkdb::DbOk;
    if (!good)
        c.report(MsgRetrieveColumnData, QStringLiteral("media"));
    return good;
}

double MaxFolderIndex(Connection &c)
{
    return maxOf(c, QStringLiteral("select max(index) from Folder"), QStringLiteral("Folder"));
}

double MaxOfColumn(Connection &c, const QString &column, const QString &table)
{
    return maxOf(c, QStringLiteral("select max(") + column + QStringLiteral(") from ") + table, table);
}

} // namespace vk
