// The data recovery system ("Vellumark Data Recovery System"): the wizard start-up opens when
// the data source cannot be connected. It stops, makes a new empty database in a chosen
// directory, points the data source at a database in a chosen directory, searches for one, or
// repairs the data source's own damaged database. The data source's keys in vkconfig.ini change
// only when a way succeeded; Cancel leaves the file as it was.
#pragma once

#include <QDialog>
#include <QString>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace vk {

class Connection;
class UiServices;

class TRepair : public QDialog
{
    Q_OBJECT
public:
    enum Page
    {
        Menu,
        UserPath,
        UserPathError,
        NewPath,
        NewDBError,
        WaitDataSearch,
        SearchOK,
        SearchError,
        GetSearchError,
        RepairError,
        Fixed,
        PageCount
    };
    // The options of the menu page, in their order.
    enum Option
    {
        OptionStop,
        OptionNoData,
        OptionLocation,
        OptionSearch,
        OptionRepair
    };
    struct Buttons
    {
        bool next, back, cancel, finish;
        bool operator==(const Buttons &) const = default;
    };
    // The buttons on entering a page; `filesShown`: the user-path page's file list shows files.
    static Buttons buttonsFor(Page page, bool filesShown);

    // `reason`: why the connection failed, shown on the menu page.
    TRepair(Connection &connection, QString configPath, QString dataSource, QString userName,
            QString password, const QString &reason, QWidget *parent = nullptr);

    Page page() const { return m_page; }
    // The page's name as the notebook knows it ("menu", "UserPath", ...).
    static QString pageName(Page page);

    // Offers "Repair the folder database." (for a database file that is there but cannot be opened).
    void setRepairable(bool repairable);
    void chooseOption(Option option);
    void setUserPath(const QString &directory);
    void setNewPath(const QString &directory);
    // Where the search looks (the home directory and the mounted disks unless set).
    void setSearchRoots(const QStringList &roots) { m_searchRoots = roots; }
    QListWidget *searchList() const { return m_searchList; }
    QListWidget *fileList() const { return m_fileList; }
    QPushButton *nextButton() const { return m_next; }
    QPushButton *backButton() const { return m_back; }
    QPushButton *cancelButton() const { return m_cancel; }
    QPushButton *finishButton() const { return m_finish; }

    void next();
    void back();
    void reject() override;

private:
    void showPage(Page page);
    void refreshFileList();
    void runSearch();
    QString trimmedDirectory(const QString &text) const;

    Connection &m_connection;
    QString m_configPath, m_dataSource, m_userName, m_password;
    Page m_page = Menu;
    bool m_searching = false;
    bool m_stopSearch = false;
    QStringList m_searchRoots;

    QStackedWidget *m_pages = nullptr;
    QButtonGroup *m_options = nullptr;
    QRadioButton *m_repairOption = nullptr;
    QLineEdit *m_userPathDir = nullptr;
    QLabel *m_userPathLabel = nullptr;
    QListWidget *m_fileList = nullptr;
    QComboBox *m_filter = nullptr;
    QLineEdit *m_newPathDir = nullptr;
    QLabel *m_searchStatus = nullptr;
    QListWidget *m_searchList = nullptr;
    QLabel *m_repairReason = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_finish = nullptr;
};

} // namespace vk
