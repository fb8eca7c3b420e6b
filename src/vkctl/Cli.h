// vkctl's commands: each is described once (its name, arguments, options, what it does and
// an example) and run by a handler of its own; QCommandLineParser reads its options.
//
// The conventions every command keeps: `vkctl help [COMMAND]` and `COMMAND --help` print help
// and exit 0; an unknown command or option, a missing value or a wrong number of arguments
// prints one line naming it and a hint to --help, and exits 2. A command that fails exits 1.
#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class QCommandLineParser;

namespace vk {

class CliUi;
class Connection;

enum ExitCode : int
{
    ExitDone = 0,
    ExitFailed = 1,
    ExitUsage = 2, // also: an import, or a web export, that left some files out
};

// The options given before the command.
struct GlobalOptions
{
    QString source; // the data source; empty for the one the settings name
    bool check = true;
};

class Call;

// The arguments whose bytes the locale's encoding cannot decode, as they were given to the
// commands (each such byte written \xNN).
QSet<QString> &undecodableArguments();

struct Command
{
    QString name;        // "ls", "folder add"
    QString synopsis;    // what follows the name in the usage line
    QString summary;     // one line, for the list of commands
    QString description; // for its help; paragraphs separated by "\n\n"
    // A paragraph the help of its group ends with (what several of the group's commands share).
    QString groupNote;
    QList<QCommandLineOption> options;
    QStringList examples;
    int minArgs = 0;
    int maxArgs = 0; // -1: any number
    // Its arguments name files (for the shell's completion).
    bool fileArguments = false;
    // It may meet a video, which needs the graphical side of Qt (without a screen).
    bool graphical = false;
    // It draws windows without a screen (the widgets side of Qt).
    bool widgets = false;
    // It only reads the library: the integration check then looks and never moves a file.
    bool readOnly = false;
    std::function<int(Call &)> run;
};

// One run of a command: its arguments and options as given.
class Call
{
public:
    Call(const Command &command, const QCommandLineParser &parser, const GlobalOptions &global, CliUi &ui)
        : command(command), global(global), ui(ui), m_parser(parser)
    {
    }

    const Command &command;
    const GlobalOptions &global;
    CliUi &ui;
    QStringList args; // the positional arguments

    bool isSet(const QString &option) const;
    QString value(const QString &option) const;
    QStringList values(const QString &option) const;
    // The options as they were given, in order, repeated ones as often as given.
    QStringList optionOrder() const;
    // The options (by their long names, each with its value) and then the positional
    // arguments: what a command that reads its arguments on its own is handed.
    QStringList rebuiltArguments() const;
    bool json() const { return isSet(QStringLiteral("json")); }

    // Prints the usage error and the hint to this command's --help; answers ExitUsage.
    int usageError(const QString &text) const;
    // A place among siblings (--at N): -1 when not given; false, after a usage error, when
    // it is not a whole number from 0.
    bool position(const QString &option, int *out) const;

    // Connects to the data source and, unless --no-check was given, runs what the workspace
    // runs after connecting (told on stderr when it changed something).
    bool open(Connection &c) const;

private:
    const QCommandLineParser &m_parser;
};

// Options many commands share.
QCommandLineOption jsonOption();
QCommandLineOption atOption(const QString &what);

// What the command line asks for: a command to run (with its arguments), or nothing more to
// do (help, the version, a usage error; already printed), with the exit code.
struct Request
{
    const Command *command = nullptr;
    QStringList args;
    GlobalOptions global;
    int exitCode = ExitDone;
};
Request resolveRequest(const QList<Command> &commands, const QStringList &arguments);

// Parses the command's own arguments and runs it.
int runCommand(const Command &command, const QStringList &arguments, const GlobalOptions &global, CliUi &ui);

QString commandHelp(const Command &command);

// The word a command group is known by ("folder" of "folder add"); empty for a command alone.
QString groupOf(const Command &command);

} // namespace vk
