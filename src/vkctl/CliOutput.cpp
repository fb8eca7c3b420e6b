#include "CliOutput.h"

#include "ClearBookJson.h"
#include "CliUi.h"
#include "Engine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace vk {

FILE *resultStream()
{
    static FILE *stream = [] {
        const int fd = ::dup(STDOUT_FILENO);
        FILE *f = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
        return f ? f : stdout;
    }();
    return stream;
}

void flushResults()
{
    std::fflush(resultStream());
}

void printLine(const QString &text)
{
    std::fprintf(resultStream(), "%s\n", text.toUtf8().constData());
}

void printRecord(const QStringList &fields)
{
    QStringList escaped;
    escaped.reserve(fields.size());
    for (const QString &field : fields)
        escaped.append(escapeField(field));
    printLine(escaped.join(QLatin1Char('\t')));
}

void printJson(const QJsonValue &document)
{
    const QJsonDocument doc =
        document.isArray() ? QJsonDocument(document.toArray()) : QJsonDocument(document.toObject());
    std::fputs(doc.toJson(QJsonDocument::Indented).constData(), resultStream());
}

void printError(const QString &text)
{
    std::fprintf(messageStream(), "vkctl: %s\n", text.toUtf8().constData());
}

QString engineError()
{
    return QString::fromStdString(vkdb::DbErrorText());
}

} // namespace vk
