#include "OptionStore.h"

#include "Connection.h"
#include "Engine.h"
#include "Messages.h"
#include "Statement.h"

namespace vk {

namespace {

const QString OptionTable = QStringLiteral("OptionTable");

enum class Written
{
    NotOpened,
    Partly,
    All
};

// Writes every option with the insert statement; a failed row is reported and the rest go on.
Written insertOptions(Connection &c, const DisplayOptions &options)
{
    Statement st(c, QStringLiteral("insert into OptionTable(OptionValue,Option) values (?,?) "));
    if (!st.needsParams()) {
        c.report(MsgInsertData, OptionTable);
        return Written::NotOpened;
    }
    bool all = true;
    for (int row = 0; row < 10; ++row) {
        st.nextParamSet();
        st.bind(QString::number(options.at(row)));
        st.bind(QLatin1String(DisplayOptions::names()[size_t(row)]));
        if (st.execute() > 1) {
            c.report(MsgUpdateData, OptionTable);
            all = false;
        }
    }
    return all ? Written::All : Written::Partly;
}

} // namespace

const std::array<const char *, 10> &DisplayOptions::names()
{
    static const std::array<const char *, 10> n = {
        "SizeOptionChecked", "PosOptionChecked",   "CustomDisplay.Width",     "CustomDisplay.Height",
        "DefaultPanelWidth", "DefaultPanelHeight", "DefaultPanelBorderWidth", "ScanImageType",
        "WallPaperStyle",    "WallPaperChecked"};
    return n;
}

int &DisplayOptions::at(int row)
{
    int *fields[] = {&SizeOptionChecked, &PosOptionChecked,   &CustomDisplayWidth,      &CustomDisplayHeight,
                     &DefaultPanelWidth, &DefaultPanelHeight, &DefaultPanelBorderWidth, &ScanImageType,
                     &WallPaperStyle,    &WallPaperChecked};
    return *fields[row];
}

bool OptionTableExists(Connection &c)
{
    Statement st(c, QStringLiteral("select * from SYSTABLE where TABLE_NAME = 'OptionTable'"));
    if (!st.isOpen()) {
        c.report(MsgRetrieveTableData, QStringLiteral("SYSTABLE"));
        return false;
    }
    QStringList row;
    return st.fetch(row) < 2;
}

void LoadOptions(Connection &c, DisplayOptions &options)
{
    Statement st(c, QStringLiteral("select Option,OptionValue from OptionTable"));
    if (!st.isOpen()) {
        c.report(MsgRetrieveTableData, OptionTable);
        return;
    }
    QStringList row;
    int rc;
    while ((rc = st.fetch(row)) < 2) {
        const QString name = row.value(0).trimmed();
        const QString value = row.value(1).trimmed();
        for (int i = 0; i < 10; ++i) {
            if (name != QLatin1String(DisplayOptions::names()[size_t(i)]))
                continue;
            bool ok = false;
            int number = value.toInt(&ok);
            if (i == 9 && value == QLatin1String("TRUE"))
                number = 1, ok = true;
            else if (i == 9 && value == QLatin1String("FALSE"))
                number = 0, ok = true;
            // A value that is not a number keeps the option's default.
            if (ok)
                options.at(i) = number;
        }
    }
    if (rc != vkdb::DbNoMoreRows)
        c.report(MsgRetrieveTableData, OptionTable);
}

bool CreateOptions(Connection &c, const DisplayOptions &options)
{
    if (vkdb::DbExecDirect(c.handle(), "create table OptionTable( Option char(64),OptionValue char(64)) ") >
        1) {
        c.report(MsgCreateTable, OptionTable);
        return false;
    }
    if (insertOptions(c, options) == Written::NotOpened) {
        vkdb::DbExecDirect(c.handle(), "drop table OptionTable");
        return false;
    }
    return true;
}

bool SaveOptions(Connection &c, const DisplayOptions &options)
{
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    vkdb::DbExecDirect(c.handle(), "delete from OptionTable");
    if (insertOptions(c, options) != Written::All)
        return false; // rolled back: the stored options stay as they were
    return tx.commit();
}

bool LoadOrCreateOptions(Connection &c, DisplayOptions &options)
{
    if (OptionTableExists(c)) {
        LoadOptions(c, options);
        return false;
    }
    return CreateOptions(c, options);
}

} // namespace vk
