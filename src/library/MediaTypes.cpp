#include "MediaTypes.h"

#include <QFileInfo>
#include <QHash>

namespace vk {

int MediaTypeOfExtension(const QString &path)
{
    static const QHash<QString, int> table = {
        {QStringLiteral("bmp"), TypeBmp},  {QStringLiteral("jpg"), TypeJpg},
        {QStringLiteral("pcx"), TypePcx},  {QStringLiteral("png"), TypePng},
        {QStringLiteral("tga"), TypeTga},  {QStringLiteral("tif"), TypeTif},
        {QStringLiteral("gif"), TypeGif},  {QStringLiteral("ico"), TypeIco},
        {QStringLiteral("wmf"), TypeWmf},  {QStringLiteral("txt"), TypeText},
        {QStringLiteral("wav"), TypeWav},  {QStringLiteral("mid"), TypeMid},
        {QStringLiteral("rmi"), TypeRmi},  {QStringLiteral("mp3"), TypeMp3},
        {QStringLiteral("avi"), TypeAvi},  {QStringLiteral("mpg"), TypeMpg},
        {QStringLiteral("mpeg"), TypeMpg},
    };
    return table.value(QFileInfo(path).suffix().toLower(), TypeDocument);
}

} // namespace vk
