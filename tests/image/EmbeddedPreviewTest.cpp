// Thumbnails from the previews camera pictures carry: when the preview stands in for the
// picture, and when the picture is decoded after all.

#include "EmbeddedPreview.h"
#include "ImageCodec.h"
#include "PictureFiles.h"
#include "PreviewFixtures.h"

#include <gtest/gtest.h>

#include <QImageReader>
#include <QTemporaryDir>

using namespace vk;
using namespace fixtures;

namespace {

const QColor Magenta(255, 0, 255);

class Previews : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(haveExiftool()) << "exiftool is missing (scripts/install-deps)"; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

// The picture is blue and its preview magenta: the thumbnail's colour tells which was read.
TEST_F(Previews, AFittingPreviewStandsInForThePictureAndAnyOtherIsPassedOver)
{
    const QByteArray fits = qtEncoded(solid(160, 80, Magenta), "jpeg");
    const QByteArray cut = fits.left(fits.size() / 2);
    QByteArray scrambled = fits;
    for (qsizetype i = 200; i < scrambled.size() - 2; ++i)
        scrambled[i] = char(0xFF);
    const struct
    {
        const char *name;
        QByteArray thumbnail;
        int longSide;
        bool fromPreview;
    } cases[] = {
        {"matching.jpg", fits, 120, true},
        // Just the thumbnail size is large enough.
        {"exact.jpg", fits, 160, true},
        {"small.jpg", fits, 200, false},
        {"other-shape.jpg", qtEncoded(solid(160, 120, Magenta), "jpeg"), 120, false},
        // A letterboxed preview, or one of an earlier crop, is off by more than 1 %.
        {"slightly-off.jpg", qtEncoded(solid(160, 78, Magenta), "jpeg"), 120, false},
        {"none.jpg", {}, 120, false},
        {"cut.jpg", cut, 120, false},
        {"scrambled.jpg", scrambled, 120, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(c.name);
        ASSERT_TRUE(writeJpegWithThumbnail(file, solid(400, 200, Blue), c.thumbnail));
        QString error;
        ThumbnailOrigin origin = ThumbnailOrigin::EmbeddedPreview;
        const QImage thumb = decodeThumbnailFromPreview(file, c.longSide, &error, &origin);
        ASSERT_FALSE(thumb.isNull()) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(origin, c.fromPreview ? ThumbnailOrigin::EmbeddedPreview : ThumbnailOrigin::Picture);
        // The same size either way.
        EXPECT_EQ(thumb.size(), thumbnailSize(QSize(400, 200), c.longSide));
        EXPECT_TRUE(
            colourNear(thumb, thumb.width() / 2, thumb.height() / 2, c.fromPreview ? Magenta : Blue, 40));
    }
}

TEST_F(Previews, APreviewIsTurnedUprightAsThePictureIs)
{
    const QString file = path("turned.jpg");
    ASSERT_TRUE(writeJpegWithThumbnail(file, testCard(400, 200), qtEncoded(testCard(160, 80), "jpeg"), 6));
    ASSERT_EQ(QImageReader(file).transformation(), QImageIOHandler::TransformationRotate90);
    ThumbnailOrigin origin = ThumbnailOrigin::Picture;
    const QImage fromPreview = decodeThumbnailFromPreview(file, 120, nullptr, &origin);
    EXPECT_EQ(origin, ThumbnailOrigin::EmbeddedPreview);
    const QImage decoded = decodeThumbnail(file, 120);
    ASSERT_EQ(fromPreview.size(), QSize(60, 120));
    EXPECT_EQ(decoded.size(), fromPreview.size());
    // Turned clockwise, the card's top left (red) is its top right, its bottom left (blue) its top left.
    for (const QImage &thumb : {fromPreview, decoded}) {
        EXPECT_TRUE(colourNear(thumb, 45, 30, Red, 40));
        EXPECT_TRUE(colourNear(thumb, 15, 30, Blue, 40));
        EXPECT_TRUE(colourNear(thumb, 45, 90, Green, 40));
        EXPECT_TRUE(colourNear(thumb, 15, 90, Yellow, 40));
    }
}

TEST_F(Previews, TheStoredThumbnailComesFromThePreviewUnlessThePictureIsAskedFor)
{
    const QString file = path("camera.jpg");
    ASSERT_TRUE(
        writeJpegWithThumbnail(file, solid(400, 300, Blue), qtEncoded(solid(160, 120, Magenta), "jpeg")));
    QString error;
    QImage fromPreview, fromPicture;
    ASSERT_TRUE(fromPreview.loadFromData(thumbnailOfFile(file, &error))) << error.toStdString();
    ASSERT_TRUE(fromPicture.loadFromData(thumbnailOfWholePicture(file, &error))) << error.toStdString();
    EXPECT_EQ(fromPreview.size(), QSize(120, 90));
    EXPECT_EQ(fromPicture.size(), QSize(120, 90));
    EXPECT_TRUE(colourNear(fromPreview, 60, 45, Magenta, 40));
    EXPECT_TRUE(colourNear(fromPicture, 60, 45, Blue, 40));
}

// A preview cannot vouch for a picture that is not all there.
TEST_F(Previews, ACutPictureIsRefusedEvenWithAWholePreview)
{
    const QString file = path("camera.jpg");
    ASSERT_TRUE(writeJpegWithThumbnail(file, testCard(400, 200), qtEncoded(solid(160, 80, Magenta), "jpeg")));
    const QByteArray whole = readFile(file);
    const QString cut = path("cut.jpg");
    writeFile(cut, whole.left(whole.size() - 600));
    QString error;
    EXPECT_TRUE(decodeThumbnailFromPreview(cut, 120, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

TEST(PreviewShape, WithinOnePercentOfThePicturesRatio)
{
    EXPECT_TRUE(previewShapeMatches({160, 120}, {4000, 3000}));
    EXPECT_TRUE(previewShapeMatches({160, 107}, {6000, 4000}));  // rounded
    EXPECT_FALSE(previewShapeMatches({160, 120}, {6000, 4000})); // 4:3 of a 3:2 picture
    EXPECT_FALSE(previewShapeMatches({160, 120}, {3000, 4000})); // not turned with it
    EXPECT_FALSE(previewShapeMatches({0, 120}, {4000, 3000}));
    EXPECT_FALSE(previewShapeMatches({160, 120}, {}));
}

} // namespace
