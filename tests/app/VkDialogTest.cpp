// The prompt dialog's layout, computed from its settings without showing it.
#include "VkDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>

using namespace vk;

namespace {

PromptMetrics fixedMetrics()
{
    PromptMetrics m;
    m.dialogWidth = 252;
    m.okWidth = m.cancelWidth = 75;
    m.okHeight = m.cancelHeight = 25;
    m.radioHeight = 17;
    m.checkHeight = 17;
    m.promptHeight = 13;
    m.textWidth = [](const QString &t) { return int(t.size()) * 6; };
    return m;
}

TEST(PromptLayoutTest, NothingButOk)
{
    PromptSettings s;
    const PromptLayout l = layoutPrompt(s, fixedMetrics());
    EXPECT_EQ(l.caption, "Vellumark");
    EXPECT_FALSE(l.panelVisible);
    EXPECT_TRUE(l.okVisible);
    EXPECT_FALSE(l.cancelVisible);
    EXPECT_EQ(l.ok.top(), 25);
    EXPECT_EQ(l.ok.left(), (252 - 75) / 2);
    EXPECT_EQ(l.dialogHeight, 55 + 25);
}

TEST(PromptLayoutTest, EveryPartStacksDownwards)
{
    PromptSettings s;
    s.dialogCaption = "Import";
    s.parts = PartInformation | PartChoices | PartOption | PartPrompt;
    s.buttons = 2;
    s.choices = {"Database file", "External file"};
    s.optionText = "Apply to all";
    const PromptLayout l = layoutPrompt(s, fixedMetrics());
    EXPECT_EQ(l.caption, "Import");
    EXPECT_TRUE(l.memoBorder) << "with choices the memo sits at the top with a border";
    EXPECT_EQ(l.memo, QRect(0, 0, 252, 100));
    ASSERT_EQ(l.radios.size(), 2);
    EXPECT_EQ(l.radios[0].topLeft(), QPoint(12, 105));
    EXPECT_EQ(l.radios[1].top(), 125);
    EXPECT_EQ(l.panel.height(), 142 + 10);
    EXPECT_EQ(l.option.top(), 152 + 5);
    EXPECT_EQ(l.option.width(), 12 * 6 + 40);
    EXPECT_EQ(l.option.left(), 252 - 72 - 40);
    EXPECT_EQ(l.prompt.top(), 174 + 10);
    EXPECT_EQ(l.ok.left(), 7);
    EXPECT_EQ(l.cancel.left(), 252 - 75 - 14);
    EXPECT_EQ(l.ok.top(), 197 + 10);
    EXPECT_EQ(l.dialogHeight, 232 + 30);

    // A long option text never pushes the box off the left edge.
    s.optionText = QString(100, 'x');
    EXPECT_EQ(layoutPrompt(s, fixedMetrics()).option.left(), 1);
}

TEST(PromptLayoutTest, TheDialogWidensToShowEveryTextWhole)
{
    // 6 pixels a character: the texts below are wider than the narrowest dialog (252).
    const QString question = "Are you sure you want to remove these media?!";
    struct Case
    {
        const char *name;
        int parts;
        QString text;
        int width;
    };
    const Case cases[] = {
        {"a short prompt keeps the narrowest width", PartPrompt, "Delete?", 252},
        {"the longest prompt line", PartPrompt, "short\n" + question, int(question.size()) * 6 + 16},
        {"a long choice", PartChoices, QString(50, 'c'), 50 * 6 + 20 + 24},
        {"a long option", PartOption, QString(60, 'o'), 60 * 6 + 41},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PromptSettings s;
        s.parts = c.parts;
        s.buttons = 2;
        s.promptText = c.text;
        s.optionText = c.text;
        s.choices = {c.text};
        const PromptLayout l = layoutPrompt(s, fixedMetrics());
        EXPECT_EQ(l.dialogWidth, c.width);
        if (c.parts & PartPrompt) {
            EXPECT_GE(l.prompt.width(), int(question.size()) * 6 * (c.width > 252));
            EXPECT_LE(l.prompt.right(), l.dialogWidth);
        }
        EXPECT_LE(l.cancel.right(), l.dialogWidth) << "Cancel stays inside";
    }
    // Never wider than the screen allows.
    PromptMetrics narrowScreen = fixedMetrics();
    narrowScreen.maxWidth = 280;
    PromptSettings s;
    s.parts = PartPrompt;
    s.promptText = question;
    EXPECT_EQ(layoutPrompt(s, narrowScreen).dialogWidth, 280);
}

TEST(PromptLayoutTest, InformationWithoutChoicesFillsThePanel)
{
    PromptSettings s;
    s.parts = PartInformation;
    const PromptLayout l = layoutPrompt(s, fixedMetrics());
    EXPECT_TRUE(l.memoVisible);
    EXPECT_FALSE(l.memoBorder);
    EXPECT_EQ(l.panel.height(), 110);
}

TEST(PromptDialogTest, NoticeOfTwoLinesUsesTheInformationBoxOnly)
{
    TfrmVkDialog dialog;
    QTimer::singleShot(0, &dialog, [&dialog] {
        EXPECT_TRUE(dialog.findChild<QPlainTextEdit *>()->isVisible());
        EXPECT_FALSE(dialog.findChild<QLabel *>()->isVisible());
        EXPECT_EQ(dialog.windowTitle(), "Vellumark");
        dialog.accept();
    });
    dialog.ShowNotice("first line\nsecond line");
    // Afterwards the caption, the choices and the memo are cleared for the next caller.
    EXPECT_TRUE(dialog.settings.dialogCaption.isEmpty());
    EXPECT_TRUE(dialog.settings.informationLines.isEmpty());

    QTimer::singleShot(0, &dialog, [&dialog] {
        EXPECT_FALSE(dialog.findChild<QPlainTextEdit *>()->isVisible());
        EXPECT_EQ(dialog.findChild<QLabel *>()->text(), "just one line");
        dialog.accept();
    });
    dialog.ShowNotice("just one line");
}

TEST(PromptDialogTest, AnswersComeBackInTheSettings)
{
    TfrmVkDialog dialog;
    dialog.settings.parts = PartChoices | PartOption;
    dialog.settings.buttons = 2;
    dialog.settings.choices = {"a", "b", "c"};
    dialog.settings.chosenIndex = 1;
    dialog.settings.optionText = "Remember";
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.findChild<QCheckBox *>()->setChecked(true);
        dialog.accept();
    });
    EXPECT_EQ(dialog.Execute(), QDialog::Accepted);
    EXPECT_EQ(dialog.settings.chosenIndex, 1);
    EXPECT_TRUE(dialog.settings.optionChecked);
    EXPECT_TRUE(dialog.settings.choices.isEmpty());
}

} // namespace
