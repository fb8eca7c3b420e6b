#include "ClearBookWeb.h"

#include "AT_DbClearbook.h"
#include "AT_GradPanel.h"
#include "ClearBookJson.h"
#include "ColorText.h"
#include "Connection.h"
#include "EditedSlide.h"
#include "Engine.h"
#include "MaskedStatement.h"
#include "MediaTypes.h"
#include "ObjectKinds.h"
#include "PictureFiles.h"
#include "RecordStatements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPalette>
#include <QSaveFile>

namespace vk {

namespace {

// The element holding the document: every page this program writes has it, which is how an
// earlier export is told from some other page.
constexpr char kPageMark[] = "<script type=\"application/json\" id=\"clearbook\">";

// Picture files every current browser shows as they are; the others are written as PNG.
bool browserPicture(const QString &path)
{
    static const QStringList kinds{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                   QStringLiteral("gif"), QStringLiteral("bmp"),  QStringLiteral("ico")};
    return kinds.contains(QFileInfo(path).suffix().toLower());
}

// A plain file name made of the name's letters, digits, dots, dashes and underscores only,
// never starting with a dot, never empty, and short.
QString safeName(const QString &name)
{
    QString out;
    for (const QChar ch : name) {
        const bool plain = (ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) ||
                           (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
                           (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char('.') ||
                           ch == QLatin1Char('-') || ch == QLatin1Char('_');
        out += plain ? ch : QLatin1Char('_');
    }
    while (out.startsWith(QLatin1Char('.')))
        out.remove(0, 1);
    if (out.size() > 60)
        out = out.right(60);
    while (out.startsWith(QLatin1Char('.')))
        out.remove(0, 1);
    return out.isEmpty() ? QStringLiteral("media") : out;
}

QString colorName(const QColor &c)
{
    return c.alpha() == 0 ? QString() : c.name(QColor::HexRgb);
}

QJsonValue colorValue(ColorValue c)
{
    const QString name = colorName(resolveColor(c, QPalette()));
    return name.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(name);
}

// The media copied beside the page, each file once.
class MediaCopies
{
public:
    MediaCopies(Connection &c, const QString &dir, QStringList *notes) : m_c(c), m_dir(dir), m_notes(notes)
    {
        m_own = QFileInfo(QString::fromStdString(vkdb::DbFileObjectDir(c.handle()))).canonicalFilePath();
    }

    // The file a MEDIA value of the document names, read where the library keeps it: a library
    // item's file and a stored copy through the file objects, a linked file where it lies.
    QString sourceOf(const QJsonValue &media)
    {
        const QJsonObject o = media.toObject();
        if (o.contains(QStringLiteral("library")))
            return MediaFileName(m_c, o.value(QStringLiteral("library")).toString());
        if (o.contains(QStringLiteral("file"))) {
            // A stored copy is a plain name in the file-object directory, whatever else the
            // database says.
            const QFileInfo info(o.value(QStringLiteral("file")).toString());
            if (m_own.isEmpty() || QFileInfo(info.absolutePath()).canonicalFilePath() != m_own) {
                leave(QStringLiteral("left out %1: a stored copy outside the library's file objects")
                          .arg(info.filePath()));
                return QString();
            }
            return info.filePath();
        }
        return o.value(QStringLiteral("link")).toString();
    }

    // The page's name for the copy of `path` (`picture`: a picture the browser must be able to
    // show, converted when it cannot), or empty when it cannot be copied (noted).
    QString copy(const QString &path, int mediaType, bool picture)
    {
        if (path.isEmpty())
            return QString();
        const QString key = path + (picture ? QStringLiteral("\npicture") : QString());
        if (m_done.contains(key))
            return m_done.value(key);
        QString name;
        const QFileInfo info(path);
        if (!info.exists()) {
            leave(QStringLiteral("left out %1: the file is not there").arg(path));
        } else if (!info.isFile()) {
            leave(QStringLiteral("left out %1: not a regular file").arg(path));
        } else if (!QDir().mkpath(m_dir)) {
            leave(QStringLiteral("left out %1: the folder %2 cannot be made").arg(path, m_dir));
        } else {
            const QString base = QStringLiteral("%1-").arg(++m_count, 3, 10, QLatin1Char('0'));
            if (picture && !browserPicture(path)) {
                QImage image;
                QString error;
                name = base + safeName(QFileInfo(path).completeBaseName()) + QStringLiteral(".png");
                QSaveFile out(m_dir + QLatin1Char('/') + name);
                if (!loadMediaPicture(path, mediaType, image, &error) || !out.open(QIODevice::WriteOnly) ||
                    !image.save(&out, "PNG") || !out.commit()) {
                    leave(QStringLiteral("left out %1: %2")
                              .arg(path, error.isEmpty() ? out.errorString() : error));
                    name.clear();
                } else {
                    note(QStringLiteral("converted %1 to %2").arg(path, name));
                }
            } else {
                name = base + safeName(QFileInfo(path).fileName());
                if (!copyFile(path, m_dir + QLatin1Char('/') + name))
                    name.clear();
            }
        }
        m_done.insert(key, name);
        return name;
    }

    // How many media could not be copied.
    int leftOut() const { return m_leftOut; }

private:
    bool copyFile(const QString &from, const QString &to)
    {
        QFile in(from);
        QSaveFile out(to);
        QString why;
        if (!openRegularFile(in, &why)) {
            leave(QStringLiteral("left out %1: %2").arg(from, why));
            return false;
        }
        if (!out.open(QIODevice::WriteOnly)) {
            leave(QStringLiteral("left out %1: %2").arg(from, out.errorString()));
            return false;
        }
        while (!in.atEnd()) {
            const QByteArray block = in.read(1 << 20);
            if (block.isEmpty() && in.error() != QFileDevice::NoError)
                break;
            if (out.write(block) != block.size())
                break;
        }
        if (in.error() != QFileDevice::NoError || !out.commit()) {
            leave(QStringLiteral("left out %1: %2")
                      .arg(from, in.error() != QFileDevice::NoError ? in.errorString() : out.errorString()));
            return false;
        }
        return true;
    }
    void note(const QString &text)
    {
        if (m_notes)
            m_notes->append(text);
    }
    void leave(const QString &text)
    {
        ++m_leftOut;
        note(text);
    }

    Connection &m_c;
    QString m_dir;
    QStringList *m_notes;
    QString m_own;
    QHash<QString, QString> m_done;
    int m_count = 0;
    int m_leftOut = 0;
};

QJsonObject fontLook(const ObjectProperties &p, double scale)
{
    return QJsonObject{
        {QStringLiteral("family"), p.FontName.isEmpty() ? QStringLiteral("Sans") : p.FontName},
        {QStringLiteral("size"), double(p.FontSize) / scale},
        {QStringLiteral("bold"), p.Bold},
        {QStringLiteral("italic"), p.Italic},
        {QStringLiteral("underline"), p.Underline},
        {QStringLiteral("strikeOut"), p.StrikeOut},
    };
}

// What the slide surface draws for an object, for the page to draw alike.
QJsonObject objectLook(Connection &c, const TDbObject *o, double scale)
{
    const ObjectProperties &p = o->Props;
    const int kind = o->kind();
    QJsonObject look{{QStringLiteral("disabled"), o->Disabled}};
    if (isFontKind(kind)) {
        look.insert(QStringLiteral("font"), fontLook(p, scale));
        look.insert(QStringLiteral("fontColor"), colorValue(p.FontColor));
    }
    const QPalette palette;
    if (kind == ObjectKind::Text) {
        look.insert(QStringLiteral("color"),
                    p.Transparent ? QJsonValue(QJsonValue::Null) : colorValue(p.Color));
    } else if (kind == ObjectKind::Button) {
        look.insert(QStringLiteral("face"), colorName(palette.button().color()));
        look.insert(QStringLiteral("light"), colorName(palette.light().color()));
        look.insert(QStringLiteral("shadow"), colorName(palette.shadow().color()));
    } else if (kind == ObjectKind::Memo) {
        look.insert(QStringLiteral("color"), colorValue(p.Color));
        look.insert(QStringLiteral("border"), colorName(palette.dark().color()));
        QString text = MemoTextOf(c, o);
        if (!o->HasMemoText && o->Rec.Obj_Media.isEmpty())
            text = QStringLiteral("Memo");
        look.insert(QStringLiteral("text"), text);
    } else if (isShapeKind(kind)) {
        look.insert(QStringLiteral("pen"), QJsonObject{{QStringLiteral("color"), colorValue(p.PenColor)},
                                                       {QStringLiteral("width"), p.PenWidth},
                                                       {QStringLiteral("style"), p.PenStyle}});
        look.insert(QStringLiteral("brush"), QJsonObject{{QStringLiteral("color"), colorValue(p.BrushColor)},
                                                         {QStringLiteral("style"), p.BrushStyle}});
        look.insert(QStringLiteral("arrow"), p.Arrow);
        QJsonArray points;
        for (const QPointF &v : p.Points)
            points.append(QJsonArray{v.x() / scale, v.y() / scale});
        look.insert(QStringLiteral("points"), points);
    }
    return look;
}

} // namespace

namespace {

// One ClearBook's document with its looks, its media copied.
QJsonObject bookDocument(EditedSlide &edited, TDbClearBook *cb, MediaCopies &media, const QString &mediaDir)
{
    TDbClearBookList &books = edited.books();
    QJsonObject doc = ExportClearBook(books, cb);
    doc.insert(QStringLiteral("clearBookId"), cb->Rec.CB_Id);
    const double scale = books.DesignScale > 0 ? books.DesignScale : 1.0;
    const QString folder = QFileInfo(mediaDir).fileName();
    const auto named = [&](const QString &name) {
        return name.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(folder + QLatin1Char('/') + name);
    };
    QJsonArray slides = doc.value(QStringLiteral("slides")).toArray();
    for (qsizetype i = 0; i < slides.size() && i < cb->Slides.size(); ++i) {
        TDbSlide *s = cb->Slides[i];
        edited.prepareForShow(s);
        QJsonObject slide = slides[i].toObject();
        const QJsonValue background = slide.value(QStringLiteral("background"));
        QString picture;
        if (background.isObject())
            picture =
                media.copy(media.sourceOf(background), MediaTypeOfExtension(s->Rec.Slide_BGround), true);
        const ColorValue color = colorFromText(s->Rec.Slide_BColor).value_or(clWhite);
        const QJsonValue begin = colorValue(color);
        slide.insert(QStringLiteral("background"),
                     named(picture).isNull()
                         ? QJsonValue(QJsonValue::Null)
                         : QJsonValue(QJsonObject{{QStringLiteral("file"), named(picture)}}));
        slide.insert(QStringLiteral("slideId"), s->Rec.Slide_Id);
        slide.insert(
            QStringLiteral("look"),
            QJsonObject{{QStringLiteral("begin"), begin.isNull() ? QStringLiteral("#ffffff") : begin},
                        {QStringLiteral("end"), s->Rec.Slide_Gradient != 0
                                                    ? QJsonValue(QStringLiteral("#ffffff"))
                                                    : (begin.isNull() ? QStringLiteral("#ffffff") : begin)},
                        {QStringLiteral("style"), s->Rec.Slide_BGroundX.toInt()},
                        {QStringLiteral("picture"), named(picture)}});
        QJsonArray objects = slide.value(QStringLiteral("objects")).toArray();
        qsizetype j = 0;
        for (TDbObject *o : std::as_const(s->Objects.Objects)) {
            if (o->Rec.Removed)
                continue;
            if (j >= objects.size())
                break;
            QJsonObject object = objects[j].toObject();
            QJsonObject look = objectLook(books.connection(), o, scale);
            const int kind = o->kind();
            const QJsonValue value = object.value(QStringLiteral("media"));
            if (isMediaKind(kind) && value.isObject()) {
                const QString name = media.copy(media.sourceOf(value), kind, isImageKind(kind));
                look.insert(QStringLiteral("src"), named(name));
                object.insert(QStringLiteral("media"),
                              named(name).isNull()
                                  ? QJsonValue(QJsonValue::Null)
                                  : QJsonValue(QJsonObject{{QStringLiteral("file"), named(name)}}));
            } else if (object.contains(QStringLiteral("media"))) {
                // A text object's file (its memo text is in "text") is not the page's affair.
                object.insert(QStringLiteral("media"), QJsonValue::Null);
            }
            object.insert(QStringLiteral("look"), look);
            objects[j++] = object;
        }
        slide.insert(QStringLiteral("objects"), objects);
        slides[i] = slide;
    }
    doc.insert(QStringLiteral("slides"), slides);
    return doc;
}

// The ClearBooks the book's slides and objects link into, and those they link into in turn.
QList<TDbClearBook *> linkedBooks(const TDbClearBookList &books, TDbClearBook *cb)
{
    QList<TDbClearBook *> found{cb};
    for (qsizetype i = 0; i < found.size(); ++i)
        for (const TDbSlide *s : std::as_const(found[i]->Slides)) {
            QList<QPair<int, int>> links{{s->Rec.Jump_CB_Id, s->Rec.Jump_Slide_Id}};
            for (const TDbObject *o : std::as_const(s->Objects.Objects))
                if (!o->Rec.Removed)
                    links.append({o->Rec.Obj_Link_CBId, o->Rec.Obj_Link_SlideId});
            for (const auto &[cbId, slideId] : std::as_const(links))
                if (slideId > 0)
                    if (TDbClearBook *other = books.FindClearBook(cbId); other && !found.contains(other))
                        found.append(other);
        }
    found.removeFirst();
    return found;
}

} // namespace

namespace {

QJsonObject webDocument(EditedSlide &edited, TDbClearBook *cb, MediaCopies &media, const QString &mediaDir)
{
    QJsonObject doc = bookDocument(edited, cb, media, mediaDir);
    // A link into another ClearBook plays on there, as on the desktop: those books come along.
    QJsonArray others;
    for (TDbClearBook *other : linkedBooks(edited.books(), cb))
        others.append(bookDocument(edited, other, media, mediaDir));
    if (!others.isEmpty())
        doc.insert(QStringLiteral("linkedBooks"), others);
    return doc;
}

} // namespace

QJsonObject WebClearBookDocument(EditedSlide &edited, TDbClearBook *cb, const QString &mediaDir,
                                 QStringList *notes)
{
    MediaCopies media(edited.books().connection(), mediaDir, notes);
    return webDocument(edited, cb, media, mediaDir);
}

QByteArray WebPageText(const QJsonObject &doc, const QString &title)
{
    // Inside a script element nothing may close it or open a comment: every "<" of the
    // document is written as its JSON escape, which reads back as the same text.
    QByteArray json = QJsonDocument(doc).toJson(QJsonDocument::Compact);
    json.replace("<", "\\u003c");
    json.replace(">", "\\u003e");
    json.replace("&", "\\u0026");
    QString shown = title.toHtmlEscaped();
    return QByteArrayLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                             "<title>") +
           shown.toUtf8() +
           QByteArrayLiteral("</title>\n<link rel=\"stylesheet\" href=\"player.css\">\n</head>\n<body>\n"
                             "<div id=\"vk-player\"></div>\n") +
           kPageMark + json +
           QByteArrayLiteral("</script>\n<script src=\"player.js\"></script>\n</body>\n</html>\n");
}

namespace {

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit())
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(path, out.errorString());
    return false;
}

// Why the page's files cannot be written into `dir`, with %1 standing for the folder, or empty.
// The page, its script and its style sheet replace only an earlier page of this program's
// making: a folder holding some other index.html, player.js or player.css keeps them.
QString earlierFilesRefusal(const QString &dir)
{
    const QStringList names{QStringLiteral("index.html"), QStringLiteral("player.js"),
                            QStringLiteral("player.css")};
    for (const QString &name : names) {
        const QFileInfo info(dir + QLatin1Char('/') + name);
        if (info.isSymLink() || (info.exists() && !info.isFile()))
            return QStringLiteral("\"%1\" holds a %2 that is not a plain file: nothing was written")
                .arg(QStringLiteral("%1"), name);
    }
    const QString page = dir + QStringLiteral("/index.html");
    if (QFileInfo::exists(page)) {
        QFile f(page);
        QByteArray text;
        if (openRegularFile(f))
            text = f.read(1 << 20);
        if (!text.contains(kPageMark))
            return QStringLiteral("\"%1\" already holds an index.html that is not a page exported by "
                                  "Vellumark: choose an empty folder, or remove it first");
        return QString();
    }
    for (const QString &name : names)
        if (QFileInfo::exists(dir + QLatin1Char('/') + name))
            return QStringLiteral("\"%1\" already holds a %2 that does not belong to a page exported by "
                                  "Vellumark: choose an empty folder, or remove it first")
                .arg(QStringLiteral("%1"), name);
    const QFileInfo media(dir + QStringLiteral("/media"));
    if (media.isSymLink() || (media.exists() && !media.isDir()))
        return QStringLiteral("\"%1\" holds a media that is not a folder of its own: nothing was written");
    return QString();
}

QByteArray resourceText(const QString &name)
{
    QFile f(QStringLiteral(":/vellumark/web/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

WebExport ExportClearBookWeb(EditedSlide &edited, TDbClearBook *cb, const QString &dir)
{
    WebExport result;
    if (!cb) {
        result.error = QStringLiteral("there is no ClearBook to export");
        return result;
    }
    Connection &c = edited.books().connection();
    const QString own =
        QFileInfo(QString::fromStdString(vkdb::DbFileObjectDir(c.handle()))).canonicalFilePath();
    if (!QDir().mkpath(dir)) {
        result.error = QStringLiteral("cannot make the folder %1").arg(dir);
        return result;
    }
    const QString where = QFileInfo(dir).canonicalFilePath();
    if (!own.isEmpty() && (where == own || where.startsWith(own + QLatin1Char('/')))) {
        result.error =
            QStringLiteral("\"%1\" lies in the library's own file-object directory, where the stored "
                           "copies are kept: write it elsewhere")
                .arg(dir);
        return result;
    }
    const QByteArray script = resourceText(QStringLiteral("player.js"));
    const QByteArray style = resourceText(QStringLiteral("player.css"));
    if (script.isEmpty() || style.isEmpty()) {
        result.error = QStringLiteral("the web player is missing from this program");
        return result;
    }
    if (const QString refusal = earlierFilesRefusal(where); !refusal.isEmpty()) {
        result.error = refusal.arg(dir);
        return result;
    }
    MediaCopies media(c, where + QStringLiteral("/media"), &result.notes);
    const QJsonObject doc = webDocument(edited, cb, media, where + QStringLiteral("/media"));
    result.leftOut = media.leftOut();
    if (!writeFile(where + QStringLiteral("/player.js"), script, &result.error) ||
        !writeFile(where + QStringLiteral("/player.css"), style, &result.error) ||
        !writeFile(where + QStringLiteral("/index.html"), WebPageText(doc, cb->Rec.CB_Title), &result.error))
        return result;
    result.ok = true;
    return result;
}

} // namespace vk
