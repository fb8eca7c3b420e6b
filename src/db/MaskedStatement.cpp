#include "MaskedStatement.h"

#include "Connection.h"
#include "Engine.h"
#include "Messages.h"
#include "Statement.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool openRegularFile(QFile &file, QString *why)
{
    // Opened without blocking first, so that a pipe with no writer cannot hold the caller, and
    // looked at through the open descriptor, so that what is read is what was looked at.
    const auto refuse = [&](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QByteArray name = QFile::encodeName(file.fileName());
    const int fd = name.isEmpty() ? -1 : ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(name.isEmpty() ? QStringLiteral("no file is named")
                                     : QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(QStringLiteral("not a regular file"));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(file.errorString());
    }
    return true;
}

QString readTextFile(const QString &path)
{
    if (path.isEmpty())
        return QString();
    QFile f(path);
    if (!openRegularFile(f))
        return QString();
    return QString::fromUtf8(f.readAll());
}

} // namespace vk
