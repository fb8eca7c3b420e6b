// Where a picture goes on a printed page: its print size at the printer's resolution (one
// picture pixel is five printer dots at "Actual", whatever the resolution), the zoom, the
// margins (in cm, at least 0.5; the printable page is taken to start 0.5 cm inside the paper),
// the position, "Full Page", and the part of the picture that fits. The print layout dialog,
// its preview and vkctl print all place a picture through it, so they agree to the dot.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

namespace vk {

// A picture pixel prints as this many printer dots at "Actual".
inline constexpr int PrintDotsPerPixel = 5;
// The smallest margin: the printable page itself.
inline constexpr double PrintMinimumMarginCm = 0.5;
// The resolution of a page printed to a PDF file, by the workspace and by vkctl alike.
inline constexpr int PdfDotsPerInch = 600;

enum class PrintScale
{
    Actual,
    ZoomIn,  // larger: the area ratio 1 : n
    ZoomOut, // smaller: the area ratio n : 1
    Percent, // a linear scale, in percent (vkctl --zoom)
};

enum class PrintPosition
{
    LeftTop,
    RightTop,
    LeftBottom,
    RightBottom,
    Center,
};

struct PrintMargins
{
    double left = PrintMinimumMarginCm, right = PrintMinimumMarginCm;
    double top = PrintMinimumMarginCm, bottom = PrintMinimumMarginCm;
};

struct PrinterPage
{
    int dotsPerInch = PdfDotsPerInch;
    QSize page; // the printable page, in printer dots

    double dotsPerCm() const { return dotsPerInch * 0.39370078740157480316; }
    // The paper's size in cm as the dialog shows it: the printable page and its 0.5 cm rims.
    double widthCm() const { return page.width() / dotsPerCm() + 1; }
    double heightCm() const { return page.height() / dotsPerCm() + 1; }
};

struct PrintRequest
{
    QSize picture; // pixels
    PrintScale scale = PrintScale::Actual;
    // ZoomIn and ZoomOut: 2, 4, 6 and 8 are the named ratios, any other whole number "Others".
    // Percent: the percentage.
    int zoom = 1;
    // A size typed in the image size boxes, in dots; it takes the place of the scale.
    std::optional<QSize> size;
    PrintPosition position = PrintPosition::LeftTop;
    PrintMargins margins;
    bool fullPage = false;
    bool preserveRatio = true;
};

struct PrintLayout
{
    QString error;     // why nothing can be printed; empty when the layout holds
    QSize print;       // the print size in dots, before it is cut to the area between the margins
    QRect margin;      // the area between the margins, in dots of the printable page
    QRect destination; // where the picture goes, in dots of the printable page
    QRect source;      // the part of the picture that goes there, in picture pixels

    bool isValid() const { return error.isEmpty(); }
};

// A margin of `cm` as dots inside the printable page.
int MarginDots(double cm, double dotsPerCm);
// The print size of a scale (before "Full Page" and a typed size), or an error for a zoom of
// none or less and a picture without pixels.
QSize ScaledPrintSize(QSize picture, PrintScale scale, int zoom, QString *error);
// The print size for a typed width (or height) in cm: the other side follows the picture's ratio
// when `preserveRatio`, else stays `other`.
QSize PrintSizeForWidth(double widthCm, double dotsPerCm, QSize picture, bool preserveRatio, int otherHeight);
QSize PrintSizeForHeight(double heightCm, double dotsPerCm, QSize picture, bool preserveRatio,
                         int otherWidth);

PrintLayout LayoutPrint(const PrinterPage &printer, const PrintRequest &request);

// The page as a preview of `panelWidth` pixels shows it: the paper (the printable page with its
// 0.5 cm rims) scaled to the panel, and a rectangle of printable-page dots on it.
struct PrintPreviewScale
{
    PrinterPage printer;
    int panelWidth = 200;

    QSize panel() const;
    QRect toPanel(const QRect &dots) const;
};

} // namespace vk
