// The program's pictures: toolbar and menu icons, the six type bitmaps that stand in
// for thumbnails, and the screen cursors. Each is made once and kept for the run.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace vk {

// An icon of the program's set (16, 22 and 32 pixel versions) by its name, e.g. "folder-new".
QIcon vkIcon(const QString &name);
// The program's own icon, for its windows.
QIcon applicationIcon();

// The bitmaps shown for items without a thumbnail: "image", "folder", "Video", "Audio",
// "Text2" and "Ole".
class TypeBitmaps
{
public:
    // Loads the six bitmaps; later calls do nothing.
    static void load();
    static bool loaded();
    // The bitmap of a name; a null pixmap for any other name.
    static QPixmap bitmap(const QString &name);
    // The bitmap that stands for an item of a media type: pictures "image", 99 "Text2",
    // audio "Audio", video "Video", 301 "folder", anything else "Ole".
    static QString nameOfMediaType(int type);
};

// The screen cursors other windows refer to by number.
enum CursorNumber : int
{
    crEmpty = 1,
    crMove = 2,
    crCopy = 3,
    crMMove = 4,
    crMCopy = 5,
    crSMove = 6,
    crSCopy = 7,
    crMSMove = 8,
    crMSCopy = 9,
    CrHand = 11,
    CrPoint = 12
};

// Makes the program's cursors; later calls do nothing.
void RegisterCursors();
// The cursor of a number; the arrow for a number that names none (10 is not used).
QCursor vkCursor(int number);

} // namespace vk
