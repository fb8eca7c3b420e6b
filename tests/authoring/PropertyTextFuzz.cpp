// libFuzzer target for the property text reader. An input is three bytes choosing the object
// kind, the design scale and the points the shape already has, followed by the text in UTF-8.
// Besides crashes and undefined behaviour it stops on a broken promise of the reader: a text
// it refuses changes nothing, what it reads stays within the limits, and what it read writes a
// text that fits the column and reads back to the same text.
//
// With VK_FUZZ_SEEDS naming a directory, the target writes its seed corpus there (the texts of
// the unit tests) and exits.
#include "ObjectKinds.h"
#include "PropertyText.h"
#include "PropertyTextCases.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace vk;

namespace {

const auto &kinds = cases::allKinds;
const double scales[] = {1.0, 1.28, 1.3, 0.75, 2.4, 0.0, -1.0, NAN, 1e-300, 1e300};
constexpr int kindCount = int(sizeof kinds / sizeof kinds[0]);
constexpr int scaleCount = int(sizeof scales / sizeof scales[0]);

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

int indexOf(const int *values, int count, int value)
{
    for (int i = 0; i < count; ++i) {
        if (values[i] == value)
            return i;
    }
    return 0;
}

int scaleIndex(double scale)
{
    for (int i = 0; i < scaleCount; ++i) {
        if (scales[i] == scale)
            return i;
    }
    return 0;
}

void writeSeed(const QString &dir, int n, int kind, double scale, int points, const QString &text)
{
    QFile f(QDir(dir).filePath(QStringLiteral("seed-%1").arg(n, 4, 10, QLatin1Char('0'))));
    if (!f.open(QIODevice::WriteOnly))
        std::exit(1);
    QByteArray data;
    data.append(char(indexOf(kinds, kindCount, kind)));
    data.append(char(scaleIndex(scale)));
    data.append(char(points));
    data.append(text.toUtf8());
    f.write(data);
}

void writeSeeds(const QString &dir)
{
    QDir().mkpath(dir);
    int n = 0;
    for (const cases::RoundTripCase &c : cases::roundTripCases()) {
        const QString text = WritePropertyText(c.kind, c.props, c.scale);
        writeSeed(dir, n++, c.kind, c.scale, 0, text);
        // The same text onto a shape that has some points already.
        if (c.kind == ObjectKind::Polyline)
            writeSeed(dir, n++, c.kind, c.scale, int(c.props.Points.size()), text);
    }
    for (const QString &text : cases::malformedTexts()) {
        for (int kind : {3, int(ObjectKind::Text), int(ObjectKind::Memo), 451, int(ObjectKind::Polyline)})
            writeSeed(dir, n++, kind, 1.0, 2, text);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (const char *dir = std::getenv("VK_FUZZ_SEEDS")) {
        writeSeeds(QString::fromLocal8Bit(dir));
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int kind = kinds[data[0] % kindCount];
    const double scale = scales[data[1] % scaleCount];
    ObjectProperties start;
    start.FontName = QStringLiteral("Start");
    start.FontSize = 12;
    for (int i = 0; i < data[2] % 5; ++i)
        start.Points.append(QPointF(i, i));
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));

    ObjectProperties p = start;
    QString text = input;
    const bool read = ReadPropertyText(kind, p, text, scale);
    if (!read)
        check(p == start && text == input);
    else
        check(text.size() <= PropertyTextSize);
    check(p.Points.size() <= MaxPolylinePoints);
    check(std::isfinite(p.FontSize));
    for (const QPointF &pt : p.Points)
        check(std::isfinite(pt.x()) && std::isfinite(pt.y()));

    const QString written = WritePropertyText(kind, p, scale);
    check(written.size() <= PropertyTextSize);
    ObjectProperties again = p;
    QString writtenCopy = written;
    ReadPropertyText(kind, again, writtenCopy, scale);
    check(writtenCopy == written);
    check(WritePropertyText(kind, again, scale) == written);

    // The disabled mark set on a written text reads back.
    if (!written.isEmpty() && kind != 450 && kind != 99 && kind != 300 && kind != -1 && kind != 500) {
        for (bool flag : {true, false}) {
            ObjectProperties q = again;
            QString t = written;
            check(SetDisabled(kind, q, t, flag));
            q.Disabled = !flag;
            check(ReadPropertyText(kind, q, t, scale) && q.Disabled == flag);
        }
    }
    return 0;
}
