// The about box: the program's name, version and where its parts come from.
#pragma once

#include <QDialog>

namespace vk {

class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
};

} // namespace vk
