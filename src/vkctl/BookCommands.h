// vkctl book: ClearBooks from the command line.
//
//   book ls [--json]                 the ClearBooks and their slides
//   book show BOOK                   the ClearBook's slides, then their objects and flags
//   book export-json BOOK [PATH|-]   the whole ClearBook as one JSON document
//   book import-json PATH|-          a new ClearBook from such a document; prints its OID
//   book rm BOOK
//   book cp BOOK [--title TITLE]     prints the copy's OID
//
// BOOK is a ClearBook's OID or its title.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vk {

class Connection;

struct BookCommandContext
{
    std::function<bool(Connection &)> open; // connects and runs the after-connect checks
    std::function<void(const QString &)> print;
    std::function<void(const QString &)> error;
    QString workDirectoryBase;
};

int cmdBook(QStringList args, const BookCommandContext &context);

} // namespace vk
