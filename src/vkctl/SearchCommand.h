// vkctl search, and the naming of folders by OID or title path that it shares.
#pragma once

#include "BookCommands.h"

namespace vk {

class TDbFolder;
class TDbFolderList;

int cmdSearch(QStringList args, const BookCommandContext &context);

// A folder by its OID, or by its title path ("Holiday 2026/Day 1"; "\/" for a "/" inside a
// title), titles matched exactly. Null with *error set when none or several match (their OIDs
// listed).
TDbFolder *FindFolderByName(TDbFolderList &roots, const QString &name, QString *error);

} // namespace vk
