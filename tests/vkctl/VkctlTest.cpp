// vkctl as users script it: its commands, output formats and exit codes.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CACHE_HOME", home.path() + "/cache");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VKCTL_PATH), args);
        p.waitForFinished(30000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
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

    r = vkctl({"sql", "select Title, Description, Author, FolderId from Folder where OID = ?", "--param", oid});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Tom's \"trip\" 100%_\t\tΕλένη\t1\n"));

    // A file is stored as a copy inside the data source.
    QFile pic(home.path() + "/pic.jpg");
    ASSERT_TRUE(pic.open(QIODevice::WriteOnly));
    pic.write("JPEG");
    pic.close();
    r = vkctl({"sql", "insert into MediaData (title, media) values (?, ?)", "--param", "p", "--file", pic.fileName()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = vkctl({"sql", "select filename(media) from MediaData"});
    EXPECT_TRUE(r.out.startsWith(home.path() + "/data/Quorient/Vellumark/svkbook/folder/")) << r.out.toStdString();

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

    EXPECT_EQ(vkctl({"frobnicate"}).code, 1);
}

} // namespace
