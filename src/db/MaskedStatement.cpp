#include "MaskedStatement.h"

#include "Connection.h"
#include "Engine.h"
#include "Messages.h"
#include "Statement.h"

#include <QFile>

namespace vk {

QString maskedSelectText(std::initializer_list<ColumnPiece> pieces, quint16 mask, const char *tail,
                         QList<quint16> &order)
{
    QString text = QStringLiteral("select");
    order.clear();
    for (const ColumnPiece &p : pieces) {
        if (mask & p.bit) {
            text += QLatin1String(p.piece);
            order.append(p.bit);
        }
    }
    text.chop(1);
    return text + QLatin1String(tail);
}

bool selectMaskedRow(Connection &c, const QString &text, const QString &oid, int executeMessage,
                     const QString &table, const QString &descriptionFile, int columns, QStringList &row)
{
    Statement st(c, text);
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    st.bind(oid);
    if (st.execute() > 1) {
        c.report(executeMessage, table);
        return false;
    }
    if (!descriptionFile.isEmpty()) {
        QFile::remove(descriptionFile);
        st.setColumnFile(columns - 1, descriptionFile);
    }
    return st.fetch(row) == vkdb::DbOk;
}

QString readTextFile(const QString &path)
{
    if (path.isEmpty())
        return QString();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

} // namespace vk
