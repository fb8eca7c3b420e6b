#include "SearchMediaDialog.h"

#include "DbFolder.h"
#include "Icons.h"
#include "KeyWords.h"
#include "UiServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vk {

namespace {

constexpr int FolderRole = Qt::UserRole + 1;

void addSubfolders(QTreeWidgetItem *node, TDbFolder *folder)
{
    for (TDbMedia *m : folder->MediaList->Items) {
        if (!m->SubFolder)
            continue;
        auto *child = new QTreeWidgetItem(node, {m->SubFolder->Rec.Title});
        child->setIcon(0, vkIcon(QStringLiteral("folder")));
        child->setData(0, FolderRole, QVariant::fromValue(static_cast<void *>(m->SubFolder)));
        addSubfolders(child, m->SubFolder);
    }
}

} // namespace

TMedSearch::TMedSearch(TDbFolderList &roots, const TDbKeyWordList &keywords, UiServices &ui, QWidget *parent)
    : QDialog(parent), m_roots(roots), m_keywords(keywords), m_ui(ui)
{
    setWindowTitle(QStringLiteral("Search Media"));
    setWindowIcon(vkIcon(QStringLiteral("search")));
    auto *layout = new QVBoxLayout(this);
    auto *pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("SearchPages"));
    // Every page's tab shows whole; the dialog is at least as wide as the row of tabs.
    pages->setUsesScrollButtons(false);
    layout->addWidget(pages);

    // Text and Author.
    auto *textPage = new QWidget;
    auto *form = new QFormLayout(textPage);
    Keyword = new QLineEdit;
    edtAuthor = new QLineEdit;
    form->addRow(QStringLiteral("Text to find :"), Keyword);
    form->addRow(QStringLiteral("Author to find :"), edtAuthor);
    CaseSensitive = new QCheckBox(QStringLiteral("Case Sensitive"));
    form->addRow(CaseSensitive);
    auto *sepRow = new QHBoxLayout;
    ckbSeperate = new QCheckBox(QStringLiteral("Subtext is seperated by"));
    cboSeperate = new QComboBox;
    cboSeperate->addItems({QStringLiteral("Space"), QStringLiteral(","), QStringLiteral("/"),
                           QStringLiteral("."), QStringLiteral(";")});
    cboSeperate->setEnabled(false);
    sepRow->addWidget(ckbSeperate);
    sepRow->addWidget(cboSeperate);
    sepRow->addStretch();
    form->addRow(sepRow);
    pages->addTab(textPage, QStringLiteral("Text and Author"));

    // Media Type.
    auto *typePage = new QWidget;
    auto *typeLayout = new QVBoxLayout(typePage);
    rabMediaAll = new QRadioButton(QStringLiteral("All"));
    rabMediaPartly = new QRadioButton(QStringLiteral("Partly"));
    rabMediaAll->setChecked(true);
    lstMediaType = new QListWidget;
    lstMediaType->setSelectionMode(QAbstractItemView::MultiSelection);
    for (int i = 0; i < MediaClassCount; ++i)
        lstMediaType->addItem(MediaClassName(i));
    lstMediaType->setEnabled(false);
    typeLayout->addWidget(rabMediaAll);
    typeLayout->addWidget(rabMediaPartly);
    typeLayout->addWidget(lstMediaType);
    pages->addTab(typePage, QStringLiteral("Media Type"));

    // KeyWords.
    auto *keyPage = new QWidget;
    auto *keyLayout = new QVBoxLayout(keyPage);
    rabKeyWordsAll = new QRadioButton(QStringLiteral("All"));
    rabKeyWordsPartly = new QRadioButton(QStringLiteral("Partly"));
    rabKeyWordsAll->setChecked(true);
    lstKeyWords = new QListWidget;
    lstKeyWords->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const TDbKeyWord *k : keywords.Items) {
        auto *row = new QListWidgetItem(QIcon(k->Rec.IconFile), k->Rec.Name, lstKeyWords);
        row->setData(Qt::UserRole, k->Rec.OID);
    }
    lstKeyWords->setEnabled(false);
    keyLayout->addWidget(rabKeyWordsAll);
    keyLayout->addWidget(rabKeyWordsPartly);
    keyLayout->addWidget(lstKeyWords);
    pages->addTab(keyPage, QStringLiteral("KeyWords"));

    // Insert Date.
    auto *datePage = new QWidget;
    auto *dateLayout = new QFormLayout(datePage);
    rabAllTime = new QRadioButton(QStringLiteral("All Time"));
    rabDateFrom = new QRadioButton(QStringLiteral("From"));
    rabDateBetween = new QRadioButton(QStringLiteral("Between"));
    rabDateTo = new QRadioButton(QStringLiteral("To"));
    rabAllTime->setChecked(true);
    edtDateFrom = new QLineEdit;
    edtDateTo = new QLineEdit;
    for (QLineEdit *e : {edtDateFrom, edtDateTo}) {
        e->setInputMask(QStringLiteral("9999-99-99;_"));
        e->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
        e->setEnabled(false);
    }
    auto *modes = new QHBoxLayout;
    for (QRadioButton *b : {rabAllTime, rabDateFrom, rabDateBetween, rabDateTo})
        modes->addWidget(b);
    dateLayout->addRow(modes);
    dateLayout->addRow(QStringLiteral("From"), edtDateFrom);
    dateLayout->addRow(QStringLiteral("To"), edtDateTo);
    pages->addTab(datePage, QStringLiteral("Insert Date"));

    // Folder.
    trvFolder = new QTreeWidget;
    trvFolder->setHeaderHidden(true);
    pages->addTab(trvFolder, QStringLiteral("Folder"));
    fillTree();

    meoPredicate = new QPlainTextEdit;
    meoPredicate->setReadOnly(true);
    meoPredicate->setMinimumHeight(150);
    layout->addWidget(meoPredicate);
    auto *buttons = new QDialogButtonBox;
    QPushButton *start = buttons->addButton(QStringLiteral("&Start"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    start->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Start())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The controls and the summary.
    auto listFollows = [this](QRadioButton *partly, QListWidget *list) {
        connect(partly, &QRadioButton::toggled, this, [this, list](bool on) {
            list->setEnabled(on);
            if (!on)
                list->clearSelection();
            refreshSummary();
        });
        connect(list, &QListWidget::itemSelectionChanged, this, &TMedSearch::refreshSummary);
    };
    listFollows(rabMediaPartly, lstMediaType);
    listFollows(rabKeyWordsPartly, lstKeyWords);
    connect(ckbSeperate, &QCheckBox::toggled, this, [this](bool on) {
        cboSeperate->setEnabled(on);
        refreshSummary();
    });
    connect(cboSeperate, &QComboBox::currentIndexChanged, this, &TMedSearch::refreshSummary);
    connect(CaseSensitive, &QCheckBox::toggled, this, &TMedSearch::refreshSummary);
    for (QLineEdit *e : {Keyword, edtAuthor, edtDateFrom, edtDateTo})
        connect(e, &QLineEdit::editingFinished, this, &TMedSearch::refreshSummary);
    auto dates = [this] {
        edtDateFrom->setEnabled(rabDateFrom->isChecked() || rabDateBetween->isChecked());
        edtDateTo->setEnabled(rabDateTo->isChecked() || rabDateBetween->isChecked());
        refreshSummary();
    };
    for (QRadioButton *b : {rabAllTime, rabDateFrom, rabDateBetween, rabDateTo})
        connect(b, &QRadioButton::toggled, this, dates);
    connect(trvFolder, &QTreeWidget::currentItemChanged, this, &TMedSearch::refreshSummary);
    if (lstMediaType->count())
        lstMediaType->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    refreshSummary();
    resize(QSize(460, 480).expandedTo(minimumSizeHint()));
}

void TMedSearch::fillTree()
{
    auto *all = new QTreeWidgetItem(trvFolder, {QStringLiteral("All Folders")});
    all->setIcon(0, vkIcon(QStringLiteral("folder-open")));
    for (TDbFolder *f : m_roots.Folders) {
        auto *node = new QTreeWidgetItem(all, {f->Rec.Title});
        node->setIcon(0, vkIcon(QStringLiteral("folder")));
        node->setData(0, FolderRole, QVariant::fromValue(static_cast<void *>(f)));
        addSubfolders(node, f);
    }
    all->setExpanded(true);
    trvFolder->setCurrentItem(all);
}

TrecSearchCondition TMedSearch::condition() const
{
    TrecSearchCondition c;
    QTreeWidgetItem *node = trvFolder->currentItem();
    c.noFolder = node == nullptr;
    if (node)
        c.folder = static_cast<TDbFolder *>(node->data(0, FolderRole).value<void *>());
    if (rabMediaPartly->isChecked())
        for (int i = 0; i < lstMediaType->count(); ++i)
            if (lstMediaType->item(i)->isSelected())
                c.mediaTypes << i;
    c.text = Keyword->text();
    c.author = edtAuthor->text();
    c.caseSensitive = CaseSensitive->isChecked();
    if (ckbSeperate->isChecked()) {
        static const QChar separators[] = {QLatin1Char(' '), QLatin1Char(','), QLatin1Char('/'),
                                           QLatin1Char('.'), QLatin1Char(';')};
        c.separator = separators[std::clamp(cboSeperate->currentIndex(), 0, 4)];
    }
    if (rabKeyWordsPartly->isChecked()) {
        int selected = 0;
        for (int i = 0; i < lstKeyWords->count(); ++i)
            if (lstKeyWords->item(i)->isSelected()) {
                ++selected;
                c.keywordNames << lstKeyWords->item(i)->text();
                c.keywordOids << lstKeyWords->item(i)->data(Qt::UserRole).toString();
            }
        // Every keyword chosen is no condition at all.
        if (selected == lstKeyWords->count()) {
            c.keywordNames.clear();
            c.keywordOids.clear();
        }
    }
    if (rabDateFrom->isChecked())
        c.dateMode = TrecSearchCondition::From;
    else if (rabDateTo->isChecked())
        c.dateMode = TrecSearchCondition::To;
    else if (rabDateBetween->isChecked())
        c.dateMode = TrecSearchCondition::Between;
    c.from = edtDateFrom->text();
    c.to = edtDateTo->text();
    return c;
}

void TMedSearch::refreshSummary()
{
    Summary = SearchSummary(condition());
    meoPredicate->setPlainText(Summary.join(QLatin1Char('\n')));
}

bool TMedSearch::Start()
{
    const TrecSearchCondition c = condition();
    const SearchQuery q = BuildSearchQuery(c);
    if (!q.error.isEmpty()) {
        m_ui.showMessage(q.error, UiServices::Icon::Warning);
        if (q.fromInvalid)
            edtDateFrom->setFocus();
        else if (q.toInvalid)
            edtDateTo->setFocus();
        return false;
    }
    m_ui.setHourglass(true);
    TDbFolder *result = MakeResultFolder(q.title, tileWidth, tileHeight, tileBorder);
    const bool ok = RunSearch(m_roots.connection(), q, result, &m_roots);
    m_ui.setHourglass(false);
    if (!ok) {
        ReleaseResultFolder(m_roots, result);
        ResultFolder = nullptr;
        reject();
        return false;
    }
    ResultFolder = result;
    return true;
}

} // namespace vk
