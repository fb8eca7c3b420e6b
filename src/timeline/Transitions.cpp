#include "Transitions.h"

#include <QPainter>

#include <climits>

#include <algorithm>
#include <utility>

namespace vk {

namespace {

// num / den to the nearest integer, halves to the even neighbour (5 × 0.5 gives 2, 7 × 0.5 gives 4).
int roundHalfEven(int num, int den)
{
    const int q = num / den, rem = num % den;
    if (2 * rem > den)
        return q + 1;
    if (2 * rem == den)
        return q + (q & 1);
    return q;
}

const std::vector<TransitionPage> &pages()
{
    static const std::vector<TransitionPage> list = {
        {QStringLiteral("Typical"), {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {QStringLiteral("Complex"), {9, 10, 11, 12, 13, 14}},
        {QStringLiteral("Diagonal"), {18, 19, 20, 21, 22, 23, 24, 25, 26}},
        {QStringLiteral("Stripes"), {27, 28, 29, 30, 31, 32, 33}},
        {QStringLiteral("Special"), {34, 35, 36, 37, 38, 40, 41}},
    };
    return list;
}

// Builds the steps of one effect, keeping track of the blocks copied onto their own place so
// that what the pattern left out can be copied at the end.
class Builder
{
public:
    Builder(TransitionSteps &out) : m_out(out), m_g(out.grid), m_done(size_t(m_g.Cols) * m_g.Rows, 0) {}

    bool inGrid(int c, int r) const { return c >= 1 && c <= m_g.Cols && r >= 1 && r <= m_g.Rows; }

    void endStep()
    {
        if (m_out.copies.size() > size_t(m_out.stepEnds.empty() ? 0 : m_out.stepEnds.back()))
            m_out.stepEnds.push_back(int(m_out.copies.size()));
    }
    // A block outside the grid covers nothing visible: it is left out.
    void block(int c, int r)
    {
        if (!inGrid(c, r))
            return;
        m_out.copies.push_back({TransitionCopy::Block, c, r});
        m_done[index(c, r)] = 1;
    }
    void colSweep(int c)
    {
        for (int r = 1; r <= m_g.Rows; ++r)
            block(c, r);
    }
    void rowSweep(int r)
    {
        for (int c = 1; c <= m_g.Cols; ++c)
            block(c, r);
    }
    // Source strip `from` onto target strip `to`; a strip onto itself is its row done.
    void strip(int from, int to)
    {
        if (from < 1 || from > m_g.Rows || to < 1 || to > m_g.Rows)
            return;
        m_out.copies.push_back({TransitionCopy::Strip, from, to});
        if (from == to)
            for (int c = 1; c <= m_g.Cols; ++c)
                m_done[index(c, from)] = 1;
    }
    // From an upper-right block towards the lower left, kept within columns [minC, maxC] and
    // rows [.., maxR].
    void antiDiagonal(int c, int r, int minC = 1, int maxC = INT_MAX, int maxR = INT_MAX)
    {
        for (; c >= std::max(minC, 1) && r <= std::min(maxR, m_g.Rows); --c, ++r)
            if (c <= maxC)
                block(c, r);
    }
    // From an upper-left block towards the lower right, until it leaves the grid.
    void diagonal(int c, int r)
    {
        for (; c <= m_g.Cols && r <= m_g.Rows; ++c, ++r)
            block(c, r);
    }

    // What the pattern left out: the whole clip when it drew nothing at all, else the blocks
    // never copied onto their own place, row by row, in one last step.
    void finish()
    {
        endStep();
        if (m_out.copies.empty()) {
            m_out.copies.push_back({TransitionCopy::Whole, 0, 0});
            endStep();
            return;
        }
        for (int r = 1; r <= m_g.Rows; ++r)
            for (int c = 1; c <= m_g.Cols; ++c)
                if (!m_done[index(c, r)])
                    block(c, r);
        endStep();
    }

private:
    size_t index(int c, int r) const { return size_t(r - 1) * m_g.Cols + (c - 1); }

    TransitionSteps &m_out;
    const TransitionGrid &m_g;
    std::vector<char> m_done;
};

// The starts of a front of lines: the blocks (c, r) in order.
using Starts = std::vector<QPoint>;

void addRun(Starts &s, int c0, int r0, int dc, int dr, int count)
{
    for (int i = 0; i < count; ++i)
        s.emplace_back(c0 + i * dc, r0 + i * dr);
}

// Runs from `first` to `last` inclusive (empty when `last` lies behind `first`).
int span(int first, int last, int d)
{
    return d > 0 ? std::max(0, last - first + 1) : std::max(0, first - last + 1);
}

void runFrom(Starts &s, int c0, int r0, int c1, int r1)
{
    if (r0 == r1) {
        const int d = c1 >= c0 ? 1 : -1;
        addRun(s, c0, r0, d, 0, span(c0, c1, d));
    } else {
        const int d = r1 >= r0 ? 1 : -1;
        addRun(s, c0, r0, 0, d, span(r0, r1, d));
    }
}

void build(int effect, Builder &b, const TransitionGrid &g, TransitionRandom &random)
{
    const int Cols = g.Cols, Rows = g.Rows;
    const int HalfC = g.HalfC, HalfR = g.HalfR, QuarterC = g.QuarterC, QuarterR = g.QuarterR;
    const int ThirdR = g.ThirdR;
    auto antiFront18 = [&] {
        Starts s;
        runFrom(s, 1, 1, Cols, 1);
        runFrom(s, Cols, 2, Cols, Rows);
        return s;
    };
    auto diagFront19 = [&] {
        Starts s;
        runFrom(s, 1, Rows, 1, 1);
        runFrom(s, 2, 1, Cols, 1);
        return s;
    };
    auto diagFront20 = [&] {
        Starts s;
        runFrom(s, Cols, 1, 1, 1);
        runFrom(s, 1, 2, 1, Rows);
        return s;
    };
    auto antiFront21 = [&] {
        Starts s;
        runFrom(s, Cols, Rows, Cols, 1);
        runFrom(s, Cols - 1, 1, 1, 1);
        return s;
    };
    switch (effect) {
    case 0:
        b.endStep(); // nothing drawn: finish() copies the whole clip
        break;
    case 1:
        for (int c = 1; c <= Cols; ++c, b.endStep())
            b.colSweep(c);
        break;
    case 2:
        for (int c = Cols; c >= 1; --c, b.endStep())
            b.colSweep(c);
        break;
    case 3:
        for (int r = 1; r <= Rows; ++r, b.endStep())
            b.rowSweep(r);
        break;
    case 4:
        for (int r = Rows; r >= 1; --r, b.endStep())
            b.rowSweep(r);
        break;
    case 5:
        for (int k = 0; k <= HalfC; ++k, b.endStep()) {
            b.colSweep(k + 1);
            b.colSweep(Cols - k);
        }
        break;
    case 6:
        for (int k = HalfC; k <= Cols; ++k, b.endStep()) {
            b.colSweep(k);
            if (Cols - k != 0)
                b.colSweep(Cols - k);
        }
        break;
    case 7:
        for (int k = 0; k <= HalfR; ++k, b.endStep()) {
            b.rowSweep(k + 1);
            b.rowSweep(Rows - k);
        }
        break;
    case 8:
        for (int k = HalfR; k <= Rows; ++k, b.endStep()) {
            b.rowSweep(Rows - k);
            b.rowSweep(k);
            if (Rows - k != 0)
                b.rowSweep(Rows - k);
        }
        break;
    case 9:
        for (int c = 1; c <= Cols; ++c, b.endStep())
            for (int r = 1; r <= Rows; r += 2) {
                b.block(c, r);
                if (r < Rows)
                    b.block(Cols - c + 1, r + 1);
            }
        break;
    case 10:
        for (int r = 1; r <= Rows; ++r, b.endStep())
            for (int c = 1; c <= Cols; c += 2) {
                b.block(c, r);
                if (c < Cols)
                    b.block(c + 1, Rows - r + 1);
            }
        break;
    case 11:
        for (int first = 1; first <= 2; ++first)
            for (int c = 1; c <= Cols; ++c, b.endStep())
                for (int r = first; r <= Rows; r += 2)
                    b.block(c, r);
        break;
    case 12:
        for (int first = 1; first <= 2; ++first)
            for (int r = 1; r <= Rows; ++r, b.endStep())
                for (int c = first; c <= Cols; c += 2)
                    b.block(c, r);
        break;
    case 13:
        for (int c = 1; c <= Cols; ++c, b.endStep())
            for (int r = 1; r <= Rows; r += 2)
                b.block(c, r);
        for (int c = Cols; c >= 1; --c, b.endStep())
            for (int r = 2; r <= Rows; r += 2)
                b.block(c, r);
        break;
    case 14:
        for (int r = 1; r <= Rows; ++r, b.endStep())
            for (int c = 1; c <= Cols; c += 2)
                b.block(c, r);
        for (int r = Rows; r >= 1; --r, b.endStep())
            for (int c = 2; c <= Cols; c += 2)
                b.block(c, r);
        break;
    case 18:
        for (const QPoint &p : antiFront18())
            b.antiDiagonal(p.x(), p.y()), b.endStep();
        break;
    case 19:
        for (const QPoint &p : diagFront19())
            b.diagonal(p.x(), p.y()), b.endStep();
        break;
    case 20:
        for (const QPoint &p : diagFront20())
            b.diagonal(p.x(), p.y()), b.endStep();
        break;
    case 21:
        for (const QPoint &p : antiFront21())
            b.antiDiagonal(p.x(), p.y()), b.endStep();
        break;
    case 22: {
        // Both fronts have Cols + Rows − 1 lines: they end together.
        const Starts s1 = antiFront18(), s2 = antiFront21();
        for (size_t i = 0; i < std::min(s1.size(), s2.size()); ++i, b.endStep()) {
            b.antiDiagonal(s1[i].x(), s1[i].y());
            b.antiDiagonal(s2[i].x(), s2[i].y());
        }
        break;
    }
    case 23: {
        const Starts s1 = diagFront20(), s2 = diagFront19();
        for (size_t i = 0; i < std::min(s1.size(), s2.size()); ++i, b.endStep()) {
            b.diagonal(s1[i].x(), s1[i].y());
            b.diagonal(s2[i].x(), s2[i].y());
        }
        break;
    }
    case 24: {
        const int e = std::min(Cols, Rows);
        b.antiDiagonal(e, 1);
        b.endStep();
        Starts toCorner, toEnd;
        runFrom(toCorner, e - 1, 1, 1, 1);
        runFrom(toEnd, e + 1, 1, Cols, 1);
        runFrom(toEnd, Cols, 2, Cols, Rows);
        for (size_t i = 0; i < std::max(toCorner.size(), toEnd.size()); ++i, b.endStep()) {
            // The front at the corner repeats its last line while the other goes on.
            if (i < toCorner.size())
                b.antiDiagonal(toCorner[i].x(), toCorner[i].y());
            else if (!toCorner.empty())
                b.antiDiagonal(1, 1);
            if (i < toEnd.size())
                b.antiDiagonal(toEnd[i].x(), toEnd[i].y());
        }
        break;
    }
    case 25: {
        const int f = Cols - std::min(Cols, Rows);
        b.diagonal(f, 1);
        b.endStep();
        Starts toLeft, toRight;
        runFrom(toLeft, f - 1, 1, 1, 1);
        runFrom(toLeft, 1, 2, 1, Rows);
        runFrom(toRight, f + 1, 1, Cols, 1);
        for (size_t i = 0; i < std::max(toLeft.size(), toRight.size()); ++i, b.endStep()) {
            if (i < toLeft.size())
                b.diagonal(toLeft[i].x(), toLeft[i].y());
            if (i < toRight.size())
                b.diagonal(toRight[i].x(), toRight[i].y());
        }
        break;
    }
    case 26: {
        Starts tl, br, tr, bl;
        runFrom(tl, 1, 1, HalfC, 1);
        runFrom(tl, HalfC, 2, HalfC, HalfR);
        runFrom(br, Cols, Rows, Cols, HalfR);
        runFrom(br, Cols - 1, HalfR, HalfC, HalfR);
        runFrom(tr, Cols, 1, HalfC, 1);
        runFrom(tr, HalfC, 2, HalfC, HalfR);
        runFrom(bl, 1, Rows, 1, HalfR);
        runFrom(bl, 2, HalfR, HalfC, HalfR);
        const size_t n = std::max({tl.size(), br.size(), tr.size(), bl.size()});
        for (size_t i = 0; i < n; ++i, b.endStep()) {
            if (i < tl.size())
                b.antiDiagonal(tl[i].x(), tl[i].y(), 1, HalfC, HalfR);
            if (i < br.size())
                b.antiDiagonal(br[i].x(), br[i].y(), HalfC);
            if (i < tr.size())
                b.diagonal(tr[i].x(), tr[i].y());
            if (i < bl.size())
                b.diagonal(bl[i].x(), bl[i].y());
        }
        break;
    }
    case 27:
        for (int r = 1; r <= Rows; ++r, b.endStep())
            for (int band = 0; band < 4; ++band)
                for (int c = band * QuarterC + 1; c <= (band + 1) * QuarterC; ++c)
                    b.block(c, band % 2 == 0 ? r : Rows - r + 1);
        break;
    case 28:
        for (int c = 1; c <= Cols; ++c, b.endStep())
            for (int band = 0; band < 4; ++band)
                for (int r = band * QuarterR + 1; r <= (band + 1) * QuarterR; ++r)
                    b.block(band % 2 == 0 ? c : Cols - c + 1, r);
        break;
    case 29:
        for (int r = 1; r <= Rows; ++r, b.endStep())
            for (int band = 0; band < 2; ++band)
                for (int c = band * HalfC + 1; c <= (band + 1) * HalfC; ++c)
                    b.block(c, band == 0 ? r : Rows - r + 1);
        break;
    case 30:
        for (int c = 1; c <= Cols; ++c, b.endStep())
            for (int band = 0; band < 2; ++band)
                for (int r = band * HalfR + 1; r <= (band + 1) * HalfR; ++r)
                    b.block(band == 0 ? c : Cols - c + 1, r);
        break;
    case 31:
        for (int t = 1; t <= HalfR + 1; ++t, b.endStep())
            for (int u = 1; u <= HalfC; ++u) {
                b.block(u, t);
                b.block(u, HalfR + t);
                b.block(HalfC + u, Rows - t - HalfR + 1);
                b.block(HalfC + u, Rows - t + 1);
            }
        break;
    case 32:
        for (int t = 1; t <= HalfC; ++t, b.endStep())
            for (int r = ThirdR; r <= 2 * ThirdR; ++r) {
                b.block(HalfC - t + 1, r);
                b.block(HalfC + t, r);
            }
        for (int t = 1; t <= ThirdR; ++t, b.endStep()) {
            b.rowSweep(ThirdR - t + 1);
            b.rowSweep(2 * ThirdR + t);
        }
        break;
    case 33:
        for (int t = 1; t <= ThirdR; ++t, b.endStep()) {
            b.rowSweep(t);
            b.rowSweep(Rows - t + 1);
        }
        for (int t = 1; t <= HalfC + 1; ++t, b.endStep())
            for (int r = ThirdR; r <= 2 * ThirdR + 1; ++r) {
                b.block(t, r);
                b.block(Cols - t + 1, r);
            }
        break;
    case 34: {
        // Columns are the entries 1 … Cols, rows Cols + 1 … Cols + Rows: full numbers, however
        // large the grid.
        std::vector<int> pending(size_t(Cols) + Rows);
        for (size_t i = 0; i < pending.size(); ++i)
            pending[i] = int(i) + 1;
        while (!pending.empty()) {
            const size_t at = size_t(random.below(int(pending.size())));
            const int line = pending[at];
            pending[at] = pending.back();
            pending.pop_back();
            if (line <= Cols)
                b.colSweep(line);
            else
                b.rowSweep(line - Cols);
            b.endStep();
        }
        break;
    }
    case 35: {
        std::vector<QPoint> pending;
        pending.reserve(size_t(Cols) * Rows);
        for (int r = 1; r <= Rows; ++r)
            for (int c = 1; c <= Cols; ++c)
                pending.emplace_back(c, r);
        while (!pending.empty()) {
            const size_t at = size_t(random.below(int(pending.size())));
            const QPoint p = pending[at];
            pending[at] = pending.back();
            pending.pop_back();
            b.block(p.x(), p.y());
            b.endStep();
        }
        break;
    }
    case 36:
        for (int pass = 0; pass < 2; ++pass)
            for (int r = 1; r <= Rows; ++r, b.endStep())
                for (int c = 1; c <= Cols; ++c)
                    if (((c + r) % 2 == 0) == (pass == 0))
                        b.block(c, r);
        break;
    case 37:
        for (int k = Rows; k >= 1; --k)
            for (int j = 1; j <= k; ++j, b.endStep())
                b.strip(k, j);
        break;
    case 38: {
        static const int starts[9][2] = {{2, 2}, {2, 1}, {3, 1}, {3, 2}, {3, 3},
                                         {2, 3}, {1, 3}, {1, 2}, {1, 1}};
        for (const auto &s : starts) {
            for (int r = s[1]; r <= Rows; r += 3)
                for (int c = s[0]; c <= Cols; c += 3)
                    b.block(c, r);
            b.endStep();
        }
        break;
    }
    case 40:
        for (int r = 1; r <= Rows; r += 2, b.endStep())
            b.rowSweep(r);
        for (int r = 2; r <= Rows; r += 2, b.endStep())
            for (int c = Cols; c >= 1; --c)
                b.block(c, r);
        break;
    case 41:
        for (int c = 1; c <= Cols; c += 2, b.endStep())
            b.colSweep(c);
        for (int c = 2; c <= Cols; c += 2, b.endStep())
            for (int r = Rows; r >= 1; --r)
                b.block(c, r);
        break;
    default:
        break; // no pattern: the picture is shown whole
    }
}

} // namespace

QString TransitionName(int effect)
{
    static const char *const names[LastEffect + 1] = {
        "No effect",
        "Left To Right",
        "Right To Left",
        "Top To Bottom",
        "Bottom To Top",
        "Horizontal Wipe In",
        "Horizontal Wipe Out",
        "Vertical Wipe In",
        "Vertical Wipe Out",
        "Horizontal Interlace",
        "Vertical Interlace",
        "Horizontal Double Pass",
        "Vertical Double Pass",
        "Horizontal Double Pass 2",
        "Vertical Double Pass 2",
        nullptr,
        nullptr,
        nullptr,
        "Diagonal TL-BR",
        "Diagonal BL-TR",
        "Diagonal TR-BL",
        "Diagonal BR-TL",
        "Double Diagonal TL-BR",
        "Double Diagonal TR-BL",
        "Diagonal Out TL-BR",
        "Diagonal Out TR-BL",
        "Diagonal Quad",
        "Vertical Stripes",
        "Horizontal Stripes",
        "Vertical Big Stripes",
        "Horizontal Big Stripes",
        "Kaleidoscope",
        "Double Wipe Out",
        "Double Wipe In",
        "Random Lines",
        "Random Block",
        "Checkerboard",
        "Screen Drip",
        "Spray",
        nullptr,
        "Horizontal Snake",
        "Vertical Snake",
    };
    if (effect < 0 || effect > LastEffect || !names[effect])
        return QString();
    return QString::fromLatin1(names[effect]);
}

const std::vector<TransitionPage> &TransitionPages()
{
    return pages();
}

int SeededTransitionRandom::below(int bound)
{
    if (bound <= 1)
        return 0;
    return std::uniform_int_distribution<int>(0, bound - 1)(m_engine);
}

int RandomEffectNumber(TransitionRandom &random)
{
    const int n = random.below(LastEffect + 1);
    if (n == 39)
        return 40;
    if (n >= 15 && n <= 17)
        return 14;
    return n;
}

TransitionGrid TransitionGrid::of(QSize clip, int blockSize)
{
    TransitionGrid g;
    g.BlockSize = std::max(1, blockSize);
    g.W = std::max(0, clip.width()) + 1;
    g.H = std::max(0, clip.height()) + 1;
    g.Cols = (g.W + g.BlockSize - 1) / g.BlockSize;
    g.Rows = (g.H + g.BlockSize - 1) / g.BlockSize;
    g.HalfC = roundHalfEven(g.Cols, 2);
    g.HalfR = roundHalfEven(g.Rows, 2);
    g.QuarterC = roundHalfEven(g.Cols, 4);
    g.QuarterR = roundHalfEven(g.Rows, 4);
    g.ThirdR = roundHalfEven(g.Rows, 3);
    return g;
}

QRect TransitionGrid::block(int c, int r) const
{
    if (c < 1 || c > Cols || r < 1 || r > Rows)
        return QRect();
    const int x0 = BlockSize * (c - 1), y0 = BlockSize * (r - 1);
    return QRect(x0, y0, std::min(c * BlockSize, W) - x0, std::min(r * BlockSize, H) - y0);
}

QRect TransitionGrid::strip(int k) const
{
    if (k < 1 || k > Rows)
        return QRect();
    const int y0 = BlockSize * (k - 1);
    return QRect(0, y0, W, std::min(k * BlockSize, H) - y0);
}

QRect TransitionSteps::sourceRect(const TransitionCopy &copy) const
{
    switch (copy.kind) {
    case TransitionCopy::Block:
        return grid.block(copy.a, copy.b);
    case TransitionCopy::Strip:
        return grid.strip(copy.a);
    case TransitionCopy::Whole:
        break;
    }
    return QRect(0, 0, grid.W, grid.H);
}

QRect TransitionSteps::targetRect(const TransitionCopy &copy) const
{
    const QRect source = sourceRect(copy);
    if (copy.kind != TransitionCopy::Strip)
        return source;
    return QRect(QPoint(0, grid.strip(copy.b).top()), source.size());
}

TransitionSteps TransitionPattern(int effect, QSize clip, int blockSize, TransitionRandom *random)
{
    TransitionSteps steps;
    steps.grid = TransitionGrid::of(clip, blockSize);
    SeededTransitionRandom own;
    Builder b(steps);
    build(effect, b, steps.grid, random ? *random : own);
    b.finish();
    return steps;
}

void ApplyTransitionCopies(const TransitionSteps &steps, int from, int to, const QImage &source,
                           QPainter &target, QPoint origin)
{
    const QRect picture = source.rect();
    const QPainter::CompositionMode mode = target.compositionMode();
    target.setCompositionMode(QPainter::CompositionMode_Source);
    to = std::min(to, steps.copyCount());
    for (int i = std::max(0, from); i < to; ++i) {
        const TransitionCopy &copy = steps.copies[size_t(i)];
        QRect s = steps.sourceRect(copy);
        QRect t = steps.targetRect(copy);
        // The grid reaches one pixel past the picture: only the picture's part is copied.
        const QRect inside = s & picture;
        if (inside.isEmpty())
            continue;
        t = QRect(t.topLeft() + (inside.topLeft() - s.topLeft()), inside.size());
        target.drawImage(t.topLeft() + origin, source, inside);
    }
    target.setCompositionMode(mode);
}

void DrawTransition(int effect, const QImage &source, QPainter &target, int blockSize,
                    TransitionRandom *random, QPoint origin)
{
    const TransitionSteps steps = TransitionPattern(effect, source.size(), blockSize, random);
    ApplyTransitionCopies(steps, 0, steps.copyCount(), source, target, origin);
}

void DrawTransition(int effect, const QImage &source, QImage &target, int blockSize, TransitionRandom *random)
{
    QPainter p(&target);
    DrawTransition(effect, source, p, blockSize, random);
}

} // namespace vk
