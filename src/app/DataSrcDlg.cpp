#include "DataSrcDlg.h"

#include "ConfigFile.h"
#include "DatabaseSetup.h"
#include "Messages.h"
#include "UiServices.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vk {

TDataSourceForm::TDataSourceForm(QString configPath, QString dataSourceName, UiServices &ui, QWidget *parent,
                                 QString connected)
    : QDialog(parent), m_configPath(std::move(configPath)), m_dataSourceName(std::move(dataSourceName)),
      m_connected(std::move(connected)), m_ui(ui)
{
    setObjectName(QStringLiteral("DataSourceForm"));
    setWindowTitle(QStringLiteral("Database"));

    auto *heading = new QLabel(QStringLiteral("Current Database"), this);
    QFont underlined = heading->font();
    underlined.setUnderline(true);
    heading->setFont(underlined);
    m_current = new QLabel(this);
    m_current->setObjectName(QStringLiteral("labCurrentDSN"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("edtNewDSN"));
    m_edit->setMaxLength(MaxDataSourceNameLength);
    m_edit->setHidden(true);
    m_new = new QPushButton(QStringLiteral("New"), this);
    m_new->setObjectName(QStringLiteral("btnNew"));
    m_delete = new QPushButton(QStringLiteral("Delete"), this);
    m_delete->setObjectName(QStringLiteral("btnDelete"));
    m_select = new QPushButton(QStringLiteral("Select"), this);
    m_select->setObjectName(QStringLiteral("btnSelect"));
    auto *ok = m_ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstDataSource"));
    m_list->setSortingEnabled(true);
    for (QPushButton *b : {m_new, m_delete, m_select, cancel})
        b->setAutoDefault(false);
    ok->setDefault(true);

    auto *left = new QVBoxLayout;
    left->addWidget(heading);
    left->addWidget(m_current);
    left->addWidget(m_edit);
    left->addStretch();
    for (QPushButton *b : {m_new, m_delete, m_select, ok, cancel})
        left->addWidget(b);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(m_list, 1);

    connect(m_new, &QPushButton::clicked, this, &TDataSourceForm::btnNewClick);
    connect(m_delete, &QPushButton::clicked, this, &TDataSourceForm::btnDeleteClick);
    connect(m_select, &QPushButton::clicked, this, &TDataSourceForm::btnSelectClick);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &TDataSourceForm::btnSelectClick);
    // Enter on a name chooses it; the dialog's default button then closes it with that choice.
    connect(m_list, &QListWidget::itemActivated, this, &TDataSourceForm::btnSelectClick);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (!adding())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    loadList();
    showCurrent(m_dataSourceName);
    if (QList<QListWidgetItem *> found = m_list->findItems(m_dataSourceName, Qt::MatchFixedString);
        !found.isEmpty())
        m_list->setCurrentItem(found.first());
    m_list->setFocus();
    // The dialog is fixed in size, as small as its texts allow.
    setFixedSize(sizeHint().expandedTo(QSize(213, 217)));
}

QString TDataSourceForm::currentDataSource() const
{
    return m_current->text();
}

bool TDataSourceForm::adding() const
{
    return !m_edit->isHidden();
}

void TDataSourceForm::loadList()
{
    m_list->clear();
    vkdb::ConfigFile config(m_configPath.toStdString());
    for (const std::string &section : config.sections())
        m_list->addItem(QString::fromStdString(section));
}

void TDataSourceForm::showCurrent(const QString &name)
{
    m_current->setText(name);
    QFont f = m_current->font();
    f.setBold(name != m_dataSourceName);
    m_current->setFont(f);
}

void TDataSourceForm::setAdding(bool on)
{
    m_edit->setVisible(on);
    m_new->setText(on ? QStringLiteral("Add") : QStringLiteral("New"));
    m_delete->setText(on ? QStringLiteral("Abort") : QStringLiteral("Delete"));
    // Enter adds the name being typed, and closes the dialog otherwise.
    m_ok->setDefault(!on);
    m_new->setDefault(on);
    if (on) {
        m_edit->clear();
        m_edit->setFocus();
    } else {
        m_list->setFocus();
    }
}

void TDataSourceForm::btnSelectClick()
{
    if (QListWidgetItem *item = m_list->currentItem(); item && item->isSelected())
        showCurrent(item->text());
}

void TDataSourceForm::btnNewClick()
{
    if (!adding()) {
        setAdding(true);
        return;
    }
    const QString name = m_edit->text().trimmed();
    if (const QString refusal = DataSourceNameRefusal(name); !refusal.isEmpty()) {
        m_ui.showMessage(refusal, UiServices::Icon::Error);
        m_edit->setFocus();
        return;
    }
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->text().toUpper() == name.toUpper()) {
            m_ui.showMessage(vkMessage(MsgDatabaseNameDuplication), UiServices::Icon::Error);
            m_edit->setFocus();
            return;
        }
    }
    vkdb::ConfigFile config(m_configPath.toStdString());
    // Another program may have added it meanwhile.
    if (config.hasSection(name.toStdString())) {
        m_ui.showMessage(vkMessage(MsgDatabaseNameDuplication), UiServices::Icon::Error);
        loadList();
        return;
    }
    config.setValue(name.toStdString(), "DB_UsrID", "");
    if (!config.flush()) {
        m_ui.showMessage(QStringLiteral("%1 cannot be written.").arg(m_configPath), UiServices::Icon::Error);
        return;
    }
    m_list->addItem(name);
    if (QList<QListWidgetItem *> found = m_list->findItems(name, Qt::MatchExactly); !found.isEmpty())
        m_list->setCurrentItem(found.first());
    showCurrent(name);
    setAdding(false);
}

void TDataSourceForm::btnDeleteClick()
{
    if (adding()) {
        setAdding(false);
        return;
    }
    QListWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString name = item->text();
    // Names are told apart without regard to case, as when one is added.
    auto same = [&name](const QString &other) {
        return !other.isEmpty() && name.compare(other, Qt::CaseInsensitive) == 0;
    };
    if (same(currentDataSource()) || same(m_connected)) {
        m_ui.showMessage(vkMessage(MsgDeletedDatabaseInUse), UiServices::Icon::Error);
        return;
    }
    if (!m_ui.askOkCancel(name + QStringLiteral("\n\r") + vkMessage(MsgDatabaseWillBeDeleted),
                          UiServices::Icon::Warning))
        return;
    // Only the data source's section goes: its database and files stay where they are.
    vkdb::ConfigFile config(m_configPath.toStdString());
    config.eraseSection(name.toStdString());
    if (!config.flush()) {
        m_ui.showMessage(QStringLiteral("%1 cannot be written.").arg(m_configPath), UiServices::Icon::Error);
        return;
    }
    delete item;
}

} // namespace vk
