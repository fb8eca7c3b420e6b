// The media search: criteria in, one statement over MediaData out (with its values bound, never
// spliced), its eight-line plain-language summary, the result folder's title, and the run that
// fills an unstored result folder whose items mirror the library's own.
//
// Text matches literally: "%", "_" and quotes in a typed text are characters like any other. A
// keyword matches a whole line of an item's KeyWords, never a part of another keyword's OID.
// "Case Sensitive" is case-sensitive; without it letters of every script match in any case.
#pragma once

#include "TextForms.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vk {

class Connection;
class TDbFolder;
class TDbFolderList;

struct TrecSearchCondition
{
    // The folder searched with every folder below it; null for all folders. `noFolder` when
    // nothing is chosen at all (the search cannot start).
    TDbFolder *folder = nullptr;
    bool noFolder = false;
    // Media classes 0 Image, 1 Audio, 2 AVI, 3 Text, 4 Others; empty for all.
    QList<int> mediaTypes;
    QString text;    // as typed
    QString author;  // as typed
    QChar separator; // null for none: the whole text is one item
    bool caseSensitive = false;
    // Keywords chosen (names and OIDs, in the same order); empty for all.
    QStringList keywordNames;
    QStringList keywordOids;
    enum DateMode
    {
        AllTime = 0,
        From = 1,
        To = 2,
        Between = 3
    };
    DateMode dateMode = AllTime;
    QString from, to; // "YYYY-MM-DD" as typed
};

inline constexpr int MediaClassCount = 5;
// "Image", "Audio", "AVI", "Text", "Others".
QString MediaClassName(int index);

// A text cut at each separator, empty pieces dropped; without a separator the whole text (when
// not empty).
QStringList SplitSearchText(const QString &text, QChar separator);

// The eight summary lines, "Search Media are" first.
QStringList SearchSummary(const TrecSearchCondition &c);

struct SearchQuery
{
    QString text;       // the statement
    QStringList values; // bound in order
    QString title;      // the result folder's title
    QString error;      // why the search cannot start (the message to show); empty when it can
    bool fromInvalid = false, toInvalid = false;
};

SearchQuery BuildSearchQuery(const TrecSearchCondition &c);

// Runs a query and appends a row's item to `result` for each row, in row order. With `roots`,
// each result item mirrors the library's item of that OID (found through a map, not a scan),
// holds a reference to it and shows its values as the library holds them (only the OIDs are
// fetched); rows whose item the library in memory does not hold are left out. A failed fetch shows "Database
// search failed :MediaData" and answers false.
bool RunSearch(Connection &c, const SearchQuery &query, TDbFolder *result, TDbFolderList *roots);
// The OIDs a query finds, in order (for vkctl). False on failure.
bool SearchOids(Connection &c, const SearchQuery &query, QStringList *oids);

// A new, unstored result folder with the title and tile sizes.
TDbFolder *MakeResultFolder(const QString &title, int width, int height, int border);
// Lets go of a result folder: each mirror lets go of its library item (the last holder of
// which deletes it), then the folder is freed.
void ReleaseResultFolder(TDbFolderList &roots, TDbFolder *result);

} // namespace vk
