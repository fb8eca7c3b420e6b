// The remote command server's socket, the data recovery system's pages and buttons, and the
// data source dialog, each on a data source of its own.
#include "ConfigFile.h"
#include "DataSrcDlg.h"
#include "DatabaseSetup.h"
#include "Engine.h"
#include "Paths.h"
#include "RemoteCommandServer.h"
#include "TempDataSource.h"
#include "smart.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalSocket>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace vk;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

mode_t modeOf(const QString &path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode;
}

// --- The remote command server ------------------------------------------------------------

TEST(RemoteCommandServer, SocketIsTheOwnersAloneAndAnswersEachMacro)
{
    QString why;
    const QString path = remoteCommandSocketPath(&why);
    ASSERT_FALSE(path.isEmpty()) << why.toStdString();
    QList<QList<QByteArray>> received;
    TRemoteCommandServer server([&](const QList<QByteArray> &lines) {
        received << lines;
        return QByteArrayLiteral("imported 000000000000004001");
    });
    ASSERT_TRUE(server.listen(path, &why)) << why.toStdString();
    // Neither the socket nor the directory holding it lets another user in.
    EXPECT_EQ(modeOf(path) & (S_IRWXG | S_IRWXO), 0u);
    EXPECT_EQ(modeOf(QFileInfo(path).absolutePath()) & (S_IRWXG | S_IRWXO), 0u);

    QLocalSocket client;
    client.connectToServer(path);
    ASSERT_TRUE(client.waitForConnected(2000));
    // The macro arrives in pieces; it runs once its empty line has come.
    client.write("NewMedia\n/tmp/a.wav\n");
    client.flush();
    QByteArray reply;
    QDeadlineTimer deadline(5000);
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    EXPECT_TRUE(received.isEmpty());
    client.write("True\n\n");
    client.flush();
    while (!reply.contains('\n') && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        reply += client.readAll();
    }
    EXPECT_EQ(reply, "imported 000000000000004001\n");
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0], (QList<QByteArray>{"NewMedia", "/tmp/a.wav", "True"}));
}

TEST(RemoteCommandServer, RuntimeDirectoryOpenToOthersIsRefused)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    QString why;
    EXPECT_TRUE(remoteCommandSocketPath(&why).isEmpty());
    EXPECT_FALSE(why.isEmpty());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_FALSE(remoteCommandSocketPath(&why).isEmpty());
    qputenv("XDG_RUNTIME_DIR", saved);
}

// --- The data recovery system -----------------------------------------------------------

TEST(RepairWizard, ButtonTable)
{
    using B = TRepair::Buttons;
    struct Case
    {
        TRepair::Page page;
        bool files;
        B buttons; // next, back, cancel, finish
    };
    const Case cases[] = {
        {TRepair::Menu, false, {true, false, true, false}},
        {TRepair::UserPath, true, {true, true, true, false}},
        {TRepair::UserPath, false, {false, true, true, false}},
        {TRepair::NewPath, false, {true, true, true, false}},
        {TRepair::WaitDataSearch, false, {true, true, true, false}},
        {TRepair::SearchOK, false, {true, true, true, false}},
        {TRepair::UserPathError, false, {false, true, true, false}},
        {TRepair::NewDBError, false, {false, true, true, false}},
        {TRepair::SearchError, false, {false, true, true, false}},
        {TRepair::GetSearchError, false, {false, true, true, false}},
        {TRepair::RepairError, false, {false, true, true, false}},
        {TRepair::Fixed, false, {false, false, false, true}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TRepair::buttonsFor(c.page, c.files), c.buttons) << TRepair::pageName(c.page).toStdString();
}

// A data source whose database has gone: what start-up hands the wizard.
struct Broken
{
    Broken()
    {
        src.connection.disconnect();
        const QString db = DatabaseFileIn(src.databaseDir(), src.name());
        for (const char *s : {"", "-wal", "-shm"})
            QFile::remove(db + QLatin1String(s));
        before = fileBytes(src.configPath());
        connection.setUi(&ui);
    }
    TRepair wizard() { return TRepair(connection, src.configPath(), src.name(), "SYSADM", "", "gone"); }
    std::string key(const char *name) const
    {
        return vkdb::ConfigFile(src.configPath().toStdString()).unquotedValue(src.name().toStdString(), name);
    }

    TempDataSource src;
    QByteArray before;
    RecordingUi ui;
    Connection connection;
};

TEST(RepairWizard, NewDatabaseWritesTheKeysOnlyOnceItIsMade)
{
    Broken b;
    QTemporaryDir elsewhere;
    // A directory that already holds a database of that name: never replaced.
    QTemporaryDir taken;
    const QString takenDb = DatabaseFileIn(taken.path(), b.src.name());
    {
        QFile f(takenDb);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("someone's database");
    }
    TRepair w = b.wizard();
    w.chooseOption(TRepair::OptionNoData);
    w.next();
    ASSERT_EQ(w.page(), TRepair::NewPath);
    w.setNewPath(taken.path());
    w.next();
    EXPECT_EQ(w.page(), TRepair::NewDBError);
    EXPECT_EQ(fileBytes(takenDb), "someone's database");
    EXPECT_EQ(fileBytes(b.src.configPath()), b.before) << "a failure leaves the configuration as it was";
    EXPECT_FALSE(b.connection.isConnected());

    w.back();
    ASSERT_EQ(w.page(), TRepair::NewPath);
    w.setNewPath(elsewhere.path() + "/library/");
    w.next();
    ASSERT_EQ(w.page(), TRepair::Fixed);
    EXPECT_TRUE(b.connection.isConnected());
    EXPECT_TRUE(w.finishButton()->isEnabled());
    EXPECT_FALSE(w.cancelButton()->isEnabled());
    EXPECT_EQ(b.key("DB_DBDIR"), (elsewhere.path() + "/library").toStdString());
    EXPECT_EQ(b.key("DB_FODIR"), (elsewhere.path() + "/library/folder").toStdString());
    EXPECT_TRUE(QFileInfo::exists(elsewhere.path() + "/library/folder"));
}

TEST(RepairWizard, CancelLeavesTheConfigurationAsItWas)
{
    Broken b;
    QTemporaryDir empty;
    TRepair w = b.wizard();
    w.chooseOption(TRepair::OptionLocation);
    w.next();
    ASSERT_EQ(w.page(), TRepair::UserPath);
    w.setUserPath(empty.path());
    EXPECT_FALSE(w.nextButton()->isEnabled()) << "no files shown";
    // A directory with the data source's database but nothing that opens as one.
    const QString fake = DatabaseFileIn(empty.path(), b.src.name());
    {
        QFile f(fake);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database");
    }
    w.setUserPath(empty.path() + "/");
    ASSERT_TRUE(w.nextButton()->isEnabled());
    w.next();
    EXPECT_EQ(w.page(), TRepair::UserPathError);
    w.back();
    w.back();
    ASSERT_EQ(w.page(), TRepair::Menu);
    w.reject();
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_EQ(fileBytes(b.src.configPath()), b.before);
    EXPECT_FALSE(b.connection.isConnected());
}

TEST(RepairWizard, SearchFindsDatabasesWithoutFollowingLinks)
{
    Broken b;
    QTemporaryDir tree;
    // The real one, one behind a link (not followed) and a link loop.
    QTemporaryDir other;
    TempDataSource moved(b.src.name());
    moved.connection.disconnect();
    QDir().mkpath(tree.path() + "/a/b");
    const QString dbDir = tree.path() + "/a/b";
    for (const char *s : {"", "-wal", "-shm"})
        QFile::rename(DatabaseFileIn(moved.databaseDir(), moved.name()) + s,
                      DatabaseFileIn(dbDir, moved.name()) + s);
    QDir().mkpath(other.path() + "/hidden");
    QFile::copy(DatabaseFileIn(dbDir, moved.name()), DatabaseFileIn(other.path() + "/hidden", moved.name()));
    QFile::link(other.path() + "/hidden", tree.path() + "/link");
    QFile::link(tree.path(), tree.path() + "/a/loop");

    EXPECT_EQ(SearchDatabases({tree.path()}, b.src.name()), QStringList{DatabaseFileIn(dbDir, b.src.name())});
    // A search that is stopped ends at once.
    int visits = 0;
    EXPECT_TRUE(SearchDatabases({tree.path()}, b.src.name(), [&](const QString &) {
                    return ++visits < 1;
                }).isEmpty());

    TRepair w = b.wizard();
    w.setSearchRoots({tree.path()});
    w.chooseOption(TRepair::OptionSearch);
    w.next();
    ASSERT_EQ(w.page(), TRepair::WaitDataSearch);
    w.next();
    ASSERT_EQ(w.page(), TRepair::SearchOK);
    ASSERT_EQ(w.searchList()->count(), 1);
    // Nothing selected: Next stays.
    w.searchList()->clearSelection();
    w.next();
    EXPECT_EQ(w.page(), TRepair::SearchOK);
    w.searchList()->setCurrentRow(0);
    w.next();
    ASSERT_EQ(w.page(), TRepair::Fixed);
    EXPECT_TRUE(b.connection.isConnected());
    EXPECT_EQ(b.key("DB_DBDIR"), (dbDir + "/").toStdString());
    EXPECT_EQ(b.key("DB_FODIR"), (dbDir + "/folder").toStdString()) << "no doubled separator";
}

TEST(RepairWizard, RepairSalvagesTheDamagedDatabase)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    ASSERT_EQ(vkdb::DbExecDirect(src.connection.handle(), "insert into Folder (Title) values ('kept')"),
              vkdb::DbOk);
    src.connection.disconnect();
    const QString db = DatabaseFileIn(src.databaseDir(), src.name());
    {
        // The first page's header gone: SQLite no longer takes the file for a database.
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write(QByteArray(16, 'x'));
    }
    Connection c;
    RecordingUi ui;
    c.setUi(&ui);
    ASSERT_NE(c.connect(src.configPath(), src.name(), "SYSADM", ""), vkdb::DbOk);
    TRepair w(c, src.configPath(), src.name(), "SYSADM", "", QString::fromStdString(vkdb::DbErrorText()));
    w.setRepairable(true);
    w.chooseOption(TRepair::OptionRepair);
    w.next();
    if (w.page() == TRepair::RepairError) {
        // A file beyond salvage says why and lets the person choose another way.
        EXPECT_FALSE(w.findChild<QLabel *>("labRepairReason")->text().isEmpty());
        w.back();
        EXPECT_EQ(w.page(), TRepair::Menu);
        return;
    }
    ASSERT_EQ(w.page(), TRepair::Fixed);
    EXPECT_TRUE(c.isConnected());
}

// --- The data source dialog ---------------------------------------------------------------

TEST(DataSourceDialog, AddsCheckedNamesAndDeletesOnlyWhatIsNotChosen)
{
    TempDataSource src("svkbook");
    RecordingUi ui;
    TDataSourceForm form(src.configPath(), "svkbook", ui);
    ASSERT_EQ(form.list()->count(), 1);
    EXPECT_EQ(form.currentDataSource(), "svkbook");

    const char *refused[] = {"SVKBOOK", "", "../etc", "a b", "[x]", "-dash", "name=1", "caf\xc3\xa9"};
    for (const char *name : refused) {
        form.btnNewClick();
        ASSERT_TRUE(form.adding());
        form.newNameEdit()->setText(QString::fromUtf8(name));
        form.btnNewClick();
        EXPECT_TRUE(form.adding()) << name;
        EXPECT_EQ(form.list()->count(), 1) << name;
        form.btnDeleteClick(); // Abort
        EXPECT_FALSE(form.adding());
    }
    EXPECT_EQ(ui.messages.first(), "Database name duplication!");
    EXPECT_EQ(ui.messages.size(), int(std::size(refused)));

    form.btnNewClick();
    form.newNameEdit()->setText("holiday_2");
    form.btnNewClick();
    EXPECT_FALSE(form.adding());
    EXPECT_EQ(form.currentDataSource(), "holiday_2");
    EXPECT_TRUE(form.currentLabel()->font().bold());
    vkdb::ConfigFile config(src.configPath().toStdString());
    ASSERT_TRUE(config.hasSection("holiday_2"));
    EXPECT_EQ(config.value("holiday_2", "DB_UsrID"), std::optional<std::string>(""));
    EXPECT_FALSE(config.value("holiday_2", "DB_DBDIR").has_value());

    // The chosen one cannot go; once another is chosen it can, and only its section goes.
    form.list()->setCurrentRow(0); // holiday_2 sorts first
    ASSERT_EQ(form.list()->currentItem()->text(), "holiday_2");
    form.btnDeleteClick();
    EXPECT_EQ(ui.messages.last(), "Deleted database is currently used.");
    form.list()->setCurrentRow(1);
    form.btnSelectClick();
    EXPECT_EQ(form.currentDataSource(), "svkbook");
    EXPECT_FALSE(form.currentLabel()->font().bold());
    form.list()->setCurrentRow(0);
    ui.answer = true;
    form.btnDeleteClick();
    EXPECT_EQ(ui.questions.last(), "holiday_2\n\rThis database will be deleted.");
    EXPECT_EQ(form.list()->count(), 1);
    config.reload();
    EXPECT_FALSE(config.hasSection("holiday_2"));
    EXPECT_TRUE(QFileInfo::exists(DatabaseFileIn(src.databaseDir(), "svkbook")));
}

TEST(DataSourceDialog, TheConnectedDataSourceCannotBeDeletedWhateverIsChosen)
{
    TempDataSource src("svkbook");
    {
        vkdb::ConfigFile config(src.configPath().toStdString());
        config.setValue("holiday", "DB_UsrID", "");
        ASSERT_TRUE(config.flush());
    }
    RecordingUi ui;
    ui.answer = true;
    // The next start is to use "holiday"; the workspace runs on "svkbook", named in other case.
    TDataSourceForm form(src.configPath(), "holiday", ui, nullptr, "SVKBOOK");
    ASSERT_EQ(form.list()->count(), 2);
    form.list()->setCurrentRow(1);
    ASSERT_EQ(form.list()->currentItem()->text(), "svkbook");
    form.btnDeleteClick();
    EXPECT_EQ(ui.messages.value(0), "Deleted database is currently used.");
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_EQ(form.list()->count(), 2);
    vkdb::ConfigFile config(src.configPath().toStdString());
    EXPECT_TRUE(config.hasSection("svkbook"));
}

} // namespace
