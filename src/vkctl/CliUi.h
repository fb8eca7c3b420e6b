// UiServices for vkctl: messages go to stderr, questions take their safe answer,
// progress shows on stderr only when it is a terminal.
#pragma once

#include "UiServices.h"

#include <cstdio>

namespace vk {

// Where vkctl's own messages go: a duplicate of standard error taken at start-up. The
// libraries' chatter on standard error itself (decoders print their complaints about
// damaged files there) is silenced by QuietLibraries, so that every line a script reads
// on stderr is one of ours.
FILE *messageStream();
// Points standard error at /dev/null, unless VKCTL_DEBUG is set.
void QuietLibraries();

class CliUi : public UiServices
{
public:
    void showMessage(const QString &text, Icon icon) override;
    bool askYesNo(const QString &text) override;
    bool askOkCancel(const QString &text, Icon icon) override;
    void showInformation(const QString &caption, const QStringList &lines, const QString &prompt) override;
    // No one to ask: the preselected choice, for this file only.
    int askChoice(const QString &, const QString &, const QStringList &, const QStringList &, int chosen,
                  const QString &, bool *) override
    {
        return chosen;
    }
    void progressStart(const QString &label, int total) override;
    bool progressStep(int done) override;
    void progressEnd() override;
    // Clears the progress line so that a message can take its place.
    void interruptProgress();
    void setHourglass(bool) override {}
    void setStatusText(const QString &) override {}

private:
    QString m_label;
    int m_total = 0;
    bool m_tty = false;
    bool m_shown = false;
};

} // namespace vk
