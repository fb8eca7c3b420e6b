#include "Messages.h"

#include <QFile>
#include <QHash>

namespace vk {

namespace {

const QHash<QString, QString> &catalogue()
{
    static const QHash<QString, QString> texts = [] {
        QHash<QString, QString> map;
        QFile file(QStringLiteral(":/vellumark/messages.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return map;
        const QString all = QString::fromUtf8(file.readAll());
        for (const QString &line : all.split(QLatin1Char('\n'))) {
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const int tab = line.indexOf(QLatin1Char('\t'));
            if (tab < 0)
                continue;
            QString text = line.mid(tab + 1);
            text.replace(QLatin1String("\\n"), QLatin1String("\n"))
                .replace(QLatin1String("\\r"), QLatin1String("\r"));
            map.insert(line.left(tab), text);
        }
        return map;
    }();
    return texts;
}

} // namespace

QString vkMessage(int number)
{
    return catalogue().value(QString::number(number));
}

QString vkMessage(const char *name)
{
    return catalogue().value(QString::fromLatin1(name));
}

} // namespace vk
