// A whole ClearBook as one JSON document (its slides, objects, flags, descriptions and the media
// they use, library media by OID), and the listing of a ClearBook that `vkctl book show` prints.
//
// The document:
//   { "vellumark": "clearbook", "version": 1, "title", "author", "description",
//     "slides": [ { "title", "author", "description", "background": MEDIA|null,
//                   "backgroundStyle": "0"|"1"|"2", "ratio", "color", "gradient",
//                   "ending": "pause"|"sequence"|"repeat"|LINK,
//                   "objects": [ { "kind", "title", "caption", "hint", "tag", "barLeft", "barWidth",
//                                  "left", "top", "width", "height", "display": [l, t, w, h],
//                                  "designOrder", "properties", "link": null|"next"|"previous"|
//                                  "back"|"replay"|LINK, "media": MEDIA|null, "text" } ],
//                   "flags": [ { "id", "startTime", "name", "type", "loopEnd", "jumpTo",
//                                "activeType", "timeAssociated" } ] } ] }
//   MEDIA: { "library": OID } a library item's file, shared; { "file": PATH } a file copied in;
//          { "link": PATH } a file referred to where it lies.
//   LINK:  { "slide": N } the N-th slide (from 0) of this ClearBook;
//          { "clearBookId": C, "slideId": S } a slide of another ClearBook.
// Objects are listed bottom to top; "designOrder" is their place in the slide's object list.
// Positions are in reference units of an 800 × 600 slide.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vk {

class TDbClearBook;
class TDbClearBookList;

QJsonObject ExportClearBook(TDbClearBookList &books, TDbClearBook *cb);

// Makes a new ClearBook from a document, stored as one change. Answers null with *error set
// (and nothing stored) when the document is not one or refers to what is not there.
TDbClearBook *ImportClearBook(TDbClearBookList &books, const QJsonObject &doc, QString *error);

// The ClearBook, its slides, then the objects and flags of each slide, one record a line,
// fields separated by tabs (a tab, line break or backslash inside a value written \t, \n, \\).
// Nothing in it depends on row ids, so a ClearBook and its copy list alike.
QStringList ShowClearBook(TDbClearBookList &books, TDbClearBook *cb);

// A value for a tab-separated line.
QString escapeField(const QString &value);

} // namespace vk
