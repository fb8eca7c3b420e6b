// The print layout's arithmetic: the print size at the printer's resolution (five dots a
// picture pixel), the named and other zoom ratios, margins in dots of the printable page, the
// five positions, Full Page, what is cut off a print larger than the area between the margins,
// and the layouts that are refused instead of dividing by nothing.
#include "PrintLayout.h"
#include "Messages.h"

#include <gtest/gtest.h>

using namespace vk;

namespace {

// A printable page of 4960 x 7016 dots (about 21 x 29.7 cm at 600 dots an inch).
PrinterPage page600()
{
    return PrinterPage{600, QSize(4960, 7016)};
}

PrintRequest request(QSize picture, PrintScale scale = PrintScale::Actual, int zoom = 1,
                     PrintPosition position = PrintPosition::LeftTop, double margin = 0.5)
{
    PrintRequest r;
    r.picture = picture;
    r.scale = scale;
    r.zoom = zoom;
    r.position = position;
    r.margins = PrintMargins{margin, margin, margin, margin};
    return r;
}

struct Case
{
    const char *what;
    PrinterPage printer;
    PrintRequest request;
    QSize print;
    QRect destination;
    QRect source;
};

using P = PrintPosition;
using S = PrintScale;

TEST(PrintLayoutTest, PlacesThePictureAtThePrintersResolution)
{
    PrintRequest fullWide = request({200, 100});
    fullWide.fullPage = true;
    PrintRequest fullTall = request({100, 300});
    fullTall.fullPage = true;
    // A picture a little taller than wide: its height would reach past the page's width.
    PrintRequest fullNearSquare = request({100, 110});
    fullNearSquare.fullPage = true;
    PrintRequest fullStretched = request({200, 100});
    fullStretched.fullPage = true;
    fullStretched.preserveRatio = false;
    PrintRequest fullCentred = request({200, 100}, S::Actual, 1, P::Center, 2);
    fullCentred.fullPage = true;
    PrintRequest fullThin = request({1, 1000});
    fullThin.fullPage = true;
    PrintRequest typed = request({200, 100});
    typed.size = QSize(2000, 700);
    PrintRequest asymmetric = request({200, 100}, S::Actual, 1, P::Center);
    asymmetric.margins = PrintMargins{3, 0.5, 1, 2};

    const Case cases[] = {
        // 200 x 100 pixels at 600 dots an inch: 1000 x 500 dots, about 4.2 x 2.1 cm.
        {"actual", page600(), request({200, 100}), {1000, 500}, {0, 0, 1000, 500}, {0, 0, 200, 100}},
        {"actual at 300 dpi is the same dots",
         {300, {2480, 3508}},
         request({200, 100}),
         {1000, 500},
         {0, 0, 1000, 500},
         {0, 0, 200, 100}},
        {"1 : 2",
         page600(),
         request({200, 100}, S::ZoomIn, 2),
         {1400, 700},
         {0, 0, 1400, 700},
         {0, 0, 200, 100}},
        {"1 : 4 doubles",
         page600(),
         request({200, 100}, S::ZoomIn, 4),
         {2000, 1000},
         {0, 0, 2000, 1000},
         {0, 0, 200, 100}},
        {"1 : 6",
         page600(),
         request({200, 100}, S::ZoomIn, 6),
         {2450, 1225},
         {0, 0, 2450, 1225},
         {0, 0, 200, 100}},
        {"1 : 8",
         page600(),
         request({200, 100}, S::ZoomIn, 8),
         {2830, 1415},
         {0, 0, 2830, 1415},
         {0, 0, 200, 100}},
        {"Others 9 triples",
         page600(),
         request({200, 100}, S::ZoomIn, 9),
         {3000, 1500},
         {0, 0, 3000, 1500},
         {0, 0, 200, 100}},
        {"4 : 1 halves",
         page600(),
         request({200, 100}, S::ZoomOut, 4),
         {500, 250},
         {0, 0, 500, 250},
         {0, 0, 200, 100}},
        {"2 : 1",
         page600(),
         request({200, 100}, S::ZoomOut, 2),
         {714, 357},
         {0, 0, 714, 357},
         {0, 0, 200, 100}},
        {"8 : 1",
         page600(),
         request({200, 100}, S::ZoomOut, 8),
         {353, 176},
         {0, 0, 353, 176},
         {0, 0, 200, 100}},
        {"Others 9 : 1 a third",
         page600(),
         request({200, 100}, S::ZoomOut, 9),
         {333, 166},
         {0, 0, 333, 166},
         {0, 0, 200, 100}},
        {"150 percent",
         page600(),
         request({200, 100}, S::Percent, 150),
         {1500, 750},
         {0, 0, 1500, 750},
         {0, 0, 200, 100}},
        // A margin of 2 cm lies 1.5 cm inside the printable page: trunc(1.5 x 236.22) = 354 dots.
        {"2 cm margins",
         page600(),
         request({200, 100}, S::Actual, 1, P::LeftTop, 2),
         {1000, 500},
         {354, 354, 1000, 500},
         {0, 0, 200, 100}},
        {"2 cm margins at 1200 dpi",
         {1200, {9920, 14032}},
         request({200, 100}, S::Actual, 1, P::LeftTop, 2),
         {1000, 500},
         {708, 708, 1000, 500},
         {0, 0, 200, 100}},
        {"right-top",
         page600(),
         request({200, 100}, S::Actual, 1, P::RightTop, 1),
         {1000, 500},
         {3842, 118, 1000, 500},
         {0, 0, 200, 100}},
        {"left-bottom",
         page600(),
         request({200, 100}, S::Actual, 1, P::LeftBottom, 1),
         {1000, 500},
         {118, 6398, 1000, 500},
         {0, 0, 200, 100}},
        {"right-bottom",
         page600(),
         request({200, 100}, S::Actual, 1, P::RightBottom, 1),
         {1000, 500},
         {3842, 6398, 1000, 500},
         {0, 0, 200, 100}},
        {"center",
         page600(),
         request({200, 100}, S::Actual, 1, P::Center),
         {1000, 500},
         {1980, 3258, 1000, 500},
         {0, 0, 200, 100}},
        // Between margins of 3 and 0.5 cm (left, right) and 1 and 2 cm (top, bottom).
        {"center between unequal margins",
         page600(),
         asymmetric,
         {1000, 500},
         {2275, 3140, 1000, 500},
         {0, 0, 200, 100}},
        // Wider than the page: it starts at the left margin and loses as much on either side.
        {"center of a print wider than the area",
         page600(),
         request({2000, 100}, S::Actual, 1, P::Center),
         {10000, 500},
         {0, 3258, 4960, 500},
         {504, 0, 992, 100}},
        {"center, wider, 1 cm margins",
         page600(),
         request({2000, 100}, S::Actual, 1, P::Center, 1),
         {10000, 500},
         {118, 3258, 4724, 500},
         {528, 0, 944, 100}},
        {"left-top keeps the left and the top",
         page600(),
         request({2000, 2000}),
         {10000, 10000},
         {0, 0, 4960, 7016},
         {0, 0, 992, 1403}},
        {"right-bottom keeps the right and the bottom",
         page600(),
         request({2000, 2000}, S::Actual, 1, P::RightBottom),
         {10000, 10000},
         {0, 0, 4960, 7016},
         {1008, 597, 992, 1403}},
        {"full page, wide", page600(), fullWide, {4960, 2480}, {0, 0, 4960, 2480}, {0, 0, 200, 100}},
        {"full page, tall", page600(), fullTall, {2338, 7016}, {0, 0, 2338, 7016}, {0, 0, 100, 300}},
        {"full page keeps the whole of a nearly square picture",
         page600(),
         fullNearSquare,
         {4960, 5456},
         {0, 0, 4960, 5456},
         {0, 0, 100, 110}},
        {"full page without the ratio",
         page600(),
         fullStretched,
         {4960, 7016},
         {0, 0, 4960, 7016},
         {0, 0, 200, 100}},
        {"full page is placed left-top",
         page600(),
         fullCentred,
         {4252, 2126},
         {354, 354, 4252, 2126},
         {0, 0, 200, 100}},
        {"full page of a thread of a picture",
         page600(),
         fullThin,
         {7, 7016},
         {0, 0, 7, 7016},
         {0, 0, 1, 1000}},
        {"a typed size", page600(), typed, {2000, 700}, {0, 0, 2000, 700}, {0, 0, 200, 100}},
    };
    for (const Case &c : cases) {
        const PrintLayout l = LayoutPrint(c.printer, c.request);
        ASSERT_TRUE(l.isValid()) << c.what << ": " << l.error.toStdString();
        EXPECT_EQ(l.print, c.print) << c.what;
        EXPECT_EQ(l.destination, c.destination) << c.what;
        EXPECT_EQ(l.source, c.source) << c.what;
    }
}

TEST(PrintLayoutTest, RefusesWhatWouldDivideByNothing)
{
    PrintRequest wide = request({200, 100}, S::Actual, 1, P::LeftTop, 11);
    const struct
    {
        const char *what;
        PrintRequest request;
        const char *message;
    } cases[] = {
        {"zoom out Others 0", request({200, 100}, S::ZoomOut, 0), "PrintZoomInvalid"},
        {"zoom in Others 0", request({200, 100}, S::ZoomIn, 0), "PrintZoomInvalid"},
        {"a negative ratio", request({200, 100}, S::ZoomOut, -3), "PrintZoomInvalid"},
        {"0 percent", request({200, 100}, S::Percent, 0), "PrintPercentInvalid"},
        {"a picture of width 0", request({0, 100}), "PrintPictureEmpty"},
        {"a picture of height 0", request({100, 0}), "PrintPictureEmpty"},
        {"margins wider than the page", wide, "PrintMarginsTooWide"},
    };
    for (const auto &c : cases) {
        const PrintLayout l = LayoutPrint(page600(), c.request);
        EXPECT_FALSE(l.isValid()) << c.what;
        EXPECT_EQ(l.error, vkMessage(c.message)) << c.what;
    }
    // Full Page of a picture without pixels is refused too, not divided by its width.
    PrintRequest full = request({0, 50});
    full.fullPage = true;
    EXPECT_EQ(LayoutPrint(page600(), full).error, vkMessage("PrintPictureEmpty"));
}

TEST(PrintLayoutTest, MarginsAndTypedSizes)
{
    const double dpc = page600().dotsPerCm();
    // A margin below 0.5 cm is the printable page itself.
    EXPECT_EQ(MarginDots(0.3, dpc), 0);
    EXPECT_EQ(MarginDots(0.5, dpc), 0);
    EXPECT_EQ(MarginDots(2, dpc), 354);
    EXPECT_NEAR(page600().widthCm(), 4960 / dpc + 1, 1e-9);
    // A width typed in cm: the height follows the ratio, or stays without it.
    EXPECT_EQ(PrintSizeForWidth(5, dpc, {200, 100}, true, 9), QSize(1181, 590));
    EXPECT_EQ(PrintSizeForWidth(5, dpc, {200, 100}, false, 9), QSize(1181, 9));
    EXPECT_EQ(PrintSizeForHeight(5, dpc, {200, 100}, true, 9), QSize(2362, 1181));
    EXPECT_EQ(PrintSizeForHeight(5, dpc, {200, 100}, false, 9), QSize(9, 1181));
}

TEST(PrintLayoutTest, ThePreviewIsThePaperInSmall)
{
    // A4 at 600 dots an inch: 200 x 287 mm printable, the paper 0.5 cm larger on every side.
    const PrintPreviewScale preview{PrinterPage{600, QSize(4724, 6780)}, 210};
    EXPECT_EQ(preview.panel(), QSize(210, 297));
    // The printable page sits 0.5 cm (5 of 210 pixels) inside the paper.
    EXPECT_EQ(preview.toPanel(QRect(0, 0, 4724, 6780)), QRect(5, 5, 200, 287));
    // A picture 2 cm from the paper's top left corner, 4.2 cm wide.
    EXPECT_EQ(preview.toPanel(QRect(354, 354, 1000, 500)).topLeft(), QPoint(20, 20));
}

} // namespace
