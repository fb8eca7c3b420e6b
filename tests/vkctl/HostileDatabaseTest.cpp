// vkctl on a library it cannot trust: a database edited by another tool to name files outside
// the data source, engine tables and triggers removed behind its back, journals left by killed
// imports, and statements aimed at the engine's own tables. Canary files named by the tampered
// database must keep their bytes and their place through every command.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

struct Result
{
    int code = -1;
    QString out, err;
};

class HostileDatabase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
        Result r = vkctl({"folder", "add", "Pictures"});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        folder = r.out.trimmed();
        QDir().mkpath(home.path() + "/in");
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            ASSERT_TRUE(picture.save(home.path() + "/in/" + name));
        r = vkctl({"import", folder, home.path() + "/in/a.jpg", home.path() + "/in/b.jpg",
                   home.path() + "/in/c.jpg", home.path() + "/in/d.jpg"});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        items = r.out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(items.size(), 4);
    }

    Result vkctl(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CACHE_HOME", home.path() + "/cache");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VKCTL_PATH), args);
        p.waitForFinished(30000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    QString sourceDir() const { return home.path() + "/data/Quorient/Vellumark/svkbook"; }
    QString fileObjectDir() const { return sourceDir() + "/folder"; }

    // What another SQLite tool does to the closed library.
    void tamper(const QString &sql)
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(sourceDir() + "/svkbook.db").constData(), &db), SQLITE_OK);
        char *err = nullptr;
        const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
        EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "") << " in " << sql.toStdString();
        sqlite3_free(err);
        sqlite3_close(db);
    }

    // Points item `oid`'s media at dir + name, as an internal copy.
    void pointAt(const QString &oid, const QString &dir, const QString &name)
    {
        tamper(
            QStringLiteral("update _vk_fileobj set dir='%1', name='%2' where id=(select media from MediaData "
                           "where _vk_oid=%3)")
                .arg(dir, name, QString::number(oid.toLongLong())));
    }

    QString copies() const { return QDir(fileObjectDir()).entryList(QDir::Files).join(' '); }

    QTemporaryDir home;
    QString folder;
    QStringList items;
};

struct Canary
{
    QString path;
    QByteArray hash;
    static Canary make(const QString &path, const QByteArray &content)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        f.close();
        return {path, QCryptographicHash::hash(content, QCryptographicHash::Sha256)};
    }
    bool intact() const
    {
        QFile f(path);
        return QFileInfo(path).isFile() && !QFileInfo(path).isSymLink() && f.open(QIODevice::ReadOnly) &&
               QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) == hash;
    }
};

TEST_F(HostileDatabase, CanariesNamedByATamperedCatalogueSurviveEveryCommand)
{
    const QString outside = home.path() + "/some/dir";
    QDir().mkpath(outside);
    const Canary doc = Canary::make(outside + "/important.doc", "the user's only copy");
    const Canary internalNamed = Canary::make(outside + "/vk0000000000d1.jpg", "looks like ours");
    const Canary trashed = Canary::make(outside + "/trashed.txt", "never delete me");
    QFile::link(doc.path, home.path() + "/link.doc");

    pointAt(items[0], outside + "/", "important.doc");
    pointAt(items[1], outside + "/", "vk0000000000d1.jpg");
    pointAt(items[2], fileObjectDir() + "/", "../../../../link.doc");
    tamper("insert into _vk_trash(path) values ('" + trashed.path + "')");
    tamper("drop trigger \"_vk_MediaData_media_del\"");
    const QString before = copies();

    auto allIntact = [&] { return doc.intact() && internalNamed.intact() && trashed.intact(); };
    const QList<QStringList> commands = {
        {"ls", folder},
        {"ls", folder, "--json"},
        {"check"},
        {"info", items[0]},
        {"info", items[1]},
        {"export", items[0], home.path() + "/out0.doc"},
        {"export", items[1], home.path() + "/out1.jpg"},
        {"export", items[2], home.path() + "/out2.png", "--format", "png"},
        {"search", "--text", "a"},
        {"folder", "ls", "--tree"},
        {"check"},
        {"check", "--repair"},
        {"rm", items[3]},
        {"rm", items[0]},
        {"check", "--repair"},
    };
    for (const QStringList &args : commands) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Result r = vkctl(args);
        EXPECT_TRUE(allIntact()) << r.out.toStdString() << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("moved")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("Media file(s) lost!")) << r.err.toStdString();
        if (args[0] == "export") {
            EXPECT_EQ(r.code, 1);
            EXPECT_FALSE(QFileInfo::exists(args[2]));
        }
        if (&args == &commands.front()) {
            EXPECT_TRUE(r.err.contains("restored the engine's trigger MediaData _vk_MediaData_media_del"))
                << r.err.toStdString();
        }
        if (args == QStringList{"check"}) {
            EXPECT_EQ(r.code, 1);
            for (int i = 0; i < 3; ++i)
                EXPECT_TRUE(r.out.contains(QRegularExpression("^bad: MediaData " + items[i] + " media ",
                                                              QRegularExpression::MultilineOption)))
                    << r.out.toStdString();
            EXPECT_TRUE(r.out.contains("bad: MediaData " + items[0] + " media " + doc.path + "\n"));
        }
        if (args == QStringList{"check", "--repair"}) {
            // The real copies of the tampered items are kept: their rows' names were changed, not freed.
            EXPECT_FALSE(r.out.contains("removed:")) << r.out.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo(home.path() + "/link.doc").isSymLink());
    // The items removed through the program took their own copies (picture and thumbnail) with
    // them, and nothing else: items[0]'s picture was never its to take.
    EXPECT_EQ(copies().split(' ').size(), before.split(' ').size() - 3) << copies().toStdString();
}

TEST_F(HostileDatabase, StatementsOnTheEnginesTablesAreRefused)
{
    const QStringList refused = {"drop table _vk_fileobj", "alter table _vk_fileobj rename to zz",
                                 "delete from _vk_fileobj where id<5",
                                 "drop trigger _vk_MediaData_media_del"};
    for (const QString &sql : refused) {
        SCOPED_TRACE(sql.toStdString());
        const Result r = vkctl({"sql", sql});
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.contains("belongs to the storage engine")) << r.err.toStdString();
    }
    Result r = vkctl({"sql", "select 1; drop table Flag_Table"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("more than one statement")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(vkctl({"sql", "select count(*) from SYSTABLE where TABLE_NAME='Flag_Table'"}).out, "1\n");
    r = vkctl({"check"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(vkctl({"ls", folder}).out.count('\n'), 4);
}

TEST_F(HostileDatabase, RepairRebuildsTheCatalogueAnotherToolRemoved)
{
    const QString before = copies();
    struct Case
    {
        const char *damage;
        bool mappingKept;
    };
    for (const Case &c :
         {Case{"alter table _vk_fileobj rename to zz", true}, Case{"drop table _vk_fileobj", false}}) {
        SCOPED_TRACE(c.damage);
        tamper(c.damage);
        Result r = vkctl({"ls", folder});
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.contains("check --repair")) << r.err.toStdString();
        r = vkctl({"check", "--repair"});
        EXPECT_TRUE(r.out.contains("rebuilt: ")) << r.out.toStdString() << r.err.toStdString();
        EXPECT_FALSE(r.out.contains("removed:")) << r.out.toStdString();
        EXPECT_EQ(copies(), before);
        r = vkctl({"ls", folder});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.count('\n'), 4);
        r = vkctl({"check"});
        EXPECT_EQ(r.code == 0, c.mappingKept) << r.out.toStdString() << r.err.toStdString();
        // Kept copies are never taken for orphans, by this check or the next repair.
        EXPECT_FALSE(r.out.contains("orphan:")) << r.out.toStdString();
        r = vkctl({"check", "--repair"});
        EXPECT_FALSE(r.out.contains("removed:")) << r.out.toStdString();
        EXPECT_EQ(copies(), before);
    }
}

TEST_F(HostileDatabase, RowsDeletedFromTheCatalogueLeaveTheirCopiesKept)
{
    const QString before = copies();
    tamper("delete from _vk_fileobj where id<=2");
    Result r = vkctl({"check"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("is not in the catalogue")) << r.out.toStdString();
    r = vkctl({"check", "--repair"});
    EXPECT_TRUE(r.out.contains("kept: ")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("removed:")) << r.out.toStdString();
    EXPECT_EQ(copies(), before);
    EXPECT_FALSE(vkctl({"check", "--repair"}).out.contains("removed:"));
    EXPECT_EQ(copies(), before);
}

TEST_F(HostileDatabase, AConversionOntoTheStoredCopyIsRefused)
{
    const QString stored =
        vkctl({"sql", "select filename(media) from MediaData where OID=?", "--param", items[0]})
            .out.trimmed();
    ASSERT_TRUE(stored.startsWith(fileObjectDir())) << stored.toStdString();
    QFile f(stored);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray jpeg = f.readAll();
    f.close();
    // Nothing is written into the file-object directory: not onto the item's own copy, converted
    // or not, not onto another item's, not as a new file beside them.
    const QString other =
        vkctl({"sql", "select filename(media) from MediaData where OID=?", "--param", items[1]})
            .out.trimmed();
    for (const QStringList &args :
         {QStringList{"export", items[0], stored, "--format", "png"}, QStringList{"export", items[0], stored},
          QStringList{"export", items[0], other},
          QStringList{"export", items[0], fileObjectDir() + "/new.png"},
          QStringList{"thumb", items[0], other}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Result r = vkctl(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.contains("file-object directory")) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(fileObjectDir() + "/new.png"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), jpeg);
        f.close();
    }
    EXPECT_EQ(vkctl({"check"}).code, 0);
}

TEST_F(HostileDatabase, AStaleJournalIsNamedAndRemoved)
{
    // Left by an import killed at the wrong moment: empty, and nobody holds its lock.
    for (const char *name : {".vk-pending-99999999-0000abcd", ".vk-making-99999999-0000abce"}) {
        QFile j(fileObjectDir() + "/" + name);
        ASSERT_TRUE(j.open(QIODevice::WriteOnly));
    }
    Result r = vkctl({"check"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("stale: " + fileObjectDir() + "/.vk-pending-99999999-0000abcd\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("stale: " + fileObjectDir() + "/.vk-making-99999999-0000abce\n"))
        << r.out.toStdString();
    r = vkctl({"check", "--repair"});
    EXPECT_TRUE(r.out.contains("removed: " + fileObjectDir() + "/.vk-pending-99999999-0000abcd\n"))
        << r.out.toStdString();
    EXPECT_EQ(QDir(fileObjectDir()).entryList(QDir::Files | QDir::Hidden),
              QDir(fileObjectDir()).entryList(QDir::Files));
    EXPECT_EQ(vkctl({"check"}).code, 0);
}

TEST_F(HostileDatabase, CheckNamesALostLinkByItsRow)
{
    const QString linked = home.path() + "/in/linked.jpg";
    ASSERT_TRUE(QFile::copy(home.path() + "/in/a.jpg", linked));
    Result r = vkctl({"import", folder, linked, "--external"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString oid = r.out.trimmed();
    ASSERT_TRUE(QFile::remove(linked));
    r = vkctl({"check"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("lost: MediaData " + oid + " media " + linked + "\n")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QRegularExpression("^lost: /", QRegularExpression::MultilineOption)));
}

TEST_F(HostileDatabase, FolderTitlesMayNotBeBlank)
{
    for (const QStringList &args :
         {QStringList{"folder", "add", ""}, QStringList{"folder", "add", "   "},
          QStringList{"folder", "add", "Pictures/ \t"}, QStringList{"folder", "rename", "Pictures", ""},
          QStringList{"folder", "rename", "Pictures", "  "}}) {
        SCOPED_TRACE(args.join('|').toStdString());
        const Result r = vkctl(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.err.contains("Folder title cannot be empty!")) << r.err.toStdString();
    }
    EXPECT_EQ(vkctl({"folder", "ls"}).out.count('\n'), 1);
}

} // namespace

namespace {

// The configuration names a new file-object directory: a command that only reads moves nothing
// and still finds the copies; the next command that writes brings them along.
TEST_F(HostileDatabase, OnlyAWritingCommandMovesTheCopiesToANewDirectory)
{
    const QString before = copies();
    const QString moved = home.path() + "/elsewhere";
    QDir().mkpath(moved);
    const QString config = home.path() + "/config/Quorient/Vellumark/vkconfig.ini";
    QFile f(config);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    f.close();
    ASSERT_TRUE(text.contains("DB_FODIR=\"" + fileObjectDir().toUtf8() + "\"")) << text.toStdString();
    text.replace("DB_FODIR=\"" + fileObjectDir().toUtf8() + "\"", "DB_FODIR=\"" + moved.toUtf8() + "\"");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();

    Result r = vkctl({"ls", folder});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("moved")) << r.err.toStdString();
    EXPECT_EQ(copies(), before);
    r = vkctl({"export", items[0], home.path() + "/out.jpg"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();

    r = vkctl({"keyword", "add", "k"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("moved 8 file objects")) << r.err.toStdString();
    EXPECT_EQ(QDir(moved).entryList(QDir::Files).join(' '), before);
    EXPECT_EQ(vkctl({"check"}).code, 0);
}

} // namespace

namespace {

// A library on a small file system of its own that its imports fill up.
class FullDisk : public HostileDatabase
{
protected:
    void SetUp() override
    {
        mountPoint = home.path() + "/small";
        QDir().mkpath(mountPoint);
        if (::geteuid() != 0 ||
            ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=20m") != 0)
            GTEST_SKIP() << "a full disk needs a small file system: mounting a 20 MB tmpfs needs root";
        mounted = true;
    }
    void TearDown() override
    {
        if (mounted)
            ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
    }
    qint64 freeBytes() const
    {
        struct statvfs vfs = {};
        ::statvfs(QFile::encodeName(mountPoint).constData(), &vfs);
        return qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
    }

    QString mountPoint;
    bool mounted = false;
};

TEST_F(FullDisk, EveryFailureNamesTheFullDiskAndRmStillFreesIt)
{
    ASSERT_EQ(vkctl({"init", "small", "--dir", mountPoint + "/lib"}).code, 0);
    EXPECT_TRUE(QFileInfo(mountPoint + "/lib/small.db.vk-reserve").isFile());
    Result r = vkctl({"--source", "small", "folder", "add", "P"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QDir().mkpath(home.path() + "/big");
    QStringList files;
    for (int i = 0; i < 24; ++i) {
        QFile f(home.path() + QStringLiteral("/big/f%1.bin").arg(i, 2, 10, QLatin1Char('0')));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes(1 << 20, '\0');
        for (qsizetype k = 0; k < bytes.size(); k += 64)
            bytes[k] = char(i * 7 + k);
        f.write(bytes);
        files << f.fileName();
    }
    r = vkctl(QStringList{"--source", "small", "import", "P"} + files);
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.err.contains("skipped ")) << r.err.toStdString();
    for (const QString &line : r.err.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains("(20914)")) << line.toStdString();
    // What is left of the disk, but for a few blocks, goes to another file.
    {
        QFile filler(mountPoint + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (freeBytes() > 40 * 1024 && filler.write(block) == block.size())
            filler.flush();
    }
    for (const QStringList &args : {QStringList{"folder", "add", "Q"}, QStringList{"keyword", "add", "kw"},
                                    QStringList{"import", "P", files.last()}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        r = vkctl(QStringList{"--source", "small"} + args);
        EXPECT_NE(r.code, 0);
        EXPECT_TRUE(r.err.contains("(20914)")) << r.err.toStdString();
    }
    // The library that filled its disk is freed through the program.
    const QStringList listed = vkctl({"--source", "small", "ls", "P"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(listed.size(), 3);
    const qint64 before = freeBytes();
    r = vkctl({"--source", "small", "rm", listed[0].section('\t', 0, 0), listed[1].section('\t', 0, 0),
               listed[2].section('\t', 0, 0)});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(vkctl({"--source", "small", "ls", "P"}).out.count('\n'), listed.size() - 3);
    EXPECT_GT(freeBytes(), before + 2 * (1 << 20));
    EXPECT_TRUE(QFileInfo(mountPoint + "/lib/small.db.vk-reserve").isFile());
    r = vkctl({"--source", "small", "check"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
}

} // namespace

namespace {

// A file named on the command line with bytes the locale cannot decode is skipped with that
// reason and its name shown \xNN, as an entry of a directory is; the good names beside it import.
TEST_F(HostileDatabase, ANameGivenInBytesTheLocaleCannotDecodeIsSkippedForThatReason)
{
    const QByteArray dir = QFile::encodeName(home.path() + "/in");
    const QByteArray raw = dir + "/caf\xe9.jpg";
    {
        QFile good(home.path() + "/in/a.jpg");
        ASSERT_TRUE(good.open(QIODevice::ReadOnly));
        const QByteArray bytes = good.readAll();
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_CACHE_HOME", home.path() + "/cache");
    env.insert("VK_DIR", QString::fromUtf8(dir));
    p.setProcessEnvironment(env);
    // The shell hands the bytes over as they are; QProcess would encode a QString first.
    p.start("/bin/sh",
            {"-c", "exec \"$0\" import \"$1\" \"$(printf '%s/caf\\351.jpg' \"$VK_DIR\")\" \"$VK_DIR/b.jpg\"",
             QStringLiteral(VKCTL_PATH), folder});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 2) << err.toStdString();
    EXPECT_EQ(err, "vkctl: skipped " + home.path() +
                       "/in/caf\\xE9.jpg: its name is not valid in the locale's encoding\n");
    EXPECT_FALSE(err.contains(QChar(QChar::ReplacementCharacter)));
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()).count('\n'), 1);
}

} // namespace
