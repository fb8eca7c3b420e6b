// The thumbnail of a 12-megapixel JPEG (4000 x 3000, camera-like grain): the program's own
// thumbnail (reduced-size decode, scale, encode for storage) beside the two references in
// the same run, QImageReader's scaled decode and Magick++'s decode with the jpeg:size hint.
//
//   build/ci/bench/bench_thumbnail
#include "ImageCodec.h"
#include "PictureFiles.h"

#include <benchmark/benchmark.h>
#include <Magick++.h>

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    QString path;

    Fixture()
    {
        path = dir.filePath("photo.jpg");
        QImage image(4000, 3000, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int grain = int(random.bounded(48));
                line[x] = qRgb((x / 16 + grain) & 255, (y / 12 + grain) & 255, ((x + y) / 28 + grain) & 255);
            }
        }
        image.save(path, "JPEG", 90);
    }
};

const Fixture &fixture()
{
    static Fixture f;
    return f;
}

void ProgramThumbnail(benchmark::State &state)
{
    const QString path = fixture().path;
    for (auto _ : state) {
        QString error;
        const QByteArray stored = vk::thumbnailOfFile(path, &error);
        if (stored.isEmpty())
            state.SkipWithError(error.toUtf8().constData());
        benchmark::DoNotOptimize(stored.data());
    }
}
BENCHMARK(ProgramThumbnail)->Unit(benchmark::kMillisecond);

void QImageReaderScaledDecode(benchmark::State &state)
{
    const QString path = fixture().path;
    for (auto _ : state) {
        QImageReader reader(path);
        reader.setScaledSize(QSize(120, 90));
        const QImage image = reader.read();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(QImageReaderScaledDecode)->Unit(benchmark::kMillisecond);

void MagickHintedDecode(benchmark::State &state)
{
    const std::string path = fixture().path.toStdString();
    for (auto _ : state) {
        Magick::Image image;
        image.defineValue("jpeg", "size", "240x180");
        image.read(path);
        image.thumbnail(Magick::Geometry(120, 90));
        benchmark::DoNotOptimize(image.columns());
    }
}
BENCHMARK(MagickHintedDecode)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    vk::initImageLibrary(argv[0]);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fixture();
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
