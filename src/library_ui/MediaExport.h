// Exporting one library item where the person chooses, in the form the chosen name or filter
// gives: the folder window's Export and the property dialog's both ask this way.
#pragma once

class QWidget;

namespace vk {

class FolderWindowHost;
class TDbMedia;

// Asks for the target file and exports the item there; a failure is shown to the person.
// False when the person cancelled.
bool ExportMediaAsked(QWidget *parent, const TDbMedia &item, FolderWindowHost &host);

} // namespace vk
