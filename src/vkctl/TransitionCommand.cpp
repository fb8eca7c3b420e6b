// vkctl transition: the frames of a transition effect, as pictures, so a show's effect can be
// looked at (and tested) without a screen.
#include "CliOutput.h"
#include "Commands.h"
#include "ImageCodec.h"
#include "Transitions.h"

#include <QDir>
#include <QPainter>

namespace vk {

namespace {

int parseWhole(const QString &text, bool *ok)
{
    const int value = text.toInt(ok);
    if (*ok && value < 0)
        *ok = false;
    return value;
}

int runTransition(Call &call)
{
    // The effect, by number or by its name.
    bool ok = false;
    int effect = parseWhole(call.args[0], &ok);
    if (!ok) {
        for (int e = 0; e <= LastEffect && !ok; ++e)
            if (!TransitionName(e).isEmpty() &&
                TransitionName(e).compare(call.args[0], Qt::CaseInsensitive) == 0)
                effect = e, ok = true;
    }
    if (!ok || effect > 255)
        return call.usageError(
            QStringLiteral("no effect \"%1\": give its number (0 to 41) or its name").arg(call.args[0]));
    if (!call.isSet(QStringLiteral("frames")))
        return call.usageError(QStringLiteral("transition needs --frames N"));
    const int frames = parseWhole(call.value(QStringLiteral("frames")), &ok);
    if (!ok || frames < 1 || frames > 100000)
        return call.usageError(QStringLiteral("--frames takes a whole number from 1 to 100000"));
    int block = 5;
    if (call.isSet(QStringLiteral("block"))) {
        block = parseWhole(call.value(QStringLiteral("block")), &ok);
        if (!ok || block < 1 || block > 255)
            return call.usageError(QStringLiteral("--block takes a whole number from 1 to 255"));
    }
    quint32 seed = 1;
    if (call.isSet(QStringLiteral("seed"))) {
        seed = call.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok)
            return call.usageError(QStringLiteral("--seed takes a whole number"));
    }

    const QString &from = call.args[1], &to = call.args[2], &outDir = call.args[3];
    QImage first, last;
    QString error;
    if (!loadImage(from, first, &error)) {
        printError(QStringLiteral("cannot read %1: %2").arg(from, error));
        return ExitFailed;
    }
    if (!loadImage(to, last, &error)) {
        printError(QStringLiteral("cannot read %1: %2").arg(to, error));
        return ExitFailed;
    }
    if (!QDir().mkpath(outDir)) {
        printError(QStringLiteral("cannot make the directory %1").arg(outDir));
        return ExitFailed;
    }

    // The canvas is the second picture's size; the first shows from its top-left corner.
    last = last.convertToFormat(QImage::Format_RGB32);
    QImage canvas(last.size(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter p(&canvas);
        p.drawImage(0, 0, first);
    }
    SeededTransitionRandom random(seed);
    const TransitionSteps steps = TransitionPattern(effect, last.size(), block, &random);
    const int digits = std::max(3, int(QString::number(frames).size()));
    int drawn = 0; // copies made
    for (int i = 1; i <= frames; ++i) {
        const qint64 stepsDone = (qint64(steps.stepCount()) * i + frames - 1) / frames;
        const int upTo = stepsDone == 0 ? 0 : steps.stepEnd(int(stepsDone) - 1);
        {
            QPainter p(&canvas);
            ApplyTransitionCopies(steps, drawn, upTo, last, p);
        }
        drawn = upTo;
        const QString path =
            QDir(outDir).filePath(QStringLiteral("frame-%1.png").arg(i, digits, 10, QLatin1Char('0')));
        if (!canvas.save(path, "PNG")) {
            printError(QStringLiteral("cannot write %1").arg(path));
            return ExitFailed;
        }
        printLine(path);
    }
    return ExitDone;
}

} // namespace

QList<Command> transitionCommands()
{
    Command transition;
    transition.name = QStringLiteral("transition");
    transition.synopsis = QStringLiteral("EFFECT --frames N [--block SIZE] [--seed N] SRC DST OUTDIR");
    transition.summary = QStringLiteral("write the frames of a slide show's transition effect as pictures");
    transition.description = QStringLiteral(
        "Brings the picture DST over the picture SRC with the transition effect EFFECT (its number, "
        "0 to 41, or its name as the Slide Option dialog shows it, such as \"Random Block\"), and "
        "writes N frames into OUTDIR (made when missing), named frame-001.png, frame-002.png and so "
        "on. Frame i shows the effect after i/N of its steps, so the last frame is DST exactly; SRC "
        "itself, the frame before the first, is not written. The frames are DST's size, SRC drawn "
        "from their top-left corner on black. A number without an effect shows DST whole at once.\n\n"
        "--block is the effect's block size (the show's Display Speed; default 5). Random effects "
        "draw from a generator seeded with --seed (default 1), so a run can be repeated. Prints the "
        "files written, one a line; exit 0 when all are written, 1 when a picture cannot be read or "
        "a frame written, 2 on a usage error.");
    transition.options = {
        QCommandLineOption(QStringLiteral("frames"), QStringLiteral("how many frames to write"),
                           QStringLiteral("N")),
        QCommandLineOption(QStringLiteral("block"), QStringLiteral("the block size in pixels (default 5)"),
                           QStringLiteral("SIZE")),
        QCommandLineOption(QStringLiteral("seed"), QStringLiteral("the seed of random orders (default 1)"),
                           QStringLiteral("N")),
    };
    transition.examples = {
        QStringLiteral("vkctl transition 18 --frames 10 old.png new.png frames"),
        QStringLiteral("vkctl transition \"Random Block\" --frames 30 --block 8 a.png b.png out")};
    transition.minArgs = transition.maxArgs = 4;
    transition.fileArguments = true;
    transition.graphical = true;
    transition.readOnly = true;
    transition.run = runTransition;
    return {transition};
}

} // namespace vk
