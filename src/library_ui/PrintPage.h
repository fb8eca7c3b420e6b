// Putting a laid-out picture on a printed page (a printer of the desktop, a PDF file), for the
// print layout dialog and for vkctl print: the same layout, the same strokes.
#pragma once

#include "PrintLayout.h"

#include <QImage>
#include <QList>
#include <QPageSize>
#include <QString>

class QPainter;
class QPagedPaintDevice;

namespace vk {

// Draws the part of the picture the layout keeps into its place; the painter's coordinates are
// the dots of the printable page.
void PaintPrint(QPainter &painter, const QImage &picture, const PrintLayout &layout);

// The printable page of a PDF file of that paper: PdfDotsPerInch, 0.5 cm inside the paper.
PrinterPage PdfPrinterPage(const QPageSize &paper);
// Makes a PDF writer or printer's page that one: the paper, the resolution and the 0.5 cm rims.
void SetUpPdfPage(QPagedPaintDevice &device, const QPageSize &paper);

// One picture a page.
struct PrintedPicture
{
    QImage picture;
    PrintRequest request;
};

// Writes the pictures to a PDF file, one a page, each laid out by its request. False, with the
// reason, when a layout does not hold or the file cannot be written (nothing is left at `path`
// then that was not there before).
bool WritePrintPdf(const QString &path, const QPageSize &paper, const QList<PrintedPicture> &pages,
                   QString *error);

} // namespace vk
