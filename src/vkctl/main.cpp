// vkctl: the command-line companion of the workspace, over the same core.
//
//   vkctl [--source NAME] [--no-check] COMMAND ...
//
// Each command is described and run in the file of its group (Commands.h); this file puts
// the table together and starts the program the command needs. Every command that opens a
// data source first runs what the workspace runs after connecting (integration check, schema
// check, option table), quietly unless something changed; --no-check skips that.
#include "BookCommands.h"
#include "CliOutput.h"
#include "CliSource.h"
#include "CliUi.h"
#include "Commands.h"
#include "ImageCodec.h"
#include "MediaCommands.h"
#include "MediaImport.h"
#include "Paths.h"
#include "SearchCommand.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <cstdlib>
#include <memory>

namespace {

using namespace vk;

// vkctl set, which reads its arguments on its own: the parser checks them and hands them on.
QList<Command> setCommands()
{
    Command set;
    set.name = QStringLiteral("set");
    set.synopsis = QStringLiteral(
        "MEDIA_OID [--title TITLE] [--author AUTHOR] [--date YYYY-MM-DD] [--description-file PATH|-]");
    set.summary = QStringLiteral("write a media item's title, author, date and description");
    set.description = QStringLiteral(
        "Writes the fields given in one statement, checked and stored exactly as the property dialog "
        "stores them (a date that names no day is refused with \"Date Format Error.\" and nothing is "
        "written). PATH - reads the description from standard input. Prints nothing; exit 0 when "
        "stored, 1 when refused or failed, 2 on a usage error.");
    set.options = {
        QCommandLineOption(QStringLiteral("title"), QStringLiteral("the item's title"),
                           QStringLiteral("TITLE")),
        QCommandLineOption(QStringLiteral("author"), QStringLiteral("the item's author"),
                           QStringLiteral("AUTHOR")),
        QCommandLineOption(QStringLiteral("date"), QStringLiteral("the item's date"),
                           QStringLiteral("YYYY-MM-DD")),
        QCommandLineOption(
            QStringLiteral("description-file"),
            QStringLiteral("the description, from the file PATH (UTF-8; - for standard input)"),
            QStringLiteral("PATH")),
    };
    set.examples = {QStringLiteral("vkctl set 000000000000001234 --title \"Beach\" --date 2026-07-14")};
    set.minArgs = set.maxArgs = 1;
    set.run = [](Call &call) {
        return cmdSet(call.rebuiltArguments(), {[&call](Connection &c) { return call.open(c); }, printLine,
                                                printError, workDirectoryBase()});
    };
    return {set};
}

QList<Command> allCommands()
{
    QList<Command> commands;
    commands << sourceCommands() << checkCommands() << folderCommands() << itemCommands()
             << transferCommands() << printCommands() << setCommands() << keywordCommands()
             << searchCommands() << bookCommands() << transitionCommands() << recordCommands()
             << sendCommands();
    commands << completionCommands(commands);
    return commands;
}

} // namespace

int main(int argc, char *argv[])
{
    vk::resultStream();
    std::atexit([] { vk::flushResults(); });
    vk::QuietLibraries();
    // Qt's last words before it gives up still reach the person.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg || !qEnvironmentVariableIsEmpty("VKCTL_DEBUG"))
            std::fprintf(vk::messageStream(), "vkctl: %s\n", text.toUtf8().constData());
    });
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        // A name whose bytes the locale cannot decode is kept readable (\xNN) and known for what
        // it is, never turned into another name that happens to be "not there".
        const QByteArray raw(argv[i]);
        if (vk::IsDecodableName(raw)) {
            arguments << QFile::decodeName(raw);
        } else {
            arguments << vk::ReadableName(raw);
            vk::undecodableArguments().insert(arguments.last());
        }
    }
    const QList<vk::Command> commands = allCommands();
    const vk::Request request = vk::resolveRequest(commands, arguments);
    if (!request.command)
        return request.exitCode;
    vk::initImageLibrary(argv[0]);
    // A command that may meet a video needs the graphical side of Qt (without a screen), which
    // costs a few milliseconds; the media framework itself starts only for the first video.
    const bool widgets = request.command->widgets;
    if (request.command->graphical || widgets)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (widgets)
        app = std::make_unique<QApplication>(argc, argv);
    else if (request.command->graphical)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    vk::setApplicationIdentity();
    vk::CliUi ui;
    return vk::runCommand(*request.command, request.args, request.global, ui);
}
