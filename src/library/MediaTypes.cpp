#include "MediaTypes.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

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
        // Longer spellings of the same formats, as cameras and scanners write them.
        {QStringLiteral("jpeg"), TypeJpg}, {QStringLiteral("tiff"), TypeTif},
    };
    return table.value(QFileInfo(path).suffix().toLower(), TypeDocument);
}

QString TypeLabel(int code)
{
    QString name;
    if (code == TypeText)
        return QString();
    if (code > 0 && code < TypeText)
        name = QStringLiteral("Image");
    else if (code >= 100 && code < 200)
        name = QStringLiteral("Audio");
    else if (code >= 200 && code < 300)
        name = QStringLiteral("Video");
    else if (code == TypeDocument)
        name = QStringLiteral("Ole");
    else if (code == TypeSubFolder)
        name = QStringLiteral("SubFolder");
    else {
        switch (code) {
        case 410: name = QStringLiteral("Text"); break;
        case 420: name = QStringLiteral("Button"); break;
        case 430: name = QStringLiteral("Memo"); break;
        case 451: name = QStringLiteral("Rectangle"); break;
        case 452: name = QStringLiteral("Round Rectangle"); break;
        case 453: name = QStringLiteral("Ellipse"); break;
        case 454:
        case 455: name = QStringLiteral("Line"); break;
        case 456: name = QStringLiteral("Polygon"); break;
        default: return QString();
        }
    }
    return QLatin1Char('<') + name + QLatin1Char('>');
}

ExportFilterSet ExportFilter(int code)
{
    ExportFilterSet set;
    set.filter = QStringLiteral("All Files( *.*)|*.*");
    set.extensions = {QString()};
    auto add = [&](const char *label, const char *ext) {
        set.filter += QStringLiteral("|%1( *.%2)|*.%2").arg(QLatin1String(label), QLatin1String(ext));
        set.extensions.append(QLatin1Char('.') + QLatin1String(ext));
    };
    if (code > 0 && code < TypeText) {
        add("BMP", "bmp");
        add("JPG", "jpg");
        add("PCX", "pcx");
        add("PNG", "png");
        add("TGA", "tga");
        add("TIF", "tif");
        add("GIF", "gif");
        if (code == TypeIco)
            add("ICO", "ico");
        if (code == TypeWmf)
            add("WMF", "wmf");
        switch (code) {
        case TypeBmp: set.index = 2; break;
        case TypeJpg: set.index = 3; break;
        case TypePcx: set.index = 4; break;
        case TypePng: set.index = 5; break;
        case TypeTga: set.index = 6; break;
        case TypeTif: set.index = 7; break;
        case TypeGif: set.index = 8; break;
        case TypeIco:
        case TypeWmf: set.index = 9; break;
        default: set.index = 1; break;
        }
        return set;
    }
    switch (code) {
    case TypeText: add("TEXT", "txt"); break;
    case TypeWav: add("WAV", "wav"); break;
    case TypeMid: add("MIDI", "mid"); break;
    case TypeRmi: add("RMI", "rmi"); break;
    case TypeMp3: add("MP3", "mp3"); break;
    case TypeAvi: add("AVI", "avi"); break;
    case TypeMpg: add("MPG", "mpg"); break;
    default: return set; // documents, and anything without a format of its own
    }
    set.index = 2;
    return set;
}

ExportTarget TypeOfExportName(const QStringList &extensions, int filterIndex, const QString &name)
{
    static const QHash<QString, int> table = {
        {QStringLiteral("bmp"), TypeBmp}, {QStringLiteral("jpg"), TypeJpg}, {QStringLiteral("jpeg"), TypeJpg},
        {QStringLiteral("pcx"), TypePcx}, {QStringLiteral("png"), TypePng}, {QStringLiteral("tga"), TypeTga},
        {QStringLiteral("tif"), TypeTif}, {QStringLiteral("tiff"), TypeTif}, {QStringLiteral("gif"), TypeGif},
        {QStringLiteral("ico"), TypeIco}, {QStringLiteral("wmf"), TypeWmf}, {QStringLiteral("mid"), TypeMid},
        {QStringLiteral("wav"), TypeWav}, {QStringLiteral("rmi"), TypeRmi}, {QStringLiteral("mp3"), TypeMp3},
        {QStringLiteral("avi"), TypeAvi}, {QStringLiteral("mpg"), TypeMpg},
    };
    ExportTarget target;
    target.name = name;
    if (QFileInfo(name).suffix().isEmpty() && filterIndex >= 1 && filterIndex <= extensions.size())
        target.name += extensions.at(filterIndex - 1);
    target.code = table.value(QFileInfo(target.name).suffix().toLower(), -1);
    return target;
}

QStringList DialogFilters(const QString &filter)
{
    static const QRegularExpression shownPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i];
        label.remove(shownPatterns);
        QStringList patterns;
        for (const QString &p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns.append(p.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : p.trimmed().toLower());
        out.append(QStringLiteral("%1 (%2)").arg(label.trimmed(), patterns.join(QLatin1Char(' '))));
    }
    return out;
}

QString ImportFilter()
{
    return QStringLiteral(
        "MultimediaFiles|*.AVI;*.MPG;*.MPEG;*.MID;*.RMI;*.WAV;*.MP3;*.BMP;*.GIF;*.JPG;*.JPEG;*.PCX;*.PNG;*.TGA;*.TIF;"
        "*.TIFF"
        "|Windows Animation (*.avi, *.mpg, *.mpeg)|*.AVI;*.MPG;*.MPEG"
        "|Midi Sequencer (*.mid, *.rmi, *.wav, *.mp3)|*.MID;*.RMI;*.WAV;*.MP3"
        "|Image Files (*.bmp, *.gif, *.jpg, *.pcx, *.png, *.tga, *.tif)|*.BMP;*.GIF;*.JPG;*.JPEG;*.PCX;*.PNG;*.TGA;"
        "*.TIF;*.TIFF"
        "|All Files|*.*");
}

} // namespace vk
