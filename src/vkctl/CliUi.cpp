#include "CliUi.h"

#include <cstdio>
#include <unistd.h>

namespace vk {

void CliUi::showMessage(const QString &text, Icon)
{
    QString oneLine = text;
    oneLine.replace(QLatin1String("\n\r"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "vkctl: %s\n", oneLine.trimmed().toUtf8().constData());
}

bool CliUi::askYesNo(const QString &text)
{
    showMessage(text + QStringLiteral(" (answered no)"), Icon::Warning);
    return false;
}

bool CliUi::askOkCancel(const QString &text, Icon icon)
{
    showMessage(text + QStringLiteral(" (cancelled)"), icon);
    return false;
}

void CliUi::showInformation(const QString &, const QStringList &lines, const QString &prompt)
{
    showMessage(prompt, Icon::Information);
    for (const QString &line : lines)
        std::fprintf(stderr, "  %s\n", line.toUtf8().constData());
}

void CliUi::progressStart(const QString &label, int total)
{
    m_label = label;
    m_total = total;
    m_tty = ::isatty(STDERR_FILENO);
}

bool CliUi::progressStep(int done)
{
    if (m_tty)
        std::fprintf(stderr, "\r%s %d/%d", m_label.toUtf8().constData(), done, m_total);
    return true;
}

void CliUi::progressEnd()
{
    if (m_tty)
        std::fprintf(stderr, "\n");
}

} // namespace vk
