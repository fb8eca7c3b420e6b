// Display options in OptionTable, and the per-user settings' defaults.
#include "OptionStore.h"
#include "Engine.h"
#include "Settings.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

using namespace vk;

namespace {

QList<QStringList> optionRows(Connection &c)
{
    Statement st(c, "select Option, OptionValue from OptionTable order by Option");
    QList<QStringList> out;
    QStringList row;
    while (st.fetch(row) < 2)
        out.append(row);
    return out;
}

bool exec(Connection &c, const char *text)
{
    return vkdb::DbExecDirect(c.handle(), text) < 2;
}

TEST(OptionStoreTest, MissingTableIsCreatedWithTheDefaults)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    EXPECT_FALSE(OptionTableExists(src.connection));
    DisplayOptions options;
    EXPECT_TRUE(LoadOrCreateOptions(src.connection, options));
    EXPECT_TRUE(OptionTableExists(src.connection));
    EXPECT_EQ(optionRows(src.connection), (QList<QStringList>{{"CustomDisplay.Height", "0"},
                                                              {"CustomDisplay.Width", "0"},
                                                              {"DefaultPanelBorderWidth", "3"},
                                                              {"DefaultPanelHeight", "100"},
                                                              {"DefaultPanelWidth", "80"},
                                                              {"PosOptionChecked", "4"},
                                                              {"ScanImageType", "0"},
                                                              {"SizeOptionChecked", "0"},
                                                              {"WallPaperChecked", "1"},
                                                              {"WallPaperStyle", "0"}}));
    EXPECT_TRUE(src.ui.messages.isEmpty());
}

TEST(OptionStoreTest, LoadReadsStoredValuesAndOlderFlags)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    ASSERT_TRUE(exec(src.connection, "create table OptionTable( Option char(64),OptionValue char(64)) "));
    struct Case
    {
        const char *stored;
        int expected;
    };
    const Case cases[] = {{"TRUE", 1}, {"FALSE", 0}, {"2", 2}, {"junk", 1}};
    for (const Case &c : cases) {
        exec(src.connection, "delete from OptionTable");
        Statement st(src.connection, "insert into OptionTable(OptionValue,Option) values (?,?) ");
        st.bind(QString::fromLatin1(c.stored));
        st.bind("WallPaperChecked");
        ASSERT_LT(st.execute(), 2);
        DisplayOptions options;
        LoadOrCreateOptions(src.connection, options);
        EXPECT_EQ(options.WallPaperChecked, c.expected) << c.stored;
    }
    // Unknown names are ignored on load and gone after the next save; names compare exactly.
    exec(src.connection, "insert into OptionTable(OptionValue,Option) values ('7','NoSuchOption')");
    exec(src.connection, "insert into OptionTable(OptionValue,Option) values ('9','scanimagetype')");
    DisplayOptions options;
    LoadOptions(src.connection, options);
    EXPECT_EQ(options, DisplayOptions());
    options.ScanImageType = 5;
    options.CustomDisplayWidth = 640;
    ASSERT_TRUE(SaveOptions(src.connection, options));
    EXPECT_EQ(optionRows(src.connection).size(), 10);
    DisplayOptions back;
    LoadOptions(src.connection, back);
    EXPECT_EQ(back, options);
}

TEST(OptionStoreTest, FailedSaveKeepsTheStoredOptions)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    DisplayOptions options;
    options.DefaultPanelWidth = 120;
    LoadOrCreateOptions(src.connection, options);
    ASSERT_TRUE(SaveOptions(src.connection, options));
    // One row of the next save is refused.
    ASSERT_TRUE(exec(src.connection,
                     "create trigger refuse before insert on OptionTable when "
                     "new.Option = 'ScanImageType' begin select raise(abort, 'disk trouble'); end"));
    DisplayOptions changed = options;
    changed.DefaultPanelWidth = 999;
    EXPECT_FALSE(SaveOptions(src.connection, changed));
    EXPECT_EQ(src.ui.messages, QStringList{"Update data in table failed:OptionTable"});
    DisplayOptions stored;
    LoadOptions(src.connection, stored);
    EXPECT_EQ(stored.DefaultPanelWidth, 120);
    EXPECT_EQ(optionRows(src.connection).size(), 10);
}

TEST(SettingsTest, FirstReadWritesEveryDefault)
{
    QTemporaryDir dir;
    QSettings s(dir.path() + "/s.ini", QSettings::IniFormat);
    WorkspaceSettings v;
    v.folderExplorer.geometry = QRect(10, 20, 200, 400);
    for (SettingsGroup g :
         {SettingsGroup::Database, SettingsGroup::SpeedPanel, SettingsGroup::FolderExplorer,
          SettingsGroup::MediaManage, SettingsGroup::MediaToolbar, SettingsGroup::SlideExplorer})
        ReadSettings(s, g, v);
    const QStringList expected = {"Database/DataSource",
                                  "Database/Password",
                                  "Database/UserName",
                                  "FolderExplorer/Dock",
                                  "FolderExplorer/Height",
                                  "FolderExplorer/Left",
                                  "FolderExplorer/Top",
                                  "FolderExplorer/Visible",
                                  "FolderExplorer/Width",
                                  "MediaManage/DefaultImportType",
                                  "MediaManage/IsShowExternalMark",
                                  "SlideExplorer/Dock",
                                  "SlideExplorer/Height",
                                  "SlideExplorer/Left",
                                  "SlideExplorer/Top",
                                  "SlideExplorer/Visible",
                                  "SlideExplorer/Width",
                                  "Toolbars/MediaToolbar/Visible",
                                  "Toolbars/SpeedPanel/Visible"};
    QStringList keys = s.allKeys();
    keys.sort();
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(s.value("Database/DataSource").toString(), "svkbook");
    EXPECT_EQ(s.value("FolderExplorer/Width").toString(), "200");
    EXPECT_EQ(s.value("MediaManage/IsShowExternalMark").toString(), "0");
    EXPECT_TRUE(v.folderExplorer.visible);
    EXPECT_EQ(v.defaultImportType, ImportDatabaseFile);

    // Values the program did not write read as their defaults.
    s.setValue("MediaManage/DefaultImportType", "lots");
    s.setValue("FolderExplorer/Left", "");
    ReadSettings(s, SettingsGroup::MediaManage, v);
    ReadSettings(s, SettingsGroup::FolderExplorer, v);
    EXPECT_EQ(v.defaultImportType, ImportDatabaseFile);
    EXPECT_EQ(v.folderExplorer.geometry.left(), 10);

    v.defaultImportType = ImportAskUser;
    v.speedPanelVisible = false;
    WriteSettings(s, v);
    WorkspaceSettings back;
    ReadSettings(s, SettingsGroup::MediaManage, back);
    ReadSettings(s, SettingsGroup::SpeedPanel, back);
    EXPECT_EQ(back.defaultImportType, ImportAskUser);
    EXPECT_FALSE(back.speedPanelVisible);
}

} // namespace
