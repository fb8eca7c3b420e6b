// vkctl set: a media item's title, author, date and description from the command line.
//
//   set MEDIA_OID [--title TITLE] [--author AUTHOR] [--date YYYY-MM-DD] [--description-file PATH|-]
//
// The fields given are written in one statement, checked and stored exactly as the property
// dialog stores them (a date that names no day is refused with "Date Format Error." and
// nothing is written). PATH - reads the description from standard input. Prints nothing; exit
// 0 when stored, 1 when refused or failed, 2 on a usage error.
#pragma once

#include "BookCommands.h"

namespace vk {

// `args` are what follows "set": the OID and the options, in any order.
int cmdSet(QStringList args, const BookCommandContext &context);

} // namespace vk
