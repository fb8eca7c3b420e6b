// vkctl book: ClearBooks from the command line.
//
//   book ls [--json]                 the ClearBooks and their slides
//   book show BOOK                   the ClearBook's slides, then their objects and flags
//   book export-json BOOK [PATH|-]   the whole ClearBook as one JSON document
//   book import-json PATH|-          a new ClearBook from such a document; prints its OID
//   book rm BOOK
//   book cp BOOK [--title TITLE]     prints the copy's OID
//   book flag ls|add|rm BOOK --slide N ...   a slide's timeline flags (see its help)
//   book bar BOOK --slide N OBJECT [--start T] [--end T | --length L]
//                                    an object's bar, as the timeline table sets it
//   book slide mv|cp|rm|set BOOK --slide N ...   reorder, move, copy or remove a slide, or set
//                                    its background, ending action and an object's link
//   book play BOOK [--slide N] --trace [--limit SECONDS] [--resume-after SECONDS]
//                                    plays the ClearBook from its slide N (default 1) on a
//                                    virtual clock, printing every event with its time
//
// BOOK is a ClearBook's OID or its title.
//
// The trace: one event a line, tab-separated fields, time first:
//
//   MS  CLOCK  EVENT  FIELD...
//
// MS is the virtual milliseconds since play began, CLOCK the timeline's clock in 1/100 s (it
// stands still through delays and pauses, and goes back when a loop or a jump does). The events
// and their fields are listed in src/timeline/PlayTrace.h: book, slide, show and hide of an
// object (by its number in `book show` and its title), media-play (with the position in ms),
// media-pause and media-stop, loop, loop-again, loop-out, loop-expired, jump, jump-nowhere,
// label, delay, delay-end, pause, resume, stop, end, link, restart and limit. Play stops at a
// Stop flag, at the end of a slide with no link, or after --limit seconds of virtual time
// (default 600); a pause is ended after --resume-after seconds (default 1) by the key press or
// click it waits for. Media are taken to be as long as their bars. Exit 0 when it played, 1
// when the ClearBook, the slide or its flags could not be read.
#pragma once

#include "Cli.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vk {

class Connection;

QList<Command> bookCommands();

// What a command written before vkctl's command table gets from the program: the data source
// opened, results and messages printed, a base for its work directory.
struct BookCommandContext
{
    std::function<bool(Connection &)> open; // connects and runs the after-connect checks
    std::function<void(const QString &)> print;
    std::function<void(const QString &)> error;
    QString workDirectoryBase;
};

} // namespace vk
