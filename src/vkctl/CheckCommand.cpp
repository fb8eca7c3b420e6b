// vkctl check: the schema brought up to date, the database's integrity and its files checked,
// and with --repair, orphan copies removed and a damaged database salvaged.
#include "Commands.h"

#include "CliOutput.h"
#include "CliUi.h"
#include "ConfigFile.h"
#include "ConnectChecks.h"
#include "Connection.h"
#include "Engine.h"
#include "OptionStore.h"
#include "Paths.h"
#include "Salvage.h"
#include "Schema.h"
#include "Settings.h"

#include <sqlite3.h>

#include <QSettings>

#include <algorithm>

namespace vk {

namespace {

void printSalvage(const vkdb::SalvageReport &report)
{
    for (const vkdb::SalvagedTable &t : report.tables) {
        if (t.name.rfind("_vk_", 0) == 0 || t.name.rfind("sqlite_", 0) == 0)
            continue;
        QString line =
            QStringLiteral("salvaged: %1 %2 rows kept").arg(QString::fromStdString(t.name)).arg(t.rowsKept);
        if (t.pagesLost)
            line += QStringLiteral(", %1 damaged pages lost").arg(t.pagesLost);
        printLine(line);
    }
    for (const std::string &note : report.notes)
        printLine(QStringLiteral("salvaged: ") + QString::fromStdString(note));
    if (!report.damagedCopy.empty())
        printLine(QStringLiteral("salvaged: the damaged database is kept at ") +
                  QString::fromStdString(report.damagedCopy));
}

// Salvages the closed data source; false (with the reason on stderr) when it cannot be done.
bool salvage(const QString &dataSource)
{
    vkdb::DbEnvironment env{configFilePath().toStdString()};
    vkdb::SalvageReport report;
    if (vkdb::DbSalvage(dataSource.toStdString(), &env, report) != vkdb::DbOk) {
        printError(engineError());
        return false;
    }
    printSalvage(report);
    return true;
}

// Rebuilds the engine's own tables of the closed data source from what is stored; false (with
// the reason on stderr) when it cannot be done.
bool rebuildEngineTables(const QString &dataSource)
{
    vkdb::DbEnvironment env{configFilePath().toStdString()};
    std::vector<std::string> notes, kept;
    if (vkdb::DbRebuildEngineTables(dataSource.toStdString(), &env, notes, kept) != vkdb::DbOk) {
        printError(engineError());
        return false;
    }
    for (const std::string &note : notes)
        printLine(QStringLiteral("rebuilt: ") + QString::fromStdString(note));
    for (const std::string &path : kept)
        printLine(QStringLiteral("kept: ") + QString::fromStdString(path));
    return true;
}

// SQLite's own check of every page; false when it found damage.
bool integrityIntact(Connection &c)
{
    bool intact = true;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(vkdb::DbNativeHandle(c.handle()), "pragma integrity_check", -1, &st, nullptr) !=
        SQLITE_OK) {
        printLine(QStringLiteral("integrity: cannot be checked: ") +
                  QString::fromUtf8(sqlite3_errmsg(vkdb::DbNativeHandle(c.handle()))));
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const QString line = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        intact = intact && line == QLatin1String("ok");
        printLine(QStringLiteral("integrity: ") + line);
    }
    if (rc != SQLITE_DONE) {
        printLine(QStringLiteral("integrity: ") +
                  QString::fromUtf8(sqlite3_errmsg(vkdb::DbNativeHandle(c.handle()))));
        intact = false;
    }
    sqlite3_finalize(st);
    return intact;
}

// vkctl check [--repair]: brings the schema up to date and reports, one line each, damage
// SQLite finds, rows whose internal copy is missing, external files that are lost, and orphan
// copies in the file-object directory. --repair removes the orphans and salvages a damaged
// database; it never touches a user's own file.
int runCheck(Call &call)
{
    const bool repair = call.isSet(QStringLiteral("repair"));
    const GlobalOptions &options = call.global;
    CliUi &ui = call.ui;
    QSettings settings;
    DatabaseSettings db = readDatabaseSettings(settings);
    if (!options.source.isEmpty())
        db.dataSource = options.source;
    Connection c;
    c.setUi(&ui);
    bool salvaged = false;
    bool rebuilt = false;
    if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk &&
        vkdb::DbLastError() == vkdb::ErrNotADatabase && repair) {
        // The engine's own tables were removed or renamed by another program: rebuilt from the rows.
        if (!rebuildEngineTables(db.dataSource))
            return 1;
        rebuilt = true;
    }
    if (!c.isConnected() &&
        c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
        if (vkdb::DbLastError() != vkdb::ErrRecoveryNeeded) {
            printError(engineError());
            return 1;
        }
        printLine(QStringLiteral("integrity: ") + engineError());
        if (!repair)
            return 1;
        if (!salvage(db.dataSource))
            return 1;
        salvaged = true;
        if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
            printError(engineError());
            return 1;
        }
    }

    bool triggersGood = true;
    for (const std::string &t : vkdb::DbRestoredTriggers(c.handle())) {
        printLine(QStringLiteral("trigger: %1 restored").arg(QString::fromStdString(t)));
        triggersGood = repair;
    }

    IntegrationState integration;
    QStringList changes;
    const bool integrated = IntegrationCheck(c, integration, {}, &changes);
    for (const QString &change : changes)
        printLine(QStringLiteral("integration: ") + change);
    // Objects the relocation could not move; the file check below names their rows.
    for (const QString &name : integration.lostFiles)
        printLine(QStringLiteral("integration: not moved: ") + name);
    changes.clear();
    StartupSchemaCheck(c, &changes);
    for (const QString &change : changes)
        printLine(QStringLiteral("schema: ") + change);
    DisplayOptions displayOptions;
    if (LoadOrCreateOptions(c, displayOptions))
        printLine(QStringLiteral("options: created table OptionTable"));

    bool intact = integrityIntact(c);
    if (!intact && repair && !salvaged) {
        c.disconnect();
        if (!salvage(db.dataSource))
            return 1;
        if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
            printError(engineError());
            return 1;
        }
        intact = integrityIntact(c);
    }

    if (repair && intact && !rebuilt) {
        // The catalogue of file objects, the counters and the triggers, checked against the rows
        // with the data source to itself.
        c.disconnect();
        const bool done = rebuildEngineTables(db.dataSource);
        if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
            printError(engineError());
            return 1;
        }
        if (!done)
            triggersGood = false;
    }

    bool filesGood = true;
    vkdb::DbFileCheck files;
    if (vkdb::DbCheckFileObjects(c.handle(), files) != vkdb::DbOk) {
        printLine(QStringLiteral("files: cannot be checked: ") + engineError());
        filesGood = false;
    }
    auto row = [](const vkdb::DbFileProblem &p) {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(QString::fromStdString(p.table), QString::fromStdString(p.oid),
                 QString::fromStdString(p.column), QString::fromStdString(p.path));
    };
    for (const vkdb::DbFileProblem &p : files.missing)
        printLine(QStringLiteral("missing: ") + row(p));
    for (const vkdb::DbFileProblem &p : files.uncatalogued)
        printLine(QStringLiteral("missing: %1 %2 %3 (the file object %4 is not in the catalogue)")
                      .arg(QString::fromStdString(p.table), QString::fromStdString(p.oid),
                           QString::fromStdString(p.column), QString::fromStdString(p.path)));
    for (const vkdb::DbFileProblem &p : files.lost)
        printLine(QStringLiteral("lost: ") + row(p));
    for (const vkdb::DbFileProblem &p : files.bad)
        printLine(QStringLiteral("bad: ") + row(p));
    for (const std::string &t : files.missingTriggers)
        printLine(QStringLiteral("trigger: %1 missing").arg(QString::fromStdString(t)));
    filesGood = filesGood && files.missing.empty() && files.lost.empty() && files.bad.empty() &&
                files.uncatalogued.empty() && files.missingTriggers.empty();
    const size_t leftovers = files.orphans.size() + files.staleJournals.size();
    if (repair && leftovers > 0) {
        std::vector<std::string> removed;
        if (vkdb::DbRemoveOrphans(c.handle(), removed) != vkdb::DbOk) {
            printError(engineError());
            filesGood = false;
        }
        for (const std::string &path : removed)
            printLine(QStringLiteral("removed: ") + QString::fromStdString(path));
        // An orphan the engine kept (its catalogue cannot be trusted to say it is one) stays listed.
        for (const std::string &path : files.orphans)
            if (std::find(removed.begin(), removed.end(), path) == removed.end())
                printLine(QStringLiteral("orphan: ") + QString::fromStdString(path));
        filesGood = filesGood && removed.size() >= leftovers;
    } else {
        for (const std::string &path : files.orphans)
            printLine(QStringLiteral("orphan: ") + QString::fromStdString(path));
        for (const std::string &path : files.staleJournals)
            printLine(QStringLiteral("stale: ") + QString::fromStdString(path));
        filesGood = filesGood && leftovers == 0;
    }
    return intact && integrated && filesGood && triggersGood ? 0 : 1;
}

} // namespace

QList<Command> checkCommands()
{
    Command check;
    check.name = QStringLiteral("check");
    check.synopsis = QStringLiteral("[--repair]");
    check.summary = QStringLiteral("bring the schema up to date, check integrity and files");
    check.description = QStringLiteral(
        "Brings the schema up to date, finds moved file objects, and checks the database's integrity "
        "and its files, one line for each thing it finds: \"integrity: ...\" (SQLite's own check of "
        "every page), \"missing: TABLE OID COLUMN PATH\" (a row whose copy in the file-object "
        "directory is gone), \"lost: TABLE OID COLUMN PATH\" (a linked file that is no longer where "
        "it was), \"bad: TABLE OID COLUMN NAME\" (a stored copy whose name in the catalogue is not a "
        "plain name inside the file-object directory; it is never opened), \"trigger: TABLE NAME "
        "restored\" (an engine trigger another program dropped), \"orphan: PATH\" (a copy no row "
        "holds, left by a crash) and \"stale: PATH\" (the journal of a program that is gone). Exits 1 "
        "when anything is wrong.\n\n"
        "--repair removes the orphans and stale journals (\"removed: PATH\"), rebuilds the engine's "
        "own tables from what is stored when another program removed or renamed them (\"rebuilt: "
        "...\", with every copy the catalogue no longer names kept: \"kept: PATH\"), and salvages a "
        "damaged database: every row that can still be read goes into a rebuilt database, and the "
        "damaged file is kept beside it. It never touches a linked file, and removes no orphan while "
        "the catalogue names copies outside the file-object directory.");
    check.options = {QCommandLineOption(
        QStringLiteral("repair"), QStringLiteral("remove orphan copies and salvage a damaged database"))};
    check.examples = {QStringLiteral("vkctl check --repair")};
    check.run = runCheck;
    return {check};
}

} // namespace vk
