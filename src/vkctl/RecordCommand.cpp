// vkctl record: a voice recording from the default sound input, stored in a folder as a WAV
// file, as the workspace's voice recorder stores one (what a script or a test records with).
#include "CliOutput.h"
#include "CliSource.h"
#include "Commands.h"
#include "Connection.h"
#include "DbFolder.h"
#include "MediaFiles.h"
#include "MediaProperties.h"
#include "Messages.h"
#include "OptionStore.h"
#include "QtMediaDevice.h"
#include "WorkDirectory.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace vk {

namespace {

constexpr int LongestRecording = 3600; // seconds
// How much longer than asked a recording may take to end before it counts as stuck.
constexpr int EndGraceMs = 10000;

int runRecord(Call &call)
{
    if (!call.isSet(QStringLiteral("seconds")))
        return call.usageError(QStringLiteral("record needs --seconds N"));
    bool ok = false;
    const int seconds = call.value(QStringLiteral("seconds")).toInt(&ok);
    if (!ok || seconds < 1 || seconds > LongestRecording)
        return call.usageError(
            QStringLiteral("--seconds takes a whole number from 1 to %1").arg(LongestRecording));

    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openPart(call, c, display, roots, {}, {}))
        return ExitFailed;
    TDbFolder *folder = loadNamedFolder(c, roots, call.args[0]);
    if (!folder)
        return ExitFailed;
    const WorkDirectory work(workDirectoryBase());
    if (work.path().isEmpty()) {
        printError(work.error());
        return ExitFailed;
    }
    c.setTempFilePrefix(work.path());

    QtMediaDevice device;
    int result = device.open(QStringLiteral("WaveAudio"), QString(), false);
    if (result == MediaOk)
        result = device.record(0, qint64(seconds) * 1000);
    if (result != MediaOk) {
        printError(device.errorText(result));
        return ExitFailed;
    }
    // Until the recording has its length, broke off, or is plainly stuck.
    QString broke;
    bool ended = false;
    QEventLoop loop;
    QObject::connect(&device, &MediaDevice::reachedEnd, &loop, [&] {
        ended = true;
        loop.quit();
    });
    QObject::connect(&device, &MediaDevice::failed, &loop, [&](int code) {
        broke = device.errorText(code);
        loop.quit();
    });
    QTimer::singleShot(seconds * 1000 + EndGraceMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!broke.isEmpty()) {
        printError(broke);
        return ExitFailed;
    }
    if (!ended) {
        device.stop();
        printError(QStringLiteral("the sound input gave %1 ms of sound in %2 s; nothing was stored")
                       .arg(device.length())
                       .arg(seconds + EndGraceMs / 1000));
        return ExitFailed;
    }
    const QString file = work.path() + QStringLiteral("vkvoice.wav");
    result = device.save(file);
    if (result != MediaOk) {
        printError(device.errorText(result));
        return ExitFailed;
    }
    int mode = 0; // a database file: the recording is a work file
    TDbMedia *item = roots.InsertMediaFile(folder, file, mode);
    if (!item) {
        // The work directory goes with this run: the recording is kept where it stays.
        const QString kept = KeepUnstoredFile(file, UnstoredFilesDirectory());
        printError(vkMessage("RecordingKept").arg(kept));
        return ExitFailed;
    }
    QFile::remove(file);
    if (call.isSet(QStringLiteral("title"))) {
        MediaEdits edits;
        edits.title = call.value(QStringLiteral("title"));
        if (!CommitMediaEdits(c, item, edits, work.path()))
            return ExitFailed;
    }
    printLine(item->Rec.OID);
    return ExitDone;
}

} // namespace

QList<Command> recordCommands()
{
    Command record;
    record.name = QStringLiteral("record");
    record.synopsis = QStringLiteral("FOLDER --seconds N [--title T]");
    record.summary = QStringLiteral("record from the sound input into a folder; prints the new OID");
    record.description = QStringLiteral(
        "Records N seconds (1 to 3600) from the default sound input, as the workspace's voice recorder "
        "does, and stores the recording in FOLDER (an OID or a title path) as a WAV file kept in the "
        "database, titled T when --title is given (else as the file is named, \"vkvoice.wav\"). Prints "
        "the new item's OID.\n\n"
        "Exit 0 when the recording is stored, 1 when there is no sound input, the input broke off or gave "
        "no sound (nothing is stored then), or the folder cannot take it, 2 on a usage error.");
    record.options = {
        QCommandLineOption(QStringLiteral("seconds"), QStringLiteral("how long to record"),
                           QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("title"), QStringLiteral("the recording's title"),
                           QStringLiteral("T")),
    };
    record.examples = {QStringLiteral("vkctl record Narration --seconds 20 --title \"Slide 3\"")};
    record.minArgs = record.maxArgs = 1;
    record.graphical = true;
    record.run = runRecord;
    return {record};
}

} // namespace vk
