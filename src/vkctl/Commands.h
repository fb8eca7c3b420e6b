// The command groups of vkctl, each in a file of its own.
#pragma once

#include "Cli.h"

namespace vk {

QList<Command> sourceCommands();   // sources, init, sql (SourceCommands.cpp)
QList<Command> checkCommands();    // check (CheckCommand.cpp)
QList<Command> folderCommands();   // folder add, ls, rename, mv, cp, rm (FolderCommands.cpp)
QList<Command> itemCommands();     // ls, info, rm, mv, cp (ItemCommands.cpp)
QList<Command> transferCommands(); // import, export, thumb (TransferCommands.cpp)
QList<Command> keywordCommands();  // keyword add, ls, rm, tag, untag, recount (KeywordCommands.cpp)
QList<Command> searchCommands();   // search (SearchCommand.cpp)
QList<Command> printCommands();    // print (PrintCommand.cpp)
QList<Command>
bookCommands(); // book ls, show, export-json, import-json, rm, cp, play, flag, bar (BookCommands.cpp)
QList<Command> sendCommands();                                // send (SendCommand.cpp)
QList<Command> transitionCommands();                          // transition (TransitionCommand.cpp)
QList<Command> recordCommands();                              // record (RecordCommand.cpp)
QList<Command> completionCommands(const QList<Command> &all); // completion (Completion.cpp)

} // namespace vk
