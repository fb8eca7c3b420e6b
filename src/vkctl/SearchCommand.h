// vkctl search, and the naming of folders by OID or title path that it shares (FolderNames.h).
#pragma once

#include "Cli.h"
#include "FolderNames.h"

namespace vk {

QList<Command> searchCommands();

} // namespace vk
