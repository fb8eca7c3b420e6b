// vkctl sources, init and sql: the data sources and statements run on them.
#include "Commands.h"

#include "CliOutput.h"
#include "CliSource.h"
#include "CliUi.h"
#include "ConfigFile.h"
#include "ConnectChecks.h"
#include "Connection.h"
#include "DatabaseSetup.h"
#include "Engine.h"
#include "Paths.h"
#include "Settings.h"
#include "Statement.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QSettings>

#include <cmath>

namespace vk {

namespace {

int runSources(Call &call)
{
    vkdb::ConfigFile config(configFilePath().toStdString());
    QSettings settings;
    const QString current =
        call.global.source.isEmpty() ? readDatabaseSettings(settings).dataSource : call.global.source;
    QJsonArray list;
    for (const std::string &section : config.sections()) {
        const QString name = QString::fromStdString(section);
        if (!call.json()) {
            printRecord({name});
            continue;
        }
        list.append(QJsonObject{
            {QStringLiteral("name"), name},
            {QStringLiteral("current"), name.compare(current, Qt::CaseInsensitive) == 0},
            {QStringLiteral("databaseDirectory"),
             QString::fromStdString(config.unquotedValue(section, "DB_DBDIR"))},
            {QStringLiteral("fileObjectDirectory"),
             QString::fromStdString(config.unquotedValue(section, "DB_FODIR"))},
        });
    }
    if (call.json())
        printJson(list);
    return ExitDone;
}

int runInit(Call &call)
{
    const QString name = call.args[0];
    QString dir = call.value(QStringLiteral("dir"));
    const QString configPath = configFilePath();
    if (const QString refusal = DataSourceNameRefusal(name); !refusal.isEmpty()) {
        printError(refusal);
        return ExitFailed;
    }
    vkdb::ConfigFile config(configPath.toStdString());
    if (config.hasSection(name.toStdString())) {
        printError(QStringLiteral("a data source named \"%1\" already exists").arg(name));
        return ExitFailed;
    }
    if (dir.isEmpty())
        dir = defaultDataSourceDirectory(name);
    Connection c;
    c.setUi(&call.ui);
    QSettings settings;
    const DatabaseSettings db = readDatabaseSettings(settings);
    if (!CreateDatabaseIn(c, configPath, name, db.userName, db.password, dir))
        return ExitFailed;
    // A new data source comes complete: what the first start would add is added now.
    ConnectChecks checks;
    return RunConnectChecks(c, checks) ? ExitDone : ExitFailed;
}

// A value of a result row as JSON: null, a number when the text is that number exactly (an
// OID keeps its 18 characters), otherwise text.
QJsonValue jsonValue(const Statement &st, int column)
{
    const QString text = st.text(column);
    switch (st.type(column)) {
    case vkdb::DbValueType::Null:
        return QJsonValue::Null;
    case vkdb::DbValueType::Integer: {
        const qint64 n = st.integer(column);
        if (text == QString::number(n) && std::llabs(n) < (qint64(1) << 53))
            return double(n);
        return text;
    }
    case vkdb::DbValueType::Real: {
        const double d = st.real(column);
        return std::isfinite(d) ? QJsonValue(d) : QJsonValue(text);
    }
    default:
        return text;
    }
}

int runSql(Call &call)
{
    struct Value
    {
        enum Kind
        {
            Text,
            Null,
            File
        } kind;
        QString text;
    };
    // The values in the order given, whichever option gave each.
    QList<Value> values;
    const QStringList params = call.values(QStringLiteral("param"));
    const QStringList files = call.values(QStringLiteral("file"));
    qsizetype nextParam = 0, nextFile = 0;
    for (const QString &option : call.optionOrder()) {
        if (option == QLatin1String("param"))
            values.append(Value{Value::Text, params.value(nextParam++)});
        else if (option == QLatin1String("null"))
            values.append(Value{Value::Null, {}});
        else if (option == QLatin1String("file"))
            values.append(Value{Value::File, files.value(nextFile++)});
    }
    Connection c;
    if (!call.open(c))
        return ExitFailed;
    Statement st(c, call.args[0]);
    if (!st.isOpen()) {
        printError(engineError());
        return ExitFailed;
    }
    QString oid;
    if (st.needsParams()) {
        for (const Value &v : values) {
            const int rc = v.kind == Value::Text   ? st.bind(v.text)
                           : v.kind == Value::Null ? st.bindNull()
                                                   : vkdb::DbBindFile(st.handle(), v.text.toStdString());
            if (rc > 1 && rc != vkdb::DbNeedParams) {
                printError(engineError());
                return ExitFailed;
            }
        }
        if (st.execute(&oid) > 1) {
            printError(engineError());
            return ExitFailed;
        }
    } else if (!values.isEmpty()) {
        printError(QStringLiteral("the statement takes no values"));
        return ExitFailed;
    }
    if (oid.isEmpty())
        oid = QString::fromStdString(vkdb::DbInsertedOid(st.handle()));
    const int columns = vkdb::DbColumnCount(st.handle());
    if (columns == 0) {
        if (call.json())
            printJson(QJsonObject{{QStringLiteral("oid"), oid.isEmpty() ? QJsonValue() : QJsonValue(oid)}});
        else if (!oid.isEmpty())
            printLine(oid);
        return ExitDone;
    }
    // Names made unique, so that each value of a row has a field of its own.
    QStringList names;
    QSet<QString> taken;
    for (int i = 0; i < columns; ++i) {
        const QString base = QString::fromStdString(vkdb::DbColumnName(st.handle(), i));
        QString name = base;
        for (int n = 2; taken.contains(name); ++n)
            name = QStringLiteral("%1_%2").arg(base).arg(n);
        taken.insert(name);
        names << name;
    }
    QJsonArray rows;
    int rc;
    while ((rc = st.next()) < 2) {
        if (call.json()) {
            QJsonObject row;
            for (int i = 0; i < columns; ++i)
                row.insert(names[i], jsonValue(st, i));
            rows.append(row);
        } else {
            QStringList row;
            for (int i = 0; i < columns; ++i)
                row << st.text(i);
            printRecord(row);
        }
    }
    if (rc != vkdb::DbNoMoreRows) {
        printError(engineError());
        return ExitFailed;
    }
    if (call.json())
        printJson(QJsonObject{{QStringLiteral("columns"), QJsonArray::fromStringList(names)},
                              {QStringLiteral("rows"), rows}});
    return ExitDone;
}

} // namespace

QList<Command> sourceCommands()
{
    Command sources;
    sources.name = QStringLiteral("sources");
    sources.synopsis = QStringLiteral("[--json]");
    sources.summary = QStringLiteral("list the data sources");
    sources.description = QStringLiteral(
        "Lists the data sources of the configuration, one name a line. With --json each comes with "
        "whether it is the one commands use (\"current\"), its database directory and its "
        "file-object directory.");
    sources.options = {jsonOption()};
    sources.examples = {QStringLiteral("vkctl sources --json")};
    sources.run = runSources;

    Command init;
    init.name = QStringLiteral("init");
    init.synopsis = QStringLiteral("NAME [--dir DIR]");
    init.summary = QStringLiteral("create a data source");
    init.description = QStringLiteral(
        "Creates the data source NAME: its database, its file-object directory and every table the "
        "workspace would add at its first start. The directory is DIR, or one named after the data "
        "source in the per-user data directory. NAME is 1 to 32 letters, digits, '_' or '-', beginning with a "
        "letter or a digit; the workspace's Database dialog takes the same names.");
    init.options = {QCommandLineOption(QStringLiteral("dir"), QStringLiteral("keep the data source in DIR"),
                                       QStringLiteral("DIR"))};
    init.examples = {QStringLiteral("vkctl init holidays --dir ~/Pictures/library")};
    init.minArgs = init.maxArgs = 1;
    init.run = runInit;

    Command sql;
    sql.name = QStringLiteral("sql");
    sql.synopsis = QStringLiteral("TEXT [--param VALUE | --null | --file PATH]... [--json]");
    sql.summary = QStringLiteral("run one statement");
    sql.description = QStringLiteral(
        "Runs one statement in the program's dialect, its values bound to its `?` in the order "
        "given (--file stores a copy of the file as a file object). A query prints one row a line, "
        "values separated by tabs, null as empty; with --json, {\"columns\": [...], \"rows\": "
        "[{COLUMN: VALUE, ...}]} with null as null. An insert prints the new row's OID ({\"oid\": "
        "...} with --json). On failure the engine's message goes to stderr and the exit code is 1.");
    sql.options = {
        QCommandLineOption(QStringLiteral("param"), QStringLiteral("the next value, as text"),
                           QStringLiteral("VALUE")),
        QCommandLineOption(QStringLiteral("null"), QStringLiteral("the next value is null")),
        QCommandLineOption(QStringLiteral("file"),
                           QStringLiteral("the next value is a copy of the file PATH"),
                           QStringLiteral("PATH")),
        jsonOption(),
    };
    sql.examples = {
        QStringLiteral("vkctl sql 'select OID, Title from Folder where Title like ?' --param 'Holiday%'"),
        QStringLiteral("vkctl sql 'select count(*) from MediaData' --json"),
    };
    sql.minArgs = sql.maxArgs = 1;
    sql.run = runSql;

    return {sources, init, sql};
}

} // namespace vk
