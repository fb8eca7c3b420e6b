// The short forms the frame asks with while the full folder dialogs are not part of the
// workspace: a new folder's title, and the choice of a folder to open.
#pragma once

#include <QString>

class QWidget;

namespace vk {

class TDbFolder;
class TDbFolderList;

// Asks for a new folder's title; OK is enabled only while the title is not empty.
// False when cancelled.
bool askFolderTitle(QWidget *parent, QString &title);

// Shows every folder as a tree (root folders with their subfolders) and answers the
// chosen one; null when cancelled. With no folders OK stays disabled.
TDbFolder *chooseFolder(QWidget *parent, const TDbFolderList &roots);

} // namespace vk
