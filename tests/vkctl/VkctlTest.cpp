// vkctl as users script it: its commands, output formats and exit codes.
#include "AviFixture.h"
#include "PictureFixtures.h"
#include "PreviewFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <filesystem>
#include <functional>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Result
{
    int code = -1;
    QString out, err;
};

class VkctlTest : public ::testing::Test
{
protected:
    Result vkctl(const QStringList &args)
    {
        QProcess p;
        start(p, args);
        p.waitForFinished(30000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    // The environment vkctl runs in: the test's own XDG directories.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CACHE_HOME", home.path() + "/cache");
        return env;
    }

    // Starts vkctl in that environment; `setUp` runs in the child before it.
    void start(QProcess &p, const QStringList &args, const std::function<void()> &setUp = {})
    {
        p.setProcessEnvironment(environment());
        if (setUp)
            p.setChildProcessModifier(setUp);
        p.start(QStringLiteral(VKCTL_PATH), args);
    }

    QTemporaryDir home;
};

TEST_F(VkctlTest, InitSourcesAndSql)
{
    Result r = vkctl({"init", "svkbook"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = vkctl({"init", "second", "--dir", home.path() + "/elsewhere"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(vkctl({"sources"}).out, QStringLiteral("svkbook\nsecond\n"));

    r = vkctl({"init", "SVKBOOK"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("already exists"));

    // An insert prints the new OID; values are bound in the order given.
    r = vkctl({"sql", "insert into Folder (Title, Description, Author) values (?, ?, ?)", "--param",
               "Tom's \"trip\" 100%_", "--null", "--param", "Ελένη"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString oid = r.out.trimmed();
    EXPECT_EQ(oid.size(), 18);
    // A text without values prints its OID too.
    EXPECT_EQ(vkctl({"sql", "insert into Folder (Title) values ('plain')"}).out.trimmed().size(), 18);

    r = vkctl(
        {"sql", "select Title, Description, Author, FolderId from Folder where OID = ?", "--param", oid});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Tom's \"trip\" 100%_\t\tΕλένη\t1\n"));

    // A file is stored as a copy inside the data source.
    QFile pic(home.path() + "/pic.jpg");
    ASSERT_TRUE(pic.open(QIODevice::WriteOnly));
    pic.write("JPEG");
    pic.close();
    r = vkctl({"sql", "insert into MediaData (title, media) values (?, ?)", "--param", "p", "--file",
               pic.fileName()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = vkctl({"sql", "select filename(media) from MediaData"});
    EXPECT_TRUE(r.out.startsWith(home.path() + "/data/Quorient/Vellumark/svkbook/folder/"))
        << r.out.toStdString();

    // --source picks another data source.
    EXPECT_EQ(vkctl({"--source", "second", "sql", "select count(*) from Folder"}).out, QStringLiteral("0\n"));
}

TEST_F(VkctlTest, FailuresGoToStderrWithExitCodeOne)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    Result r = vkctl({"sql", "select nothing from NoSuchTable"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("NoSuchTable")) << r.err.toStdString();

    r = vkctl({"--source", "absent", "sql", "select 1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("absent"));

    r = vkctl({"sql", "insert into Folder (Title) values (?)", "--file", home.path() + "/missing.jpg"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(vkctl({"sql", "select count(*) from Folder"}).out, QStringLiteral("0\n"));

    EXPECT_EQ(vkctl({"frobnicate"}).code, 2) << "a usage error";
}

// An older library: the first tables, keyword names in the media rows, and its file objects
// in a directory that was moved with the database.
TEST_F(VkctlTest, CheckBringsAnOlderLibraryUpToDate)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    auto sql = [this](const QStringList &args) {
        Result r = vkctl(QStringList{"--no-check", "sql"} + args);
        EXPECT_EQ(r.code, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        return r.out.trimmed();
    };
    for (const char *table : {"Folder", "MediaData", "KeyWords_Table", "Flag_Table", "OptionTable"})
        sql({QStringLiteral("drop table ") + table});
    sql({"create table Folder (FolderId serial,Title char(256),Description Long VarChar,LastModified "
         "TimeStamp,Width integer,Height integer,BorderWidth integer)"});
    sql({"create table MediaData (FolderId Integer,title char(256),description Long VarChar,media file,index "
         "float,MediaType integer,MediaNail File,KeyWords varchar(1024))"});
    QFile pic(home.path() + "/pic.jpg");
    ASSERT_TRUE(pic.open(QIODevice::WriteOnly));
    pic.write("JPEG");
    pic.close();
    const QString media =
        sql({"insert into MediaData (FolderId, title, media, KeyWords) values (?, ?, ?, ?)", "--param", "1",
             "--param", "beach", "--file", pic.fileName(), "--param", "Holiday\r\nSea\r\n"});
    // The database directory moves; the configuration follows it.
    const QString base = home.path() + "/data/Quorient/Vellumark";
    ASSERT_TRUE(QDir().rename(base + "/svkbook", base + "/moved"));
    QFile ini(home.path() + "/config/Quorient/Vellumark/vkconfig.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    QByteArray text = ini.readAll().replace("/svkbook", "/moved");
    ini.close();
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(text);
    ini.close();

    Result r = vkctl({"check"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.value(0).startsWith("integration: moved 1 file objects")) << r.out.toStdString();
    EXPECT_TRUE(lines.contains("schema: added column Folder.ParFolderId"));
    EXPECT_TRUE(lines.contains("schema: created table KeyWords_Table and converted the keywords"));
    EXPECT_TRUE(lines.contains("options: created table OptionTable"));
    EXPECT_EQ(lines.last(), "integrity: ok");

    // Clean now: a second check changes nothing.
    r = vkctl({"check"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "integrity: ok\n");
    EXPECT_EQ(vkctl({"sql", "select Name, Reference from KeyWords_Table order by Name"}).out,
              "Holiday\t1\nSea\t1\n");
    const QString file = vkctl({"sql", "select filename(media) from MediaData"}).out.trimmed();
    EXPECT_TRUE(file.startsWith(base + "/moved/folder/")) << file.toStdString();
    EXPECT_TRUE(QFileInfo::exists(file));
    Q_UNUSED(media);
}

TEST_F(VkctlTest, CommandsRunTheStartupChecksUnlessTold)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    EXPECT_EQ(vkctl({"--no-check", "sql", "select count(*) from OptionTable"}).out, "10\n")
        << "init makes it all";
    ASSERT_EQ(vkctl({"--no-check", "sql", "drop table OptionTable"}).code, 0);
    Result r = vkctl({"--no-check", "sql", "select count(*) from SYSTABLE where TABLE_NAME = 'OptionTable'"});
    EXPECT_EQ(r.out, "0\n");
    r = vkctl({"sql", "select count(*) from SYSTABLE where TABLE_NAME = 'OptionTable'"});
    EXPECT_EQ(r.out, "1\n");
    EXPECT_TRUE(r.err.contains("created table OptionTable")) << "changes are told on stderr";
    r = vkctl({"sql", "select count(*) from OptionTable"});
    EXPECT_EQ(r.out, "10\n");
    EXPECT_TRUE(r.err.isEmpty()) << "quiet when nothing changed: " << r.err.toStdString();
}

TEST_F(VkctlTest, CheckFailsOnADamagedDatabase)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    // Rows enough for several pages, then one table page overwritten.
    vkctl({"sql", "create index ix on MediaData(title)"});
    for (int i = 0; i < 3; ++i)
        vkctl({"sql", "insert into MediaData (title) select title || 'x' from MediaData union all select '" +
                          QString(500, 'a') + "'"});
    const QString db = home.path() + "/data/Quorient/Vellumark/svkbook/svkbook.db";
    QFile f(db);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const qint64 size = f.size();
    ASSERT_GT(size, 4096 * 4);
    // Every page after the schema page gets a scratched header.
    for (qint64 page = 1; page < size / 4096; ++page) {
        f.seek(page * 4096 + 1);
        f.write(QByteArray(40, '\x33'));
    }
    f.close();
    Result r = vkctl({"--no-check", "check"});
    EXPECT_EQ(r.code, 1) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("integrity: ok")) << r.out.toStdString();
}

TEST_F(VkctlTest, FolderTreeComesBackIdenticalInOrder)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    auto folder = [this](const QStringList &args) {
        Result r = vkctl(QStringList{"folder"} + args);
        EXPECT_EQ(r.code, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        return r.out.trimmed();
    };
    const QString trips = folder({"add", "Trips \"2026\" 100%_done"});
    const QString greek = folder({"add", "Ελληνικά και 日本語"});
    const QString first = folder({"add", "O'Neil", "--at", "0"});
    const QString sub = folder({"add", "sub_%", "--parent", trips});
    const QString deep = folder({"add", "deep", "--parent", sub});
    folder({"mv", greek, "--parent", trips, "--at", "0"});
    const QString copy = folder({"cp", trips, "--root"});
    EXPECT_EQ(copy.size(), 18);
    folder({"rename", first, "O'Neil & \"Co\""});
    EXPECT_EQ(vkctl({"folder", "mv", trips, "--parent", deep}).code, 1) << "not into its own subfolder";

    const QString listing = vkctl({"folder", "ls"}).out;
    QStringList titles, depths;
    for (const QString &line : listing.split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split('\t');
        ASSERT_EQ(f.size(), 6) << line.toStdString();
        depths << f[3];
        titles << f[5];
    }
    EXPECT_EQ(titles,
              (QStringList{"O'Neil & \"Co\"", "Trips \"2026\" 100%_done", "Ελληνικά και 日本語", "sub_%",
                           "deep", "Trips \"2026\" 100%_done", "Ελληνικά και 日本語", "sub_%", "deep"}));
    EXPECT_EQ(depths, (QStringList{"0", "0", "1", "1", "2", "0", "1", "1", "2"}));
    // Another start reads exactly the same tree.
    EXPECT_EQ(vkctl({"folder", "ls"}).out, listing);

    EXPECT_EQ(vkctl({"folder", "rm", copy}).code, 0);
    EXPECT_EQ(vkctl({"folder", "ls"}).out.count('\n'), 5);
    EXPECT_EQ(vkctl({"folder", "rm", "000000000000999999"}).code, 1);
}

TEST_F(VkctlTest, MediaListsMovesCopiesAndRemoves)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString a = vkctl({"folder", "add", "a"}).out.trimmed();
    const QString b = vkctl({"folder", "add", "b"}).out.trimmed();
    const QString folderId =
        vkctl({"sql", "select FolderId from Folder where OID = ?", "--param", a}).out.trimmed();
    QFile pic(home.path() + "/p.jpg");
    ASSERT_TRUE(pic.open(QIODevice::WriteOnly));
    pic.write("JPEG");
    pic.close();
    auto add = [&](const QString &title, const QString &index, const QStringList &file) {
        return vkctl(QStringList{"sql",
                                 "insert into MediaData (FolderId, title, MediaType, index, media) values "
                                 "(?, ?, 3, ?, ?)",
                                 "--param", folderId, "--param", title, "--param", index} +
                     file)
            .out.trimmed();
    };
    const QString stored = add("stored", "0", {"--file", pic.fileName()});
    const QString linked = add("linked", "32", {"--param", pic.fileName()});
    const QString lost = add("lost", "64", {"--param", home.path() + "/gone.jpg"});

    QStringList states;
    for (const QString &line : vkctl({"ls", a}).out.split('\n', Qt::SkipEmptyParts))
        states << line.section('\t', 3, 3) + ":" + line.section('\t', 5, 5);
    EXPECT_EQ(states, (QStringList{"stored:internal", "linked:external", "lost:lost"}));

    // An item named twice is taken once.
    Result r = vkctl({"cp", stored, linked, stored, "--to", b});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts).size(), 2);
    r = vkctl({"mv", lost, lost, "--to", b, "--at", "0"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = vkctl({"rm", stored, stored});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QStringList inB;
    for (const QString &line : vkctl({"ls", b}).out.split('\n', Qt::SkipEmptyParts))
        inB << line.section('\t', 3, 3) + ":" + line.section('\t', 5, 5);
    // The copy of the stored file kept its own file after the original went.
    EXPECT_EQ(inB, (QStringList{"lost:lost", "stored:internal", "linked:external"}));
    EXPECT_TRUE(QFileInfo::exists(pic.fileName()));
    EXPECT_EQ(vkctl({"ls", a}).out.count('\n'), 1);
    EXPECT_EQ(vkctl({"rm", "000000000000999999"}).code, 1);
}

// Commands on a few items read only their folders: a subfolder still takes its place among the
// items, and an item no folder holds is still found, in the lost-media folder the whole load
// gives it.
TEST_F(VkctlTest, CommandsOnItemsSeeTheirFolderAsTheWorkspaceDoes)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString a = vkctl({"folder", "add", "a"}).out.trimmed();
    const QString folderId =
        vkctl({"sql", "select FolderId from Folder where OID = ?", "--param", a}).out.trimmed();
    auto add = [&](const QString &folder, const QString &title, const QString &index) {
        return vkctl({"sql", "insert into MediaData (FolderId, title, MediaType, index) values (?, ?, 3, ?)",
                      "--param", folder, "--param", title, "--param", index})
            .out.trimmed();
    };
    const QString first = add(folderId, "first", "0");
    add(folderId, "second", "64");
    ASSERT_EQ(vkctl({"folder", "add", "sub", "--parent", a}).code, 0); // index 96, after both
    // Dropped on the gap before the subfolder: between second and sub.
    Result r = vkctl({"mv", first, "--to", a, "--at", "2"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QStringList items;
    for (const QString &line : vkctl({"ls", a}).out.split('\n', Qt::SkipEmptyParts))
        items << line.section('\t', 3, 3) + "=" + line.section('\t', 2, 2);
    EXPECT_EQ(items, (QStringList{"second=64", "first=80"}));

    const QString stray = add("987", "stray", "0");
    r = vkctl({"rm", stray});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(vkctl({"folder", "ls"}).out.contains("Lost Media Folder"));
    EXPECT_EQ(vkctl({"sql", "select count(*) from MediaData where OID = ?", "--param", stray}).out, "0\n");
}

TEST_F(VkctlTest, KeywordsTagAndCount)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    vkctl({"folder", "add", "f"});
    const QString media =
        vkctl({"sql", "insert into MediaData (FolderId, title, MediaType, index) values (1, 'm', 3, 0)"})
            .out.trimmed();
    const QString beach = vkctl({"keyword", "add", "Beach"}).out.trimmed();
    const QString sun = vkctl({"keyword", "add", "Sun & \"sea\""}).out.trimmed();
    ASSERT_EQ(beach.size(), 18);
    EXPECT_EQ(vkctl({"keyword", "tag", media, beach}).code, 0);
    EXPECT_EQ(vkctl({"keyword", "tag", media, sun}).code, 0);
    EXPECT_EQ(vkctl({"keyword", "tag", media, sun}).code, 0) << "tagging twice is no error";
    EXPECT_EQ(vkctl({"keyword", "ls"}).out, beach + "\tBeach\t1\n" + sun + "\tSun & \"sea\"\t1\n");
    EXPECT_EQ(vkctl({"keyword", "untag", media, beach}).code, 0);
    // A recount keeps what is tagged and counts it again.
    EXPECT_EQ(vkctl({"keyword", "recount"}).code, 0);
    EXPECT_EQ(vkctl({"keyword", "ls"}).out, beach + "\tBeach\t0\n" + sun + "\tSun & \"sea\"\t1\n");
    EXPECT_EQ(vkctl({"keyword", "rm", sun}).code, 0);
    EXPECT_EQ(vkctl({"keyword", "ls"}).out.count('\n'), 1);
    EXPECT_EQ(vkctl({"keyword", "tag", media, sun}).code, 1) << "no such keyword";
    EXPECT_EQ(vkctl({"keyword", "add", "x", "--icon", home.path() + "/none.ico"}).code, 1);

    // After a removal nothing names the keyword any more: a recount brings nothing back.
    EXPECT_EQ(vkctl({"keyword", "rm", beach}).code, 0);
    EXPECT_EQ(vkctl({"keyword", "recount"}).code, 0);
    EXPECT_EQ(vkctl({"keyword", "ls"}).out, QString());
    EXPECT_EQ(vkctl({"sql", "select KeyWords from MediaData where OID = ?", "--param", media}).out, "\n");

    // A name must fit its column: one line of at most 32 characters, not empty.
    struct Case
    {
        QString name;
        const char *reason;
    };
    const Case refused[] = {
        {"", "needs a name"},
        {"   ", "needs a name"},
        {QString(33, 'k'), "at most 32 characters"},
        {"two\nlines", "line break"},
    };
    for (const Case &c : refused) {
        const Result r = vkctl({"keyword", "add", c.name});
        EXPECT_EQ(r.code, 1) << c.name.toStdString();
        EXPECT_TRUE(r.err.contains(c.reason)) << r.err.toStdString();
    }
    EXPECT_EQ(vkctl({"keyword", "add", QString(32, 'k')}).code, 0);
}

} // namespace

TEST_F(VkctlTest, ImportExportAndThumb)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Imports"}).out.trimmed();
    QDir().mkpath(home.path() + "/in/deeper");
    auto write = [&](const QString &name, const QByteArray &content) {
        QFile f(home.path() + "/in/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return f.fileName();
    };
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    picture.save(home.path() + "/in/a.jpg");
    picture.save(home.path() + "/in/deeper/b.png");
    write("broken.png", "\x89PNG\r\n\x1a\n but nothing more");
    write("empty.mp3", "");
    // A metafile, read while other results are printed: none of them may go astray.
    write("drawing.wmf", fixtures::placeableWmf(1440, 720));
    write("clip.avi", fixtures::mjpegAvi(160, 96, {Qt::red, Qt::blue}));

    // Without --recursive a directory is skipped; every skip is a line with its reason, exit 2.
    Result r = vkctl({"import", folder, home.path() + "/in/a.jpg", home.path() + "/in/deeper"});
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    const QStringList first = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(first.size(), 1);
    EXPECT_TRUE(r.err.contains("skipped " + home.path() + "/in/deeper: a directory")) << r.err.toStdString();

    r = vkctl({"import", folder, home.path() + "/in", "--recursive", "--external"});
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    const QStringList oids = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(oids.size(), 4); // a.jpg, clip.avi, deeper/b.png, drawing.wmf
    EXPECT_EQ(r.err.count("skipped "), 2) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 2) << r.err.toStdString(); // nothing but the skips
    EXPECT_TRUE(r.err.contains("empty.mp3: the file is empty")) << r.err.toStdString();

    // All imported: exit 0. The items list with their state.
    r = vkctl({"import", folder, home.path() + "/in/deeper/b.png", "--internal"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    const QString internalOid = r.out.trimmed();
    r = vkctl({"ls", folder});
    EXPECT_TRUE(r.out.contains(internalOid + "\t5\t")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\tb.png\t")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\tinternal\n"));

    // Export converts by the extension; a refused conversion is exit 1 and writes nothing.
    const QString bmp = home.path() + "/out.bmp";
    r = vkctl({"export", first[0], bmp});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QImage exported(bmp);
    EXPECT_EQ(exported.size(), QSize(300, 200));
    r = vkctl({"export", first[0], home.path() + "/out.ico"});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/out.ico"));

    // The stored thumbnail, written in the format the name asks for.
    r = vkctl({"thumb", internalOid, home.path() + "/thumb.png"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QImage thumb(home.path() + "/thumb.png");
    EXPECT_EQ(thumb.size(), QSize(120, 80));
    EXPECT_EQ(vkctl({"thumb", "123", home.path() + "/none.png"}).code, 1);
    // A video's thumbnail is its first frame.
    r = vkctl({"thumb", oids[1], home.path() + "/clip.jpg"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(home.path() + "/clip.jpg").size(), QSize(120, 72));
    EXPECT_EQ(vkctl({"import", "999", home.path() + "/in/a.jpg"}).code, 1);
}

// A camera picture (blue) whose EXIF thumbnail is magenta: the stored thumbnail shows which was read.
TEST_F(VkctlTest, ImportThumbnailsFromPreviewsUnlessToldNotTo)
{
    ASSERT_TRUE(fixtures::haveExiftool()) << "exiftool is missing (scripts/install-deps)";
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Camera"}).out.trimmed();
    const QString photo = home.path() + "/camera.jpg";
    ASSERT_TRUE(fixtures::writeJpegWithThumbnail(photo, fixtures::solid(400, 300, fixtures::Blue),
                                                 fixtures::qtEncoded(fixtures::solid(160, 120, Qt::magenta), "jpeg")));
    const QString settings = home.path() + "/config/Quorient/Vellumark.conf";
    const struct
    {
        QStringList options;
        bool previewsPreferred;
        QColor shown;
    } cases[] = {
        {{}, true, Qt::magenta},
        {{"--no-previews"}, true, fixtures::Blue},
        // The workspace's preference holds for vkctl too.
        {{}, false, fixtures::Blue},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString() + (c.previewsPreferred ? "" : " (preference cleared)"));
        {
            QSettings s(settings, QSettings::IniFormat);
            s.setValue("MediaManage/UseEmbeddedPreviews", c.previewsPreferred ? "1" : "0");
        }
        const Result r = vkctl(QStringList{"import", folder, photo, "--internal"} + c.options);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QString out = home.path() + QStringLiteral("/thumb%1.png").arg(++n);
        ASSERT_EQ(vkctl({"thumb", r.out.trimmed(), out}).code, 0);
        const QImage thumb(out);
        ASSERT_EQ(thumb.size(), QSize(120, 90));
        EXPECT_TRUE(fixtures::colourNear(thumb, 60, 45, c.shown, 40));
    }
}

// check names what is wrong with the files, one line each; --repair removes only orphan
// copies, never a user's file, and what it cannot mend keeps the exit code at 1.
TEST_F(VkctlTest, CheckNamesFileProblemsAndRepairRemovesOnlyOrphans)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folderDir = home.path() + "/data/Quorient/Vellumark/svkbook/folder";
    auto write = [](const QString &path, const QByteArray &content) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(content);
    };
    const QString picture = home.path() + "/pic.jpg";
    const QString linked = home.path() + "/linked.jpg";
    const QString keptLinked = home.path() + "/kept.jpg";
    write(picture, "JPEG");
    write(linked, "LINKED");
    write(keptLinked, "KEPT");
    auto sql = [this](const QStringList &args) {
        Result r = vkctl(QStringList{"--no-check", "sql"} + args);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return r.out.trimmed();
    };
    const QString gone =
        sql({"insert into MediaData (title, media) values (?, ?)", "--param", "gone", "--file", picture});
    sql({"insert into MediaData (title, media) values (?, ?)", "--param", "fine", "--file", picture});
    const QString lost =
        sql({"insert into MediaData (title, media) values (?, ?)", "--param", "lost", "--param", linked});
    sql({"insert into MediaData (title, media) values (?, ?)", "--param", "kept", "--param", keptLinked});
    const QString goneCopy = sql({"select filename(media) from MediaData where OID = ?", "--param", gone});
    ASSERT_TRUE(QFile::remove(goneCopy));
    ASSERT_TRUE(QFile::remove(linked));
    const QString orphan = folderDir + "/vk0123456789ab.jpg";
    write(orphan, "left by a crash");
    write(folderDir + "/notes.txt", "the user's own");

    Result r = vkctl({"check"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("missing: MediaData " + gone + " media " + goneCopy + "\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("lost: MediaData " + lost + " media " + linked + "\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("orphan: " + orphan + "\n")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("notes.txt"));
    EXPECT_TRUE(QFileInfo::exists(orphan)) << "a check alone changes nothing";

    r = vkctl({"check", "--repair"});
    EXPECT_EQ(r.code, 1) << "a missing copy and a lost file cannot be mended";
    EXPECT_TRUE(r.out.contains("removed: " + orphan + "\n")) << r.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(orphan));
    for (const QString &path : {picture, keptLinked, folderDir + "/notes.txt"})
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();

    sql({"delete from MediaData where OID = ? or OID = ?", "--param", gone, "--param", lost});
    r = vkctl({"check"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("orphan:"));
}

// A table page overwritten on disk: check reports the damage, --repair salvages every
// readable row and keeps the damaged file beside the rebuilt one.
TEST_F(VkctlTest, CheckRepairSalvagesADamagedTablePage)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    Result r = vkctl({"--no-check", "sql",
                      "with recursive n(i) as (select 1 union all select i+1 from n where i < 3000) "
                      "insert into MediaData (FolderId, title) select 1, 'row number ' || i || ' ' || "
                      "replace(hex(zeroblob(100)), '0', 'x') from n"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString dir = home.path() + "/data/Quorient/Vellumark/svkbook";
    const QString db = dir + "/svkbook.db";
    QProcess shell;
    shell.start("sqlite3",
                {db, "pragma wal_checkpoint(truncate); select pageno from dbstat where name = 'MediaData' "
                     "and pagetype = 'leaf' order by pageno limit 1 offset 3;"});
    ASSERT_TRUE(shell.waitForFinished(30000));
    const QList<QByteArray> lines = shell.readAllStandardOutput().trimmed().split('\n');
    const int page = lines.last().toInt();
    ASSERT_GT(page, 1);
    {
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(qint64(page - 1) * 4096);
        f.write(QByteArray(4096, '\x5a'));
    }
    r = vkctl({"check"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("integrity: ")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("integrity: ok")) << r.out.toStdString();

    r = vkctl({"check", "--repair"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    const QRegularExpression kept(
        QStringLiteral("salvaged: MediaData (\\d+) rows kept, 1 damaged pages lost"));
    const QRegularExpressionMatch m = kept.match(r.out);
    ASSERT_TRUE(m.hasMatch()) << r.out.toStdString();
    const int rows = m.captured(1).toInt();
    EXPECT_GT(rows, 2950) << "one page holds a few rows";
    EXPECT_LT(rows, 3000);
    EXPECT_TRUE(r.out.contains("integrity: ok"));
    EXPECT_EQ(vkctl({"sql", "select count(*) from MediaData"}).out.trimmed().toInt(), rows);
    EXPECT_EQ(QDir(dir).entryList({"svkbook.db.damaged-*"}).size(), 1);
    // New rows go on after the salvaged ones.
    r = vkctl({"sql", "insert into MediaData (title) values ('after')"});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(vkctl({"sql", "select count(*) from MediaData where OID >= ?", "--param", r.out.trimmed()}).out,
              "1\n");
    EXPECT_EQ(vkctl({"check"}).code, 0);
}

// An export into a pipe or a device writes into it and leaves it what it is; "-" is
// standard output, in the format --format names.
TEST_F(VkctlTest, ExportWritesIntoPipesDevicesAndStandardOutput)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Pictures"}).out.trimmed();
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    const QString source = home.path() + "/pic.png";
    ASSERT_TRUE(picture.save(source));
    QFile original(source);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    Result r = vkctl({"import", folder, source});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString item = r.out.trimmed();

    // Standard output, byte for byte: the file as it is, or converted.
    auto exported = [this](const QStringList &args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CACHE_HOME", home.path() + "/cache");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VKCTL_PATH), QStringList{"export"} + args);
        p.waitForFinished(30000);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return p.readAllStandardOutput();
    };
    EXPECT_EQ(exported({item, "-"}), bytes);
    const QByteArray bmp = exported({item, "-", "--format", "bmp"});
    EXPECT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(QImage::fromData(bmp).size(), QSize(64, 48));
    EXPECT_EQ(vkctl({"export", item, "-", "--format", "doc"}).code, 2);

    // A pipe: read by another process while vkctl writes into it.
    const QString fifo = home.path() + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    QProcess reader;
    reader.start("cat", {fifo});
    ASSERT_TRUE(reader.waitForStarted());
    r = vkctl({"export", item, fifo});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_TRUE(reader.waitForFinished(30000));
    EXPECT_EQ(reader.readAllStandardOutput(), bytes);
    EXPECT_FALSE(QFileInfo(fifo).isFile()) << "the pipe is still a pipe";

    // A device: written into, never replaced by a plain file.
    r = vkctl({"export", item, "/dev/null"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    struct stat st
    {
    };
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

namespace {

// Pictures to import: one written, the rest copies of it.
QStringList manyPictures(const QString &dir, int count)
{
    QDir().mkpath(dir);
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkMagenta);
    const QString first = dir + "/p0000.png";
    picture.save(first);
    QStringList paths{first};
    for (int i = 1; i < count; ++i) {
        paths << dir + QStringLiteral("/p%1.png").arg(i, 4, 10, QLatin1Char('0'));
        QFile::copy(first, paths.last());
    }
    return paths;
}

// Waits until the process has printed its first line on standard output.
bool firstLine(QProcess &p)
{
    while (!p.canReadLine())
        if (!p.waitForReadyRead(30000))
            return false;
    return true;
}

QStringList lines(const QString &text)
{
    return text.split('\n', Qt::SkipEmptyParts);
}

constexpr uid_t Nobody = 65534;
constexpr int CannotBecomeNobody = 77;

} // namespace

// Every file or directory an import leaves out gets a line on stderr with its reason, and
// the exit code says some were skipped.
TEST_F(VkctlTest, ImportTellsEveryEntryItLeavesOut)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Imports"}).out.trimmed();
    const QString in = home.path() + "/in";
    manyPictures(in, 1);
    manyPictures(home.path() + "/outside", 1);
    const int fd = ::open((QFile::encodeName(in) + "/bad-\xff.png").constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "\x89PNG", 4), 4);
    ::close(fd);
    ASSERT_TRUE(QFile::link(home.path() + "/outside", in + "/elsewhere"));

    Result r = vkctl({"import", folder, in, in, "--recursive"});
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    EXPECT_EQ(lines(r.out).size(), 1);
    EXPECT_EQ(lines(r.err),
              QStringList({
                  "vkctl: skipped " + in + "/bad-\\xFF.png: its name is not valid in the locale's encoding",
                  "vkctl: skipped " + in + "/elsewhere: a link that leads out of " + in,
                  "vkctl: skipped " + in + ": already imported as " + in,
              }));
}

// What the person running vkctl may not read or write, tried as someone who may not (root
// may do everything): a directory that cannot be read is told and the rest imported; a
// file-object directory that cannot be written stops the import, and every file is told why.
TEST_F(VkctlTest, ImportTellsWhatItMayNotReadOrWrite)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Imports"}).out.trimmed();
    const QString in = home.path() + "/in";
    const QStringList pictures = manyPictures(in, 3);
    manyPictures(in + "/locked", 1);
    ASSERT_EQ(::chmod(QFile::encodeName(in + "/locked").constData(), 0), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        namespace fs = std::filesystem;
        const fs::path top(home.path().toStdString());
        ASSERT_EQ(::lchown(top.c_str(), Nobody, Nobody), 0);
        for (const fs::directory_entry &e : fs::recursive_directory_iterator(top))
            ASSERT_EQ(::lchown(e.path().c_str(), Nobody, Nobody), 0) << e.path();
    }
    auto asSomeoneElse = [this, root](const QStringList &args) {
        QProcess p;
        start(p, args, [root] {
            if (root && (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0))
                ::_exit(CannotBecomeNobody);
        });
        p.waitForFinished(30000);
        return Result{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                      QString::fromUtf8(p.readAllStandardError())};
    };

    Result r = asSomeoneElse({"import", folder, in, "--recursive"});
    if (r.code == CannotBecomeNobody)
        GTEST_SKIP() << "cannot run vkctl as another user";
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    EXPECT_EQ(lines(r.out).size(), 3);
    EXPECT_EQ(r.err, "vkctl: skipped " + in + "/locked: the directory cannot be read: Permission denied\n");

    const QString objects = home.path() + "/data/Quorient/Vellumark/svkbook/folder";
    ASSERT_EQ(::chmod(QFile::encodeName(objects).constData(), 0555), 0);
    r = asSomeoneElse(QStringList{"import", folder} + pictures);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    QStringList skipped;
    for (const QString &line : lines(r.err)) {
        if (!line.startsWith("vkctl: skipped "))
            continue;
        skipped << line.section(": ", 1, 1).mid(8);
        EXPECT_TRUE(
            line.endsWith("the file-object directory " + objects + " cannot be written: Permission denied"))
            << line.toStdString();
    }
    EXPECT_EQ(skipped, pictures) << r.err.toStdString();
    ASSERT_EQ(::chmod(QFile::encodeName(objects).constData(), 0755), 0);
    r = vkctl({"check"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
}

// SIGTERM ends an import as Ctrl-C does: the file in hand is finished, what was imported
// stays and nothing is left half-done (no copy without its row), exit 1; no scratch file is
// left in the work directory nor in the system's temporary one.
TEST_F(VkctlTest, SigtermEndsAnImportLikeCtrlC)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Imports"}).out.trimmed();
    const QStringList pictures = manyPictures(home.path() + "/many", 1500);
    const QString systemTemp = home.path() + "/system-tmp";
    QDir().mkpath(systemTemp);

    QProcessEnvironment env = environment();
    env.insert("TMPDIR", systemTemp);
    QProcess import;
    import.setProcessEnvironment(env);
    import.start(QStringLiteral(VKCTL_PATH), QStringList{"import", folder} + pictures);
    ASSERT_TRUE(firstLine(import));
    ASSERT_EQ(::kill(pid_t(import.processId()), SIGTERM), 0);
    ASSERT_TRUE(import.waitForFinished(60000));
    EXPECT_EQ(import.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(import.exitCode(), 1);
    const QStringList printed = lines(QString::fromUtf8(import.readAllStandardOutput()));
    const QString err = QString::fromUtf8(import.readAllStandardError());
    EXPECT_EQ(err, QStringLiteral("vkctl: import cancelled after %1 files\n").arg(printed.size()));
    EXPECT_LT(printed.size(), pictures.size());

    QStringList listed;
    for (const QString &line : lines(vkctl({"ls", folder}).out))
        listed << line.section('\t', 0, 0);
    EXPECT_EQ(listed, printed);
    Result r = vkctl({"check"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_EQ(r.out, "integrity: ok\n");
    EXPECT_EQ(QDir(systemTemp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
    EXPECT_EQ(QDir(home.path() + "/cache/Quorient/Vellumark/tmp").entryList({"vkctl-*"}, QDir::AllEntries),
              QStringList());
}

// A killed import leaves its work directory behind; the next import clears it, and an import
// starting while another runs leaves the running one's alone (every item it imports still
// gets its thumbnail).
TEST_F(VkctlTest, TheNextImportClearsWhatAKilledOneLeft)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Imports"}).out.trimmed();
    const QStringList pictures = manyPictures(home.path() + "/many", 600);
    const QDir work(home.path() + "/cache/Quorient/Vellumark/tmp");
    auto runDirectories = [&] { return work.entryList({"vkctl-*"}, QDir::AllEntries); };

    QProcess killed;
    start(killed, QStringList{"import", folder} + pictures);
    ASSERT_TRUE(firstLine(killed));
    ASSERT_EQ(::kill(pid_t(killed.processId()), SIGKILL), 0);
    ASSERT_TRUE(killed.waitForFinished(30000));
    const QStringList left = runDirectories();
    ASSERT_EQ(left.size(), 1);

    QProcess running;
    start(running, QStringList{"import", folder} + pictures);
    ASSERT_TRUE(firstLine(running));
    EXPECT_FALSE(runDirectories().contains(left.first()));
    Result r = vkctl({"import", folder, pictures.first()});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_TRUE(running.waitForFinished(60000));
    EXPECT_EQ(running.exitCode(), 0) << running.readAllStandardError().toStdString();
    EXPECT_EQ(lines(QString::fromUtf8(running.readAllStandardOutput())).size(), pictures.size());
    EXPECT_EQ(vkctl({"sql", "select count(*) from MediaData where MediaNail is null"}).out, "0\n");
    EXPECT_EQ(runDirectories(), QStringList());
}

// Two imports into one folder at once, each working out positions from what it loaded:
// every item still gets a place of its own.
TEST_F(VkctlTest, TwoImportsIntoOneFolderGiveEveryItemItsOwnPlace)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Shared"}).out.trimmed();
    const QStringList first = manyPictures(home.path() + "/first", 40);
    const QStringList second = manyPictures(home.path() + "/second", 40);
    QProcess a, b;
    for (QProcess *p : {&a, &b})
        p->setProcessEnvironment(environment());
    a.start(QStringLiteral(VKCTL_PATH), QStringList{"import", folder} + first);
    b.start(QStringLiteral(VKCTL_PATH), QStringList{"import", folder} + second);
    ASSERT_TRUE(a.waitForFinished(120000));
    ASSERT_TRUE(b.waitForFinished(120000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    QSet<QString> places;
    const QStringList listed = lines(vkctl({"ls", folder}).out);
    for (const QString &line : listed)
        places.insert(line.section('\t', 2, 2));
    EXPECT_EQ(listed.size(), 80);
    EXPECT_EQ(places.size(), 80);
}

TEST_F(VkctlTest, ClearBooksComeBackIdenticalThroughJsonCopiesAndRestarts)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Pictures"}).out.trimmed();
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(home.path() + "/library.png"));
    ASSERT_TRUE(picture.save(home.path() + "/back.png"));
    Result r = vkctl({"import", folder, home.path() + "/library.png", "--internal"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString item = r.out.trimmed();
    QFile sound(home.path() + "/sound.wav");
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
    sound.write(QByteArray(4000, 'w'));
    sound.close();
    QFile clip(home.path() + "/clip.avi");
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    clip.write(fixtures::mjpegAvi(32, 32, {Qt::red}));
    clip.close();

    // Every kind of object, three slides, links, ending actions, flags and media of all three sorts.
    const QString font = "Font_Name=Sans\\r\\nFont_Size=18\\r\\nFont_Color=0\\r\\nFont_Style=0,2,\\r\\n";
    const QString shape = "PenColor=clRed\\r\\nBrushColor=$00FF8000\\r\\nPenStyle=1\\r\\nBrushStyle=6\\r\\n"
                          "PenWidth=3\\r\\nDisableFlag=False\\r\\nWithTouch=True\\r\\nArrow=3\\r\\n";
    const QString json = QString(R"({"vellumark": "clearbook", "version": 1, "title": "Tour", "author": "Ann",
      "description": "three pages\nof everything",
      "slides": [
        {"title": "Welcome", "author": "Ann", "description": "first", "color": "clNavy", "gradient": 1,
         "background": {"file": "%1/back.png"}, "backgroundStyle": "1", "ending": "sequence",
         "objects": [
           {"kind": 5, "title": "library.png", "media": {"library": "%2"}, "left": 0, "top": 0,
            "width": 400, "height": 300, "barLeft": 0, "barWidth": 1200, "properties": "DisableFlag=False\r\n"},
           {"kind": 101, "title": "sound.wav", "media": {"file": "%1/sound.wav"}, "barLeft": 100, "barWidth": 300},
           {"kind": 201, "title": "clip.avi", "media": {"link": "%1/clip.avi"}, "designOrder": 0},
           {"kind": 410, "title": "Text", "caption": "Hello\tworld", "properties": "%3Transparent=True\r\nColor=16777215\r\nDisableFlag=False\r\n"},
           {"kind": 420, "title": "Button", "caption": "Next", "link": {"slide": 2},
            "properties": "%3DisableFlag=True\r\n"}
         ],
         "flags": [{"id": 1, "startTime": 500, "name": "loop", "type": 1, "loopEnd": 900, "jumpTo": "",
                    "activeType": 0, "timeAssociated": 0}]},
        {"title": "Shapes", "ending": "repeat",
         "objects": [
           {"kind": 430, "title": "Memo", "text": "memo line 1\nmemo line 2", "properties": "%3Color=65535\r\nDisableFlag=False\r\n"},
           {"kind": 451, "title": "Rectangle", "properties": "%4"},
           {"kind": 452, "title": "Round Rectangle", "properties": "%4"},
           {"kind": 453, "title": "Ellipse", "properties": "%4", "link": "replay"},
           {"kind": 454, "title": "Line", "properties": "%4"},
           {"kind": 455, "title": "Line", "properties": "%4"},
           {"kind": 456, "title": "Polygon",
            "properties": "3\r\n1.000\r\n2.000\r\n30.000\r\n4.000\r\n5.500\r\n60.000\r\nFalse\r\n1\r\nclBlack\r\nclBlack\r\n0\r\n1\r\n0\r\nFalse\r\n"}
         ]},
        {"title": "End", "ending": {"slide": 0}}
      ]})")
                             .arg(home.path(), item, font, shape);
    QFile file(home.path() + "/tour.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(json.toUtf8());
    file.close();

    r = vkctl({"book", "import-json", file.fileName()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString book = r.out.trimmed();
    EXPECT_EQ(book.size(), 18);
    const Result shown = vkctl({"book", "show", "Tour"});
    ASSERT_EQ(shown.code, 0) << shown.err.toStdString();
    const QStringList lines = shown.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.filter(QRegularExpression("^slide\t")).size(), 3);
    EXPECT_EQ(lines.filter(QRegularExpression("^object\t")).size(), 12);
    EXPECT_EQ(lines.filter(QRegularExpression("^flag\t")).size(), 1);
    EXPECT_TRUE(shown.out.contains("Hello\\tworld"));
    EXPECT_TRUE(shown.out.contains("media library " + item));
    EXPECT_TRUE(shown.out.contains("media stored 4000 bytes"));
    EXPECT_TRUE(shown.out.contains("media linked " + home.path() + "/clip.avi"));
    EXPECT_TRUE(shown.out.contains("text memo line 1\\nmemo line 2"));
    EXPECT_TRUE(shown.out.contains("link slide 3"));
    EXPECT_TRUE(shown.out.contains("ending jump slide 1"));
    EXPECT_TRUE(shown.out.contains("disabled yes"));
    EXPECT_TRUE(shown.out.contains("\tslide\t1\tWelcome") || lines.value(1).startsWith("slide\t1\tWelcome"));

    // Another run of the program sees the same.
    EXPECT_EQ(vkctl({"book", "show", book}).out, shown.out);
    r = vkctl({"book", "ls"});
    EXPECT_TRUE(r.out.startsWith("book\t" + book + "\t")) << r.out.toStdString();

    // Exported and imported again, and copied: each lists alike.
    r = vkctl({"book", "export-json", book, home.path() + "/out.json"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = vkctl({"book", "import-json", home.path() + "/out.json"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString again = r.out.trimmed();
    EXPECT_EQ(vkctl({"book", "show", again}).out, shown.out);
    r = vkctl({"book", "show", "Tour"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(book) && r.err.contains(again)) << r.err.toStdString();
    r = vkctl({"book", "cp", book, "--title", "Tour"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString copy = r.out.trimmed();
    EXPECT_EQ(vkctl({"book", "show", copy}).out, shown.out);

    // Deleting them keeps what others hold: the library's picture stays until the last goes.
    const QString stored = vkctl({"sql", "select filename(media) from MediaData"}).out.trimmed();
    for (const QString &b : {book, again, copy})
        ASSERT_EQ(vkctl({"book", "rm", b}).code, 0);
    EXPECT_EQ(vkctl({"sql", "select count(*) from Object_Table"}).out, "0\n");
    EXPECT_EQ(vkctl({"sql", "select count(*) from Flag_Table"}).out, "0\n");
    EXPECT_TRUE(QFile::exists(stored));
    EXPECT_TRUE(QFile::exists(home.path() + "/clip.avi"));
    r = vkctl({"check"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    // The library item's picture and thumbnail; the slides' own copies are gone.
    EXPECT_EQ(vkctl({"sql", "select count(*) from SYSFILEOBJ where FILE_TYPE='00'x"}).out, "2\n");

    EXPECT_EQ(vkctl({"book", "frobnicate"}).code, 2);
    EXPECT_EQ(vkctl({"book", "show"}).code, 2);
}

TEST_F(VkctlTest, BookPlayTracesEveryFlagKindTickForTick)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    QFile sound(home.path() + "/sound.wav");
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
    sound.write(QByteArray(4000, 'w'));
    sound.close();
    // Slide 1: a counted loop with a label in it, a delay, a jump over a stretch to its label,
    // a pause, and "next" at its end. Slide 2: a time-limited loop and a stop.
    const QString flag =
        R"({"id": %1, "startTime": %2, "name": "%3", "type": %4, "loopEnd": %5, "jumpTo": "%6",
                             "activeType": %7, "timeAssociated": %8})";
    const QString json =
        QString(R"({"vellumark": "clearbook", "version": 1, "title": "Timing", "author": "Ann",
      "slides": [
        {"title": "Intro", "ending": "sequence",
         "objects": [
           {"kind": 451, "title": "Box", "barLeft": 0, "barWidth": 300},
           {"kind": 101, "title": "sound.wav", "media": {"file": "%1/sound.wav"}, "barLeft": 100, "barWidth": 200},
           {"kind": 410, "title": "Caption", "caption": "Hi", "barLeft": 200, "barWidth": 400}],
         "flags": [%2, %3, %4, %5, %6, %7]},
        {"title": "Outro", "ending": "pause",
         "objects": [{"kind": 453, "title": "Dot", "barLeft": 0, "barWidth": 300}],
         "flags": [%8, %9]}]})")
            .arg(home.path(), flag.arg(1).arg(100).arg("L").arg(0).arg(200).arg("").arg(1).arg(1),
                 flag.arg(2).arg(150).arg("Mid").arg(2).arg(0).arg("").arg(0).arg(0),
                 flag.arg(3).arg(250).arg("D").arg(3).arg(0).arg("").arg(0).arg(50),
                 flag.arg(4).arg(350).arg("J").arg(1).arg(0).arg("Lab").arg(0).arg(0),
                 flag.arg(5).arg(450).arg("Lab").arg(2).arg(0).arg("").arg(0).arg(0),
                 flag.arg(6).arg(500).arg("P").arg(5).arg(0).arg("").arg(0).arg(0),
                 flag.arg(1).arg(0).arg("T").arg(0).arg(100).arg("").arg(0).arg(250),
                 flag.arg(2).arg(200).arg("S").arg(4).arg(0).arg("").arg(0).arg(0));
    QFile file(home.path() + "/timing.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(json.toUtf8());
    file.close();
    Result r = vkctl({"book", "import-json", file.fileName()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();

    r = vkctl({"book", "play", "Timing", "--trace"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    // The play ticks come every 100 ms, the first reading 0: an entry is passed on the first
    // tick whose clock is past its time.
    EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts), QStringList({
                                                         "0\t0\tbook\tTiming",
                                                         "0\t0\tslide\t1\tIntro",
                                                         "0\t0\tshow\t1\tBox",
                                                         "1100\t110\tmedia-play\t2\tsound.wav\t0",
                                                         "1100\t110\tloop\tL\tcount 1",
                                                         "1600\t160\tlabel\tMid",
                                                         "2100\t210\tshow\t3\tCaption",
                                                         "2100\t210\tloop-again\tL\tleft 0",
                                                         "2100\t210\thide\t3\tCaption",
                                                         "2100\t210\tmedia-play\t2\tsound.wav\t0",
                                                         "2700\t160\tlabel\tMid",
                                                         "3200\t210\tshow\t3\tCaption",
                                                         "3200\t210\tloop-out\tL",
                                                         "3700\t260\tdelay\tD\t50",
                                                         "3700\t260\tmedia-pause\t2\tsound.wav",
                                                         "4200\t260\tmedia-play\t2\tsound.wav\t1600",
                                                         "4200\t260\tdelay-end\tD",
                                                         "4700\t310\thide\t1\tBox",
                                                         "4700\t310\tmedia-stop\t2\tsound.wav",
                                                         "5200\t360\tjump\tJ\tLab",
                                                         "5800\t510\tpause\tP\tclick",
                                                         "6800\t510\tresume",
                                                         "7700\t600\tend",
                                                         "7700\t600\tlink\tnext",
                                                         "7700\t600\thide\t3\tCaption",
                                                         "7700\t0\tslide\t2\tOutro",
                                                         "7700\t0\tshow\t1\tDot",
                                                         "7900\t20\tloop\tT\tlimit 250",
                                                         "8800\t110\tloop-again\tT",
                                                         "9900\t110\tloop-again\tT",
                                                         "10400\t50\tloop-expired\tT",
                                                         "11500\t210\tstop\tS",
                                                     }));

    // A shorter wait at the pause moves all that follows; a limit ends a play that would go on.
    r = vkctl({"book", "play", "Timing", "--trace", "--resume-after", "0.5"});
    EXPECT_TRUE(r.out.contains("6300\t510\tresume\n7200\t600\tend\n")) << r.out.toStdString();
    r = vkctl({"book", "play", "Timing", "--slide", "2", "--trace", "--limit", "1.5"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith("1100\t110\tloop-again\tT\n1500\t40\tlimit\n")) << r.out.toStdString();

    EXPECT_EQ(vkctl({"book", "play", "Timing"}).code, 2);
    EXPECT_EQ(vkctl({"book", "play", "Timing", "--trace", "--limit", "0"}).code, 2);
    r = vkctl({"book", "play", "Timing", "--trace", "--slide", "3"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("there is no slide 3")) << r.err.toStdString();
}

// A slide drawn as the player shows it at a time, on a screen of the asked size.
TEST_F(VkctlTest, BookRenderDrawsASlideAsItShowsAtATime)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    QFile file(home.path() + "/tour.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // A red slide; a box from 1 s to 6 s at (100, 100), 200 × 150.
    file.write(R"({"vellumark": "clearbook", "version": 1, "title": "Tour",
      "slides": [{"title": "Intro", "color": "255", "objects": [
        {"kind": 451, "title": "Box", "barLeft": 100, "barWidth": 500,
         "left": 100, "top": 100, "width": 200, "height": 150}]}]})");
    file.close();
    ASSERT_EQ(vkctl({"book", "import-json", file.fileName()}).code, 0);
    const QString before = home.path() + "/before.png", during = home.path() + "/during.png";
    Result r = vkctl({"book", "render", "Tour", "--slide", "1", before});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = vkctl({"book", "render", "Tour", "--slide", "1", "--at", "200", during, "--size", "800x600"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QImage a(before), b(during);
    EXPECT_EQ(a.size(), QSize(1024, 768)) << "the screen it is drawn for by default";
    EXPECT_EQ(b.size(), QSize(800, 600));
    EXPECT_EQ(a.pixelColor(200, 175), QColor(Qt::red)) << "the box is not there at 0";
    EXPECT_NE(b.pixelColor(200, 175), QColor(Qt::red)) << "at 2 s it is";
    EXPECT_EQ(b.pixelColor(50, 50), QColor(Qt::red));
    EXPECT_EQ(b.pixelColor(500, 400), QColor(Qt::red));

    // On a screen twice as large the slide is twice as large: the box spans 200..600 × 200..500.
    const QString large = home.path() + "/large.png";
    r = vkctl({"book", "render", "Tour", "--slide", "1", "--at", "200", large, "--size", "1600x1200"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QImage c(large);
    EXPECT_EQ(c.size(), QSize(1600, 1200));
    EXPECT_NE(c.pixelColor(500, 400), QColor(Qt::red)) << "the box grows with the screen";
    EXPECT_EQ(c.pixelColor(150, 150), QColor(Qt::red));
    EXPECT_EQ(c.pixelColor(700, 600), QColor(Qt::red));

    struct Case
    {
        QStringList args;
        int code;
    } cases[] = {
        {{"--slide", "2", during}, 1},
        {{during}, 2},
        {{"--slide", "1", "--at", "-5", during}, 2},
        {{"--slide", "1", "--size", "0x600", during}, 2},
        {{"--slide", "1", "--size", "800", during}, 2},
        {{"--slide", "1", home.path() + "/no/such/dir/x.png"}, 1},
        // Never among the library's stored copies, where it could take one's place.
        {{"--slide", "1", home.path() + "/data/Quorient/Vellumark/svkbook/folder/x.png"}, 1},
    };
    const QString objects = home.path() + "/data/Quorient/Vellumark/svkbook/folder";
    ASSERT_TRUE(QDir().mkpath(objects));
    for (const Case &k : cases) {
        r = vkctl(QStringList{"book", "render", "Tour"} + k.args);
        EXPECT_EQ(r.code, k.code) << k.args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_TRUE(r.err.contains("lies in the library's own file-object directory")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(objects + "/x.png"));
    EXPECT_EQ(QImage(during).size(), QSize(800, 600)) << "a refused render leaves the file as it was";
}

// Flags and bars set from the command line, as the timeline table and the flag dialogs set them:
// what the slide's model accepts is stored, listed, shown and played; what it refuses is told
// with the model's own text and changes nothing.
TEST_F(VkctlTest, BookFlagsAndBarsGoThroughTheSlidesOwnRules)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    QFile file(home.path() + "/tour.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"vellumark": "clearbook", "version": 1, "title": "Tour", "author": "Ann",
      "slides": [
        {"title": "Intro", "objects": [
           {"kind": 451, "title": "Box", "barLeft": 0, "barWidth": 600},
           {"kind": 410, "title": "Caption", "caption": "Hi", "barLeft": 200, "barWidth": 400}]},
        {"title": "Empty"}]})");
    file.close();
    Result r = vkctl({"book", "import-json", file.fileName()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    auto add = [this](const QStringList &args) {
        return vkctl(QStringList{"book", "flag", "add", "Tour", "--slide", "1"} + args);
    };
    auto flags = [this] { return vkctl({"book", "flag", "ls", "Tour", "--slide", "1"}).out; };

    // A loop comes with its end; each addition prints what was stored. Without a name a flag
    // is named by its kind and the next free number.
    r = add({"--kind", "loop", "--time", "100", "--end", "300", "--times", "1"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "loop\t100\tLoop1\tend 300\ttimes 1\nloop-end\t300\tLoop1(End)\tstart 100\n");
    const QString awkward = "Say \"hi\"\tthere\nnow";
    for (const QStringList &args : {QStringList{"--kind", "label", "--time", "400", "--name", "Lab"},
                                    QStringList{"--kind", "jump", "--time", "350", "--to", "Lab"},
                                    QStringList{"--kind", "delay", "--time", "500", "--hold", "50"},
                                    QStringList{"--kind", "pause", "--time", "550", "--key"},
                                    QStringList{"--kind", "label", "--time", "600", "--name", awkward}}) {
        r = add(args);
        EXPECT_EQ(r.code, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.out.count('\n'), 1) << r.out.toStdString();
    }
    const QString listed = "loop\t100\tLoop1\tend 300\ttimes 1\n"
                           "loop-end\t300\tLoop1(End)\tstart 100\n"
                           "jump\t350\tJump4\tto Lab\n"
                           "label\t400\tLab\n"
                           "delay\t500\tDelay5\thold 50\n"
                           "pause\t550\tPause6\tresume key\n"
                           "label\t600\tSay \"hi\"\\tthere\\nnow\n";
    EXPECT_EQ(flags(), listed);
    r = vkctl({"book", "flag", "ls", "Tour", "--slide", "1", "--json"});
    const QJsonArray json = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(json.size(), 7) << r.out.toStdString();
    EXPECT_EQ(json[0].toObject(),
              QJsonObject({{"kind", "loop"}, {"time", 100}, {"name", "Loop1"}, {"end", 300}, {"times", 1}}));
    EXPECT_EQ(json[6].toObject()["name"].toString(), awkward);
    EXPECT_EQ(vkctl({"book", "flag", "ls", "Tour", "--slide", "2"}).out, "");

    // book show lists the stored rows, and the play follows them.
    r = vkctl({"book", "show", "Tour"});
    EXPECT_TRUE(r.out.contains("flag\t1\tid 1\tstartTime 100\tname Loop1\ttype 0\tloopEnd 300\tjumpTo \t"
                               "activeType 1\ttimeAssociated 1\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\tname Jump4\ttype 1\tloopEnd 0\tjumpTo Lab\t")) << r.out.toStdString();
    r = vkctl({"book", "play", "Tour", "--trace", "--resume-after", "0.5"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    for (const char *event : {"\tloop\tLoop1\tcount 1\n", "\tloop-out\tLoop1\n", "\tjump\tJump4\tLab\n",
                              "\tdelay\tDelay5\t50\n", "\tpause\tPause6\tkey\n"})
        EXPECT_TRUE(r.out.contains(event)) << event << "\n" << r.out.toStdString();

    // The model's refusals, each with its own text, and nothing stored.
    struct Refusal
    {
        QStringList args;
        const char *text;
    };
    const Refusal refusals[] = {
        {{"--kind", "label", "--time", "10", "--name", "Lab"}, "Duplicated Flag Name"},
        {{"--kind", "label", "--time", "10", "--name", "Loop1(End)"}, "Duplicated Flag Name"},
        {{"--kind", "delay", "--time", "601"}, "Exceed MaxTime"},
        {{"--kind", "loop", "--time", "420", "--end", "601", "--times", "1"}, "Exceed MaxTime"},
        {{"--kind", "jump", "--time", "10"}, "No Jump Destination"},
        {{"--kind", "jump", "--time", "10", "--to", "Nowhere"}, "No Jump Destination"},
        {{"--kind", "jump", "--time", "10", "--to", "Delay5"}, "No Jump Destination"},
        {{"--kind", "jump", "--time", "150", "--to", "Lab"}, "Jump to Loop in error"},
        {{"--kind", "loop", "--time", "300", "--end", "200", "--times", "1"},
         "loopstart must less than loopEnd"},
        {{"--kind", "loop", "--time", "420", "--end", "480", "--limit", "59"}, "less than one loop"},
        {{"--kind", "loop", "--time", "420", "--end", "480", "--times", "0"}, "loop time too small"},
        {{"--kind", "loop", "--time", "200", "--end", "400", "--times", "1"}, "Loop Cross Error"},
        {{"--kind", "loop", "--time", "320", "--end", "380", "--limit", "60"}, "Jump to Loop in error"},
    };
    for (const Refusal &k : refusals) {
        r = add(k.args);
        EXPECT_EQ(r.code, 1) << k.args.join(' ').toStdString();
        EXPECT_EQ(r.err, QStringLiteral("vkctl: %1\n").arg(k.text)) << k.args.join(' ').toStdString();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(flags(), listed);

    // A loop goes with its end, whichever is named; what went is printed.
    r = vkctl({"book", "flag", "rm", "Tour", "--slide", "1", "Loop1(End)"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "loop\t100\tLoop1\tend 300\ttimes 1\nloop-end\t300\tLoop1(End)\tstart 100\n");
    r = vkctl({"book", "flag", "rm", "Tour", "--slide", "1", awkward});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(flags(), "jump\t350\tJump4\tto Lab\nlabel\t400\tLab\ndelay\t500\tDelay5\thold 50\n"
                       "pause\t550\tPause6\tresume key\n");
    EXPECT_EQ(vkctl({"sql", "select count(*) from Flag_Table"}).out, "4\n");
    // Without the loop in the way, the jump that was refused is taken.
    EXPECT_EQ(add({"--kind", "jump", "--time", "150", "--to", "Lab", "--name", "Early"}).code, 0);

    // Bars as the time boxes set them: a start keeps the end, a typed length is at least 50.
    struct Bar
    {
        QStringList args;
        const char *printed;
    };
    const Bar bars[] = {
        {{"2", "--start", "250", "--length", "20"}, "object\t1\t2\tbar 250+50\n"},
        {{"1", "--start", "100"}, "object\t1\t1\tbar 100+500\n"},
        {{"1", "--end", "120"}, "object\t1\t1\tbar 100+50\n"},
        {{"1", "--length", "700"}, "object\t1\t1\tbar 100+700\n"},
        {{"1", "--length", "700"}, "object\t1\t1\tbar 100+700\n"},
    };
    for (const Bar &k : bars) {
        r = vkctl(QStringList{"book", "bar", "Tour", "--slide", "1"} + k.args);
        EXPECT_EQ(r.code, 0) << k.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.out, k.printed) << k.args.join(' ').toStdString();
    }
    r = vkctl({"book", "show", "Tour"});
    EXPECT_TRUE(r.out.contains("\tbar 100+700\t") && r.out.contains("\tbar 250+50\t")) << r.out.toStdString();
    // The slide is longer now: a flag where there was no timeline before is taken.
    EXPECT_EQ(add({"--kind", "stop", "--time", "790"}).out, "stop\t790\tStop6\n");
    r = vkctl({"book", "play", "Tour", "--trace", "--resume-after", "0.5"});
    EXPECT_TRUE(r.out.contains("\tjump\tEarly\tLab\n") && r.out.endsWith("\tstop\tStop6\n"))
        << r.out.toStdString();

    // What cannot be found fails (1); what cannot be meant is a usage error (2). Neither
    // changes anything.
    const QString shown = vkctl({"book", "show", "Tour"}).out;
    struct Wrong
    {
        QStringList args;
        int code;
        const char *message;
    };
    const Wrong wrongs[] = {
        {{"flag", "ls", "Nope", "--slide", "1"}, 1, "there is no ClearBook Nope"},
        {{"flag", "add", "Tour", "--slide", "3", "--kind", "stop", "--time", "1"}, 1, "there is no slide 3"},
        {{"flag", "rm", "Tour", "--slide", "1", "Nope"}, 1, "slide 1 of Tour has no flag Nope"},
        {{"bar", "Tour", "--slide", "1", "9", "--start", "1"}, 1, "there is no object 9"},
        {{"bar", "Tour", "--slide", "2", "1", "--start", "1"}, 1, "there is no object 1"},
        {{"bar", "Tour", "--slide", "1", "Box", "--start", "1"}, 2, "OBJECT is an object's number"},
        {{"bar", "Tour", "--slide", "1", "1"}, 2, "needs --start, --end or --length"},
        {{"bar", "Tour", "--slide", "1", "1", "--end", "5", "--length", "5"}, 2, "not both"},
        {{"bar", "Tour", "--slide", "1", "1", "--start", "-1"}, 2, "--start takes a time in 1/100 s"},
        {{"bar", "Tour", "1", "--start", "1"}, 2, "book bar needs --slide N"},
        {{"flag", "add", "Tour", "--kind", "stop", "--time", "1"}, 2, "book flag needs --slide N"},
        {{"flag", "add", "Tour", "--slide", "0", "--kind", "stop", "--time", "1"}, 2, "--slide takes"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "stop"}, 2, "needs --time T"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "stop", "--time", "1e3"},
         2,
         "--time takes a time"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "stop", "--time", "99999999999"},
         2,
         "--time takes"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "end", "--time", "1"}, 2, "--kind is one of"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "loop-end", "--time", "1"}, 2, "--kind is one of"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "stop", "--time", "1", "--hold", "5"},
         2,
         "--hold is for a delay flag, not a stop"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "loop", "--time", "1"},
         2,
         "needs --times N or --limit T"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "loop", "--time", "1", "--times", "1", "--limit",
          "9"},
         2,
         "not both"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "label", "--time", "1", "--name", ""},
         2,
         "not empty"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "label", "--time", "1", "--name",
          QString(256, 'n')},
         2,
         "at most 255 characters"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "jump", "--time", "1", "--to", QString(256, 'n')},
         2,
         "at most 255 characters"},
        {{"flag", "add", "Tour", "--slide", "1", "--kind", "loop", "--time", "1", "--times", "-1"},
         2,
         "--times takes"},
        {{"flag", "ls", "Tour", "--slide", "1", "--kind", "stop"},
         2,
         "--kind is not an option of book flag ls"},
        {{"flag", "rm", "Tour", "--slide", "1"}, 2, "usage: vkctl book flag rm BOOK --slide N NAME"},
        {{"flag", "mv", "Tour", "--slide", "1"}, 2, "book flag takes ls, add or rm"},
    };
    for (const Wrong &k : wrongs) {
        r = vkctl(QStringList{"book"} + k.args);
        EXPECT_EQ(r.code, k.code) << k.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("vkctl: ")) && r.err.contains(k.message))
            << k.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(vkctl({"book", "show", "Tour"}).out, shown);

    // The group's help tells every refusal a change may meet.
    r = vkctl({"help", "book"});
    EXPECT_TRUE(r.out.contains("vkctl book flag ls|add|rm BOOK --slide N") &&
                r.out.contains("vkctl book bar BOOK"))
        << r.out.toStdString();
    for (const char *text :
         {"Duplicated Flag Name", "Exceed MaxTime", "loopstart must less than loopEnd", "less than one loop",
          "loop time too small", "Loop Cross Error", "Jump to Loop in error", "No Jump Destination"})
        EXPECT_TRUE(r.out.simplified().contains(QStringLiteral("\"%1\"").arg(text))) << text;
}

// book slide: slides reordered, moved and copied between ClearBooks, removed, and given a
// background, an ending action and a link, through the same rules as the authoring windows.
TEST_F(VkctlTest, BookSlidesAreMovedCopiedAndSetThroughTheModel)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    QFile file(home.path() + "/tour.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"vellumark": "clearbook", "version": 1, "title": "Tour", "slides": [
      {"title": "A", "objects": [{"kind": 420, "title": "Go", "caption": "Go", "barLeft": 0, "barWidth": 600}]},
      {"title": "B", "objects": []}, {"title": "C", "objects": []}]})");
    file.close();
    ASSERT_EQ(vkctl({"book", "import-json", file.fileName()}).code, 0);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"({"vellumark": "clearbook", "version": 1, "title": "Extras", "slides": [{"title": "X"}]})");
    file.close();
    ASSERT_EQ(vkctl({"book", "import-json", file.fileName()}).code, 0);
    auto slides = [this](const char *book) {
        QStringList out;
        for (const QString &line : vkctl({"book", "show", book}).out.split('\n'))
            if (line.startsWith("slide\t"))
                out << line.section('\t', 2, 2);
        return out.join(',');
    };

    Result r = vkctl({"book", "slide", "mv", "Tour", "--slide", "3", "--to", "1"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("slide\t1\tC\t")) << r.out.toStdString();
    EXPECT_EQ(slides("Tour"), "C,A,B");
    r = vkctl({"book", "slide", "set", "Tour", "--slide", "2", "--link", "1=next", "--color", "#000080",
               "--gradient", "on", "--ending", "Extras/1"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\tcolor clNavy\tgradient 1\t") && r.out.contains("\tending jump Extras / X"))
        << r.out.toStdString();
    EXPECT_TRUE(vkctl({"book", "show", "Tour"}).out.contains("\tlink next\t"));
    ASSERT_EQ(vkctl({"book", "slide", "cp", "Tour", "--slide", "2", "--into", "Extras"}).code, 0);
    EXPECT_EQ(slides("Extras"), "X,A");
    EXPECT_TRUE(vkctl({"book", "show", "Extras"}).out.contains("\tlink next\t")) << "the copy keeps its link";
    ASSERT_EQ(vkctl({"book", "slide", "mv", "Tour", "--slide", "1", "--into", "Extras", "--to", "1"}).code, 0);
    EXPECT_EQ(slides("Tour"), "A,B");
    EXPECT_EQ(slides("Extras"), "C,X,A");
    ASSERT_EQ(vkctl({"book", "slide", "rm", "Extras", "--slide", "1"}).code, 0);
    EXPECT_EQ(slides("Extras"), "X,A");

    const QString shown = vkctl({"book", "show", "Tour"}).out;
    QFile gif(home.path() + "/anim.gif");
    ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
    gif.write("GIF89a");
    gif.close();
    struct Wrong
    {
        QStringList args;
        int code;
        const char *message;
    };
    const Wrong wrongs[] = {
        {{"set", "Tour", "--slide", "1", "--picture", gif.fileName()}, 1, "This format is invalid for wallpaper!"},
        {{"set", "Tour", "--slide", "1", "--picture", home.path() + "/none.png"}, 1, "cannot be read"},
        {{"set", "Tour", "--slide", "1", "--title", QString(128, 't')}, 1, "at most 127 characters"},
        {{"set", "Tour", "--slide", "1", "--color", "plum-ish"}, 1, "is not a colour"},
        {{"set", "Tour", "--slide", "1", "--ending", "Extras/9"}, 1, "there is no slide 9"},
        {{"set", "Tour", "--slide", "1", "--link", "5=next"}, 1, "there is no object 5"},
        {{"set", "Tour", "--slide", "1", "--link", "next"}, 2, "--link takes OBJECT=TARGET"},
        {{"set", "Tour", "--slide", "1", "--style", "stretch"}, 2, "--style takes center, full or tile"},
        {{"mv", "Tour", "--slide", "1"}, 2, "needs --to M, --into BOOK2, or both"},
        {{"mv", "Tour", "--slide", "1", "--to", "3"}, 2, "--to takes a place from 1 to 2"},
        {{"cp", "Tour", "--slide", "1", "--title", "x"}, 2, "--title is not an option of book slide cp"},
        {{"swap", "Tour", "--slide", "1"}, 2, "book slide takes mv, cp, rm or set"},
        {{"rm", "Tour"}, 2, "needs --slide N"},
    };
    for (const Wrong &k : wrongs) {
        r = vkctl(QStringList{"book", "slide"} + k.args);
        EXPECT_EQ(r.code, k.code) << k.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(k.message)) << k.args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_EQ(vkctl({"book", "show", "Tour"}).out, shown) << "nothing changed";
    EXPECT_TRUE(vkctl({"help", "book"}).out.contains("vkctl book slide mv|cp|rm|set BOOK --slide N"));
}

// Each change reads the slide and stores it again: several programs changing one slide at once
// wait for each other, and none writes over what another stored meanwhile.
TEST_F(VkctlTest, FlagsAddedBySeveralProgramsAtOnceAreAllKept)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    QFile file(home.path() + "/tour.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"vellumark": "clearbook", "version": 1, "title": "Tour",
      "slides": [{"title": "Intro", "objects": [{"kind": 451, "title": "Box", "barLeft": 0, "barWidth": 600}]}]})");
    file.close();
    ASSERT_EQ(vkctl({"book", "import-json", file.fileName()}).code, 0);
    constexpr int Programs = 6;
    QProcess programs[Programs];
    for (int i = 0; i < Programs; ++i)
        start(programs[i], {"book", "flag", "add", "Tour", "--slide", "1", "--kind", "label", "--time",
                            QString::number(10 * i), "--name", QStringLiteral("L%1").arg(i)});
    QProcess bar;
    start(bar, {"book", "bar", "Tour", "--slide", "1", "1", "--length", "700"});
    QStringList stored;
    for (int i = 0; i < Programs; ++i) {
        ASSERT_TRUE(programs[i].waitForFinished(60000));
        // One that could not wait long enough fails and says so; one that succeeded is kept.
        if (programs[i].exitCode() == 0) {
            stored.append(QStringLiteral("L%1").arg(i));
        } else {
            EXPECT_FALSE(programs[i].readAllStandardError().isEmpty());
        }
    }
    EXPECT_FALSE(stored.isEmpty());
    QStringList listed;
    for (const QString &line :
         vkctl({"book", "flag", "ls", "Tour", "--slide", "1"}).out.split('\n', Qt::SkipEmptyParts))
        listed.append(line.section('\t', 2, 2));
    listed.sort();
    EXPECT_EQ(listed, stored);
    ASSERT_TRUE(bar.waitForFinished(60000));
    if (bar.exitCode() == 0) {
        EXPECT_TRUE(vkctl({"book", "show", "Tour"}).out.contains("\tbar 0+700\t"));
    }
}

TEST_F(VkctlTest, SearchPrintsTheMatchingMediaInOrder)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString trips = vkctl({"folder", "add", "Trips"}).out.trimmed();
    const QString day = vkctl({"folder", "add", "Day 1\\/2", "--parent", trips}).out.trimmed();
    QDir().mkpath(home.path() + "/in");
    auto write = [&](const QString &name) {
        QFile f(home.path() + "/in/" + name);
        f.open(QIODevice::WriteOnly);
        f.write("RIFF");
        return f.fileName();
    };
    const QString cat = vkctl({"import", trips, write("Cat's 100%.wav"), "--external"}).out.trimmed();
    const QString dog = vkctl({"import", day, write("dog.wav"), "--external"}).out.trimmed();
    const QString other = vkctl({"import", trips, write("Cats 1000.wav"), "--external"}).out.trimmed();
    ASSERT_EQ(cat.size(), 18);

    Result r = vkctl({"search", "--text", "cat's 100%"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, cat + "\n");
    r = vkctl({"search", "--text", "cat", "--case"});
    EXPECT_EQ(r.out, "");
    r = vkctl({"search", "--folder", "Trips/Day 1\\/2", "--type", "audio", "--summary"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Search Media are\n1) from Folder Day 1/2 and it's subfolder(s)\n"
                     "2) with Any Title or Description\n3) by Any Author\n4) case Not sensitive\n"
                     "5) 'Audio' Format\n6) about All KeyWords\n7) inserted on Any Date\n" +
                         dog + "\n");
    r = vkctl({"search", "--folder", trips, "--json"});
    EXPECT_TRUE(r.out.contains(cat) && r.out.contains(dog) && r.out.contains(other)) << r.out.toStdString();
    EXPECT_EQ(vkctl({"search", "--type", "image"}).out, "");

    EXPECT_EQ(vkctl({"search", "--folder", "Nowhere"}).code, 1);
    EXPECT_EQ(vkctl({"search", "--type", "pictures"}).code, 2);
    r = vkctl({"search", "--from", "2026-13-01"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("Date Format or Number is NOT Valid.")) << r.err.toStdString();
}

TEST_F(VkctlTest, SetWritesTheFieldsTheWayThePropertyDialogDoes)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Trips"}).out.trimmed();
    QFile wav(home.path() + "/sea.wav");
    ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
    wav.write("RIFF");
    wav.close();
    const QString item = vkctl({"import", folder, wav.fileName()}).out.trimmed();
    ASSERT_EQ(item.size(), 18);
    QFile description(home.path() + "/about.txt");
    ASSERT_TRUE(description.open(QIODevice::WriteOnly));
    description.write("Waves\nand \xce\xb6 gulls");
    description.close();
    auto stored = [&] {
        return vkctl({"sql", "select title, Author, InsertDate, description from MediaData where OID = ?",
                      "--param", item})
            .out;
    };

    Result r = vkctl({"set", item, "--title", "The sea", "--author", "Ann", "--date", "2019-07-14",
                      "--description-file", description.fileName()});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "");
    // A line break inside a value is written \n.
    const QString expected = QString::fromUtf8("The sea\tAnn\t2019-07-14\tWaves\\nand ζ gulls\n");
    EXPECT_EQ(stored(), expected);

    // A date that names no day is refused, and nothing given with it is written.
    r = vkctl({"set", item, "--title", "Lost", "--date", "2019-02-30"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("Date Format Error.")) << r.err.toStdString();
    EXPECT_EQ(stored(), expected);

    EXPECT_EQ(vkctl({"set", "000000000000999999", "--title", "x"}).code, 1);
    EXPECT_EQ(vkctl({"set", item, "--description-file", home.path() + "/missing.txt"}).code, 1);
    EXPECT_EQ(vkctl({"set", item}).code, 2);
    EXPECT_EQ(vkctl({"set", "--title", "x"}).code, 2);
    EXPECT_EQ(vkctl({"set", item, "--colour", "red"}).code, 2);
    EXPECT_EQ(vkctl({"set", item, "--title"}).code, 2);
    EXPECT_EQ(stored(), expected);
}

// A mistake on the command line is told in one line naming it, with a hint to --help, and exit
// 2; help and the version go to standard output with exit 0. None of it opens a data source.
TEST_F(VkctlTest, UsageErrorsNameWhatIsWrongAndExitTwo)
{
    struct Case
    {
        QStringList args;
        QString message; // the first line on stderr
        QString hint;    // in the second
    };
    const Case cases[] = {
        {{"bogus"}, "vkctl: unknown command 'bogus'", "vkctl --help"},
        {{"--bogus", "ls"}, "vkctl: unknown option '--bogus'", "vkctl --help"},
        {{}, "usage: vkctl", ""},
        {{"folder"}, "vkctl: folder needs a command: add, ls, rename, mv, cp, rm", "vkctl folder --help"},
        {{"folder", "bogus"}, "vkctl: unknown command 'folder bogus'", "vkctl folder --help"},
        {{"ls", "Trips", "--bogus"}, "vkctl: unknown option '--bogus' for ls", "vkctl ls --help"},
        {{"folder", "add", "x", "-q"},
         "vkctl: unknown option '-q' for folder add",
         "vkctl folder add --help"},
        {{"ls"}, "vkctl: missing arguments: vkctl ls FOLDER [--json]", "vkctl ls --help"},
        {{"ls", "a", "b"}, "vkctl: unexpected argument 'b' for ls", "vkctl ls --help"},
        {{"sql", "select 1", "--param"}, "vkctl: option '--param' needs a value", "vkctl sql --help"},
        {{"folder", "mv", "a"},
         "vkctl: folder mv takes one of --parent FOLDER and --root",
         "folder mv --help"},
        {{"folder", "add", "a", "--at", "-1"},
         "vkctl: --at takes a place from 0, not '-1'",
         "folder add --help"},
        {{"import", "a", "b", "--internal", "--external"},
         "vkctl: import takes one of --internal and --external",
         "vkctl import --help"},
        {{"mv", "000000000000001001"}, "vkctl: mv needs --to FOLDER", "vkctl mv --help"},
        {{"completion", "fish"},
         "vkctl: no completion for the shell 'fish' (bash or zsh)",
         "completion --help"},
        {{"help", "bogus"}, "vkctl: unknown command 'bogus'", "vkctl --help"},
    };
    for (const Case &c : cases) {
        const Result r = vkctl(c.args);
        const QStringList err = r.err.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(r.code, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.out, "") << c.args.join(' ').toStdString();
        EXPECT_TRUE(err.value(0).startsWith(c.message)) << r.err.toStdString();
        if (!c.hint.isEmpty()) {
            EXPECT_EQ(err.size(), 2) << r.err.toStdString();
            EXPECT_TRUE(err.value(1).contains(c.hint)) << r.err.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/data/Quorient/Vellumark/svkbook")) << "nothing was opened";

    const Case helps[] = {
        {{"--help"}, "usage: vkctl [--source NAME]", ""},
        {{"help"}, "usage: vkctl [--source NAME]", ""},
        {{"help", "folder", "add"}, "usage: vkctl folder add PATH", ""},
        {{"folder", "add", "--help"}, "usage: vkctl folder add PATH", ""},
        {{"folder", "add", "x", "-h"}, "usage: vkctl folder add PATH", ""},
        {{"folder", "--help"}, "usage: vkctl folder add|ls|rename|mv|cp|rm", ""},
        {{"help", "book"}, "usage: vkctl book ls|show|export-json|import-json|rm|cp|play", ""},
    };
    for (const Case &c : helps) {
        const Result r = vkctl(c.args);
        EXPECT_EQ(r.code, 0) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.startsWith(c.message)) << r.out.toStdString();
        EXPECT_EQ(r.err, "");
    }
    const Result version = vkctl({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(QRegularExpression("^vkctl \\d+\\.\\d+\\.\\d+\n$").match(version.out).hasMatch())
        << version.out.toStdString();
}

// Every command the overview lists has help of its own: its usage, its options and an example.
TEST_F(VkctlTest, EveryCommandHasHelpWithAnExample)
{
    const Result overview = vkctl({"--help"});
    ASSERT_EQ(overview.code, 0);
    const QString commands = overview.out.section("Commands:\n", 1).section("\n\n", 0, 0);
    QStringList names;
    for (const QString &line : commands.split('\n'))
        if (line.startsWith("  ") && line[2] != ' ')
            names << line.mid(2).section("  ", 0, 0).trimmed();
    EXPECT_GT(names.size(), 30) << commands.toStdString();
    for (const char *name : {"folder add", "ls", "info", "import", "set", "keyword tag", "book play"})
        EXPECT_TRUE(names.contains(name)) << name;
    for (const QString &name : names) {
        const Result r = vkctl(QStringList{"help"} + name.split(' '));
        EXPECT_EQ(r.code, 0) << name.toStdString();
        EXPECT_TRUE(r.out.startsWith("usage: vkctl " + name)) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains("\nOptions:\n") && r.out.contains("  -h, --help")) << r.out.toStdString();
        EXPECT_TRUE(
            r.out.contains(QRegularExpression("\nExamples?:\n  vkctl " + QRegularExpression::escape(name))) ||
            name == "completion")
            << r.out.toStdString();
    }
}

namespace {

// A title every escape has to take care of.
const QString Awkward = QStringLiteral("Say \"hi\"\tthere\nnow \\ done");
const QString AwkwardEscaped = QStringLiteral("Say \"hi\"\\tthere\\nnow \\\\ done");

QJsonDocument parsed(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError)
        << error.errorString().toStdString() << ": " << text.toStdString();
    return doc;
}

} // namespace

// Folders are named by OID or by title path wherever a folder is named, whether the command
// loads the whole tree (folder, search) or only the folders it names (ls, info, import, mv).
TEST_F(VkctlTest, FoldersAreNamedByOidOrTitlePath)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    Result r = vkctl({"folder", "add", "Holiday 2026/Day 1", "-p"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString day1 = r.out.trimmed();
    EXPECT_EQ(vkctl({"folder", "add", "Holiday 2026/Day 1", "-p"}).out.trimmed(), day1) << "already there";
    const QString holiday =
        vkctl({"sql", "select OID from Folder where Title = 'Holiday 2026'"}).out.trimmed();
    const QString slash = vkctl({"folder", "add", "Holiday 2026/AC\\/DC"}).out.trimmed();
    const QString back = vkctl({"folder", "add", "C:\\\\Photos"}).out.trimmed();
    const QString twin1 = vkctl({"folder", "add", "Twin"}).out.trimmed();
    const QString twin2 = vkctl({"folder", "add", "Twin"}).out.trimmed();
    const QString digits = vkctl({"folder", "add", "2026", "--parent", twin1}).out.trimmed();
    for (const QString &oid : {holiday, slash, back, twin1, twin2, digits})
        ASSERT_EQ(oid.size(), 18) << oid.toStdString();
    EXPECT_EQ(vkctl({"sql", "select Title from Folder where OID = ?", "--param", slash}).out, "AC/DC\n");
    EXPECT_EQ(vkctl({"sql", "select Title from Folder where OID = ?", "--param", back}).out,
              "C:\\\\Photos\n");

    r = vkctl({"folder", "add", "Nowhere/Day 1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("there is no folder Nowhere")) << r.err.toStdString();

    struct Case
    {
        QString name;
        QString oid;   // empty: not found
        QString error; // then the message names this
    };
    const Case cases[] = {
        {day1, day1, {}},
        {"Holiday 2026", holiday, {}},
        {"Holiday 2026/Day 1", day1, {}},
        {"Holiday 2026/AC\\/DC", slash, {}},
        {"C:\\\\Photos", back, {}},
        {"Holiday 2026/Day 2", {}, "there is no folder Holiday 2026/Day 2"},
        {"Holiday 2026/AC/DC", {}, "there is no folder Holiday 2026/AC/DC"},
        {"holiday 2026", {}, "there is no folder holiday 2026"},
        {"Twin", {}, "2 folders are at \"Twin\"; name one by its OID: " + twin1 + ", " + twin2},
        {"Twin/2026", digits, {}},
        {"000000000000999999", {}, "000000000000999999"},
    };
    for (const Case &c : cases) {
        // Only the folders named, from the Folder table.
        r = vkctl({"info", c.name, "--json"});
        EXPECT_EQ(r.code, c.oid.isEmpty() ? 1 : 0) << c.name.toStdString() << r.err.toStdString();
        if (!c.oid.isEmpty()) {
            EXPECT_EQ(parsed(r.out)["oid"].toString(), c.oid) << c.name.toStdString();
        } else {
            EXPECT_TRUE(r.err.contains(c.error)) << r.err.toStdString();
        }
        // The whole tree, as the workspace loads it.
        r = vkctl({"search", "--folder", c.name});
        EXPECT_EQ(r.code, c.oid.isEmpty() ? 1 : 0) << c.name.toStdString() << r.err.toStdString();
        if (c.oid.isEmpty() && c.name != "000000000000999999") {
            EXPECT_EQ(r.err, "vkctl: " + c.error + "\n");
        }
    }

    // List, import into and export from a folder by its path; move and copy by paths.
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkYellow);
    ASSERT_TRUE(picture.save(home.path() + "/beach.png"));
    r = vkctl({"import", "Holiday 2026/Day 1", home.path() + "/beach.png"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString item = r.out.trimmed();
    r = vkctl({"ls", "Holiday 2026/Day 1"});
    EXPECT_TRUE(r.out.startsWith(item + "\t5\t0\tbeach.png\t")) << r.out.toStdString();
    ASSERT_EQ(vkctl({"export", item, home.path() + "/out.bmp"}).code, 0);
    EXPECT_EQ(QImage(home.path() + "/out.bmp").size(), QSize(64, 48));
    EXPECT_EQ(vkctl({"mv", item, "--to", "Holiday 2026/AC\\/DC"}).code, 0);
    EXPECT_TRUE(vkctl({"ls", slash}).out.startsWith(item + "\t")) << "moved";
    EXPECT_EQ(vkctl({"folder", "mv", "Holiday 2026/AC\\/DC", "--parent", "Twin/2026"}).code, 0);
    EXPECT_EQ(vkctl({"ls", "Twin/2026/AC\\/DC"}).out.count('\n'), 1);
    EXPECT_EQ(vkctl({"folder", "rename", "Twin/2026", "Year/2026"}).code, 0);
    EXPECT_EQ(vkctl({"info", "Twin/Year\\/2026/AC\\/DC", "--json"}).code, 0);
    EXPECT_EQ(vkctl({"folder", "rm", "C:\\\\Photos"}).code, 0);
    EXPECT_EQ(vkctl({"ls", back}).code, 1);
    EXPECT_EQ(vkctl({"import", "Twin", home.path() + "/beach.png"}).code, 1) << "ambiguous";
}

// Each command that prints a list prints, with --json, one document that parses, with the
// fields named; values with quotes, tabs, line breaks and backslashes come back as they are.
TEST_F(VkctlTest, EveryListPrintsJsonThatParsesBack)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Pictures"}).out.trimmed();
    ASSERT_EQ(vkctl({"folder", "rename", folder, Awkward}).code, 0);
    const QString sub = vkctl({"folder", "add", "Sub", "--parent", folder}).out.trimmed();
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkRed);
    ASSERT_TRUE(picture.save(home.path() + "/pic.png"));
    const QString keyword = vkctl({"keyword", "add", "Say \"hi\"\tand \\ go"}).out.trimmed();
    ASSERT_EQ(keyword.size(), 18);

    Result r = vkctl({"import", folder, home.path() + "/pic.png", home.path() + "/gone.png", "--json"});
    EXPECT_EQ(r.code, 2) << "one skipped";
    EXPECT_EQ(r.err, "") << "the skips are in the document";
    QJsonObject imported = parsed(r.out).object();
    const QJsonArray items = imported["imported"].toArray();
    ASSERT_EQ(items.size(), 1);
    const QString item = items[0]["oid"].toString();
    EXPECT_EQ(items[0]["title"].toString(), "pic.png");
    EXPECT_EQ(items[0]["folder"].toString(), folder);
    EXPECT_EQ(imported["skipped"].toArray(), QJsonArray({QJsonObject{{"path", home.path() + "/gone.png"},
                                                                     {"reason", "the file is not there"}}}));
    EXPECT_FALSE(imported["cancelled"].toBool());
    ASSERT_EQ(vkctl({"sql", "update MediaData set title = ?, description = ? where OID = ?", "--param",
                     Awkward, "--param", Awkward, "--param", item})
                  .code,
              0);
    ASSERT_EQ(vkctl({"keyword", "tag", item, keyword}).code, 0);

    r = vkctl({"sources", "--json"});
    const QJsonArray sources = parsed(r.out).array();
    ASSERT_EQ(sources.size(), 1);
    EXPECT_EQ(sources[0]["name"].toString(), "svkbook");
    EXPECT_TRUE(sources[0]["current"].toBool());
    EXPECT_EQ(sources[0]["fileObjectDirectory"].toString(),
              home.path() + "/data/Quorient/Vellumark/svkbook/folder");

    const QJsonArray folders = parsed(vkctl({"folder", "ls", "--json"}).out).array();
    ASSERT_EQ(folders.size(), 2);
    EXPECT_EQ(folders[0]["title"].toString(), Awkward);
    EXPECT_EQ(folders[0]["depth"].toInt(), 0);
    EXPECT_EQ(folders[1]["oid"].toString(), sub);
    // A path as vkctl takes it back: "/" and "\\" inside a title escaped.
    const QString awkwardPath = QString(Awkward).replace("\\", "\\\\");
    EXPECT_EQ(folders[1]["path"].toString(), awkwardPath + "/Sub");
    EXPECT_EQ(folders[1]["depth"].toInt(), 1);

    const QJsonArray tree = parsed(vkctl({"folder", "ls", "--tree", "--json"}).out).array();
    ASSERT_EQ(tree.size(), 1);
    EXPECT_EQ(tree[0]["title"].toString(), Awkward);
    EXPECT_EQ(tree[0]["items"].toInt(), 1);
    EXPECT_EQ(tree[0]["bytes"].toInteger(), QFileInfo(home.path() + "/pic.png").size());
    EXPECT_EQ(tree[0]["folders"][0]["oid"].toString(), sub);

    const QJsonArray listed = parsed(vkctl({"ls", folder, "--json"}).out).array();
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0]["oid"].toString(), item);
    EXPECT_EQ(listed[0]["title"].toString(), Awkward);
    EXPECT_EQ(listed[0]["type"].toInt(), 5);
    EXPECT_EQ(listed[0]["state"].toString(), "internal");

    const QJsonArray keywords = parsed(vkctl({"keyword", "ls", "--json"}).out).array();
    EXPECT_EQ(
        keywords,
        QJsonArray({QJsonObject{{"oid", keyword}, {"name", "Say \"hi\"\tand \\ go"}, {"reference", 1}}}));

    r = vkctl(
        {"sql", "select OID, title, MediaType, index, Author, filename(media) from MediaData", "--json"});
    const QJsonObject rows = parsed(r.out).object();
    EXPECT_EQ(rows["columns"].toArray(),
              QJsonArray({"OID", "title", "MediaType", "index", "Author", "filename(media)"}));
    ASSERT_EQ(rows["rows"].toArray().size(), 1);
    const QJsonObject row = rows["rows"][0].toObject();
    EXPECT_EQ(row["OID"].toString(), item);
    EXPECT_EQ(row["title"].toString(), Awkward);
    EXPECT_EQ(row["MediaType"].toInt(), 5);
    EXPECT_TRUE(row["Author"].isNull());
    EXPECT_TRUE(QFileInfo(row["filename(media)"].toString()).isFile());
    EXPECT_EQ(parsed(vkctl({"sql", "insert into Folder (Title) values ('x')", "--json"}).out)["oid"]
                  .toString()
                  .size(),
              18);

    const QJsonObject info = parsed(vkctl({"info", item, "--json"}).out).object();
    EXPECT_EQ(info["title"].toString(), Awkward);
    EXPECT_EQ(info["description"].toString(), Awkward);
    EXPECT_EQ(info["keywords"].toArray(), QJsonArray({"Say \"hi\"\tand \\ go"}));
    EXPECT_EQ(info["dimensions"].toObject(), (QJsonObject{{"width", 40}, {"height", 30}}));
    EXPECT_EQ(info["folderPath"].toString(), awkwardPath);

    const QJsonArray copies = parsed(vkctl({"cp", item, "--to", sub, "--json"}).out).array();
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(copies[0]["source"].toString(), item);
    EXPECT_EQ(parsed(vkctl({"search", "--folder", folder, "--json"}).out)["media"].toArray().size(), 2);
}

// Plain output is one record a line: a tab, line break or backslash inside a value is written
// \t, \n, \\, so the fields split at the tabs whatever the titles hold.
TEST_F(VkctlTest, PlainOutputEscapesTabsNewlinesAndBackslashes)
{
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Pictures"}).out.trimmed();
    ASSERT_EQ(vkctl({"folder", "rename", folder, Awkward}).code, 0);
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkRed);
    ASSERT_TRUE(picture.save(home.path() + "/pic.png"));
    const QString item = vkctl({"import", folder, home.path() + "/pic.png"}).out.trimmed();
    ASSERT_EQ(vkctl({"sql", "update MediaData set title = ?, Author = ? where OID = ?", "--param", Awkward,
                     "--param", "Ann\\", "--param", item})
                  .code,
              0);
    ASSERT_EQ(vkctl({"keyword", "add", "tab\there"}).code, 0);

    struct Case
    {
        QStringList args;
        int fields; // of each line
        int column; // the one that holds the awkward value
        QString value;
    };
    const Case cases[] = {
        {{"folder", "ls"}, 6, 5, AwkwardEscaped},
        {{"ls", folder}, 6, 3, AwkwardEscaped},
        {{"sql", "select title, Author from MediaData"}, 2, 0, AwkwardEscaped},
        {{"sql", "select Author, title from MediaData"}, 2, 0, "Ann\\\\"},
        {{"keyword", "ls"}, 3, 1, "tab\\there"},
    };
    for (const Case &c : cases) {
        const Result r = vkctl(c.args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << c.args.join(' ').toStdString() << ": " << r.out.toStdString();
        const QStringList fields = lines[0].split('\t');
        EXPECT_EQ(fields.size(), c.fields) << lines[0].toStdString();
        EXPECT_EQ(fields.value(c.column), c.value) << lines[0].toStdString();
    }
    Result r = vkctl({"info", item});
    EXPECT_TRUE(r.out.contains("\ntitle\t" + AwkwardEscaped + "\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\nauthor\tAnn\\\\\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\ndimensions\t40x30\n")) << r.out.toStdString();
    for (const QString &line : r.out.split('\n', Qt::SkipEmptyParts))
        EXPECT_EQ(line.count('\t'), 1) << line.toStdString();

    // The tree: one folder a line, indented, with its items and their size.
    ASSERT_EQ(vkctl({"folder", "add", "Sub", "--parent", folder}).code, 0);
    r = vkctl({"folder", "ls", "--tree"});
    const QStringList tree = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(tree.size(), 2) << r.out.toStdString();
    EXPECT_TRUE(tree[0].startsWith(AwkwardEscaped + "  ")) << tree[0].toStdString();
    EXPECT_TRUE(tree[0].contains("1 item  ")) << tree[0].toStdString();
    EXPECT_TRUE(tree[1].startsWith("  Sub ")) << tree[1].toStdString();
    EXPECT_TRUE(tree[1].contains(" 0 items  ") && tree[1].endsWith(" 0 bytes")) << tree[1].toStdString();
}

// The completion scripts the build installs are made by the program itself, and are shell.
TEST_F(VkctlTest, CompletionScriptsAreShellTheShellsRead)
{
    for (const QString &shell : {QStringLiteral("bash"), QStringLiteral("zsh")}) {
        const Result r = vkctl({"completion", shell});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("folder")) << "made from the command table";
        EXPECT_TRUE(r.out.contains("--description-file"));
        if (QStandardPaths::findExecutable(shell).isEmpty())
            continue;
        QProcess check;
        check.start(shell, {"-n"});
        check.write(r.out.toUtf8());
        check.closeWriteChannel();
        ASSERT_TRUE(check.waitForFinished(30000));
        EXPECT_EQ(check.exitCode(), 0)
            << shell.toStdString() << ": " << check.readAllStandardError().toStdString();
    }
    // What bash offers, as it would ask for it.
    QProcess bash;
    bash.setProcessEnvironment(environment());
    const QString script = vkctl({"completion", "bash"}).out + R"(
offer() { COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _vkctl; echo "${COMPREPLY[*]}"; }
offer vkctl fol
offer vkctl folder a
offer vkctl --no-check folder add x --p
offer vkctl import --rec
offer vkctl help bo
)";
    bash.start("bash", {"-c", script});
    ASSERT_TRUE(bash.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(bash.readAllStandardOutput()).split('\n'),
              QStringList({"folder", "add", "--parent --parents", "--recursive", "book", ""}));
}

// vkctl transition writes the frames of an effect: the last is the second picture exactly, the
// ones before it mix both, and what it cannot do it says with the usual exit codes.
TEST_F(VkctlTest, TransitionWritesTheFramesOfAnEffect)
{
    QImage from(100, 60, QImage::Format_RGB32), to(100, 60, QImage::Format_RGB32);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            from.setPixel(x, y, qRgb(200, x * 2, y));
            to.setPixel(x, y, qRgb(y * 3, 30, x));
        }
    const QString src = home.filePath("from.png"), dst = home.filePath("to.png"),
                  out = home.filePath("frames");
    ASSERT_TRUE(from.save(src) && to.save(dst));

    for (const QString effect : {"18", "Random Block", "37", "27"}) {
        SCOPED_TRACE(effect.toStdString());
        QDir(out).removeRecursively();
        const Result r = vkctl({"transition", effect, "--frames", "4", "--block", "10", src, dst, out});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out,
                  QStringLiteral("%1/frame-001.png\n%1/frame-002.png\n%1/frame-003.png\n%1/frame-004.png\n")
                      .arg(out));
        const QImage last = QImage(out + "/frame-004.png").convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(last, to);
        const QImage middle = QImage(out + "/frame-002.png").convertToFormat(QImage::Format_RGB32);
        EXPECT_NE(middle, to);
        EXPECT_NE(middle, from);
    }
    // The same seed gives the same frames.
    vkctl({"transition", "35", "--frames", "3", "--seed", "7", src, dst, out + "/a"});
    vkctl({"transition", "35", "--frames", "3", "--seed", "7", src, dst, out + "/b"});
    EXPECT_EQ(QImage(out + "/a/frame-001.png"), QImage(out + "/b/frame-001.png"));

    const struct
    {
        QStringList args;
        int code;
        const char *says;
    } refused[] = {
        {{"transition", "Sideways", "--frames", "3", src, dst, out}, 2, "no effect \"Sideways\""},
        {{"transition", "1", src, dst, out}, 2, "--frames"},
        {{"transition", "1", "--frames", "0", src, dst, out}, 2, "--frames"},
        {{"transition", "1", "--frames", "2", "--block", "0", src, dst, out}, 2, "--block"},
        {{"transition", "1", "--frames", "2", home.filePath("missing.png"), dst, out}, 1, "cannot read"},
        {{"transition", "1", "--frames", "2", src, dst, src + "/inside-a-file"}, 1, "cannot make"},
    };
    for (const auto &c : refused) {
        const Result r = vkctl(c.args);
        EXPECT_EQ(r.code, c.code) << c.says;
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    }
}

namespace {

// The box of a page's pixels that are clearly red, in a picture of the page.
QRect redBox(const QImage &page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80)
                box = box.united(QRect(x, y, 1, 1));
        }
    return box;
}

} // namespace

// A picture printed to a PDF lies where the layout puts it: rendered at 100 dots an inch, a
// 200 x 100 picture (five dots a pixel at 600 dots an inch) is 166.7 x 83.3 pixels, and 2 cm
// margins put it 78.7 pixels from the paper's top left corner.
TEST_F(VkctlTest, PrintPutsThePictureWhereTheLayoutSays)
{
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    ASSERT_FALSE(pdftoppm.isEmpty()) << "pdftoppm (poppler-utils) renders the printed pages";
    ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
    const QString folder = vkctl({"folder", "add", "Prints"}).out.trimmed();
    QImage red(200, 100, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(home.path() + "/red.png"));
    QFile text(home.path() + "/note.txt");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    const QStringList oids =
        vkctl({"import", folder, home.path() + "/red.png", home.path() + "/note.txt", "--internal"})
            .out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(oids.size(), 2);

    auto render = [&](const QString &pdf) {
        QProcess p;
        p.start(pdftoppm, {"-r", "100", "-png", "-singlefile", pdf, home.path() + "/page"});
        p.waitForFinished(30000);
        return QImage(home.path() + "/page.png");
    };
    const struct
    {
        const char *what;
        QStringList options;
        QSize paper;  // pixels at 100 dots an inch
        QRectF place; // where the picture must be
    } cases[] = {
        {"2 cm margins", {"--margins", "2"}, {827, 1169}, {78.74, 78.74, 166.67, 83.33}},
        {"the default margins", {}, {827, 1169}, {19.69, 19.69, 166.67, 83.33}},
        {"200 percent", {"--zoom", "200", "--margins", "1"}, {827, 1169}, {39.37, 39.37, 333.33, 166.67}},
        // 21.6 cm of Letter less 2 x 3 cm, and half as high.
        {"full page on Letter",
         {"--full-page", "--margins", "3", "--paper", "Letter"},
         {850, 1100},
         {118.11, 118.11, 613.78, 306.89}},
    };
    for (const auto &c : cases) {
        const QString pdf = home.path() + "/out.pdf";
        QFile::remove(pdf);
        const Result r = vkctl(QStringList{"print", oids[0], "--pdf", pdf} + c.options);
        ASSERT_EQ(r.code, 0) << c.what << ": " << r.err.toStdString();
        const QImage page = render(pdf);
        ASSERT_FALSE(page.isNull()) << c.what;
        EXPECT_NEAR(page.width(), c.paper.width(), 1) << c.what;
        EXPECT_NEAR(page.height(), c.paper.height(), 1) << c.what;
        const QRect box = redBox(page);
        EXPECT_NEAR(box.left(), c.place.left(), 1.5) << c.what;
        EXPECT_NEAR(box.top(), c.place.top(), 1.5) << c.what;
        // (The renderer widens a picture to whole pixels on either side.)
        EXPECT_NEAR(box.width(), c.place.width(), 3) << c.what;
        EXPECT_NEAR(box.height(), c.place.height(), 3) << c.what;
    }

    // Two pictures are two pages.
    const QString two = home.path() + "/two.pdf";
    ASSERT_EQ(vkctl({"print", oids[0], oids[0], "--pdf", two}).code, 0);
    QFile twoFile(two);
    ASSERT_TRUE(twoFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(twoFile.readAll().count("/Type /Page\n") + 0, 2);

    // What cannot be printed writes nothing.
    const QString none = home.path() + "/none.pdf";
    const struct
    {
        QStringList args;
        int code;
        const char *message;
    } refusals[] = {
        {{"print", oids[0], "--pdf", none, "--zoom", "0"}, 2, "--zoom is a whole percentage"},
        {{"print", oids[0], "--pdf", none, "--zoom", "50", "--full-page"},
         2,
         "one of --zoom and --full-page"},
        {{"print", oids[0], "--pdf", none, "--margins", "0.2"}, 2, "--margins is a length in cm from 0.5"},
        {{"print", oids[0], "--pdf", none, "--margins", "12"}, 1, "The margins leave no room"},
        {{"print", oids[0], "--pdf", none, "--paper", "A3"}, 2, "--paper is A4 or Letter"},
        {{"print", oids[0]}, 2, "print needs --pdf"},
        {{"print", oids[1], "--pdf", none}, 1, "is no picture"},
        {{"print", "999999999999999999", "--pdf", none}, 1, "there is no media item"},
    };
    for (const auto &c : refusals) {
        const Result r = vkctl(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(none)) << c.args.join(' ').toStdString();
    }
}
