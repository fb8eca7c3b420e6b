#include "CliUi.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <QtGlobal>

namespace vk {

FILE *messageStream()
{
    static FILE *stream = [] {
        const int fd = ::dup(STDERR_FILENO);
        FILE *f = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
        if (!f)
            return stderr;
        std::setvbuf(f, nullptr, _IOLBF, 0);
        return f;
    }();
    return stream;
}

void QuietLibraries()
{
    messageStream();
    if (!qEnvironmentVariableIsEmpty("VKCTL_DEBUG"))
        return;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
}

void CliUi::showMessage(const QString &text, Icon)
{
    QString oneLine = text;
    oneLine.replace(QLatin1String("\n\r"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(messageStream(), "vkctl: %s\n", oneLine.trimmed().toUtf8().constData());
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
        std::fprintf(messageStream(), "  %s\n", line.toUtf8().constData());
}

namespace {

volatile std::sig_atomic_t interrupted = 0;
struct sigaction previousInterrupt, previousTerminate;

void onInterrupt(int)
{
    interrupted = 1;
}

} // namespace

// While progress runs, Ctrl-C (or SIGTERM, as a service manager or `kill` sends it) asks to
// cancel: the work in hand finishes and what is done stays. A second one stops at once.
void CliUi::progressStart(const QString &label, int total)
{
    m_label = label;
    m_total = total;
    m_tty = ::isatty(::fileno(messageStream()));
    m_shown = false;
    interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    // Calls under way go on: the cancel is seen between one piece of work and the next.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInterrupt);
    sigaction(SIGTERM, &action, &previousTerminate);
}

bool CliUi::progressStep(int done)
{
    if (m_tty) {
        // A total of 0 is not known yet.
        if (m_total > 0)
            std::fprintf(messageStream(), "\r%s %d/%d", m_label.toUtf8().constData(), done, m_total);
        else
            std::fprintf(messageStream(), "\r%s %d", m_label.toUtf8().constData(), done);
        std::fflush(messageStream());
        m_shown = true;
    }
    return !interrupted;
}

void CliUi::progressEnd()
{
    if (m_shown)
        std::fprintf(messageStream(), "\n");
    m_shown = false;
    sigaction(SIGINT, &previousInterrupt, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
}

void CliUi::interruptProgress()
{
    if (m_shown)
        std::fputs("\r\x1b[K", messageStream());
}

} // namespace vk
