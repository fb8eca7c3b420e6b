#include "Schema.h"

#include "ConfigFile.h"
#include "Connection.h"
#include "Engine.h"
#include "Messages.h"
#include "Statement.h"
#include "UiServices.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <optional>

namespace vk {

namespace {

const QString CRLF = QStringLiteral("\r\n");

// A name as an SQL string literal.
QString q(const QString &text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

// A catalog query answers "exists" when a row is fetched; nullopt when it could not be run
// (its message has been shown).
std::optional<bool> catalogHasRow(Connection &c, const QString &text, const QString &failureName)
{
    Statement st(c, text);
    if (!st.isOpen()) {
        c.report(MsgRetrieveTableData, failureName);
        return std::nullopt;
    }
    QStringList row;
    const int rc = st.fetch(row);
    if (rc > 1 && rc != vkdb::DbNoMoreRows) {
        c.report(MsgRetrieveTableData, failureName);
        return std::nullopt;
    }
    return rc < 2;
}

std::optional<bool> tableExists(Connection &c, const QString &name)
{
    return catalogHasRow(c, QStringLiteral("select TABLE_NAME from SYSTABLE where TABLE_NAME = ") + q(name),
                         QStringLiteral("SYSTABLE"));
}

std::optional<bool> folderColumnExists(Connection &c, const QString &column)
{
    return catalogHasRow(
        c,
        QStringLiteral("select COLUMN_NAME from SYSCOLUMN where TABLE_NAME='Folder' and COLUMN_NAME=") +
            q(column),
        QStringLiteral("Folder"));
}

std::optional<bool> mediaColumnExists(Connection &c, const QString &column)
{
    return catalogHasRow(
        c,
        QStringLiteral("select COLUMN_NAME from SYSCOLUMN where TABLE_NAME='MediaData' and COLUMN_NAME=") +
            q(column),
        QStringLiteral("MediaData"));
}

std::optional<bool> columnExists(Connection &c, const QString &table, const QString &column)
{
    return catalogHasRow(c,
                         QStringLiteral("select COLUMN_NAME from SYSCOLUMN where TABLE_NAME=") + q(table) +
                             QStringLiteral(" and COLUMN_NAME=") + q(column),
                         table);
}

bool openAndFree(Connection &c, const QString &text)
{
    Statement st(c, text);
    return st.openResult() < 2;
}

void note(QStringList *changes, const QString &text)
{
    if (changes)
        changes->append(text);
}

// Adds a column (and runs what must follow it) as one change: a crash leaves the column
// missing and the step runs again at the next start.
void addColumnStep(Connection &c, const QString &table, const QString &column, const QString &type,
                   const std::function<bool()> &then, QStringList *changes)
{
    Transaction tx(c);
    if (!tx.isActive())
        return;
    const bool added = AddColumn(c, table, column, type);
    if (!added) {
        c.report(MsgAlterTable, table);
        return;
    }
    if (then && !then())
        return; // rolled back
    if (tx.commit())
        note(changes, QStringLiteral("added column %1.%2").arg(table, column));
}

} // namespace

bool CreateTable(Connection &c, const QString &name, const QString &columns)
{
    return vkdb::DbExecDirect(c.handle(), (QStringLiteral("create table ") + name + QStringLiteral(" (") +
                                           columns + QLatin1Char(')'))
                                              .toStdString()) < 2;
}

bool AddFolderColumn(Connection &c, const QString &column, const QString &type)
{
    return openAndFree(c, QStringLiteral("alter table Folder add ") + column + QLatin1Char(' ') + type);
}

bool AddMediaDataColumn(Connection &c, const QString &column, const QString &type)
{
    return openAndFree(c, QStringLiteral("alter table MediaData add ") + column + QLatin1Char(' ') + type);
}

bool AddColumn(Connection &c, const QString &table, const QString &column, const QString &type)
{
    return openAndFree(c, QStringLiteral("alter table ") + table + QStringLiteral(" add ") + column +
                              QLatin1Char(' ') + type);
}

bool ConvertKeywords(Connection &c)
{
    struct Entry
    {
        QString name, oid;
        int count = 0;
    };
    QList<Entry> entries;
    QHash<QString, int> byName; // upper-cased name
    QHash<QString, int> byOid;
    {
        Statement st(c, QStringLiteral("select OID, Name from KeyWords_Table"));
        if (!st.isOpen()) {
            c.report(MsgSqlOpen, QStringLiteral("KeyWords_Table"));
            return false;
        }
        QStringList row;
        while (st.fetch(row) < 2) {
            byOid.insert(row[0], int(entries.size()));
            byName.insert(row[1].toUpper(), int(entries.size()));
            entries.append({row[1], row[0], 0});
        }
    }
    QList<QPair<QString, QString>> media; // OID, KeyWords
    {
        Statement st(c, QStringLiteral("select OID, KeyWords from MediaData where KeyWords<>''"));
        if (!st.isOpen()) {
            c.report(MsgSqlOpen);
            return false;
        }
        QStringList row;
        int rc;
        while ((rc = st.fetch(row)) < 2)
            media.append({row[0], row[1]});
        if (rc != vkdb::DbNoMoreRows) {
            c.report(MsgRetrieveTableData, QStringLiteral("MediaData"));
            return false;
        }
    }
    Statement update(c, QStringLiteral("update MediaData set KeyWords=? where OID=?"));
    if (!update.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    for (const auto &[oid, keywords] : media) {
        QStringList lines = keywords.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
        QStringList converted;
        for (const QString &raw : lines) {
            const QString line = raw.trimmed();
            if (line.isEmpty())
                continue;
            int index = byOid.value(line, -1);
            if (index < 0)
                index = byName.value(line.toUpper(), -1);
            // The OID of a keyword that is gone names nothing: the line goes, and never
            // becomes a keyword of that name.
            if (index < 0 && isOidText(line))
                continue;
            if (index < 0) {
                // A name without a keyword row: the keyword is made, so that it is not lost.
                Statement insert(c, QStringLiteral("insert into KeyWords_Table (Name) values (?)"));
                QString newOid;
                if (!insert.needsParams() || insert.bind(line) > 1 || insert.execute(&newOid) > 1) {
                    c.report(MsgInsertData, QStringLiteral("KeyWords_Table"));
                    return false;
                }
                index = int(entries.size());
                entries.append({line, newOid, 0});
                byOid.insert(newOid, index);
                byName.insert(line.toUpper(), index);
            }
            const QString &keywordOid = entries[index].oid;
            if (converted.contains(keywordOid))
                continue;
            converted.append(keywordOid);
            ++entries[index].count;
        }
        QString joined;
        for (const QString &k : converted)
            joined += k + CRLF;
        update.nextParamSet();
        update.bind(joined);
        update.bind(oid);
        if (update.execute() > 1) {
            c.report(MsgUpdateData, QStringLiteral("MediaData"));
            return false;
        }
    }
    Statement refs(c, QStringLiteral("update KeyWords_Table set Reference=? where OID=?"));
    if (!refs.needsParams()) {
        c.report(MsgSqlOpen, QStringLiteral("KeyWords_Table"));
        return false;
    }
    for (const Entry &e : entries) {
        refs.nextParamSet();
        refs.bind(QString::number(e.count));
        refs.bind(e.oid);
        if (refs.execute() > 1) {
            c.report(MsgUpdateData, QStringLiteral("KeyWords_Table"));
            return false;
        }
    }
    return true;
}

void StartupSchemaCheck(Connection &c, QStringList *changes)
{
    struct ColumnStep
    {
        const char *table, *column, *type;
    };
    static const ColumnStep folderSteps[] = {
        {"Folder", "index", "float"}, {"Folder", "InsertDate", "date"}, {"Folder", "Author", "char(64)"}};
    for (const ColumnStep &s : folderSteps) {
        if (folderColumnExists(c, QLatin1String(s.column)) == false)
            addColumnStep(c, QLatin1String(s.table), QLatin1String(s.column), QLatin1String(s.type), {},
                          changes);
    }
    if (folderColumnExists(c, QStringLiteral("ParFolderId")) == false) {
        addColumnStep(
            c, QStringLiteral("Folder"), QStringLiteral("ParFolderId"), QStringLiteral("integer"),
            [&c] {
                openAndFree(c, QStringLiteral("update Folder set ParFolderId=0"));
                return true;
            },
            changes);
    }
    static const ColumnStep mediaSteps[] = {{"MediaData", "KeyWords", "varchar(1024)"},
                                            {"MediaData", "InsertDate", "date"},
                                            {"MediaData", "Author", "char(64)"}};
    for (const ColumnStep &s : mediaSteps) {
        if (mediaColumnExists(c, QLatin1String(s.column)) == false)
            addColumnStep(c, QLatin1String(s.table), QLatin1String(s.column), QLatin1String(s.type), {},
                          changes);
    }
    // Only speeds reads up: a database that cannot take it (read-only) is read without it.
    vkdb::DbExecDirect(c.handle(), MediaDataOrderIndexStatement);

    auto convert = [&c] {
        if (ConvertKeywords(c))
            return true;
        vkdb::DbRollback(c.handle());
        return false;
    };
    if (tableExists(c, QStringLiteral("KeyWords_Table")) == false) {
        Transaction tx(c);
        if (!CreateTable(c, QStringLiteral("KeyWords_Table"), QLatin1String(KeyWordsTableColumns))) {
            c.report(MsgCreateTable, QStringLiteral("KeyWords_Table"));
        } else if (convert() && tx.commit()) {
            note(changes, QStringLiteral("created table KeyWords_Table and converted the keywords"));
        }
    } else if (columnExists(c, QStringLiteral("KeyWords_Table"), QStringLiteral("Reference")) == false) {
        addColumnStep(c, QStringLiteral("KeyWords_Table"), QStringLiteral("Reference"),
                      QStringLiteral("integer default 0"), convert, changes);
    }
    if (tableExists(c, QStringLiteral("Flag_Table")) == false) {
        if (CreateTable(c, QStringLiteral("Flag_Table"), QLatin1String(FlagTableColumns)))
            note(changes, QStringLiteral("created table Flag_Table"));
        else
            c.report(MsgCreateTable, QStringLiteral("Flag_Table"));
    }
}

void AuthoringSchemaCheck(Connection &c, QStringList *changes)
{
    struct TableStep
    {
        const char *name, *create;
    };
    static const TableStep tables[] = {{"Folder_Table", FolderTableCreateStatement},
                                       {"ClearBook_Table", ClearBookTableCreateStatement},
                                       {"Slide_Table", SlideTableCreateStatement},
                                       {"Object_Table", ObjectTableCreateStatement}};
    bool tablesGood = true;
    for (const TableStep &t : tables) {
        const auto exists = catalogHasRow(
            c, QStringLiteral("select * from SYSTABLE where TABLE_NAME = ") + q(QLatin1String(t.name)),
            QStringLiteral("SYSTABLE"));
        if (!exists) {
            tablesGood = false;
            break;
        }
        if (!*exists) {
            if (vkdb::DbExecDirect(c.handle(), t.create) > 1) {
                c.report(MsgCreateTable, QLatin1String(t.name));
                tablesGood = false;
                break;
            }
            note(changes, QStringLiteral("created table %1").arg(QLatin1String(t.name)));
        }
    }
    if (tablesGood) {
        // Object_Table's unscaled geometry.
        std::optional<bool> hasLeftS;
        {
            Statement st(c,
                         QStringLiteral("select COLUMN_NAME from SYSCOLUMN where TABLE_NAME='Object_Table'"));
            if (!st.isOpen()) {
                c.report(MsgRetrieveTableData, QStringLiteral("SYSCOLUMN"));
            } else {
                QStringList row;
                hasLeftS = false;
                while (st.fetch(row) < 2)
                    if (row.value(0) == QLatin1String("Left_S"))
                        hasLeftS = true;
            }
        }
        if (hasLeftS == false) {
            Transaction tx(c);
            bool all = true;
            for (const char *col : {"Left_S", "Top_S", "Width_S", "Height_S"}) {
                if (!AddColumn(c, QStringLiteral("Object_Table"), QLatin1String(col),
                               QStringLiteral("float"))) {
                    c.report(MsgAlterTable, QStringLiteral("Object_Table"));
                    all = false;
                    break;
                }
            }
            if (all) {
                openAndFree(c, QStringLiteral("update Object_Table set Left_S=Left") +
                                   QStringLiteral(", set Top_S=Top") + QStringLiteral(", set Width_S=Width") +
                                   QStringLiteral(", set Height_S=Height"));
                if (tx.commit())
                    note(changes, QStringLiteral("added the unscaled geometry to Object_Table"));
            }
        }
        const auto hasSpec2 = catalogHasRow(
            c,
            QStringLiteral(
                "select * from SYSCOLUMN where TABLE_NAME='Object_Table' and COLUMN_NAME='Spec_Property2'"),
            QStringLiteral("SYSCOLUMN"));
        if (hasSpec2 == false) {
            Transaction tx(c);
            if (openAndFree(c, QStringLiteral("alter table Object_Table add Spec_Property2 varchar(2504)"))) {
                openAndFree(c, QStringLiteral("update Object_Table set Spec_Property2=Spec_Property"));
                if (tx.commit())
                    note(changes, QStringLiteral("added column Object_Table.Spec_Property2"));
            } else {
                c.report(MsgAlterTable, QStringLiteral("Object_Table"));
            }
        }
    }
    for (const char *col : {"Slide_Gradient", "Jump_CB_Id", "Jump_Slide_Id"}) {
        if (columnExists(c, QStringLiteral("Slide_Table"), QLatin1String(col)) == false)
            addColumnStep(c, QStringLiteral("Slide_Table"), QLatin1String(col), QStringLiteral("integer"), {},
                          changes);
    }
    if (columnExists(c, QStringLiteral("Object_Table"), QStringLiteral("Design_Index")) == false) {
        addColumnStep(
            c, QStringLiteral("Object_Table"), QStringLiteral("Design_Index"), QStringLiteral("integer"),
            [&c] {
                openAndFree(c, QStringLiteral("update Object_Table set Design_Index=Index"));
                return true;
            },
            changes);
    }
}

bool IntegrationCheck(Connection &c, IntegrationState &state,
                      const std::function<void(const QString &)> &status, QStringList *changes)
{
    if (state.done)
        return true;
    state.done = true;

    vkdb::ConfigFile config(c.configPath().toStdString());
    QString dir = QString::fromStdString(config.unquotedValue(c.dataSourceName().toStdString(), "DB_FODIR"));
    if (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\')))
        dir.chop(1);
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        c.report(vkMessage(MsgMoveFileObject) + QStringLiteral("\n\r") + QLatin1Char('\'') + dir +
                 QLatin1Char('\''));
        return true;
    }
    dir += QLatin1Char('/');

    auto directoryOf = [](const QString &name) { return name.left(name.lastIndexOf(QLatin1Char('/')) + 1); };
    // The paths travel as values: a directory named "it's here" is moved like any other.
    auto moveObject = [&c](const QString &from, const QString &to) {
        Statement st(c, QStringLiteral("move file object ? to ?"));
        return st.needsParams() && st.bind(from) == vkdb::DbNeedParams && st.bind(to) < 2 && st.execute() < 2;
    };

    // FILE_STORED is the name as the catalogue holds it; FILE_NAME is null for an entry the engine
    // will not take for one of its copies (a name outside any file-object directory of this data
    // source). Those are never moved: the check reports them.
    QString first;
    {
        Statement st(c, QStringLiteral("select FILE_STORED from SYSFILEOBJ where FILE_TYPE='00'x and "
                                       "FILE_NAME is not null"));
        if (!st.isOpen()) {
            c.report(MsgRetrieveFilename);
            return false;
        }
        QStringList row;
        const int rc = st.fetch(row);
        if (rc == vkdb::DbNoMoreRows)
            return true;
        if (rc > 1) {
            c.report(MsgRetrieveFilename);
            return false;
        }
        first = row.value(0);
    }
    // Paths on this system tell letter case apart, so the directories are compared exactly.
    if (directoryOf(first) == dir)
        return true;

    int count = 0;
    {
        Statement st(c, QStringLiteral("select count(*) from SYSFILEOBJ where FILE_TYPE='00'x and FILE_NAME "
                                       "is not null"));
        QStringList row;
        if (!st.isOpen() || st.fetch(row) > 1) {
            c.report(MsgRetrieveFilename);
            return false;
        }
        count = row.value(0).toInt();
    }
    if (!state.relocate) {
        // A command that only reads moves nothing; the copies are found where they are.
        return true;
    }
    if (count < 200) {
        if (moveObject(directoryOf(first), dir)) {
            note(changes, QStringLiteral("moved %1 file objects from %2 to %3")
                              .arg(count)
                              .arg(directoryOf(first), dir));
            return true;
        }
    }

    QStringList names;
    {
        Statement st(c, QStringLiteral("select FILE_STORED from SYSFILEOBJ where FILE_TYPE='00'x and "
                                       "FILE_NAME is not null for browse"));
        if (!st.isOpen()) {
            c.report(MsgRetrieveFilename);
            return false;
        }
        QStringList row;
        int rc;
        while ((rc = st.fetch(row)) < 2)
            names.append(row.value(0));
        if (rc != vkdb::DbNoMoreRows) {
            c.report(MsgRetrieveTableData, QStringLiteral("MediaData"));
            return false;
        }
    }
    // Each move is durable on its own once committed; a crash part-way leaves every object
    // either where it was or where it belongs, and the next check finds the rest.
    Transaction tx(c);
    int failed = 0, moved = 0, uncommitted = 0;
    for (int i = 0; i < names.size(); ++i) {
        if (status)
            status(QStringLiteral("Integration Check...") + QString::number(failed) + QLatin1Char('/') +
                   QString::number(i) + QLatin1Char('/') + QString::number(count));
        const QString &name = names[i];
        if (directoryOf(name) == dir)
            continue;
        const QString target = dir + name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
        if (moveObject(name, target)) {
            ++moved;
            if (++uncommitted == 500) {
                vkdb::DbExecDirect(c.handle(), "commit");
                uncommitted = 0;
            }
        } else {
            ++failed;
            // Lost only when it is neither where the catalogue says nor where it belongs.
            if (!QFileInfo::exists(name) && !QFileInfo::exists(target))
                state.lostFiles.append(name);
            else
                note(changes, QStringLiteral("%1 cannot be moved to %2: %3")
                                  .arg(name, dir, QString::fromStdString(vkdb::DbErrorText())));
        }
    }
    tx.commit();
    if (moved)
        note(changes, QStringLiteral("moved %1 file objects to %2").arg(moved).arg(dir));
    if (!state.lostFiles.isEmpty() && c.ui())
        c.ui()->showInformation(QStringLiteral("Vellumark"), state.lostFiles,
                                QStringLiteral("Media file(s) lost!"));
    return true;
}

} // namespace vk
