// Where vkctl's results and messages go, and the forms they take.
//
// Results go to standard output: one record a line, fields separated by tabs, with a tab,
// line break or backslash inside a value written \t, \n, \\ (and a carriage return \r), so
// that a line is always a record; or, with --json, one JSON document. Messages go to
// standard error, each line starting "vkctl: ".
#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace vk {

// Results go to a stream of their own on a duplicate of standard output, taken before any
// work starts: the metafile reader turns standard output aside while it reads, and a
// result printed meanwhile by another thread must still reach the caller.
FILE *resultStream();
void flushResults();

// One line as it is.
void printLine(const QString &text);
// One record: the fields escaped and joined by tabs.
void printRecord(const QStringList &fields);
// One JSON document (an object or an array), indented.
void printJson(const QJsonValue &document);
// "vkctl: TEXT" on the message stream.
void printError(const QString &text);

// The engine's message for the last failure.
QString engineError();

} // namespace vk
