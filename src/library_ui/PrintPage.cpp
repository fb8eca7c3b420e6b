#include "PrintPage.h"

#include "Messages.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace vk {

void PaintPrint(QPainter &painter, const QImage &picture, const PrintLayout &layout)
{
    if (!layout.isValid() || picture.isNull())
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(layout.destination), picture, QRectF(layout.source));
    painter.restore();
}

namespace {

QMarginsF pdfRims()
{
    const double mm = PrintMinimumMarginCm * 10;
    return QMarginsF(mm, mm, mm, mm);
}

} // namespace

PrinterPage PdfPrinterPage(const QPageSize &paper)
{
    const QPageLayout layout(paper, QPageLayout::Portrait, pdfRims(), QPageLayout::Millimeter);
    return PrinterPage{PdfDotsPerInch, layout.paintRectPixels(PdfDotsPerInch).size()};
}

void SetUpPdfPage(QPagedPaintDevice &device, const QPageSize &paper)
{
    device.setPageLayout(QPageLayout(paper, QPageLayout::Portrait, pdfRims(), QPageLayout::Millimeter));
}

bool WritePrintPdf(const QString &path, const QPageSize &paper, const QList<PrintedPicture> &pages,
                   QString *error)
{
    const PrinterPage printer = PdfPrinterPage(paper);
    QList<PrintLayout> layouts;
    for (const PrintedPicture &page : pages) {
        layouts << LayoutPrint(printer, page.request);
        if (!layouts.last().isValid()) {
            *error = layouts.last().error;
            return false;
        }
    }
    const bool existed = QFileInfo::exists(path);
    bool good = true;
    {
        QPdfWriter writer(path);
        writer.setResolution(PdfDotsPerInch);
        writer.setCreator(QStringLiteral("Vellumark"));
        SetUpPdfPage(writer, paper);
        QPainter painter;
        if (!painter.begin(&writer)) {
            good = false;
        } else {
            for (int i = 0; i < pages.size(); ++i) {
                if (i > 0 && !writer.newPage()) {
                    good = false;
                    break;
                }
                PaintPrint(painter, pages[i].picture, layouts[i]);
            }
            good = painter.end() && good;
        }
    }
    if (!good || !QFileInfo(path).isFile() || QFileInfo(path).size() == 0) {
        *error = vkMessage("PrintFailed").arg(QStringLiteral("%1 cannot be written").arg(path));
        if (!existed)
            QFile::remove(path);
        return false;
    }
    return true;
}

} // namespace vk
