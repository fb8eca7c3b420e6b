// A ClearBook written as a web presentation: a folder holding index.html, the player's script
// (player.js) and style sheet (player.css), and the media the slides use (media/), which any
// current browser plays from disk, offline, with no server.
//
// The page holds the book as one JSON document, the one `vkctl book export-json` writes, with
// the media values turned into the names of the copies beside the page and a "look" added to
// every slide and object: what the slide surface draws, worked out here (colours resolved, the
// property text read, sizes in the reference units of the 800 × 600 page) so that the player
// only places and draws. The book's "clearBookId" and each slide's "slideId" are added, and the
// ClearBooks its links lead into come along in "linkedBooks" (documents of the same kind), so that
// a link into another ClearBook plays on there.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vk {

class EditedSlide;
class TDbClearBook;

struct WebExport
{
    bool ok = false;
    QString error;     // why nothing (or not everything) could be written
    QStringList notes; // media left out or converted, one line each
    int leftOut = 0;   // how many media could not be copied (the page plays without them)
};

// The document the page holds, with the media named as they are copied into `mediaDir` (a
// folder inside the page's folder, made when needed); the copies' names are plain names the
// exporter chose, so nothing a title or a path holds leads outside it.
QJsonObject WebClearBookDocument(EditedSlide &edited, TDbClearBook *cb, const QString &mediaDir,
                                 QStringList *notes);

// Writes the whole presentation into `dir` (made when missing); files of other names already
// there stay as they are. A page, player.js or player.css there is replaced only when the page
// is an earlier export: any other is kept and nothing is written.
WebExport ExportClearBookWeb(EditedSlide &edited, TDbClearBook *cb, const QString &dir);

// The page's text for a document: the JSON made safe to hold inside a script element.
QByteArray WebPageText(const QJsonObject &doc, const QString &title);

} // namespace vk
