// The transition effects that bring a picture onto the screen in the slide show and in the
// preview of its option dialog. An effect copies the picture from a source canvas to the same
// place on a target canvas block by block (or strip by strip), in an order that makes the
// pattern; a larger block means fewer copies and a faster effect.
//
// The order is worked out apart from any painting, as a list of steps, each the copies made in
// it, so it can be tested and paced: DrawTransition draws all of it in one call, the
// transition player (TransitionView.h) a share of it per frame. Every effect ends with the
// blocks its pattern left out (the edges of band splits, a grid's last columns), so the last
// copy always leaves the target equal to the picture. A number with no pattern shows the
// picture whole in one copy.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <random>
#include <vector>

class QPainter;

namespace vk {

inline constexpr int NoEffect = 0;
inline constexpr int LastEffect = 41;
inline constexpr int RandomLinesEffect = 34;
inline constexpr int RandomBlockEffect = 35;

// The effect's name as the option dialog shows it; empty for a number without one (15, 16,
// 17, 39 and any above 41).
QString TransitionName(int effect);
// The effects in the order of the option dialog's pages, each page's effects in order.
struct TransitionPage
{
    QString title;
    std::vector<int> effects;
};
const std::vector<TransitionPage> &TransitionPages();

// Where random orders and the random choice of an effect draw from: a uniformly random whole
// number from 0 to bound − 1.
class TransitionRandom
{
public:
    virtual ~TransitionRandom() = default;
    virtual int below(int bound) = 0;
};

// A seeded generator: the same seed gives the same orders.
class SeededTransitionRandom : public TransitionRandom
{
public:
    explicit SeededTransitionRandom(std::uint32_t seed = std::random_device{}()) : m_engine(seed) {}
    int below(int bound) override;

private:
    std::mt19937 m_engine;
};

// An effect number for a show with random effects: 0 to 41, never one without a pattern
// (39 becomes 40; 15, 16 and 17 become 14).
int RandomEffectNumber(TransitionRandom &random);

// The grid of blocks over a picture. Columns and rows are numbered from 1.
struct TransitionGrid
{
    int W = 0, H = 0; // the clip's width and height + 1
    int BlockSize = 1;
    int Cols = 0, Rows = 0;
    int HalfC = 0, HalfR = 0, QuarterC = 0, QuarterR = 0, ThirdR = 0;

    // The grid over a clip rectangle of `clip` (a block size below 1 counts as 1).
    static TransitionGrid of(QSize clip, int blockSize);
    // Block (c, r), and strip k (a full-width band of one block's height); empty outside the grid.
    QRect block(int c, int r) const;
    QRect strip(int k) const;
};

// One copy: a block onto itself, a source strip onto a target strip, or the whole clip.
struct TransitionCopy
{
    enum Kind : std::uint8_t
    {
        Whole,
        Block,
        Strip,
    };
    Kind kind = Whole;
    int a = 0; // the block's column, or the source strip
    int b = 0; // the block's row, or the target strip

    friend bool operator==(const TransitionCopy &, const TransitionCopy &) = default;
};

// An effect's order: its copies, grouped into steps.
class TransitionSteps
{
public:
    TransitionGrid grid;
    std::vector<TransitionCopy> copies;
    // Where each step ends in `copies` (one past its last copy).
    std::vector<int> stepEnds;

    int stepCount() const { return int(stepEnds.size()); }
    int copyCount() const { return int(copies.size()); }
    int stepBegin(int step) const { return step == 0 ? 0 : stepEnds[step - 1]; }
    int stepEnd(int step) const { return stepEnds[step]; }

    // The rectangle a copy reads from the source, and the one it writes on the target.
    QRect sourceRect(const TransitionCopy &copy) const;
    QRect targetRect(const TransitionCopy &copy) const;
};

// The order of `effect` over a clip of `clip` with blocks of `blockSize`; random orders (34,
// 35) draw from `random` (a freshly seeded generator when none is given).
TransitionSteps TransitionPattern(int effect, QSize clip, int blockSize, TransitionRandom *random = nullptr);

// Makes copies [from, to) of `steps`: each reads its rectangle of `source` and writes it on
// `target` at `origin` + its place. Parts outside the picture are left out.
void ApplyTransitionCopies(const TransitionSteps &steps, int from, int to, const QImage &source,
                           QPainter &target, QPoint origin = QPoint());

// The whole effect in one call: `source` onto `target` at `origin`, block size `blockSize`.
void DrawTransition(int effect, const QImage &source, QPainter &target, int blockSize,
                    TransitionRandom *random = nullptr, QPoint origin = QPoint());
void DrawTransition(int effect, const QImage &source, QImage &target, int blockSize,
                    TransitionRandom *random = nullptr);

} // namespace vk
