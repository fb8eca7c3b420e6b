// vkctl print: pictures of the library laid out on pages of a PDF file, as the print layout
// dialog lays them out (the same margins, zoom, Full Page and resolution).
#include "Commands.h"

#include "CliOutput.h"
#include "CliSource.h"
#include "Connection.h"
#include "DbFolder.h"
#include "Engine.h"
#include "MediaTypes.h"
#include "OptionStore.h"
#include "PictureFiles.h"
#include "PrintPage.h"
#include "WorkDirectory.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace vk {

namespace {

int runPrint(Call &call)
{
    const QString pdf = call.value(QStringLiteral("pdf"));
    if (pdf.isEmpty())
        return call.usageError(QStringLiteral("print needs --pdf OUT.pdf"));
    PrintRequest request;
    if (call.isSet(QStringLiteral("margins"))) {
        bool ok = false;
        const double cm = call.value(QStringLiteral("margins")).toDouble(&ok);
        if (!ok || !std::isfinite(cm) || cm < PrintMinimumMarginCm)
            return call.usageError(QStringLiteral("--margins is a length in cm from 0.5 on, not '%1'")
                                       .arg(call.value(QStringLiteral("margins"))));
        request.margins = PrintMargins{cm, cm, cm, cm};
    }
    const bool fullPage = call.isSet(QStringLiteral("full-page"));
    if (call.isSet(QStringLiteral("zoom"))) {
        if (fullPage)
            return call.usageError(QStringLiteral("print takes one of --zoom and --full-page"));
        bool ok = false;
        const int percent = call.value(QStringLiteral("zoom")).toInt(&ok);
        if (!ok || percent < 1 || percent > 10000)
            return call.usageError(QStringLiteral("--zoom is a whole percentage from 1 to 10000, not '%1'")
                                       .arg(call.value(QStringLiteral("zoom"))));
        request.scale = PrintScale::Percent;
        request.zoom = percent;
    }
    request.fullPage = fullPage;
    QPageSize paper(QPageSize::A4);
    if (call.isSet(QStringLiteral("paper"))) {
        const QString name = call.value(QStringLiteral("paper"));
        if (name.compare(QLatin1String("Letter"), Qt::CaseInsensitive) == 0)
            paper = QPageSize(QPageSize::Letter);
        else if (name.compare(QLatin1String("A4"), Qt::CaseInsensitive) != 0)
            return call.usageError(QStringLiteral("--paper is A4 or Letter, not '%1'").arg(name));
    }

    Connection c;
    DisplayOptions display;
    TDbFolderList roots(c);
    if (!openPart(call, c, display, roots, {}, call.args))
        return ExitFailed;
    if (!writableTarget(c, pdf))
        return ExitFailed;
    // The image library's scratch files go into a work directory of this run's own.
    const WorkDirectory work(workDirectoryBase());
    if (!work.path().isEmpty())
        qputenv("MAGICK_TEMPORARY_PATH", QFile::encodeName(work.path()));
    QList<PrintedPicture> pages;
    for (const QString &oid : std::as_const(call.args)) {
        const TDbMedia *item = roots.FindMediaByOid(oid);
        if (!item) {
            printError(QStringLiteral("there is no media item %1").arg(oid));
            return ExitFailed;
        }
        if (!isPictureType(item->Rec.MediaType) || item->SubFolder) {
            printError(QStringLiteral("media item %1 is no picture: only a picture can be printed").arg(oid));
            return ExitFailed;
        }
        PrintedPicture page;
        QString error;
        if (!loadMediaPicture(item->Rec.MediaFile, item->Rec.MediaType, page.picture, &error)) {
            printError(QStringLiteral("media item %1: %2").arg(oid, error));
            return ExitFailed;
        }
        page.request = request;
        page.request.picture = page.picture.size();
        pages << page;
    }
    QString error;
    if (!WritePrintPdf(pdf, paper, pages, &error)) {
        printError(error);
        return ExitFailed;
    }
    return ExitDone;
}

} // namespace

QList<Command> printCommands()
{
    Command print;
    print.name = QStringLiteral("print");
    print.synopsis = QStringLiteral("MEDIA_OID... --pdf OUT.pdf [--margins CM] [--zoom PERCENT|--full-page] "
                                    "[--paper A4|Letter]");
    print.summary = QStringLiteral("print pictures to a PDF file, one a page, as the print layout does");
    print.description = QStringLiteral(
        "Writes each picture on a page of its own to OUT.pdf, laid out as the workspace's print layout "
        "lays it out on a page printed to a PDF file: at 600 dots an inch, a picture pixel is five dots "
        "(\"Actual\"), placed at the top left inside the margins (--margins, in cm from the edge of the "
        "paper, at least and by default 0.5, the same on every side). --zoom scales it by a percentage; "
        "--full-page fills the area between the margins with it, its ratio kept. What does not fit between "
        "the margins is left out, from the right and the bottom. The paper is A4 unless --paper Letter.\n\n"
        "Only pictures print; an item that is none, or whose file cannot be read, fails the command and "
        "no file is written.");
    print.options = {
        QCommandLineOption(QStringLiteral("pdf"), QStringLiteral("the PDF file to write"),
                           QStringLiteral("OUT.pdf")),
        QCommandLineOption(QStringLiteral("margins"), QStringLiteral("the margins in cm (at least 0.5)"),
                           QStringLiteral("CM")),
        QCommandLineOption(QStringLiteral("zoom"), QStringLiteral("the print size in percent of \"Actual\""),
                           QStringLiteral("PERCENT")),
        QCommandLineOption(QStringLiteral("full-page"),
                           QStringLiteral("fill the area between the margins, the ratio kept")),
        QCommandLineOption(QStringLiteral("paper"), QStringLiteral("A4 (the default) or Letter"),
                           QStringLiteral("A4|Letter")),
    };
    print.examples = {
        QStringLiteral("vkctl print 000000000000001234 --pdf beach.pdf --margins 2"),
        QStringLiteral("vkctl print 000000000000001234 000000000000001240 --pdf two.pdf --full-page "
                       "--paper Letter")};
    print.minArgs = 1;
    print.maxArgs = -1;
    print.graphical = true;
    print.readOnly = true;
    print.run = runPrint;
    return {print};
}

} // namespace vk
