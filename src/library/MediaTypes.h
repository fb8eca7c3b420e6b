// Media type codes and the extension table that produces them.
#pragma once

#include <QString>

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
inline bool isPictureType(int type)
{
    return type > 0 && type < 99;
}

} // namespace vk
