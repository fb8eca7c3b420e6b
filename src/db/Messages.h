// The one message catalogue: every text the program shows, under its number
// (or, for texts without one, under a name).
#pragma once

#include <QString>

namespace vk {

QString vkMessage(int number);
QString vkMessage(const char *name);

// Database messages used by the statement helpers.
enum DbMessage : int
{
    MsgConnectFailed = 5000,
    MsgDisconnectFailed = 5001,
    MsgRetrieveTableData = 5002,
    MsgRetrieveColumnData = 5003,
    MsgCreateTable = 5004,
    MsgDeleteTable = 5005,
    MsgAlterTable = 5006,
    MsgInsertData = 5007,
    MsgDeleteData = 5008,
    MsgUpdateData = 5009,
    MsgRetrieveFilename = 5010,
    MsgMoveFileObject = 5011,
    MsgSqlOpen = 5012,
    MsgSetParamEnd = 5013,
    MsgGetRawData = 5014,
    MsgDatabaseSystemError = 5015,
    MsgDatabaseSearch = 5016,
    MsgDatabaseNameDuplication = 5017,
    MsgDeletedDatabaseInUse = 5018,
    MsgRetrieveDataFromTable = 5019,
    MsgDatabaseWarning = 6000,
    MsgDatabaseWillBeDeleted = 6001,
};

} // namespace vk
