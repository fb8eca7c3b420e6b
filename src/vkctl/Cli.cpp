#include "Cli.h"

#include "CliOutput.h"
#include "CliSource.h"
#include "CliUi.h"

#include <QCommandLineParser>
#include <QHash>

#include <algorithm>

namespace vk {

namespace {

constexpr qsizetype LineWidth = 80;

void printText(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

// The text filled into lines of at most LineWidth characters, each indented by `indent`.
// Paragraphs are separated by "\n\n"; a line that starts with a space (an example) is kept.
QString wrap(const QString &text, qsizetype indent = 0)
{
    QString out;
    const QString pad(indent, QLatin1Char(' '));
    const QStringList paragraphs = text.split(QStringLiteral("\n\n"));
    for (qsizetype p = 0; p < paragraphs.size(); ++p) {
        if (p > 0)
            out += QLatin1Char('\n');
        QString line;
        auto flush = [&] {
            out += pad + line + QLatin1Char('\n');
            line.clear();
        };
        for (const QString &raw : paragraphs[p].split(QLatin1Char('\n'))) {
            if (raw.startsWith(QLatin1Char(' '))) {
                if (!line.isEmpty())
                    flush();
                line = raw;
                flush();
                continue;
            }
            for (const QString &word : raw.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                if (!line.isEmpty() && indent + line.size() + 1 + word.size() > LineWidth)
                    flush();
                if (!line.isEmpty())
                    line += QLatin1Char(' ');
                line += word;
            }
        }
        if (!line.isEmpty())
            flush();
    }
    return out;
}

QString optionLabel(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString label = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        label += QLatin1Char(' ') + option.valueName();
    return label;
}

// Two columns: labels, then their texts wrapped beside them.
QString table(const QList<QPair<QString, QString>> &rows)
{
    qsizetype width = 0;
    for (const auto &row : rows)
        width = std::max(width, row.first.size());
    width = std::min<qsizetype>(width, 26) + 4;
    QString out;
    for (const auto &row : rows) {
        const QString label = QStringLiteral("  ") + row.first;
        const QString text = wrap(row.second, width);
        if (label.size() + 2 > width)
            out += label + QLatin1Char('\n') + text;
        else
            out += label.leftJustified(width) + text.mid(width);
    }
    return out;
}

const QCommandLineOption &helpOption()
{
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                           QStringLiteral("show this help"));
    return option;
}

QList<QCommandLineOption> globalOptions()
{
    return {
        QCommandLineOption(QStringLiteral("source"),
                           QStringLiteral("work on the data source NAME instead of the workspace's"),
                           QStringLiteral("NAME")),
        QCommandLineOption(QStringLiteral("no-check"),
                           QStringLiteral("skip what the workspace runs after connecting (schema and "
                                          "integration checks, the option table)")),
        helpOption(),
        QCommandLineOption(QStringLiteral("version"), QStringLiteral("print the version")),
    };
}

QString overview(const QList<Command> &commands)
{
    QList<QPair<QString, QString>> rows;
    for (const Command &c : commands)
        rows.append({c.name, c.summary});
    QList<QPair<QString, QString>> options;
    for (const QCommandLineOption &o : globalOptions())
        options.append({optionLabel(o), o.description()});
    return QStringLiteral("usage: vkctl [--source NAME] [--no-check] COMMAND [ARGUMENTS]\n\n") +
           wrap(
               QStringLiteral("The command-line companion of the Vellumark workspace: data sources, folders, "
                              "media, keywords, search and ClearBooks.")) +
           QStringLiteral("\nCommands:\n") + table(rows) + QStringLiteral("\nOptions:\n") + table(options) +
           QLatin1Char('\n') +
           wrap(QStringLiteral(
               "Folders are named by OID or by title path, titles matched exactly: \"Holiday 2026/Day 1\", "
               "with a \"/\" inside a title written \"\\/\" and a backslash \"\\\\\".\n\n"
               "Lists print one record a line, fields separated by tabs, with a tab, line break or "
               "backslash inside a value written \\t, \\n, \\\\; with --json, one JSON document.\n\n"
               "Exit codes: 0 done, 1 failed, 2 usage error or partly done.\n\n"
               "Run 'vkctl help COMMAND' or 'vkctl COMMAND --help' for a command's options and an "
               "example.")) +
           QLatin1Char('\n');
}

QString groupHelp(const QList<Command> &commands, const QString &group)
{
    QStringList subs;
    QList<QPair<QString, QString>> rows;
    for (const Command &c : commands) {
        if (groupOf(c) != group)
            continue;
        subs << c.name.section(QLatin1Char(' '), 1);
        rows.append({c.name + QLatin1Char(' ') + c.synopsis, c.summary});
    }
    QString out = QStringLiteral("usage: vkctl %1 %2 ...\n\n").arg(group, subs.join(QLatin1Char('|')));
    for (const auto &row : rows)
        out += QStringLiteral("  vkctl ") + row.first + QLatin1Char('\n') + wrap(row.second, 6);
    for (const Command &c : commands)
        if (groupOf(c) == group && !c.groupNote.isEmpty())
            out += QLatin1Char('\n') + wrap(c.groupNote);
    return out + QStringLiteral("\nRun 'vkctl help %1 COMMAND' for a command's options and an example.\n")
                     .arg(group);
}

int usageError(const QString &text, const QString &hint)
{
    printError(text);
    std::fprintf(messageStream(), "%s\n", hint.toUtf8().constData());
    return ExitUsage;
}

QString topHint()
{
    return QStringLiteral("Run 'vkctl --help' for the list of commands.");
}

QStringList subcommands(const QList<Command> &commands, const QString &group)
{
    QStringList subs;
    for (const Command &c : commands)
        if (groupOf(c) == group)
            subs << c.name.section(QLatin1Char(' '), 1);
    return subs;
}

// The option the parser did not know, as it was written.
QString unknownOption(const QCommandLineParser &parser, const QList<QCommandLineOption> &known,
                      const QStringList &arguments)
{
    QStringList longNames, shortNames, withValue;
    for (const QCommandLineOption &o : known) {
        for (const QString &name : o.names()) {
            (name.size() == 1 ? shortNames : longNames) << name;
            if (!o.valueName().isEmpty())
                withValue << name;
        }
    }
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--"))
            break;
        if (!a.startsWith(QLatin1Char('-')) || a == QLatin1String("-"))
            continue;
        if (a.startsWith(QLatin1String("--"))) {
            const QString name = a.mid(2).section(QLatin1Char('='), 0, 0);
            if (!longNames.contains(name) && !shortNames.contains(name))
                return QStringLiteral("--") + name;
            if (withValue.contains(name) && !a.contains(QLatin1Char('=')))
                ++i;
            continue;
        }
        for (const QChar ch : a.mid(1)) {
            if (!shortNames.contains(QString(ch)))
                return a.size() == 2 ? a : QStringLiteral("-%1' in '%2").arg(ch).arg(a);
        }
    }
    const QStringList names = parser.unknownOptionNames();
    if (names.isEmpty())
        return QString();
    return (names.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + names.first();
}

// The parser's only other complaint: an option without its value.
QString missingValue(const QCommandLineParser &parser)
{
    const QString text = parser.errorText();
    const qsizetype quote = text.indexOf(QLatin1Char('\''));
    if (text.startsWith(QLatin1String("Missing value")) && quote >= 0 && text.endsWith(QLatin1String("'.")))
        return QStringLiteral("option %1 needs a value").arg(text.mid(quote).chopped(1));
    return text;
}

} // namespace

QString groupOf(const Command &command)
{
    return command.name.contains(QLatin1Char(' ')) ? command.name.section(QLatin1Char(' '), 0, 0) : QString();
}

QCommandLineOption jsonOption()
{
    return QCommandLineOption(QStringLiteral("json"),
                              QStringLiteral("print one JSON document, with the fields named, instead of "
                                             "one record a line"));
}

QCommandLineOption atOption(const QString &what)
{
    return QCommandLineOption(QStringLiteral("at"), what, QStringLiteral("N"));
}

bool Call::isSet(const QString &option) const
{
    return m_parser.isSet(option);
}

QString Call::value(const QString &option) const
{
    return m_parser.value(option);
}

QStringList Call::values(const QString &option) const
{
    return m_parser.values(option);
}

QStringList Call::optionOrder() const
{
    return m_parser.optionNames();
}

QStringList Call::rebuiltArguments() const
{
    QStringList out;
    QHash<QString, qsizetype> taken;
    for (const QString &name : optionOrder()) {
        for (const QCommandLineOption &option : command.options) {
            if (!option.names().contains(name))
                continue;
            QString longest;
            for (const QString &n : option.names())
                if (n.size() > longest.size())
                    longest = n;
            out << (longest.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + longest;
            if (!option.valueName().isEmpty())
                out << values(name).value(taken[longest]++);
        }
    }
    return out + args;
}

int Call::usageError(const QString &text) const
{
    return vk::usageError(text, QStringLiteral("Run 'vkctl %1 --help' for its usage.").arg(command.name));
}

bool Call::position(const QString &option, int *out) const
{
    *out = -1;
    if (!isSet(option))
        return true;
    bool ok = false;
    const QString text = value(option);
    *out = text.toInt(&ok);
    if (ok && *out >= 0)
        return true;
    usageError(QStringLiteral("--%1 takes a place from 0, not '%2'").arg(option, text));
    return false;
}

QSet<QString> &undecodableArguments()
{
    static QSet<QString> arguments;
    return arguments;
}

bool Call::open(Connection &c) const
{
    return openSource(global, ui, c, command.readOnly);
}

QString commandHelp(const Command &command)
{
    QString out = QStringLiteral("usage: vkctl %1 %2\n").arg(command.name, command.synopsis);
    out += QLatin1Char('\n') + wrap(command.description, 0);
    QList<QPair<QString, QString>> rows;
    for (const QCommandLineOption &o : command.options)
        rows.append({optionLabel(o), o.description()});
    rows.append({optionLabel(helpOption()), helpOption().description()});
    out += QStringLiteral("\nOptions:\n") + table(rows);
    if (!command.examples.isEmpty()) {
        out +=
            command.examples.size() == 1 ? QStringLiteral("\nExample:\n") : QStringLiteral("\nExamples:\n");
        for (const QString &e : command.examples)
            out += QStringLiteral("  ") + e + QLatin1Char('\n');
    }
    return out;
}

Request resolveRequest(const QList<Command> &commands, const QStringList &arguments)
{
    Request request;
    auto done = [&request](int code) {
        request.exitCode = code;
        return request;
    };
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QList<QCommandLineOption> options = globalOptions();
    parser.addOptions(options);
    if (!parser.parse(QStringList{QStringLiteral("vkctl")} + arguments)) {
        const QString unknown = unknownOption(parser, options, arguments);
        if (!unknown.isEmpty())
            return done(usageError(QStringLiteral("unknown option '%1'").arg(unknown), topHint()));
        return done(usageError(missingValue(parser), topHint()));
    }
    request.global.source = parser.value(QStringLiteral("source"));
    request.global.check = !parser.isSet(QStringLiteral("no-check"));
    QStringList words = parser.positionalArguments();
    if (parser.isSet(QStringLiteral("version"))) {
        printText(resultStream(), QStringLiteral("vkctl %1\n").arg(QStringLiteral(VELLUMARK_VERSION)));
        return done(ExitDone);
    }
    bool help = parser.isSet(QStringLiteral("help"));
    if (!help && words.value(0) == QLatin1String("help")) {
        help = true;
        words.removeFirst();
    }
    if (words.isEmpty()) {
        printText(help ? resultStream() : messageStream(), overview(commands));
        return done(help ? ExitDone : ExitUsage);
    }
    const QString word = words.takeFirst();
    for (const Command &c : commands) {
        if (c.name != word)
            continue;
        if (help) {
            printText(resultStream(), commandHelp(c));
            return done(ExitDone);
        }
        request.command = &c;
        request.args = words;
        return request;
    }
    const QStringList subs = subcommands(commands, word);
    if (subs.isEmpty())
        return done(usageError(QStringLiteral("unknown command '%1'").arg(word), topHint()));
    const QString groupHint = QStringLiteral("Run 'vkctl %1 --help' for its commands.").arg(word);
    const QString sub = words.isEmpty() ? QString() : words.takeFirst();
    if ((help && sub.isEmpty()) || sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
        printText(resultStream(), groupHelp(commands, word));
        return done(ExitDone);
    }
    if (sub.isEmpty() || sub.startsWith(QLatin1Char('-')))
        return done(usageError(
            QStringLiteral("%1 needs a command: %2").arg(word, subs.join(QStringLiteral(", "))), groupHint));
    for (const Command &c : commands) {
        if (c.name != word + QLatin1Char(' ') + sub)
            continue;
        if (help) {
            printText(resultStream(), commandHelp(c));
            return done(ExitDone);
        }
        request.command = &c;
        request.args = words;
        return request;
    }
    return done(usageError(QStringLiteral("unknown command '%1 %2'").arg(word, sub), groupHint));
}

int runCommand(const Command &command, const QStringList &arguments, const GlobalOptions &global, CliUi &ui)
{
    QCommandLineParser parser;
    parser.addOption(helpOption());
    parser.addOptions(command.options);
    Call call(command, parser, global, ui);
    if (!parser.parse(QStringList{QStringLiteral("vkctl")} + arguments)) {
        QList<QCommandLineOption> known = command.options;
        known.append(helpOption());
        const QString unknown = unknownOption(parser, known, arguments);
        if (!unknown.isEmpty())
            return call.usageError(QStringLiteral("unknown option '%1' for %2").arg(unknown, command.name));
        return call.usageError(missingValue(parser));
    }
    if (parser.isSet(helpOption())) {
        printText(resultStream(), commandHelp(command));
        return ExitDone;
    }
    call.args = parser.positionalArguments();
    if (call.args.size() < command.minArgs)
        return call.usageError(
            QStringLiteral("missing arguments: vkctl %1 %2").arg(command.name, command.synopsis));
    if (command.maxArgs >= 0 && call.args.size() > command.maxArgs)
        return call.usageError(
            QStringLiteral("unexpected argument '%1' for %2").arg(call.args[command.maxArgs], command.name));
    return command.run(call);
}

} // namespace vk
