// What runs right after a connection is made, in the workspace's start-up and before
// every vkctl command that opens a data source, so both always see the same schema:
// the integration check, the schema check and the option table.
#pragma once

#include "OptionStore.h"
#include "Schema.h"

#include <QStringList>

#include <functional>

namespace vk {

class Connection;

struct ConnectChecks
{
    IntegrationState integration;
    DisplayOptions options;
    QStringList changes;
    // Shows the step's status text ("Integration Check...", "Schema Check...", ...).
    std::function<void(const QString &)> status;
};

// False when the program must stop (the integration check failed; its message was shown).
bool RunConnectChecks(Connection &c, ConnectChecks &checks);

} // namespace vk
