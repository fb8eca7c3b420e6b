// The Jump flag's dialog: where the play goes on from, chosen among the slide's labels.
#pragma once

#include "FlagForm.h"

class QComboBox;

namespace vk {

class TJumpForm : public TFlagForm
{
    Q_OBJECT
public:
    explicit TJumpForm(EditedSlide &edited, QWidget *parent = nullptr);
    QComboBox *MarkList;

protected:
    void fill(const TsFlag &flag) override;
    void fillNew(int time) override;
    bool propose(TsFlag &flag, QString *why) override;

private:
    void listLabels();
};

} // namespace vk
