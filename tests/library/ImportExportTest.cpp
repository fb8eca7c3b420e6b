// Media types, export with conversion, work files and the import of many files at once,
// with the real image component as thumbnailer.
#include "DbFolder.h"
#include "ImageCodec.h"
#include "MediaFiles.h"
#include "MediaImport.h"
#include "MediaTypes.h"
#include "PictureFiles.h"
#include "PictureFixtures.h"
#include "PreviewFixtures.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <ctime>
#include <mutex>
#include <new>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vk;

namespace {

QByteArray pictureBytes(const char *format, QSize size = QSize(64, 48), QColor colour = Qt::darkCyan)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

TEST(MediaTypesTest, Labels)
{
    const std::pair<int, const char *> cases[] = {
        {1, "<Image>"},   {8, "<Image>"},     {50, "<Image>"},           {99, ""},         {101, "<Audio>"},
        {150, "<Audio>"}, {202, "<Video>"},   {300, "<Ole>"},            {301, "<SubFolder>"}, {410, "<Text>"},
        {420, "<Button>"}, {430, "<Memo>"},   {452, "<Round Rectangle>"}, {454, "<Line>"}, {455, "<Line>"},
        {456, "<Polygon>"}, {457, ""},        {0, ""},                   {-1, ""},
    };
    for (const auto &[code, label] : cases)
        EXPECT_EQ(TypeLabel(code), QString::fromLatin1(label)) << code;
}

TEST(MediaTypesTest, ExportFilterStartsOnTheItemsOwnFormat)
{
    struct Case
    {
        int code;
        int index;
        int entries;       // All Files included
        const char *chosen; // the extension at the starting index
    };
    const Case cases[] = {
        {1, 2, 8, ".bmp"}, {3, 3, 8, ".jpg"}, {4, 4, 8, ".pcx"}, {5, 5, 8, ".png"},  {6, 6, 8, ".tga"},
        {7, 7, 8, ".tif"}, {8, 8, 8, ".gif"}, {9, 9, 9, ".ico"}, {10, 9, 9, ".wmf"}, {99, 2, 2, ".txt"},
        {101, 2, 2, ".wav"}, {102, 2, 2, ".mid"}, {103, 2, 2, ".rmi"}, {104, 2, 2, ".mp3"}, {201, 2, 2, ".avi"},
        {202, 2, 2, ".mpg"}, {300, 1, 1, ""},
    };
    for (const Case &c : cases) {
        const ExportFilterSet set = ExportFilter(c.code);
        EXPECT_EQ(set.index, c.index) << c.code;
        ASSERT_EQ(set.extensions.size(), c.entries) << c.code;
        EXPECT_EQ(set.filter.split(QLatin1Char('|')).size(), 2 * c.entries) << c.code;
        EXPECT_EQ(set.extensions.at(c.index - 1), QString::fromLatin1(c.chosen)) << c.code;
    }
    EXPECT_TRUE(ExportFilter(3).filter.startsWith("All Files( *.*)|*.*|BMP( *.bmp)|*.bmp|JPG( *.jpg)|*.jpg|"));
}

TEST(MediaTypesTest, TypeOfExportName)
{
    const QStringList pictures = ExportFilter(3).extensions;
    struct Case
    {
        const char *name;
        int filterIndex;
        const char *written;
        int code;
    };
    const Case cases[] = {
        {"photo", 2, "photo.bmp", 1},         // no extension: the chosen filter's
        {"photo", 1, "photo", -1},            // All Files adds nothing: a plain copy
        {"photo.PNG", 2, "photo.PNG", 5},     // an extension given wins over the filter
        {"photo.jpeg", 3, "photo.jpeg", 3},   {"scan.tiff", 7, "scan.tiff", 7},
        {"notes.txt", 1, "notes.txt", -1},    // text is written as it is
        {"a.MID", 1, "a.MID", 102},           {"a.mpg", 1, "a.mpg", 202},
        {"a.mpeg", 1, "a.mpeg", -1},          {"a.ico", 1, "a.ico", 9},
    };
    for (const Case &c : cases) {
        const ExportTarget t = TypeOfExportName(pictures, c.filterIndex, c.name);
        EXPECT_EQ(t.name, QString::fromLatin1(c.written)) << c.name;
        EXPECT_EQ(t.code, c.code) << c.name;
    }
}

// The dialogs match names whatever their letter case, as QDir does without CaseSensitive.
TEST(MediaTypesTest, DialogFiltersMatchAnyLetterCase)
{
    const QStringList filters = DialogFilters(ImportFilter());
    ASSERT_EQ(filters.size(), 5);
    EXPECT_EQ(filters.at(1), "Windows Animation (*.avi *.mpg *.mpeg)");
    EXPECT_EQ(filters.at(4), "All Files (*)");
    EXPECT_EQ(DialogFilters(ExportFilter(1).filter).at(1), "BMP (*.bmp)");

    QTemporaryDir dir;
    for (const char *name : {"A.JPG", "b.jpg", "c.Jpg", "d.JPEG", "e.wav", "f.doc"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)$"));
    const QString images = patterns.match(filters.at(3)).captured(1);
    const QStringList matched = QDir(dir.path()).entryList(images.split(' '), QDir::Files, QDir::Name);
    EXPECT_EQ(matched, QStringList({"A.JPG", "b.jpg", "c.Jpg", "d.JPEG"}));
}

TEST(MediaFilesTest, UniqueWorkFile)
{
    QTemporaryDir work;
    const QString first = UniqueWorkFile(work.path(), "pic", "bmp");
    const QString second = UniqueWorkFile(work.path(), QString(), "txt");
    const QRegularExpression numbered(QStringLiteral("^(pic|def)(\\d+)\\.(bmp|txt)$"));
    const auto n1 = numbered.match(QFileInfo(first).fileName()), n2 = numbered.match(QFileInfo(second).fileName());
    ASSERT_TRUE(n1.hasMatch() && n2.hasMatch()) << first.toStdString() << second.toStdString();
    EXPECT_EQ(n2.captured(1), "def");
    EXPECT_GT(n2.captured(2).toInt(), n1.captured(2).toInt());
    EXPECT_EQ(QFileInfo(first).absolutePath(), QFileInfo(work.path()).absoluteFilePath());

    // A leftover of the next name is deleted and the name used; one that cannot be deleted
    // (a directory with something in it) is passed over.
    const int next = n2.captured(2).toInt() + 1;
    const QString leftover = work.filePath(QStringLiteral("x%1.bmp").arg(next));
    QFile(leftover).open(QIODevice::WriteOnly);
    EXPECT_EQ(UniqueWorkFile(work.path(), "x", "bmp"), leftover);
    EXPECT_FALSE(QFileInfo::exists(leftover));
    const QString stuck = work.filePath(QStringLiteral("y%1.bmp").arg(next + 1));
    QDir().mkpath(stuck + "/inside");
    const QString passed = UniqueWorkFile(work.path(), "y", "bmp");
    EXPECT_EQ(passed, work.filePath(QStringLiteral("y%1.bmp").arg(next + 2)));
}

class ImportExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        list = std::make_unique<TDbFolderList>(src.connection);
        ASSERT_TRUE(list->Load(80, 100, 3));
        list->thumbnailer = thumbnailOfFile;
        folder = list->AddRootFolder("library", 80, 3, 100);
        ASSERT_NE(folder, nullptr);
    }

    QString dirFile(const QString &relative, const QByteArray &content)
    {
        const QString path = tree.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }

    TDbMedia *importOne(const QString &name, const QByteArray &content, int mode = 0)
    {
        return list->InsertMediaFile(folder, dirFile(name, content), mode);
    }

    std::unique_ptr<TDbFolderList> reload()
    {
        list.reset();
        auto again = std::make_unique<TDbFolderList>(src.connection);
        EXPECT_TRUE(again->Load(80, 100, 3));
        return again;
    }

    TempDataSource src;
    QTemporaryDir tree;
    std::unique_ptr<TDbFolderList> list;
    TDbFolder *folder = nullptr;
};

TEST_F(ImportExportTest, ExportCopiesConvertsAndRefuses)
{
    TDbMedia *jpg = importOne("photo.jpg", pictureBytes("JPEG", QSize(40, 30)));
    TDbMedia *sound = importOne("tune.wav", "RIFF....WAVE");
    TDbMedia *doc = importOne("letter.doc", "document");
    ASSERT_TRUE(jpg && sound && doc);
    QTemporaryDir out;
    QString error;

    // The same type, or a name that names no type: the stored file as it is.
    for (const QString &name : {QStringLiteral("same.jpg"), QStringLiteral("bare")}) {
        const ExportTarget t = TypeOfExportName(ExportFilter(3).extensions, 1, out.filePath(name));
        ASSERT_TRUE(ExportMediaFile(*jpg, t.name, t.code, convertMediaPicture, &error)) << error.toStdString();
        QFile a(jpg->Rec.MediaFile), b(t.name);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_EQ(a.readAll(), b.readAll()) << name.toStdString();
    }
    // Another picture type: converted.
    const ExportTarget bmp = TypeOfExportName(ExportFilter(3).extensions, 2, out.filePath("converted"));
    ASSERT_TRUE(ExportMediaFile(*jpg, bmp.name, bmp.code, convertMediaPicture, &error)) << error.toStdString();
    EXPECT_EQ(bmp.name, out.filePath("converted.bmp"));
    QImage back;
    ASSERT_TRUE(loadImage(bmp.name, back, &error));
    EXPECT_EQ(back.size(), QSize(40, 30));
    QFile head(bmp.name);
    head.open(QIODevice::ReadOnly);
    EXPECT_EQ(head.read(2), "BM");

    // Sound is copied whatever extension was chosen.
    ASSERT_TRUE(ExportMediaFile(*sound, out.filePath("tune.mp3"), 104, convertMediaPicture, &error));

    // Refused: an icon target, a document, a lost item. An earlier file of the name stays as it
    // was and nothing else is left behind.
    const QString existing = out.filePath("keep.ico");
    {
        QFile f(existing);
        f.open(QIODevice::WriteOnly);
        f.write("earlier");
    }
    const QStringList before = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_FALSE(ExportMediaFile(*jpg, existing, 9, convertMediaPicture, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(ExportMediaFile(*doc, out.filePath("letter.doc"), -1, convertMediaPicture, &error));
    EXPECT_EQ(error, "Not support OLE exporting.");
    int mode = 1;
    TDbMedia *linked = list->InsertMediaFile(folder, dirFile("away.png", pictureBytes("PNG")), mode);
    ASSERT_NE(linked, nullptr);
    QFile::remove(linked->Rec.MediaFile);
    EXPECT_FALSE(ExportMediaFile(*linked, out.filePath("away.bmp"), 1, convertMediaPicture, &error));
    EXPECT_EQ(error, "Media lost.");
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), before);
    QFile kept(existing);
    kept.open(QIODevice::ReadOnly);
    EXPECT_EQ(kept.readAll(), "earlier");
}

TEST_F(ImportExportTest, DirectoryImportKeepsOrderAndNamesEachSkip)
{
    dirFile("shoot/a.jpg", pictureBytes("JPEG", QSize(400, 300)));
    dirFile("shoot/b-broken.jpg", "this is not a JPEG");
    dirFile("shoot/c.PNG", pictureBytes("PNG", QSize(30, 60)));
    dirFile("shoot/d-empty.wav", "");
    const QString vanishing = dirFile("shoot/e-gone.gif", pictureBytes("GIF"));
    dirFile("shoot/f-long.txt", QByteArray(40000, 'x'));
    dirFile("shoot/g.txt", "short note");
    dirFile("shoot/inner/h.bmp", pictureBytes("BMP"));
    dirFile("shoot/.cache/hidden.png", pictureBytes("PNG"));
    dirFile("shoot/icon.ico", pictureBytes("ICO", QSize(16, 16)));
    dirFile("shoot/._a.jpg", "another system's resource fork");
    // A link back up the tree: the directory is walked once, the link told.
    ASSERT_TRUE(QFile::link(tree.filePath("shoot"), tree.filePath("shoot/inner/up")));

    // The file that vanishes between the listing and its reading: the worker before it
    // (one worker, in order) removes it.
    list->thumbnailer = [vanishing](const QString &path, QString *error) {
        if (path.endsWith("c.PNG"))
            QFile::remove(vanishing);
        return thumbnailOfFile(path, error);
    };
    MediaImport import(*list);
    import.recursive = true;
    import.threads = 1;
    QStringList importedTitles, skippedNames;
    QStringList reasons;
    import.imported = [&](TDbMedia *m) { importedTitles << m->Rec.Title; };
    import.skipped = [&](const ImportSkip &s) {
        skippedNames << QFileInfo(s.path).fileName();
        reasons << s.reason;
    };
    ASSERT_TRUE(import.Run(folder, {tree.filePath("shoot"), tree.filePath("missing.jpg")}, 0));
    EXPECT_EQ(importedTitles, QStringList({"a.jpg", "c.PNG", "g.txt", "icon.ico", "h.bmp"}));
    EXPECT_EQ(skippedNames,
              QStringList({"b-broken.jpg", "d-empty.wav", "e-gone.gif", "f-long.txt", "up", "missing.jpg"}));
    ASSERT_EQ(reasons.size(), 6);
    EXPECT_TRUE(reasons[0].contains("not a picture")) << reasons[0].toStdString();
    EXPECT_EQ(reasons[1], "the file is empty");
    EXPECT_EQ(reasons[2], "the file is not there");
    EXPECT_EQ(reasons[3], "a text file over 33000 bytes");
    EXPECT_EQ(reasons[4], "already imported as " + tree.filePath("shoot"));
    EXPECT_EQ(import.importedCount(), 5);
    EXPECT_EQ(import.skippedCount(), 6);
    EXPECT_EQ(src.ui.progressSteps.size(), 11); // a step a file or skip
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join('\n').toStdString();

    // After a restart: the directory is a subfolder with the files in order, with thumbnails
    // for the pictures (the icon is its own), the inner directory a subfolder of its own.
    auto again = reload();
    TDbFolder *root = again->Folders.at(0);
    ASSERT_EQ(root->MediaList->count(), 1);
    TDbFolder *shoot = root->MediaList->Items.at(0)->SubFolder;
    ASSERT_NE(shoot, nullptr);
    EXPECT_EQ(shoot->Rec.Title, "shoot");
    QStringList titles;
    for (TDbMedia *m : shoot->MediaList->Items)
        titles << m->Rec.Title;
    EXPECT_EQ(titles, QStringList({"a.jpg", "c.PNG", "g.txt", "icon.ico", "inner"}));
    for (TDbMedia *m : shoot->MediaList->Items) {
        if (m->SubFolder || m->Rec.MediaType == TypeText)
            continue;
        EXPECT_FALSE(m->Rec.NailFile.isEmpty()) << m->Rec.Title.toStdString();
        EXPECT_FALSE(m->External);
    }
    QImage thumb;
    QString error;
    ASSERT_TRUE(loadImage(shoot->MediaList->Items.at(0)->Rec.NailFile, thumb, &error)) << error.toStdString();
    EXPECT_EQ(thumb.size(), QSize(120, 90));
    TDbFolder *inner = shoot->MediaList->Items.at(4)->SubFolder;
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(inner->MediaList->count(), 1);
    EXPECT_EQ(inner->MediaList->Items.at(0)->Rec.MediaType, TypeBmp);
}

TEST_F(ImportExportTest, ADroppedDirectoryBecomesASubfolderTile)
{
    dirFile("trip/day1/a.png", pictureBytes("PNG"));
    dirFile("trip/notes.txt", "notes");
    MediaImport import(*list);
    TDbMedia *tile = ImportDirectory(import, tree.filePath("trip"), folder, 0);
    ASSERT_NE(tile, nullptr);
    ASSERT_NE(tile->SubFolder, nullptr);
    EXPECT_EQ(tile->Rec.Title, "trip");
    EXPECT_EQ(folder->MediaList->Items, QList<TDbMedia *>({tile}));
    EXPECT_EQ(import.importedCount(), 2);
    EXPECT_FALSE(import.recursive); // the import's own setting is left as it was
}

TEST_F(ImportExportTest, LinkedImportsKeepTheirThumbnailsInTheDatabase)
{
    const QString path = dirFile("linked.png", pictureBytes("PNG", QSize(200, 100)));
    MediaImport import(*list);
    QStringList refused;
    import.skipped = [&](const ImportSkip &s) { refused << s.path; };
    import.recursive = false;
    ASSERT_TRUE(import.Run(folder, {path, tree.path()}, 1));
    EXPECT_EQ(refused, QStringList({tree.path()})); // a directory, without the recursive option
    ASSERT_EQ(folder->MediaList->count(), 1);
    TDbMedia *m = folder->MediaList->Items.at(0);
    EXPECT_TRUE(m->External);
    EXPECT_EQ(m->Rec.MediaFile, QFileInfo(path).absoluteFilePath());
    EXPECT_TRUE(m->Rec.NailFile.startsWith(src.fileObjectDir() + "/")) << m->Rec.NailFile.toStdString();

    // A copy of the linked item links the same file but holds a thumbnail of its own.
    TDbMedia *copy = list->CopyMedia(m, folder);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Rec.MediaFile, m->Rec.MediaFile);
    EXPECT_NE(copy->Rec.NailFile, m->Rec.NailFile);
    const QString copyNail = copy->Rec.NailFile;
    ASSERT_TRUE(list->InsertAt(folder, copy, 1));
    ASSERT_GE(list->RemoveMedia(m), 0);
    EXPECT_TRUE(QFileInfo::exists(copyNail));

    // The linked file moved away: the item is lost, its thumbnail still there.
    QFile::remove(path);
    auto again = reload();
    TDbMedia *back = again->Folders.at(0)->MediaList->Items.at(0);
    TDbFolderList::CheckLost(back); // as the tile does when it shows
    EXPECT_TRUE(back->Lost);
    EXPECT_TRUE(QFileInfo::exists(back->Rec.NailFile));
}

// A camera picture (blue) carrying its EXIF thumbnail (magenta): the stored thumbnail shows which
// was read, and the stored copy is the file as it was given.
TEST_F(ImportExportTest, CameraPicturesAreThumbnailedFromTheirPreviewUnlessThePictureIsAskedFor)
{
    ASSERT_TRUE(fixtures::haveExiftool()) << "exiftool is missing (scripts/install-deps)";
    const QString path = tree.filePath("camera.jpg");
    ASSERT_TRUE(fixtures::writeJpegWithThumbnail(path, fixtures::solid(400, 300, fixtures::Blue),
                                                 fixtures::qtEncoded(fixtures::solid(160, 120, Qt::magenta), "jpeg")));
    const struct
    {
        const char *name;
        std::function<QByteArray(const QString &, QString *)> thumbnailer;
        QColor shown;
    } cases[] = {
        {"from the preview", thumbnailOfFile, Qt::magenta},
        {"from the picture", thumbnailOfWholePicture, fixtures::Blue},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        list->thumbnailer = c.thumbnailer;
        MediaImport import(*list);
        TDbMedia *m = nullptr;
        import.imported = [&](TDbMedia *item) { m = item; };
        ASSERT_TRUE(import.Run(folder, {path}, 0));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(fixtures::readFile(m->Rec.MediaFile), fixtures::readFile(path));
        QImage thumb;
        ASSERT_TRUE(thumb.load(m->Rec.NailFile)) << m->Rec.NailFile.toStdString();
        EXPECT_EQ(thumb.size(), QSize(120, 90));
        EXPECT_TRUE(fixtures::colourNear(thumb, 60, 45, c.shown, 40));
    }
}

TEST_F(ImportExportTest, CancellingKeepsWhatWasImported)
{
    QStringList paths;
    for (int i = 0; i < 6; ++i)
        paths << dirFile(QStringLiteral("p%1.png").arg(i), pictureBytes("PNG"));
    src.ui.cancelAtStep = true; // the person cancels at the first step
    MediaImport import(*list);
    ASSERT_TRUE(import.Run(folder, paths, 0));
    EXPECT_TRUE(import.cancelled());
    EXPECT_EQ(import.importedCount(), 1);
    auto again = reload();
    EXPECT_EQ(again->Folders.at(0)->MediaList->count(), 1);
    EXPECT_EQ(QDir(src.fileObjectDir()).entryList(QDir::Files).size(), 2); // the file and its thumbnail
}

// Every picture format the library takes: imported, thumbnailed, back after a restart with
// its type and thumbnail, and exported to another format.
TEST_F(ImportExportTest, EveryPictureFormatImportsThumbnailsAndExports)
{
    using namespace fixtures;
    const QImage card = testCard(160, 80);
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int type;
        QSize thumbnail;
    };
    const Case cases[] = {
        {"a.bmp", qtEncoded(card, "bmp"), TypeBmp, {120, 60}},
        {"a.jpg", qtEncoded(card, "jpeg"), TypeJpg, {120, 60}},
        {"a.pcx", magickEncoded(card, "PCX"), TypePcx, {120, 60}},
        {"a.png", qtEncoded(card, "png"), TypePng, {120, 60}},
        {"a.tga", magickEncoded(card, "TGA"), TypeTga, {120, 60}},
        {"a.tif", qtEncoded(card, "tiff"), TypeTif, {120, 60}},
        {"a.gif", magickEncoded(card, "GIF"), TypeGif, {120, 60}},
        {"a.ico", qtEncoded(testCard(32, 32), "ico"), TypeIco, {32, 32}},   // its own thumbnail
        {"a.wmf", placeableWmf(1440, 720), TypeWmf, {}},                  // its own thumbnail
    };
    QStringList paths;
    for (const Case &c : cases)
        paths << dirFile(c.name, c.bytes);
    MediaImport import(*list);
    QStringList skips;
    import.skipped = [&](const ImportSkip &s) { skips << s.path + ": " + s.reason; };
    ASSERT_TRUE(import.Run(folder, paths, 0));
    EXPECT_TRUE(skips.isEmpty()) << skips.join('\n').toStdString();

    auto again = reload();
    const QList<TDbMedia *> items = again->Folders.at(0)->MediaList->Items;
    ASSERT_EQ(items.size(), std::size(cases));
    QTemporaryDir out;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        TDbMedia *m = items.at(qsizetype(i));
        EXPECT_EQ(m->Rec.MediaType, c.type) << c.name;
        QImage thumb;
        QString error;
        ASSERT_TRUE(loadImage(m->Rec.NailFile, thumb, &error)) << c.name << ": " << error.toStdString();
        if (c.thumbnail.isValid()) {
            EXPECT_EQ(thumb.size(), c.thumbnail) << c.name;
        }
        const QString target = out.filePath(QStringLiteral("%1.png").arg(i));
        ASSERT_TRUE(ExportMediaFile(*m, target, TypePng, convertMediaPicture, &error))
            << c.name << ": " << error.toStdString();
        QImage exported;
        ASSERT_TRUE(loadImage(target, exported, &error)) << c.name;
        if (c.type != TypeIco && c.type != TypeWmf) {
            EXPECT_EQ(exported.size(), card.size()) << c.name;
        }
    }
}

// Whatever a walk leaves out is told with its reason, in the order met; links are followed
// only within the tree given, and a directory reached twice is imported once.
TEST_F(ImportExportTest, AWalkTellsWhatItLeavesOutAndWhy)
{
    dirFile("album/a.png", pictureBytes("PNG"));
    dirFile("album/sub/c.png", pictureBytes("PNG"));
    const QString outside = dirFile("elsewhere/x.png", pictureBytes("PNG"));
    // A name made of bytes the locale's encoding cannot decode.
    const QByteArray badName = QFile::encodeName(tree.filePath("album")) + "/bad-\xff\xfe.png";
    const int fd = ::open(badName.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    const QByteArray png = pictureBytes("PNG");
    ASSERT_EQ(::write(fd, png.constData(), size_t(png.size())), png.size());
    ::close(fd);
    const QString album = tree.filePath("album");
    ASSERT_TRUE(QFile::link(album + "/a.png", album + "/near.png"));                 // inside: followed
    ASSERT_TRUE(QFile::link(outside, album + "/far.png"));                           // a file outside
    ASSERT_TRUE(QFile::link(tree.filePath("elsewhere"), album + "/out"));            // a directory outside
    ASSERT_TRUE(QFile::link(album + "/gone.png", album + "/nowhere.png"));           // to nothing
    ASSERT_EQ(::symlink("loop", QFile::encodeName(album + "/loop").constData()), 0); // to itself
    ASSERT_TRUE(QFile::link(album + "/sub", album + "/zz"));                         // reached twice

    MediaImport importer(*list);
    importer.recursive = true;
    QStringList importedTitles;
    QList<QPair<QString, QString>> skips;
    importer.imported = [&](TDbMedia *m) { importedTitles << m->Rec.Title; };
    importer.skipped = [&](const ImportSkip &s) { skips.append({s.path, s.reason}); };
    ASSERT_TRUE(importer.Run(folder, {album, album}, 0)); // the directory given twice, too

    EXPECT_EQ(importedTitles, QStringList({"a.png", "near.png", "c.png"}));
    const QList<QPair<QString, QString>> expected = {
        {album + "/bad-\\xFF\\xFE.png", "its name is not valid in the locale's encoding"},
        {album + "/far.png", "a link that leads out of " + album},
        {album + "/loop", "the link cannot be followed: Too many levels of symbolic links"},
        {album + "/nowhere.png", "a link to nothing"},
        {album + "/out", "a link that leads out of " + album},
        {album + "/zz", "already imported as " + album + "/sub"},
        {album, "already imported as " + album},
    };
    EXPECT_EQ(skips, expected);
    EXPECT_EQ(importer.skippedCount(), int(expected.size()));
    EXPECT_EQ(src.ui.progressSteps.size(), 10); // a step a file or skip

    // One subfolder, holding the album as it is, nothing from outside it.
    auto again = reload();
    const QList<TDbMedia *> top = again->Folders.at(0)->MediaList->Items;
    ASSERT_EQ(top.size(), 1);
    ASSERT_NE(top.at(0)->SubFolder, nullptr);
    QStringList titles;
    for (TDbMedia *m : top.at(0)->SubFolder->MediaList->Items)
        titles << m->Rec.Title;
    EXPECT_EQ(titles, QStringList({"a.png", "near.png", "sub"}));
}

// The walk reads a directory when the import gets there: a file that appears in a directory
// not yet reached after the first file went in is imported with the rest.
TEST_F(ImportExportTest, AWalkReadsEachDirectoryWhenItGetsThere)
{
    dirFile("big/a/first.png", pictureBytes("PNG"));
    for (int i = 0; i < 20; ++i)
        dirFile(QStringLiteral("big/m/%1.png").arg(i, 2, 10, QLatin1Char('0')), pictureBytes("PNG"));
    QDir().mkpath(tree.filePath("big/z"));
    MediaImport importer(*list);
    importer.recursive = true;
    importer.threads = 1;
    QStringList importedTitles;
    importer.imported = [&](TDbMedia *m) {
        if (importedTitles.isEmpty())
            dirFile("big/z/late.png", pictureBytes("PNG"));
        importedTitles << m->Rec.Title;
    };
    ASSERT_TRUE(importer.Run(folder, {tree.filePath("big")}, 0));
    ASSERT_EQ(importedTitles.size(), 22);
    EXPECT_EQ(importedTitles.last(), "late.png");
}

// A file that changes after its thumbnail was made, before or while it is stored, gets a
// thumbnail of what was stored, stored in the library or linked, whether its size changes
// or not and whether the change shows in its times or not.
TEST_F(ImportExportTest, AFileChangedAfterItsThumbnailGetsOneOfWhatWasStored)
{
    struct Case
    {
        const char *name;
        int mode;    // 0 stored, 1 linked
        bool old;    // last written an hour ago, so that the change shows in its times
        QSize after; // the picture written over it (64x48 before)
    };
    const Case cases[] = {
        {"same-size.bmp", 0, false, {48, 64}}, // a BMP of 48x64 has as many bytes as one of 64x48
        {"larger.bmp", 0, false, {200, 100}},
        {"old-same-size.bmp", 0, true, {48, 64}},
        {"old-linked.bmp", 1, true, {48, 64}},
    };
    QMap<QString, QByteArray> replacement;
    for (const Case &c : cases) {
        const QString path = dirFile(c.name, pictureBytes("BMP", {64, 48}, Qt::red));
        replacement[path] = pictureBytes("BMP", c.after, Qt::blue);
        ASSERT_EQ(replacement[path].size() == QFileInfo(path).size(), c.after == QSize(48, 64)) << c.name;
        if (c.old) {
            const struct timespec times[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        }
    }
    // The worker makes the thumbnail of the red picture, then the file turns blue.
    std::mutex lock;
    list->thumbnailer = [&](const QString &path, QString *error) {
        QByteArray thumbnail = thumbnailOfFile(path, error);
        std::lock_guard<std::mutex> guard(lock);
        if (replacement.contains(path)) {
            QFile f(path);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(replacement.take(path));
        }
        return thumbnail;
    };
    for (const Case &c : cases) {
        MediaImport importer(*list);
        QStringList skips;
        importer.skipped = [&](const ImportSkip &s) { skips << s.reason; };
        ASSERT_TRUE(importer.Run(folder, {tree.filePath(c.name)}, c.mode)) << c.name;
        ASSERT_TRUE(skips.isEmpty()) << c.name << ": " << skips.join('\n').toStdString();
    }

    auto again = reload();
    const QList<TDbMedia *> items = again->Folders.at(0)->MediaList->Items;
    ASSERT_EQ(items.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        const TDbMedia *m = items.at(qsizetype(i));
        QImage stored, thumb;
        QString error;
        ASSERT_TRUE(loadImage(m->Rec.MediaFile, stored, &error)) << c.name << ": " << error.toStdString();
        EXPECT_EQ(stored.size(), c.after) << c.name;
        ASSERT_TRUE(loadImage(m->Rec.NailFile, thumb, &error)) << c.name << ": " << error.toStdString();
        EXPECT_EQ(thumb.width() > thumb.height(), c.after.width() > c.after.height()) << c.name;
        const QColor centre = thumb.pixelColor(thumb.width() / 2, thumb.height() / 2);
        EXPECT_GT(centre.blue(), 200) << c.name;
        EXPECT_LT(centre.red(), 60) << c.name;
    }
}

// A decoder that throws costs the file it was reading, with a reason; the import goes on.
TEST_F(ImportExportTest, ADecoderThatThrowsCostsOnlyItsFile)
{
    QStringList paths;
    for (const char *name : {"a.png", "b.png", "c.png", "d.png"})
        paths << dirFile(name, pictureBytes("PNG"));
    list->thumbnailer = [](const QString &path, QString *error) -> QByteArray {
        if (path.endsWith("a.png"))
            throw std::bad_alloc();
        if (path.endsWith("b.png"))
            throw std::runtime_error("the decoder gave up");
        if (path.endsWith("c.png"))
            throw 7;
        return thumbnailOfFile(path, error);
    };
    MediaImport importer(*list);
    QStringList imported, skips;
    importer.imported = [&](TDbMedia *m) { imported << m->Rec.Title; };
    importer.skipped = [&](const ImportSkip &s) { skips << QFileInfo(s.path).fileName() + ": " + s.reason; };
    ASSERT_TRUE(importer.Run(folder, paths, 0));
    EXPECT_EQ(imported, QStringList({"d.png"}));
    EXPECT_EQ(skips,
              QStringList({"a.png: not enough memory to read it",
                           "b.png: reading it failed: the decoder gave up", "c.png: reading it failed"}));
}

// A library that cannot take the files (here its file-object directory cannot be made) stops
// the import at the first, which names the engine's reason; every file after it is told too.
TEST_F(ImportExportTest, ALibraryThatRefusesAFileStopsTheImportAndNamesEveryFile)
{
    dirFile("batch/1.png", pictureBytes("PNG"));
    dirFile("batch/2.txt", "note");
    dirFile("batch/inner/3.png", pictureBytes("PNG"));
    ASSERT_TRUE(QDir(src.fileObjectDir()).removeRecursively());
    QFile blocker(src.fileObjectDir());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    MediaImport importer(*list);
    importer.recursive = true;
    importer.threads = 1;
    QStringList skips;
    importer.skipped = [&](const ImportSkip &s) { skips << QFileInfo(s.path).fileName() + ": " + s.reason; };
    EXPECT_FALSE(importer.Run(folder, {tree.filePath("batch"), tree.filePath("last.png")}, 0));
    EXPECT_TRUE(importer.failed());
    EXPECT_EQ(importer.importedCount(), 0);
    ASSERT_EQ(skips.size(), 4) << skips.join('\n').toStdString();
    const QString reason = "the file-object directory \"" + src.fileObjectDir() + "/\" cannot be made";
    EXPECT_EQ(skips[0], "1.png: " + reason);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(skips[i].section(": ", 1), "the import stopped: " + reason) << skips[i].toStdString();
    EXPECT_EQ(
        QStringList({skips[1].section(':', 0, 0), skips[2].section(':', 0, 0), skips[3].section(':', 0, 0)}),
        QStringList({"2.txt", "3.png", "last.png"}));
}

} // namespace

// A recording the library could not take leaves the work directory (cleared at exit) whole,
// never over another kept file; where it cannot go, it stays where it was.
TEST(UnstoredFiles, AreKeptBesideEarlierOnesAndStayPutWhenTheyCannotMove)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString work = dir.filePath("work"), keep = dir.filePath("kept/recordings");
    ASSERT_TRUE(QDir().mkpath(work));
    auto make = [&](const QByteArray &bytes) {
        QFile f(work + "/vkvoice.wav");
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const QString first = KeepUnstoredFile(make("first"), keep);
    const QString second = KeepUnstoredFile(make("second"), keep);
    EXPECT_NE(first, second);
    for (const auto &[path, bytes] : {std::pair{first, QByteArray("first")}, std::pair{second, QByteArray("second")}}) {
        EXPECT_TRUE(path.startsWith(keep + "/vkvoice-")) << path.toStdString();
        EXPECT_TRUE(path.endsWith(".wav"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes);
    }
    EXPECT_FALSE(QFile::exists(work + "/vkvoice.wav"));

    // A directory that cannot be made (a file is in its way): the recording stays.
    QFile blocker(dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString stays = make("third");
    EXPECT_EQ(KeepUnstoredFile(stays, dir.filePath("blocked/recordings")), stays);
    EXPECT_TRUE(QFile::exists(stays));
}
