#include "ConnectChecks.h"

#include "Connection.h"
#include "Engine.h"
#include "Messages.h"

namespace vk {

bool RunConnectChecks(Connection &c, ConnectChecks &checks)
{
    auto status = [&checks](const char *name) {
        if (checks.status)
            checks.status(vkMessage(name));
    };
    for (const std::string &trigger : vkdb::DbRestoredTriggers(c.handle()))
        checks.changes.append(
            QStringLiteral("restored the engine's trigger %1").arg(QString::fromStdString(trigger)));
    status("IntegrationCheck");
    if (!IntegrationCheck(c, checks.integration, checks.status, &checks.changes))
        return false;
    status("SchemaCheck");
    StartupSchemaCheck(c, &checks.changes);
    status("ValueInitialize");
    checks.options = DisplayOptions();
    if (LoadOrCreateOptions(c, checks.options))
        checks.changes.append(QStringLiteral("created table OptionTable"));
    return true;
}

} // namespace vk
