#include "PrintLayout.h"

#include "Messages.h"

#include <algorithm>
#include <cmath>

namespace vk {

namespace {

constexpr qint64 MaxDots = 1 << 24;

int clampDots(qint64 dots)
{
    return int(std::clamp<qint64>(dots, 1, MaxDots));
}

// Both sides of the print size by an integer factor num / den.
QSize times(QSize s, qint64 num, qint64 den)
{
    return QSize(clampDots(s.width() * num / den), clampDots(s.height() * num / den));
}

QSize timesReal(QSize s, double factor)
{
    return QSize(clampDots(qint64(std::trunc(s.width() * factor))),
                 clampDots(qint64(std::trunc(s.height() * factor))));
}

} // namespace

int MarginDots(double cm, double dotsPerCm)
{
    return int(std::trunc((std::max(cm, PrintMinimumMarginCm) - PrintMinimumMarginCm) * dotsPerCm));
}

QSize ScaledPrintSize(QSize picture, PrintScale scale, int zoom, QString *error)
{
    if (picture.width() <= 0 || picture.height() <= 0) {
        if (error)
            *error = vkMessage("PrintPictureEmpty");
        return {};
    }
    const QSize image(clampDots(qint64(picture.width()) * PrintDotsPerPixel),
                      clampDots(qint64(picture.height()) * PrintDotsPerPixel));
    if (scale != PrintScale::Actual && zoom < 1) {
        // A ratio of 0 would divide by nothing; a negative one means nothing.
        if (error)
            *error = vkMessage(scale == PrintScale::Percent ? "PrintPercentInvalid" : "PrintZoomInvalid");
        return {};
    }
    switch (scale) {
    case PrintScale::Actual:
        return image;
    case PrintScale::ZoomIn:
        // The ratio names an area: each side grows by its square root.
        switch (zoom) {
        case 2:
            return times(image, 14, 10);
        case 4:
            return times(image, 2, 1);
        case 6:
            return times(image, 245, 100);
        case 8:
            return times(image, 283, 100);
        default:
            return timesReal(image, std::sqrt(double(zoom)));
        }
    case PrintScale::ZoomOut:
        switch (zoom) {
        case 2:
            return times(image, 10, 14);
        case 4:
            return times(image, 1, 2);
        case 6:
            return times(image, 100, 245);
        case 8:
            return times(image, 100, 283);
        default:
            return timesReal(image, 1.0 / std::sqrt(double(zoom)));
        }
    case PrintScale::Percent:
        return times(image, zoom, 100);
    }
    return image;
}

QSize PrintSizeForWidth(double widthCm, double dotsPerCm, QSize picture, bool preserveRatio, int otherHeight)
{
    const double w = widthCm * dotsPerCm;
    if (!preserveRatio || picture.width() <= 0)
        return QSize(clampDots(qint64(std::trunc(w))), otherHeight);
    const double ratio = double(picture.height()) / picture.width();
    return QSize(clampDots(qint64(std::trunc(w))), clampDots(qint64(std::trunc(w * ratio))));
}

QSize PrintSizeForHeight(double heightCm, double dotsPerCm, QSize picture, bool preserveRatio, int otherWidth)
{
    const double h = heightCm * dotsPerCm;
    if (!preserveRatio || picture.height() <= 0)
        return QSize(otherWidth, clampDots(qint64(std::trunc(h))));
    const double ratio = double(picture.height()) / picture.width();
    return QSize(clampDots(qint64(std::trunc(h / ratio))), clampDots(qint64(std::trunc(h))));
}

PrintLayout LayoutPrint(const PrinterPage &printer, const PrintRequest &request)
{
    PrintLayout out;
    const QSize picture = request.picture;
    QSize print;
    if (request.size && !request.fullPage) {
        if (picture.isEmpty()) {
            out.error = vkMessage("PrintPictureEmpty");
            return out;
        }
        print = *request.size;
    } else {
        print = ScaledPrintSize(picture, request.scale, request.zoom, &out.error);
        if (!out.isValid())
            return out;
    }
    const double dpc = printer.dotsPerCm();
    const PrintMargins &m = request.margins;
    const int lm = MarginDots(m.left, dpc), rm = MarginDots(m.right, dpc);
    const int tm = MarginDots(m.top, dpc), bm = MarginDots(m.bottom, dpc);
    const int pageW = printer.page.width(), pageH = printer.page.height();
    const int fullW = pageW - lm - rm, fullH = pageH - tm - bm;
    if (fullW <= 0 || fullH <= 0) {
        out.error = vkMessage("PrintMarginsTooWide");
        return out;
    }
    out.margin = QRect(lm, tm, fullW, fullH);
    PrintPosition position = request.position;
    if (request.fullPage) {
        // The picture fills the area between the margins: with its ratio kept, by the side that
        // reaches the margins first, so that none of it is cut off.
        if (request.preserveRatio) {
            if (qint64(picture.width()) * fullH >= qint64(picture.height()) * fullW)
                print = QSize(fullW, clampDots(qint64(fullW) * picture.height() / picture.width()));
            else
                print = QSize(clampDots(qint64(fullH) * picture.width() / picture.height()), fullH);
        } else {
            print = QSize(fullW, fullH);
        }
        position = PrintPosition::LeftTop;
    }
    out.print = print;

    const bool right = position == PrintPosition::RightTop || position == PrintPosition::RightBottom;
    const bool bottom = position == PrintPosition::LeftBottom || position == PrintPosition::RightBottom;
    const bool center = position == PrintPosition::Center;
    int left = lm, top = tm;
    if (right)
        left = std::max(pageW - rm - print.width(), lm);
    if (bottom)
        top = std::max(pageH - bm - print.height(), tm);
    if (center) {
        left = std::max(pageW -
                            int(std::trunc((std::max(m.left, PrintMinimumMarginCm) +
                                            std::max(m.right, PrintMinimumMarginCm) - 1) *
                                           dpc)) -
                            print.width(),
                        0) /
                   2 +
               lm;
        top = std::max(pageH -
                           int(std::trunc((std::max(m.top, PrintMinimumMarginCm) +
                                           std::max(m.bottom, PrintMinimumMarginCm) - 1) *
                                          dpc)) -
                           print.height(),
                       0) /
                  2 +
              tm;
    }
    const int rightEdge = std::min(left + print.width(), pageW - rm);
    const int bottomEdge = std::min(top + print.height(), pageH - bm);
    out.destination = QRect(QPoint(left, top), QPoint(rightEdge - 1, bottomEdge - 1));

    // What does not fit between the margins is left out of the picture, at its scale: from the
    // right for a picture placed at the left, from the left for one at the right, half and half
    // for the centre (and likewise from the bottom, the top, or both).
    const int shownW = std::max(1, int(qint64(out.destination.width()) * picture.width() / print.width()));
    const int shownH = std::max(1, int(qint64(out.destination.height()) * picture.height() / print.height()));
    const int cutW = std::max(0, picture.width() - shownW), cutH = std::max(0, picture.height() - shownH);
    const int x = right ? cutW : center ? cutW / 2 : 0;
    const int y = bottom ? cutH : center ? cutH / 2 : 0;
    out.source = QRect(x, y, picture.width() - cutW, picture.height() - cutH);
    return out;
}

QSize PrintPreviewScale::panel() const
{
    const double dpc = printer.dotsPerCm();
    const double paperW = printer.page.width() + dpc, paperH = printer.page.height() + dpc;
    if (paperW <= 0)
        return QSize(panelWidth, panelWidth);
    return QSize(panelWidth, int(std::lround(panelWidth * paperH / paperW)));
}

QRect PrintPreviewScale::toPanel(const QRect &dots) const
{
    const double dpc = printer.dotsPerCm();
    const double paperW = printer.page.width() + dpc;
    if (paperW <= 0)
        return {};
    const double k = panelWidth / paperW, rim = dpc / 2;
    const int x0 = int(std::lround((dots.left() + rim) * k));
    const int y0 = int(std::lround((dots.top() + rim) * k));
    const int x1 = int(std::lround((dots.left() + dots.width() + rim) * k));
    const int y1 = int(std::lround((dots.top() + dots.height() + rim) * k));
    return QRect(x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0));
}

} // namespace vk
