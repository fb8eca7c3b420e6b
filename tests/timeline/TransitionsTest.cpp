// The order of the transition effects: every effect ends with the target equal to the
// picture, on grids that fit and grids with leftovers; a few orders pinned block by block; the
// random orders and the random choice of effects.
#include "Transitions.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <set>

using namespace vk;

namespace {

QImage noise(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    std::mt19937 g(seed);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(int(g() % 256), int(g() % 256), int(g() % 256)));
    return image;
}

// The steps as text: "(c,r)" a block, "s3>1" source strip 3 onto target strip 1, "whole";
// steps apart by "|".
QString orderText(const TransitionSteps &s)
{
    QStringList steps;
    for (int i = 0; i < s.stepCount(); ++i) {
        QString step;
        for (int k = s.stepBegin(i); k < s.stepEnd(i); ++k) {
            const TransitionCopy &c = s.copies[size_t(k)];
            if (c.kind == TransitionCopy::Block)
                step += QStringLiteral("(%1,%2)").arg(c.a).arg(c.b);
            else if (c.kind == TransitionCopy::Strip)
                step += QStringLiteral("s%1>%2").arg(c.a).arg(c.b);
            else
                step += QStringLiteral("whole");
        }
        steps << step;
    }
    return steps.join('|');
}

std::vector<int> allNumbers()
{
    std::vector<int> n;
    for (int e = 0; e <= LastEffect; ++e)
        n.push_back(e);
    n.push_back(42);
    n.push_back(255);
    return n;
}

} // namespace

TEST(TransitionGrid, ReachesOnePixelPastTheClipAndRoundsHalvesToEven)
{
    // 100 × 60 with blocks of 10: W = 101, H = 61, an 11 × 7 grid whose last column and row lie
    // outside the picture.
    const TransitionGrid g = TransitionGrid::of(QSize(100, 60), 10);
    EXPECT_EQ(g.W, 101);
    EXPECT_EQ(g.H, 61);
    EXPECT_EQ(g.Cols, 11);
    EXPECT_EQ(g.Rows, 7);
    EXPECT_EQ(g.block(11, 7), QRect(100, 60, 1, 1));
    EXPECT_EQ(g.strip(7), QRect(0, 60, 101, 1));
    EXPECT_TRUE(g.block(0, 1).isEmpty());
    EXPECT_TRUE(g.block(12, 1).isEmpty());
    EXPECT_EQ(g.HalfC, 6);    // 5.5
    EXPECT_EQ(g.HalfR, 4);    // 3.5
    EXPECT_EQ(g.QuarterC, 3); // 2.75
    EXPECT_EQ(g.QuarterR, 2); // 1.75
    EXPECT_EQ(g.ThirdR, 2);   // 2.33

    const struct
    {
        int cols, half;
    } halves[] = {{5, 2}, {7, 4}, {9, 4}, {11, 6}, {1, 0}, {2, 1}};
    for (const auto &h : halves)
        EXPECT_EQ(TransitionGrid::of(QSize(h.cols - 1, 0), 1).HalfC, h.half) << h.cols;
    EXPECT_EQ(TransitionGrid::of(QSize(9, 0), 1).QuarterC, 2); // 10 × 0.25 = 2.5
}

TEST(TransitionPattern, EveryEffectEndsWithTheWholePicture)
{
    const struct
    {
        QSize size;
        int block;
    } grids[] = {
        {{100, 60}, 10}, // 11 × 7, the last column and row outside the picture
        {{99, 59}, 10},  // 10 × 6, a grid that fits
        {{120, 80}, 7},  // a remainder of several pixels
        {{37, 23}, 5},   {{5, 200}, 3}, {{200, 5}, 3}, {{1, 1}, 5}, {{17, 13}, 1}, {{64, 48}, 255},
    };
    for (const auto &grid : grids) {
        const QImage picture = noise(grid.size, 7);
        for (int effect : allNumbers()) {
            SeededTransitionRandom random(11);
            const TransitionSteps steps = TransitionPattern(effect, grid.size, grid.block, &random);
            QImage target(grid.size, QImage::Format_RGB32);
            target.fill(Qt::black);
            QPainter p(&target);
            ApplyTransitionCopies(steps, 0, steps.copyCount(), picture, p);
            p.end();
            EXPECT_EQ(target, picture) << "effect " << effect << " on " << grid.size.width() << "x"
                                       << grid.size.height() << " block " << grid.block;
            for (const TransitionCopy &c : steps.copies) {
                const QRect bounds(0, 0, steps.grid.W, steps.grid.H);
                ASSERT_TRUE(bounds.contains(steps.sourceRect(c))) << effect;
                ASSERT_TRUE(bounds.contains(steps.targetRect(c))) << effect;
            }
            for (int i = 0; i < steps.stepCount(); ++i)
                ASSERT_LT(steps.stepBegin(i), steps.stepEnd(i)) << "an empty step in effect " << effect;
        }
    }
}

TEST(TransitionPattern, PinnedOrders)
{
    const struct
    {
        int effect;
        QSize clip; // the grid is one more pixel each way, with blocks of 1
        const char *order;
    } cases[] = {
        {0, {2, 2}, "whole"},
        {1, {1, 1}, "(1,1)(1,2)|(2,1)(2,2)"},
        {6, {3, 0}, "(2,1)(2,1)|(3,1)(1,1)|(4,1)"},
        {9, {2, 2}, "(1,1)(3,2)(1,3)|(2,1)(2,2)(2,3)|(3,1)(1,2)(3,3)"},
        {18, {2, 1}, "(1,1)|(2,1)(1,2)|(3,1)(2,2)|(3,2)"},
        {24, {2, 1}, "(2,1)(1,2)|(1,1)(3,1)(2,2)|(1,1)(3,2)"},
        // The four stripes of 10 columns reach column 8: 9 and 10 come last.
        {27, {9, 0}, "(1,1)(2,1)(3,1)(4,1)(5,1)(6,1)(7,1)(8,1)|(9,1)(10,1)"},
        {36, {2, 1}, "(1,1)(3,1)|(2,2)|(2,1)|(1,2)(3,2)"},
        {37, {0, 2}, "s3>1|s3>2|s3>3|s2>1|s2>2|s1>1"},
        {38, {2, 2}, "(2,2)|(2,1)|(3,1)|(3,2)|(3,3)|(2,3)|(1,3)|(1,2)|(1,1)"},
        {40, {2, 2}, "(1,1)(2,1)(3,1)|(1,3)(2,3)(3,3)|(3,2)(2,2)(1,2)"},
        {15, {2, 2}, "whole"},
        {42, {2, 2}, "whole"},
    };
    for (const auto &c : cases) {
        SeededTransitionRandom random(1);
        EXPECT_EQ(orderText(TransitionPattern(c.effect, c.clip, 1, &random)), QString::fromLatin1(c.order))
            << "effect " << c.effect;
    }
}

TEST(TransitionPattern, OneStripAndNoEffectAreOneCopy)
{
    EXPECT_EQ(TransitionPattern(37, QSize(50, 3), 5).copyCount(), 1);
    EXPECT_EQ(TransitionPattern(0, QSize(1920, 1080), 5).copyCount(), 1);
}

TEST(TransitionPattern, RandomOrdersTakeEveryEntryOnceWithFullNumbers)
{
    // 601 columns: entries kept in 8 bits would wrap past 255.
    const QSize clip(600, 20);
    SeededTransitionRandom random(5);
    const TransitionSteps blocks = TransitionPattern(RandomBlockEffect, clip, 1, &random);
    const int cells = blocks.grid.Cols * blocks.grid.Rows;
    ASSERT_EQ(blocks.grid.Cols, 601);
    EXPECT_EQ(blocks.copyCount(), cells);
    EXPECT_EQ(blocks.stepCount(), cells);
    std::set<std::pair<int, int>> seen;
    for (const TransitionCopy &c : blocks.copies)
        seen.insert({c.a, c.b});
    EXPECT_EQ(int(seen.size()), cells);
    EXPECT_EQ(seen.rbegin()->first, 601);

    const TransitionSteps lines = TransitionPattern(RandomLinesEffect, clip, 1, &random);
    EXPECT_EQ(lines.stepCount(), 601 + 21);
    std::set<QString> drawn;
    for (int i = 0; i < lines.stepCount(); ++i) {
        const TransitionCopy &first = lines.copies[size_t(lines.stepBegin(i))];
        const TransitionCopy &second = lines.copies[size_t(lines.stepBegin(i) + 1)];
        drawn.insert(first.a == second.a ? QStringLiteral("c%1").arg(first.a)
                                         : QStringLiteral("r%1").arg(first.b));
    }
    EXPECT_EQ(drawn.size(), size_t(601 + 21));

    // The same seed gives the same order; another seed another.
    SeededTransitionRandom a(9), b(9), c(10);
    const QString order = orderText(TransitionPattern(RandomBlockEffect, QSize(30, 30), 3, &a));
    EXPECT_EQ(orderText(TransitionPattern(RandomBlockEffect, QSize(30, 30), 3, &b)), order);
    EXPECT_NE(orderText(TransitionPattern(RandomBlockEffect, QSize(30, 30), 3, &c)), order);
}

TEST(TransitionPattern, RandomEffectsNeverPickNumbersWithoutAPattern)
{
    class Counting : public TransitionRandom
    {
    public:
        int next = 0;
        int bound = 0;
        int below(int b) override
        {
            bound = b;
            return next++ % b;
        }
    } counting;
    std::set<int> chosen;
    for (int i = 0; i <= LastEffect; ++i)
        chosen.insert(RandomEffectNumber(counting));
    EXPECT_EQ(counting.bound, 42);
    for (int never : {15, 16, 17, 39})
        EXPECT_EQ(chosen.count(never), 0u) << never;
    for (int effect : chosen)
        EXPECT_FALSE(TransitionName(effect).isEmpty()) << effect;
    EXPECT_EQ(chosen.size(), size_t(38));
}

TEST(TransitionNames, PagesHoldTheThirtyEightEffects)
{
    std::set<int> all;
    for (const TransitionPage &page : TransitionPages())
        for (int e : page.effects) {
            EXPECT_FALSE(TransitionName(e).isEmpty()) << e;
            all.insert(e);
        }
    EXPECT_EQ(all.size(), size_t(38));
    EXPECT_EQ(TransitionName(35), "Random Block");
    EXPECT_EQ(TransitionName(39), "");
}
