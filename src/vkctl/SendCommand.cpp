// vkctl send: a macro handed to the running workspace over its remote command socket.
#include "Commands.h"

#include "CliOutput.h"
#include "Paths.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

namespace vk {

namespace {

// An import of a large video may take a while; the workspace answers once the file is in.
constexpr int ReplyTimeoutMs = 10 * 60 * 1000;

int runSend(Call &call)
{
    QStringList lines = call.args;
    if (lines[0] != QLatin1String("NewMedia"))
        return call.usageError(
            QStringLiteral("unknown macro '%1' (the workspace knows NewMedia)").arg(lines[0]));
    if (lines.size() < 2)
        return call.usageError(QStringLiteral("NewMedia needs the file to hand over"));
    if (undecodableArguments().contains(lines[1])) {
        printError(QStringLiteral("%1: the name cannot be handed over in this locale").arg(lines[1]));
        return ExitFailed;
    }
    for (const QString &line : lines)
        if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')))
            return call.usageError(QStringLiteral("a line of the macro cannot hold a line break"));
    // The workspace wants the file's full path, wherever it runs from.
    lines[1] = QFileInfo(lines[1]).absoluteFilePath();
    if (!QFileInfo::exists(lines[1])) {
        printError(QStringLiteral("%1: the file is not there").arg(lines[1]));
        return ExitFailed;
    }
    if (lines.size() < 3)
        lines << QStringLiteral("False");

    QString why;
    const QString socketPath = remoteCommandSocketPath(&why);
    if (socketPath.isEmpty()) {
        printError(QStringLiteral("no workspace is running: %1").arg(why));
        return ExitFailed;
    }
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(3000)) {
        printError(QStringLiteral("no workspace is running (nothing listens at %1)").arg(socketPath));
        return ExitFailed;
    }
    QByteArray macro;
    for (qsizetype i = 0; i < lines.size(); ++i)
        macro += (i == 1 ? QFile::encodeName(lines[i]) : lines[i].toUtf8()) + '\n';
    macro += '\n';
    socket.write(macro);
    if (!socket.waitForBytesWritten(5000)) {
        printError(QStringLiteral("the workspace did not take the macro: %1").arg(socket.errorString()));
        return ExitFailed;
    }
    QByteArray reply;
    QDeadlineTimer deadline(ReplyTimeoutMs);
    while (!reply.contains('\n') && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 1000)))) {
            if (socket.state() != QLocalSocket::ConnectedState)
                break;
            continue;
        }
        reply += socket.readAll();
    }
    reply += socket.readAll();
    const QString answer = QString::fromUtf8(reply.left(reply.indexOf('\n')));
    if (answer.startsWith(QLatin1String("imported "))) {
        printLine(answer.mid(9));
        return ExitDone;
    }
    if (answer.isEmpty()) {
        printError(QStringLiteral("the workspace closed the connection without an answer"));
        return ExitFailed;
    }
    printError(answer);
    return ExitFailed;
}

} // namespace

QList<Command> sendCommands()
{
    Command send;
    send.name = QStringLiteral("send");
    send.synopsis = QStringLiteral("NewMedia FILE [True]");
    send.summary = QStringLiteral("hand a file to the running workspace");
    send.description = QStringLiteral(
        "Hands a macro to the workspace that runs for this user. NewMedia imports FILE as a database "
        "file into the root folder \"Media from VkPlayer\" (made when it is missing) and prints the new "
        "item's OID; with True the file is deleted once it is in the library, never when the import "
        "failed. Exits 1 with the reason when no workspace runs or the workspace could not import the "
        "file.");
    send.examples = {QStringLiteral("vkctl send NewMedia ~/Downloads/clip.mp3 True")};
    send.minArgs = 1;
    send.maxArgs = 3;
    send.fileArguments = true;
    send.run = runSend;
    return {send};
}

} // namespace vk
