// vkctl: the command-line companion of the workspace, over the same core.
//
//   vkctl [--source NAME] sources
//   vkctl [--source NAME] init NAME [--dir DIR]
//   vkctl [--source NAME] sql TEXT [--param V | --null | --file PATH]...
#include "CliUi.h"
#include "ConfigFile.h"
#include "Connection.h"
#include "DatabaseSetup.h"
#include "Engine.h"
#include "Paths.h"
#include "Settings.h"
#include "Statement.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

#include <cstdio>

namespace {

using namespace vk;

int usage()
{
    std::fputs("usage: vkctl [--source NAME] COMMAND ...\n"
               "  sources                         list the data sources\n"
               "  init NAME [--dir DIR]           create a data source\n"
               "  sql TEXT [--param V | --null | --file PATH]...\n"
               "                                  run one statement\n",
               stderr);
    return 1;
}

void printLine(const QString &text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); }

void printError(const QString &text) { std::fprintf(stderr, "vkctl: %s\n", text.toUtf8().constData()); }

QString engineError() { return QString::fromStdString(vkdb::DbErrorText()); }

int cmdSources()
{
    vkdb::ConfigFile config(configFilePath().toStdString());
    for (const std::string &name : config.sections())
        printLine(QString::fromStdString(name));
    return 0;
}

int cmdInit(const QStringList &args, CliUi &ui)
{
    QString name, dir;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            dir = args[++i];
        else if (name.isEmpty() && !args[i].startsWith(QLatin1String("--")))
            name = args[i];
        else
            return usage();
    }
    if (name.isEmpty())
        return usage();
    const QString configPath = configFilePath();
    vkdb::ConfigFile config(configPath.toStdString());
    if (config.hasSection(name.toStdString())) {
        printError(QStringLiteral("a data source named \"%1\" already exists").arg(name));
        return 1;
    }
    if (dir.isEmpty())
        dir = defaultDataSourceDirectory(name);
    Connection c;
    c.setUi(&ui);
    QSettings settings;
    const DatabaseSettings db = readDatabaseSettings(settings);
    if (!CreateDatabaseIn(c, configPath, name, db.userName, db.password, dir))
        return 1;
    return 0;
}

int cmdSql(const QString &source, const QStringList &args, CliUi &ui)
{
    if (args.isEmpty())
        return usage();
    const QString text = args[0];
    struct Value
    {
        enum Kind { Text, Null, File } kind;
        QString text;
    };
    QList<Value> values;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--param") && i + 1 < args.size())
            values.append(Value{Value::Text, args[++i]});
        else if (args[i] == QLatin1String("--null"))
            values.append(Value{Value::Null, {}});
        else if (args[i] == QLatin1String("--file") && i + 1 < args.size())
            values.append(Value{Value::File, args[++i]});
        else
            return usage();
    }
    Connection c;
    c.setUi(&ui);
    QSettings settings;
    DatabaseSettings db = readDatabaseSettings(settings);
    if (!source.isEmpty())
        db.dataSource = source;
    if (c.connect(configFilePath(), db.dataSource, db.userName, db.password) != vkdb::DbOk) {
        printError(engineError());
        return 1;
    }
    Statement st(c, text);
    if (!st.isOpen()) {
        printError(engineError());
        return 1;
    }
    QString oid;
    if (st.needsParams()) {
        for (const Value &v : values) {
            int rc = v.kind == Value::Text   ? st.bind(v.text)
                     : v.kind == Value::Null ? st.bindNull()
                                             : vkdb::DbBindFile(st.handle(), v.text.toStdString());
            if (rc > 1 && rc != vkdb::DbNeedParams) {
                printError(engineError());
                return 1;
            }
        }
        if (st.execute(&oid) > 1) {
            printError(engineError());
            return 1;
        }
    } else if (!values.isEmpty()) {
        printError(QStringLiteral("the statement takes no values"));
        return 1;
    }
    if (vkdb::DbColumnCount(st.handle()) > 0) {
        QStringList row;
        int rc;
        while ((rc = st.fetch(row)) < 2)
            printLine(row.join(QLatin1Char('\t')));
        if (rc != vkdb::DbNoMoreRows) {
            printError(engineError());
            return 1;
        }
    } else if (!oid.isEmpty()) {
        printLine(oid);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    vk::setApplicationIdentity();
    QStringList args = QCoreApplication::arguments().mid(1);
    QString source;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--source") && !args.isEmpty())
            source = args.takeFirst();
        else
            return usage();
    }
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    vk::CliUi ui;
    if (command == QLatin1String("sources"))
        return args.isEmpty() ? cmdSources() : usage();
    if (command == QLatin1String("init"))
        return cmdInit(args, ui);
    if (command == QLatin1String("sql"))
        return cmdSql(source, args, ui);
    return usage();
}
