#include "smart.h"

#include "Connection.h"
#include "DatabaseSetup.h"
#include "Engine.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vk {

namespace {

QLabel *text(const QString &t, QWidget *parent, bool bold = false)
{
    auto *l = new QLabel(t, parent);
    l->setWordWrap(true);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

// A page of plain lines; the first one as a heading.
QWidget *textPage(const QStringList &lines)
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    for (int i = 0; i < lines.size(); ++i)
        v->addWidget(text(lines[i], page, i == 0));
    v->addStretch();
    return page;
}

// A directory line with a Browse button that picks one.
QLineEdit *directoryRow(QWidget *page, QVBoxLayout *v, const QString &label, const QString &name)
{
    auto *row = new QHBoxLayout;
    auto *edit = new QLineEdit(page);
    edit->setObjectName(name);
    auto *caption = new QLabel(label, page);
    caption->setBuddy(edit);
    auto *browse = new QPushButton(QStringLiteral("B&rowse..."), page);
    row->addWidget(edit, 1);
    row->addWidget(browse);
    v->addWidget(caption);
    v->addLayout(row);
    QObject::connect(browse, &QPushButton::clicked, page, [page, edit] {
        const QString dir = QFileDialog::getExistingDirectory(page, QString(), edit->text());
        if (!dir.isEmpty())
            edit->setText(QDir::toNativeSeparators(dir));
    });
    return edit;
}

} // namespace

TRepair::Buttons TRepair::buttonsFor(Page page, bool filesShown)
{
    switch (page) {
    case Menu:
        return {true, false, true, false};
    case UserPath:
        return {filesShown, true, true, false};
    case NewPath:
    case WaitDataSearch:
    case SearchOK:
        return {true, true, true, false};
    case UserPathError:
    case NewDBError:
    case SearchError:
    case GetSearchError:
    case RepairError:
        return {false, true, true, false};
    case Fixed:
    case PageCount:
        break;
    }
    return {false, false, false, true};
}

QString TRepair::pageName(Page page)
{
    static const char *const names[] = {"menu",           "UserPath",       "UserPathError", "NewPath",
                                        "NewDBError",     "WaitDataSearch", "SearchOK",      "SearchError",
                                        "GetSearchError", "RepairError",    "fixed"};
    return page < PageCount ? QLatin1String(names[page]) : QString();
}

TRepair::TRepair(Connection &connection, QString configPath, QString dataSource, QString userName,
                 QString password, const QString &reason, QWidget *parent)
    : QDialog(parent), m_connection(connection), m_configPath(std::move(configPath)),
      m_dataSource(std::move(dataSource)), m_userName(std::move(userName)), m_password(std::move(password))
{
    setObjectName(QStringLiteral("TRepair"));
    setWindowTitle(QStringLiteral("Vellumark Data Recovery System"));
    setModal(true);
    m_pages = new QStackedWidget(this);

    // menu
    {
        auto *page = new QWidget;
        auto *v = new QVBoxLayout(page);
        v->addWidget(text(QStringLiteral("The folder database could not be found "), page, true));
        v->addWidget(
            text(QStringLiteral("This may occur if the folder database was deleted, moved to a new location"),
                 page));
        if (!reason.isEmpty()) {
            auto *why = text(reason, page);
            why->setObjectName(QStringLiteral("labReason"));
            why->setTextInteractionFlags(Qt::TextSelectableByMouse);
            v->addWidget(why);
        }
        auto *box =
            new QGroupBox(QStringLiteral("Select one of the following options for Data recovery"), page);
        box->setObjectName(QStringLiteral("RadioGroup1"));
        auto *bv = new QVBoxLayout(box);
        m_options = new QButtonGroup(this);
        const QStringList options = {QStringLiteral("Stop executing Vellumark and exit."),
                                     QStringLiteral("Run Vellumark with no data."),
                                     QStringLiteral("Specify the new location of the folder database."),
                                     QStringLiteral("Let Vellumark search for a folder database."),
                                     QStringLiteral("Repair the folder database.")};
        for (int i = 0; i < options.size(); ++i) {
            auto *r = new QRadioButton(options[i], box);
            m_options->addButton(r, i);
            bv->addWidget(r);
            if (i == OptionRepair)
                m_repairOption = r;
        }
        m_options->button(OptionStop)->setChecked(true);
        v->addWidget(box);
        v->addStretch();
        m_pages->addWidget(page);
    }
    // UserPath
    {
        auto *page = new QWidget;
        auto *v = new QVBoxLayout(page);
        v->addWidget(text(QStringLiteral("Please select the directory containing the folder database files"),
                          page, true));
        m_userPathDir = directoryRow(page, v, QStringLiteral("&Directory:"), QStringLiteral("UserPathDir"));
        m_userPathLabel = text(QString(), page);
        v->addWidget(m_userPathLabel);
        m_fileList = new QListWidget(page);
        m_fileList->setObjectName(QStringLiteral("FileListBox1"));
        v->addWidget(m_fileList, 1);
        m_filter = new QComboBox(page);
        m_filter->addItem(QStringLiteral("Vellumark files"), QStringLiteral("*.db;*.db-wal"));
        m_filter->addItem(QStringLiteral("All files"), QStringLiteral("*"));
        v->addWidget(m_filter);
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Filename:"), page));
        auto *dbName = new QLabel(QStringLiteral("( %1.db, %1.db-wal )").arg(m_dataSource), page);
        dbName->setObjectName(QStringLiteral("labDbName"));
        row->addWidget(dbName, 1);
        v->addLayout(row);
        connect(m_userPathDir, &QLineEdit::textChanged, this, [this] { refreshFileList(); });
        connect(m_filter, &QComboBox::currentIndexChanged, this, [this] { refreshFileList(); });
        m_pages->addWidget(page);
    }
    m_pages->addWidget(textPage({QStringLiteral("you specify an incorrect path !"),
                                 QStringLiteral("There are no folder database in this path"),
                                 QStringLiteral("Press \"Back\" to select a new path"), QStringLiteral("or"),
                                 QStringLiteral("press \"Cancel\" to exit Vellumark")}));
    // NewPath
    {
        auto *page = new QWidget;
        auto *v = new QVBoxLayout(page);
        v->addWidget(text(QStringLiteral("Please specify the directory you want to"), page, true));
        v->addWidget(text(QStringLiteral("create a new folder database"), page, true));
        m_newPathDir = directoryRow(page, v, QStringLiteral("&Directory:"), QStringLiteral("NewPathDir"));
        v->addStretch();
        m_pages->addWidget(page);
    }
    m_pages->addWidget(textPage({QStringLiteral("Vellumark could not create a new folder database."),
                                 QStringLiteral("Press \"Back\" to try again "), QStringLiteral("or"),
                                 QStringLiteral("press 'Canel' to exit Vellumark")}));
    // WaitDataSearch
    {
        auto *page =
            textPage({QStringLiteral("Vellumark will search for an existing folder database. This may take "
                                     "several minutes."),
                      QStringLiteral("Press \"Next\"  to begin searching ")});
        m_searchStatus = text(QString(), page);
        m_searchStatus->setObjectName(QStringLiteral("labSearching"));
        static_cast<QVBoxLayout *>(page->layout())->insertWidget(2, m_searchStatus);
        m_pages->addWidget(page);
    }
    // SearchOK
    {
        auto *page = new QWidget;
        auto *v = new QVBoxLayout(page);
        v->addWidget(text(QStringLiteral("Folder databases have been found "), page, true));
        v->addWidget(
            text(QStringLiteral("Folder databases have been found in the following directories."), page));
        v->addWidget(
            text(QStringLiteral("Please select one directory and press \"Next\" for processing"), page));
        m_searchList = new QListWidget(page);
        m_searchList->setObjectName(QStringLiteral("SearchList"));
        v->addWidget(m_searchList, 1);
        connect(m_searchList, &QListWidget::itemDoubleClicked, this, [this] { next(); });
        m_pages->addWidget(page);
    }
    m_pages->addWidget(textPage({QStringLiteral("Vellumark cound not find any folder databases."),
                                 QStringLiteral("An error occurred while searching for folder databases."),
                                 QStringLiteral("Press \"Back\" to search again "),
                                 QStringLiteral("press 'Cancel' to exit Vellumark")}));
    m_pages->addWidget(
        textPage({QStringLiteral("Vellumark could not open this folder database."),
                  QStringLiteral("There may be errors in the database or one or more database files "
                                 "may missing or corrupted."),
                  QStringLiteral("Press \"Back\" to select another data file "),
                  QStringLiteral("press \"Cancel\" to exit Vellumark")}));
    // RepairError
    {
        auto *page = textPage({QStringLiteral("Vellumark could not repair this folder database."),
                               QStringLiteral("Press \"Back\" to choose another way "),
                               QStringLiteral("press \"Cancel\" to exit Vellumark")});
        m_repairReason = text(QString(), page);
        m_repairReason->setObjectName(QStringLiteral("labRepairReason"));
        m_repairReason->setTextInteractionFlags(Qt::TextSelectableByMouse);
        static_cast<QVBoxLayout *>(page->layout())->insertWidget(1, m_repairReason);
        m_pages->addWidget(page);
    }
    m_pages->addWidget(textPage({QStringLiteral("The database folder has been relocated."),
                                 QStringLiteral("You are now ready to run Vellumark."),
                                 QStringLiteral("Press \"Finish\"  to continue.")}));
    for (int i = 0; i < PageCount; ++i)
        m_pages->widget(i)->setObjectName(pageName(Page(i)));

    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CanBtn"));
    m_back = new QPushButton(QStringLiteral("&Back"), this);
    m_back->setObjectName(QStringLiteral("PrevBtn"));
    m_next = new QPushButton(QStringLiteral("&Next"), this);
    m_next->setObjectName(QStringLiteral("OKBtn"));
    m_finish = new QPushButton(QStringLiteral("&Finish"), this);
    m_finish->setObjectName(QStringLiteral("FinishBtn"));
    for (QPushButton *b : {m_cancel, m_back, m_next, m_finish})
        b->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &TRepair::reject);
    connect(m_back, &QPushButton::clicked, this, &TRepair::back);
    connect(m_next, &QPushButton::clicked, this, &TRepair::next);
    connect(m_finish, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {m_cancel, m_back, m_next, m_finish})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    resize(520, 360);

    setRepairable(false);
    showPage(Menu);
}

void TRepair::setRepairable(bool repairable)
{
    m_repairOption->setVisible(repairable);
    m_repairOption->setEnabled(repairable);
}

void TRepair::chooseOption(Option option)
{
    if (QAbstractButton *b = m_options->button(option))
        b->setChecked(true);
}

void TRepair::setUserPath(const QString &directory)
{
    m_userPathDir->setText(directory);
}

void TRepair::setNewPath(const QString &directory)
{
    m_newPathDir->setText(directory);
}

QString TRepair::trimmedDirectory(const QString &text) const
{
    QString dir = QDir::fromNativeSeparators(text.trimmed());
    if (dir.startsWith(QLatin1String("~/")))
        dir = QDir::homePath() + dir.mid(1);
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

void TRepair::refreshFileList()
{
    m_fileList->clear();
    const QString dir = trimmedDirectory(m_userPathDir->text());
    m_userPathLabel->setText(dir);
    if (!dir.isEmpty() && QFileInfo(dir).isDir()) {
        const QStringList masks = m_filter->currentData().toString().split(QLatin1Char(';'));
        m_fileList->addItems(QDir(dir).entryList(masks, QDir::Files | QDir::Hidden, QDir::Name));
    }
    if (m_page == UserPath) {
        // Enter goes on once there is something to go on with, and back until then.
        const bool next = buttonsFor(UserPath, m_fileList->count() > 0).next;
        m_next->setEnabled(next);
        m_next->setDefault(next);
        m_back->setDefault(!next);
    }
}

void TRepair::showPage(Page page)
{
    m_page = page;
    m_pages->setCurrentIndex(page);
    const Buttons b = buttonsFor(page, m_fileList->count() > 0);
    m_next->setEnabled(b.next);
    m_back->setEnabled(b.back);
    m_cancel->setEnabled(b.cancel);
    m_finish->setEnabled(b.finish);
    // Enter presses the way on; the focus goes where the page is worked.
    // On an error page that is Back.
    m_next->setDefault(b.next);
    m_finish->setDefault(b.finish);
    m_back->setDefault(!b.next && !b.finish && b.back);
    QWidget *focus = nullptr;
    switch (page) {
    case Menu:
        focus = m_options->checkedButton();
        break;
    case UserPath:
        focus = m_userPathDir;
        break;
    case NewPath:
        focus = m_newPathDir;
        break;
    case SearchOK:
        focus = m_searchList;
        break;
    case Fixed:
        focus = m_finish;
        break;
    default:
        focus = b.next ? m_next : m_back;
        break;
    }
    if (focus)
        focus->setFocus();
}

void TRepair::next()
{
    if (!m_next->isEnabled() || m_searching)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore
    {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    switch (m_page) {
    case Menu:
        switch (m_options->checkedId()) {
        case OptionStop:
            QDialog::reject();
            return;
        case OptionNoData:
            showPage(NewPath);
            return;
        case OptionLocation:
            showPage(UserPath);
            refreshFileList();
            return;
        case OptionSearch:
            showPage(WaitDataSearch);
            return;
        case OptionRepair: {
            m_connection.disconnect();
            QStringList lines;
            QString error;
            if (RepairDataSource(m_configPath, m_dataSource, lines, &error) &&
                m_connection.connect(m_configPath, m_dataSource, m_userName, m_password) == vkdb::DbOk) {
                showPage(Fixed);
            } else {
                if (error.isEmpty())
                    error = QString::fromStdString(vkdb::DbErrorText());
                m_repairReason->setText(error);
                showPage(RepairError);
            }
            return;
        }
        }
        return;
    case UserPath: {
        const QString dir = trimmedDirectory(m_userPathDir->text());
        if (QFileInfo::exists(DatabaseFileIn(dir, m_dataSource)) &&
            UseDatabaseIn(m_connection, m_configPath, m_dataSource, m_userName, m_password, dir))
            showPage(Fixed);
        else
            showPage(UserPathError);
        return;
    }
    case NewPath: {
        m_next->setEnabled(false);
        m_back->setEnabled(false);
        m_cancel->setEnabled(false);
        const QString dir = trimmedDirectory(m_newPathDir->text());
        if (!dir.isEmpty() &&
            CreateDatabaseIn(m_connection, m_configPath, m_dataSource, m_userName, m_password, dir))
            showPage(Fixed);
        else
            showPage(NewDBError);
        return;
    }
    case WaitDataSearch:
        runSearch();
        return;
    case SearchOK: {
        QListWidgetItem *item = m_searchList->currentItem();
        if (!item || !item->isSelected())
            return;
        const QString dir = QFileInfo(item->text()).absolutePath() + QLatin1Char('/');
        if (UseDatabaseIn(m_connection, m_configPath, m_dataSource, m_userName, m_password, dir))
            showPage(Fixed);
        else
            showPage(GetSearchError);
        return;
    }
    default:
        return;
    }
}

void TRepair::runSearch()
{
    m_next->setEnabled(false);
    m_back->setEnabled(false);
    // Cancel stays: during the search it stops the search.
    m_cancel->setEnabled(true);
    m_searching = true;
    m_stopSearch = false;
    m_searchList->clear();
    QApplication::restoreOverrideCursor();
    const QStringList roots = m_searchRoots.isEmpty() ? DatabaseSearchRoots() : m_searchRoots;
    int visited = 0;
    const QStringList found = SearchDatabases(roots, m_dataSource, [this, &visited](const QString &dir) {
        if (++visited % 50 == 1) {
            m_searchStatus->setText(QStringLiteral("Searching %1").arg(dir));
            QApplication::processEvents();
        }
        return !m_stopSearch;
    });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_searching = false;
    m_searchStatus->clear();
    m_searchList->addItems(found);
    if (found.isEmpty()) {
        showPage(m_stopSearch ? WaitDataSearch : SearchError);
        return;
    }
    m_searchList->setCurrentRow(0);
    showPage(SearchOK);
}

void TRepair::back()
{
    if (!m_back->isEnabled())
        return;
    switch (m_page) {
    case UserPath:
    case NewPath:
    case WaitDataSearch:
    case RepairError:
        showPage(Menu);
        break;
    case UserPathError:
        showPage(UserPath);
        refreshFileList();
        break;
    case NewDBError:
        showPage(NewPath);
        break;
    case SearchOK:
    case SearchError:
        showPage(WaitDataSearch);
        break;
    case GetSearchError:
        showPage(SearchOK);
        break;
    default:
        break;
    }
}

void TRepair::reject()
{
    if (m_searching) {
        m_stopSearch = true;
        return;
    }
    // Escape on the last page: the connection is made, only Finish closes it.
    if (m_page == Fixed || !m_cancel->isEnabled())
        return;
    m_connection.disconnect();
    QDialog::reject();
}

} // namespace vk
