// The "Database" dialog: which data source the workspace connects to, with new data sources
// added (their names checked) and old ones deleted. The data sources are the sections of
// vkconfig.ini; adding and deleting change the file at once, as `vkctl init` does.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vk {

class UiServices;

class TDataSourceForm : public QDialog
{
    Q_OBJECT
public:
    // `connected` names the data source the workspace is connected to (empty when none): it can
    // no more be deleted than the one chosen for the next start.
    TDataSourceForm(QString configPath, QString dataSourceName, UiServices &ui, QWidget *parent = nullptr,
                    QString connected = {});

    // The current choice (the caption of labCurrentDSN).
    QString currentDataSource() const;
    bool adding() const;

    QListWidget *list() const { return m_list; }
    QLineEdit *newNameEdit() const { return m_edit; }
    QLabel *currentLabel() const { return m_current; }

    // The buttons' clicks.
    void btnSelectClick();
    void btnNewClick();
    void btnDeleteClick();

private:
    void showCurrent(const QString &name);
    void loadList();
    void setAdding(bool on);

    QString m_configPath;
    QString m_dataSourceName;
    QString m_connected;
    UiServices &m_ui;
    QLabel *m_current = nullptr;
    QLineEdit *m_edit = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_new = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_select = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace vk
