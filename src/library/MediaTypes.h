// Media type codes and the extension table that produces them.
#pragma once

#include <QString>
#include <QStringList>

namespace vk {

// Below 99 a picture, 99 text, 100-199 audio, 200-299 video, 300 a document, 301 a subfolder tile.
enum MediaTypeCode : int
{
    TypeBmp = 1,
    TypeJpg = 3,
    TypePcx = 4,
    TypePng = 5,
    TypeTga = 6,
    TypeTif = 7,
    TypeGif = 8,
    TypeIco = 9,
    TypeWmf = 10,
    TypeText = 99,
    TypeWav = 101,
    TypeMid = 102,
    TypeRmi = 103,
    TypeMp3 = 104,
    TypeAvi = 201,
    TypeMpg = 202,
    TypeDocument = 300,
    TypeSubFolder = 301,
};

// The type of a file by its extension, whatever its letter case; 300 for any other.
int MediaTypeOfExtension(const QString &path);

// "<Image>", "<Audio>" and so on: the label shown before a title. Also the slide object
// kinds (410 and up). Empty for text (99) and any code without a label.
QString TypeLabel(int code);

// The save dialog's filter for exporting an item of `code`: "All Files" first, then the
// formats the item can be written as; `extensions` runs parallel to the filter entries
// ("" for All Files) and `index` (1-based) picks the item's own format.
struct ExportFilterSet
{
    QString filter;
    QStringList extensions;
    int index = 1;
};
ExportFilterSet ExportFilter(int code);

// The name an export writes and the type it writes it as: a name without an extension gets
// the extension of the chosen filter entry; the type comes from the extension (-1 for one
// that names no type: the file is copied as it is).
struct ExportTarget
{
    QString name;
    int code = -1;
};
ExportTarget TypeOfExportName(const QStringList &extensions, int filterIndex, const QString &name);

// A filter text of "label|patterns|label|patterns..." pairs as Qt's file dialogs take it:
// one "label (patterns)" entry a pair, patterns in lower case (the program's own dialogs
// match names without regard to letter case).
QStringList DialogFilters(const QString &filter);

// The import dialog's filter.
QString ImportFilter();
inline bool isPictureType(int type)
{
    return type > 0 && type < 99;
}

} // namespace vk
