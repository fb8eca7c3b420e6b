// "Return to Design Mode": which slide the authoring window edits when the ClearBook player
// closes, the one play began on or the one playing now.
#pragma once

#include <QDialog>

#include <optional>

class QRadioButton;

namespace vk {

enum class ReturnChoice
{
    OriginalSlide,
    CurrentSlide,
};

class TReturnForm : public QDialog
{
    Q_OBJECT
public:
    // Without a slide open for editing only the current slide can be chosen.
    explicit TReturnForm(bool editedSlideOpen, QWidget *parent = nullptr);
    ReturnChoice choice() const;

    // Asks modally; nothing when the person cancels (play goes on).
    static std::optional<ReturnChoice> ask(bool editedSlideOpen, QWidget *parent);

private:
    QRadioButton *m_original = nullptr;
    QRadioButton *m_current = nullptr;
};

} // namespace vk
