#include "ClearBookJson.h"

#include "AT_DbClearbook.h"
#include "BoundValues.h"
#include "Connection.h"
#include "MaskedStatement.h"
#include "Messages.h"
#include "ObjectKinds.h"
#include "RecordStatements.h"
#include "Statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonValue>

#include <cmath>

namespace vk {

namespace {

constexpr int FormatVersion = 1;
constexpr qsizetype MaxTitleLength = 255;

const char *const FlagColumns[] = {"Flag_Id",      "Flag_StartTime",   "Flag_Name",       "Flag_Type_Id",
                                   "Loop_EndTime", "Jump_To_MarkName", "FlagActive_Type", "Time_Associated"};
const char *const FlagKeys[] = {"id",      "startTime", "name",       "type",
                                "loopEnd", "jumpTo",    "activeType", "timeAssociated"};
// Which of them are texts.
const bool FlagIsText[] = {false, false, true, false, false, true, false, false};

QList<QStringList> flagRows(Connection &c, int cbId, int slideId)
{
    QList<QStringList> rows;
    QString text = QStringLiteral("select");
    for (const char *col : FlagColumns)
        text += QLatin1Char(' ') + QLatin1String(col) + QLatin1Char(',');
    text.chop(1);
    text += QStringLiteral(
        " from Flag_Table where Flag_CB_Id=? and Flag_Slide_Id=? order by Flag_StartTime, Flag_Id");
    Statement st(c, text);
    if (!st.needsParams() || st.bind(QString::number(cbId)) != vkdb::DbNeedParams ||
        st.bind(QString::number(slideId)) > 1 || st.execute() > 1)
        return rows;
    QStringList row;
    while (st.fetch(row) < 2)
        rows.append(row);
    return rows;
}

// The library item whose file the path names, if any.
QString libraryItemOf(Connection &c, const QString &path)
{
    if (path.isEmpty())
        return QString();
    Statement st(c, QStringLiteral("select OID from MediaData where filename(media) = ?"));
    QStringList row;
    if (st.needsParams() && st.bind(path) < 2 && st.execute() < 2 && st.fetch(row) == vkdb::DbOk)
        return row.value(0);
    return QString();
}

bool isStoredCopy(Connection &c, const QString &path)
{
    if (path.isEmpty())
        return false;
    Statement st(c,
                 QStringLiteral("select count(*) from SYSFILEOBJ where FILE_NAME = ? and FILE_TYPE='00'x"));
    QStringList row;
    return st.needsParams() && st.bind(path) < 2 && st.execute() < 2 && st.fetch(row) == vkdb::DbOk &&
           row.value(0).toInt() > 0;
}

QJsonValue mediaValue(Connection &c, const QString &path, bool shared)
{
    if (path.isEmpty())
        return QJsonValue::Null;
    const QString item = libraryItemOf(c, path);
    if (!item.isEmpty())
        return QJsonObject{{QStringLiteral("library"), item}};
    if (!shared || isStoredCopy(c, path))
        return QJsonObject{{QStringLiteral("file"), path}};
    return QJsonObject{{QStringLiteral("link"), path}};
}

QString mediaShown(Connection &c, const QString &path, bool shared)
{
    if (path.isEmpty())
        return QStringLiteral("none");
    const QString item = libraryItemOf(c, path);
    if (!item.isEmpty())
        return QStringLiteral("library ") + item;
    const QFileInfo info(path);
    if (!shared || isStoredCopy(c, path))
        return info.isFile() ? QStringLiteral("stored %1 bytes").arg(info.size())
                             : QStringLiteral("stored, missing");
    return QStringLiteral("linked ") + path;
}

QJsonValue linkValue(const TDbClearBook *cb, int cbId, int slideId)
{
    switch (slideId) {
    case 0:
        return QJsonValue::Null;
    case -1:
        return QStringLiteral("next");
    case -2:
        return QStringLiteral("previous");
    case -3:
        return QStringLiteral("back");
    case -4:
        return QStringLiteral("replay");
    default:
        break;
    }
    if (cbId == cb->Rec.CB_Id)
        for (qsizetype i = 0; i < cb->Slides.size(); ++i)
            if (cb->Slides[i]->Rec.Slide_Id == slideId)
                return QJsonObject{{QStringLiteral("slide"), int(i)}};
    return QJsonObject{{QStringLiteral("clearBookId"), cbId}, {QStringLiteral("slideId"), slideId}};
}

QString linkShown(TDbClearBookList &books, const TDbClearBook *cb, int cbId, int slideId)
{
    const QJsonValue v = linkValue(cb, cbId, slideId);
    if (v.isNull())
        return QStringLiteral("none");
    if (v.isString())
        return v.toString();
    const QJsonObject o = v.toObject();
    if (o.contains(QStringLiteral("slide")))
        return QStringLiteral("slide %1").arg(o.value(QStringLiteral("slide")).toInt() + 1);
    return QStringLiteral("%1 / %2").arg(books.ClearBookTitle(cbId), books.SlideTitle(slideId));
}

QString endingShown(TDbClearBookList &books, const TDbClearBook *cb, const TsSlide &r)
{
    switch (r.Jump_Slide_Id) {
    case EndingAction::Pause:
        return QStringLiteral("pause");
    case EndingAction::Sequence:
        return QStringLiteral("sequence");
    case EndingAction::Repeat:
        return QStringLiteral("repeat");
    default:
        return QStringLiteral("jump ") + linkShown(books, cb, r.Jump_CB_Id, r.Jump_Slide_Id);
    }
}

QString descriptionOf(Connection &c, const QString &oid, RecordKind kind)
{
    QString text;
    if (oid != NotStored)
        ReadDescription(c, oid, kind, &text);
    return text;
}

QString number(double v)
{
    return floatToText(v);
}

// --- import

struct Reader
{
    QString where;
    QString error;

    bool fail(const QString &what)
    {
        if (error.isEmpty())
            error = where.isEmpty() ? what : where + QStringLiteral(": ") + what;
        return false;
    }
    QString text(const QJsonObject &o, const char *key, qsizetype limit = -1)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return QString();
        if (!v.isString()) {
            fail(QStringLiteral("\"%1\" is not a text").arg(QLatin1String(key)));
            return QString();
        }
        if (limit >= 0 && v.toString().size() > limit)
            fail(QStringLiteral("\"%1\" is longer than %2 characters").arg(QLatin1String(key)).arg(limit));
        return v.toString();
    }
    double real(const QJsonObject &o, const char *key, double fallback)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return fallback;
        if (!v.isDouble() || !std::isfinite(v.toDouble())) {
            fail(QStringLiteral("\"%1\" is not a number").arg(QLatin1String(key)));
            return fallback;
        }
        return v.toDouble();
    }
    int integer(const QJsonObject &o, const char *key, int fallback)
    {
        const double d = real(o, key, fallback);
        if (d != std::trunc(d) || d < -2147483648.0 || d > 2147483647.0) {
            fail(QStringLiteral("\"%1\" is not a whole number").arg(QLatin1String(key)));
            return fallback;
        }
        return int(d);
    }
};

struct PendingLink
{
    TDbObject *object = nullptr; // null: the slide's ending action
    TDbSlide *slide = nullptr;
    int toSlide = -1;
};

// A MEDIA value: the path and whether the row refers to it (true) or copies it (false).
bool readMedia(Reader &r, Connection &c, const QJsonValue &v, QString *path, bool *shared)
{
    path->clear();
    *shared = false;
    if (v.isUndefined() || v.isNull())
        return true;
    const QJsonObject o = v.toObject();
    if (!v.isObject() || o.size() != 1)
        return r.fail(
            QStringLiteral("a media value is {\"library\": OID}, {\"file\": PATH} or {\"link\": PATH}"));
    if (o.contains(QStringLiteral("library"))) {
        const QString oid = o.value(QStringLiteral("library")).toString();
        *path = oid.isEmpty() ? QString() : MediaFileName(c, oid);
        *shared = true;
        if (path->isEmpty())
            return r.fail(QStringLiteral("there is no library item %1 with a file").arg(oid));
    } else if (o.contains(QStringLiteral("file")) || o.contains(QStringLiteral("link"))) {
        *shared = o.contains(QStringLiteral("link"));
        *path = o.begin().value().toString();
    } else {
        return r.fail(
            QStringLiteral("a media value is {\"library\": OID}, {\"file\": PATH} or {\"link\": PATH}"));
    }
    if (!QFileInfo(*path).isFile())
        return r.fail(QStringLiteral("the media file \"%1\" does not exist").arg(*path));
    return true;
}

bool readLink(Reader &r, const QJsonValue &v, int *cbId, int *slideId, int *toSlide)
{
    *cbId = 0;
    *slideId = 0;
    *toSlide = -1;
    if (v.isUndefined() || v.isNull())
        return true;
    if (v.isString()) {
        static const QHash<QString, int> words{{QStringLiteral("next"), -1},
                                               {QStringLiteral("previous"), -2},
                                               {QStringLiteral("back"), -3},
                                               {QStringLiteral("replay"), -4}};
        if (!words.contains(v.toString()))
            return r.fail(QStringLiteral("unknown link \"%1\"").arg(v.toString()));
        *slideId = words.value(v.toString());
        return true;
    }
    const QJsonObject o = v.toObject();
    if (o.contains(QStringLiteral("slide"))) {
        *toSlide = r.integer(o, "slide", -1);
        return r.error.isEmpty();
    }
    if (o.contains(QStringLiteral("slideId"))) {
        *cbId = r.integer(o, "clearBookId", 0);
        *slideId = r.integer(o, "slideId", 0);
        if (*slideId <= 0 && r.error.isEmpty())
            return r.fail(QStringLiteral("\"slideId\" must be 1 or more"));
        return r.error.isEmpty();
    }
    return r.fail(QStringLiteral("a link is \"next\", \"previous\", \"back\", \"replay\", {\"slide\": N} or "
                                 "{\"clearBookId\": C, \"slideId\": S}"));
}

} // namespace

QString escapeField(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar ch : value) {
        if (ch == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (ch == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (ch == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (ch == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += ch;
    }
    return out;
}

QJsonObject ExportClearBook(TDbClearBookList &books, TDbClearBook *cb)
{
    Connection &c = books.connection();
    QJsonArray slides;
    for (TDbSlide *s : std::as_const(cb->Slides)) {
        const TsSlide &r = s->Rec;
        QJsonObject slide{
            {QStringLiteral("title"), r.Slide_Title},
            {QStringLiteral("author"), r.Slide_Author},
            {QStringLiteral("description"), descriptionOf(c, r.OID, RecordKind::Slide)},
            {QStringLiteral("background"), mediaValue(c, r.Slide_BGround, true)},
            {QStringLiteral("backgroundStyle"), r.Slide_BGroundX},
            {QStringLiteral("ratio"), r.Slide_Ratio},
            {QStringLiteral("color"), r.Slide_BColor},
            {QStringLiteral("gradient"), r.Slide_Gradient},
        };
        switch (r.Jump_Slide_Id) {
        case EndingAction::Pause:
            slide.insert(QStringLiteral("ending"), QStringLiteral("pause"));
            break;
        case EndingAction::Sequence:
            slide.insert(QStringLiteral("ending"), QStringLiteral("sequence"));
            break;
        case EndingAction::Repeat:
            slide.insert(QStringLiteral("ending"), QStringLiteral("repeat"));
            break;
        default:
            slide.insert(QStringLiteral("ending"), linkValue(cb, r.Jump_CB_Id, r.Jump_Slide_Id));
            break;
        }
        QJsonArray objects;
        for (TDbObject *o : std::as_const(s->Objects.Objects)) {
            if (o->Rec.Removed)
                continue;
            const TsObject &x = o->Rec;
            const double scale = books.DesignScale != 0 ? books.DesignScale : 1.0;
            QJsonObject obj{
                {QStringLiteral("kind"), x.Obj_TypeId},
                {QStringLiteral("title"), x.Title},
                {QStringLiteral("caption"), x.Caption},
                {QStringLiteral("hint"), x.Hint},
                {QStringLiteral("tag"), x.Tag},
                {QStringLiteral("barLeft"), x.Bar_Left},
                {QStringLiteral("barWidth"), x.Bar_Width},
                {QStringLiteral("left"), x.Left_S / scale},
                {QStringLiteral("top"), x.Top_S / scale},
                {QStringLiteral("width"), x.Width_S / scale},
                {QStringLiteral("height"), x.Height_S / scale},
                {QStringLiteral("display"), QJsonArray{x.Left, x.Top, x.Width, x.Height}},
                {QStringLiteral("designOrder"), int(s->Objects.DesignOrder.indexOf(o))},
                {QStringLiteral("properties"), x.Spec_Property2},
                {QStringLiteral("link"), linkValue(cb, x.Obj_Link_CBId, x.Obj_Link_SlideId)},
            };
            if (o->kind() == ObjectKind::Memo)
                obj.insert(QStringLiteral("text"), MemoTextOf(c, o));
            else
                obj.insert(QStringLiteral("media"), mediaValue(c, x.Obj_Media, x.Obj_Flag));
            objects.append(obj);
        }
        slide.insert(QStringLiteral("objects"), objects);
        QJsonArray flags;
        for (const QStringList &row : flagRows(c, cb->Rec.CB_Id, r.Slide_Id)) {
            QJsonObject flag;
            for (int i = 0; i < 8; ++i) {
                if (FlagIsText[i])
                    flag.insert(QLatin1String(FlagKeys[i]), row.value(i));
                else if (row.value(i).isEmpty())
                    flag.insert(QLatin1String(FlagKeys[i]), QJsonValue::Null);
                else
                    flag.insert(QLatin1String(FlagKeys[i]), intOr(row.value(i), 0));
            }
            flags.append(flag);
        }
        slide.insert(QStringLiteral("flags"), flags);
        slides.append(slide);
    }
    return QJsonObject{
        {QStringLiteral("vellumark"), QStringLiteral("clearbook")},
        {QStringLiteral("version"), FormatVersion},
        {QStringLiteral("title"), cb->Rec.CB_Title},
        {QStringLiteral("author"), cb->Rec.CB_Author},
        {QStringLiteral("description"), descriptionOf(c, cb->Rec.OID, RecordKind::ClearBook)},
        {QStringLiteral("slides"), slides},
    };
}

TDbClearBook *ImportClearBook(TDbClearBookList &books, const QJsonObject &doc, QString *error)
{
    Connection &c = books.connection();
    Reader r;
    auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return nullptr;
    };
    if (doc.value(QStringLiteral("vellumark")).toString() != QLatin1String("clearbook"))
        return refuse(QStringLiteral("not a ClearBook document (\"vellumark\": \"clearbook\" is missing)"));
    if (doc.value(QStringLiteral("version")).toInt(-1) != FormatVersion)
        return refuse(QStringLiteral(
                          "a ClearBook document of version %1 cannot be read (this program reads version %2)")
                          .arg(doc.value(QStringLiteral("version")).toVariant().toString())
                          .arg(FormatVersion));
    const QString title = r.text(doc, "title", MaxTitleLength);
    const QString author = r.text(doc, "author", MaxTitleLength);
    const QString description = r.text(doc, "description");
    const QJsonArray slides = doc.value(QStringLiteral("slides")).toArray();
    if (!r.error.isEmpty())
        return refuse(r.error);

    Transaction tx(c);
    if (!tx.isActive())
        return refuse(QStringLiteral("the database cannot be changed now"));
    TDbClearBook *cb = books.CreateClearBook(title, author);
    if (!cb)
        return refuse(QStringLiteral("the ClearBook could not be stored"));
    bool ok = description.isEmpty() || WriteDescription(c, cb->Rec.OID, description, RecordKind::ClearBook);
    QList<PendingLink> links;
    QList<QJsonArray> slideFlags;
    QStringList slideDescriptions;
    for (qsizetype si = 0; ok && si < slides.size(); ++si) {
        r.where = QStringLiteral("slide %1").arg(si + 1);
        const QJsonObject js = slides[si].toObject();
        if (!slides[si].isObject()) {
            ok = r.fail(QStringLiteral("not an object"));
            break;
        }
        TDbSlide *slide = books.NewSlide(cb, r.text(js, "title", MaxTitleLength));
        TsSlide &s = slide->Rec;
        s.Slide_Author = r.text(js, "author", MaxTitleLength);
        slideDescriptions.append(r.text(js, "description"));
        bool shared = false;
        if (!readMedia(r, c, js.value(QStringLiteral("background")), &s.Slide_BGround, &shared)) {
            ok = false;
            break;
        }
        slide->BackgroundChanged = !s.Slide_BGround.isEmpty();
        s.Slide_BGroundX = js.contains(QStringLiteral("backgroundStyle")) ? r.text(js, "backgroundStyle")
                                                                          : QStringLiteral("0");
        if (s.Slide_BGroundX.size() != 1)
            r.fail(QStringLiteral("\"backgroundStyle\" is one character"));
        s.Slide_Ratio = r.real(js, "ratio", 1.0);
        s.Slide_BColor =
            js.contains(QStringLiteral("color")) ? r.text(js, "color", 30) : QStringLiteral("clWhite");
        s.Slide_Gradient = r.integer(js, "gradient", 0);
        const QJsonValue ending = js.value(QStringLiteral("ending"));
        if (ending.isString() && ending.toString() == QLatin1String("pause"))
            s.Jump_Slide_Id = EndingAction::Pause;
        else if (ending.isString() && ending.toString() == QLatin1String("sequence"))
            s.Jump_Slide_Id = EndingAction::Sequence;
        else if (ending.isString() && ending.toString() == QLatin1String("repeat"))
            s.Jump_Slide_Id = EndingAction::Repeat;
        else if (ending.isUndefined() || ending.isNull())
            s.Jump_Slide_Id = EndingAction::Pause;
        else if (ending.isObject()) {
            int toSlide = -1;
            readLink(r, ending, &s.Jump_CB_Id, &s.Jump_Slide_Id, &toSlide);
            if (toSlide >= 0)
                links.append({nullptr, slide, toSlide});
        } else {
            r.fail(QStringLiteral("unknown ending \"%1\"").arg(ending.toVariant().toString()));
        }
        if (!r.error.isEmpty()) {
            ok = false;
            break;
        }

        const QJsonArray objects = js.value(QStringLiteral("objects")).toArray();
        QList<int> designOrder;
        for (qsizetype oi = 0; ok && oi < objects.size(); ++oi) {
            r.where = QStringLiteral("slide %1, object %2").arg(si + 1).arg(oi + 1);
            const QJsonObject jo = objects[oi].toObject();
            TsObject x;
            x.Obj_TypeId = r.integer(jo, "kind", -1);
            if (r.error.isEmpty() && !isObjectKind(x.Obj_TypeId))
                r.fail(QStringLiteral("unknown kind %1").arg(x.Obj_TypeId));
            x.Title = r.text(jo, "title", MaxTitleLength);
            x.Caption = r.text(jo, "caption", MaxTitleLength);
            x.Hint = r.text(jo, "hint", MaxTitleLength);
            x.Tag = r.integer(jo, "tag", 0);
            x.Bar_Left = r.integer(jo, "barLeft", 0);
            x.Bar_Width = r.integer(jo, "barWidth", 1200);
            x.Left_S = r.real(jo, "left", 0) * books.DesignScale;
            x.Top_S = r.real(jo, "top", 0) * books.DesignScale;
            x.Width_S = r.real(jo, "width", 100) * books.DesignScale;
            x.Height_S = r.real(jo, "height", 100) * books.DesignScale;
            const QJsonArray display = jo.value(QStringLiteral("display")).toArray();
            if (display.size() == 4) {
                x.Left = display[0].toInt();
                x.Top = display[1].toInt();
                x.Width = display[2].toInt();
                x.Height = display[3].toInt();
            } else {
                x.Left = int(x.Left_S);
                x.Top = int(x.Top_S);
                x.Width = int(x.Width_S);
                x.Height = int(x.Height_S);
            }
            x.Spec_Property2 = r.text(jo, "properties", PropertyTextSize);
            int toSlide = -1;
            readLink(r, jo.value(QStringLiteral("link")), &x.Obj_Link_CBId, &x.Obj_Link_SlideId, &toSlide);
            bool mediaShared = false;
            const bool memo = x.Obj_TypeId == ObjectKind::Memo;
            if (!memo && !readMedia(r, c, jo.value(QStringLiteral("media")), &x.Obj_Media, &mediaShared))
                break;
            if (isMediaKind(x.Obj_TypeId) && x.Obj_Media.isEmpty())
                r.fail(QStringLiteral("a picture, sound or video object needs its media"));
            x.Obj_Flag = mediaShared;
            designOrder.append(r.integer(jo, "designOrder", int(oi)));
            if (!r.error.isEmpty())
                break;
            TDbObject *o = books.AddNewObject(slide, x);
            if (memo) {
                o->MemoText = r.text(jo, "text");
                o->HasMemoText = true;
            }
            o->ReadDisabled();
            if (toSlide >= 0)
                links.append({o, slide, toSlide});
        }
        if (!r.error.isEmpty()) {
            ok = false;
            break;
        }
        // The object list in the document's design order (ties keep the stacking order).
        for (qsizetype i = 0; i < slide->Objects.Objects.size(); ++i)
            slide->Objects.Objects[i]->Rec.Design_Index = 32 * designOrder.value(i);
        slide->Objects.RebuildDesignOrder();
        for (qsizetype i = 0; i < slide->Objects.DesignOrder.size(); ++i)
            slide->Objects.DesignOrder[i]->Rec.Design_Index = int(32 * i);
        slideFlags.append(js.value(QStringLiteral("flags")).toArray());
    }
    r.where.clear();
    for (qsizetype si = 0; ok && si < cb->Slides.size(); ++si) {
        TDbSlide *slide = cb->Slides[si];
        if (!books.SaveSlide(slide)) {
            ok = r.fail(QStringLiteral("slide %1 could not be stored").arg(si + 1));
            break;
        }
        if (!slideDescriptions.value(si).isEmpty())
            ok = WriteDescription(c, slide->Rec.OID, slideDescriptions.value(si), RecordKind::Slide);
        for (const QJsonValue &fv : slideFlags.value(si)) {
            if (!ok)
                break;
            const QJsonObject f = fv.toObject();
            r.where = QStringLiteral("slide %1, flag").arg(si + 1);
            Statement st(
                c, QStringLiteral("insert into Flag_Table (Flag_CB_Id,Flag_Slide_Id,Flag_Id,Flag_StartTime,"
                                  "Flag_Name,Flag_Type_Id,Loop_EndTime,Jump_To_MarkName,FlagActive_Type,"
                                  "Time_Associated) values (?,?,?,?,?,?,?,?,?,?)"));
            BoundValues values;
            values.number(cb->Rec.CB_Id);
            values.number(slide->Rec.Slide_Id);
            for (int i = 0; i < 8; ++i) {
                const QJsonValue v = f.value(QLatin1String(FlagKeys[i]));
                if (v.isNull() || v.isUndefined())
                    values.null();
                else if (FlagIsText[i])
                    values.text(r.text(f, FlagKeys[i], MaxTitleLength));
                else
                    values.number(r.integer(f, FlagKeys[i], 0));
            }
            if (!r.error.isEmpty() || !st.needsParams() || !values.bindTo(st) || st.execute() > 1) {
                if (r.error.isEmpty())
                    c.report(MsgInsertData, QStringLiteral("Flag_Table"));
                ok = r.fail(QStringLiteral("not stored"));
            }
        }
    }
    r.where.clear();
    for (const PendingLink &l : std::as_const(links)) {
        if (!ok)
            break;
        if (l.toSlide >= cb->Slides.size()) {
            ok = r.fail(QStringLiteral("a link leads to slide %1, which the ClearBook does not have")
                            .arg(l.toSlide + 1));
            break;
        }
        TDbSlide *to = cb->Slides[l.toSlide];
        if (l.object) {
            l.object->Rec.Obj_Link_CBId = cb->Rec.CB_Id;
            l.object->Rec.Obj_Link_SlideId = to->Rec.Slide_Id;
            l.object->Rec.LinkClearBookTitle = cb->Rec.CB_Title;
            l.object->Rec.LinkSlideTitle = to->Rec.Slide_Title;
            ok = books.SetLinkRow(l.object->Rec.OID, cb->Rec.CB_Id, to->Rec.Slide_Id);
        } else {
            l.slide->Rec.Jump_CB_Id = cb->Rec.CB_Id;
            l.slide->Rec.Jump_Slide_Id = to->Rec.Slide_Id;
            l.slide->Changed = SlideColJumpCBId | SlideColJumpSlideId;
            ok = books.UpdateSlide(l.slide);
        }
    }
    if (ok && tx.commit())
        return cb;
    tx.rollback();
    // Nothing was stored: the ClearBook leaves the list again.
    for (TDbSlide *s : std::as_const(cb->Slides))
        for (TDbObject *o : std::as_const(s->Objects.Objects))
            o->Rec.OID = NotStored;
    books.views().clearBookRemoved(cb);
    books.ClearBooks.removeOne(cb);
    delete cb;
    return refuse(r.error.isEmpty() ? QStringLiteral("the ClearBook could not be stored") : r.error);
}

QStringList ShowClearBook(TDbClearBookList &books, TDbClearBook *cb)
{
    Connection &c = books.connection();
    QStringList lines;
    auto line = [&lines](std::initializer_list<QString> fields) {
        QStringList escaped;
        for (const QString &f : fields)
            escaped.append(escapeField(f));
        lines.append(escaped.join(QLatin1Char('\t')));
    };
    line({QStringLiteral("book"), cb->Rec.CB_Title, cb->Rec.CB_Author,
          descriptionOf(c, cb->Rec.OID, RecordKind::ClearBook)});
    for (qsizetype i = 0; i < cb->Slides.size(); ++i) {
        const TsSlide &s = cb->Slides[i]->Rec;
        line({QStringLiteral("slide"), QString::number(i + 1), s.Slide_Title, s.Slide_Author,
              descriptionOf(c, s.OID, RecordKind::Slide),
              QStringLiteral("background ") + mediaShown(c, s.Slide_BGround, true),
              QStringLiteral("style ") + s.Slide_BGroundX, QStringLiteral("color ") + s.Slide_BColor,
              QStringLiteral("gradient %1").arg(s.Slide_Gradient),
              QStringLiteral("ratio ") + number(s.Slide_Ratio),
              QStringLiteral("ending ") + endingShown(books, cb, s)});
    }
    const double scale = books.DesignScale != 0 ? books.DesignScale : 1.0;
    for (qsizetype i = 0; i < cb->Slides.size(); ++i) {
        TDbSlide *slide = cb->Slides[i];
        const QList<TDbObject *> &order = slide->Objects.DesignOrder;
        for (qsizetype k = 0; k < order.size(); ++k) {
            TDbObject *o = order[k];
            const TsObject &x = o->Rec;
            const QString what =
                o->kind() == ObjectKind::Memo
                    ? QStringLiteral("text ") + MemoTextOf(c, o)
                    : QStringLiteral("media ") + mediaShown(c, x.Obj_Media, x.Obj_Flag);
            line({QStringLiteral("object"), QString::number(i + 1), QString::number(k + 1),
                  QStringLiteral("stack %1").arg(slide->Objects.Objects.indexOf(o) + 1),
                  QStringLiteral("%1 %2").arg(x.Obj_TypeId).arg(objectTypeName(x.Obj_TypeId)),
                  QStringLiteral("at %1,%2 size %3x%4")
                      .arg(number(x.Left_S / scale), number(x.Top_S / scale), number(x.Width_S / scale),
                           number(x.Height_S / scale)),
                  QStringLiteral("display %1,%2 %3x%4").arg(x.Left).arg(x.Top).arg(x.Width).arg(x.Height),
                  QStringLiteral("bar %1+%2").arg(x.Bar_Left).arg(x.Bar_Width),
                  QStringLiteral("link ") + linkShown(books, cb, x.Obj_Link_CBId, x.Obj_Link_SlideId),
                  QStringLiteral("title ") + x.Title, QStringLiteral("caption ") + x.Caption,
                  QStringLiteral("hint ") + x.Hint, QStringLiteral("tag %1").arg(x.Tag), what,
                  QStringLiteral("disabled ") + (o->Disabled ? QStringLiteral("yes") : QStringLiteral("no")),
                  QStringLiteral("properties ") + x.Spec_Property2});
        }
        for (const QStringList &row : flagRows(c, cb->Rec.CB_Id, slide->Rec.Slide_Id)) {
            QStringList fields{QStringLiteral("flag"), QString::number(i + 1)};
            for (int f = 0; f < 8; ++f)
                fields.append(QLatin1String(FlagKeys[f]) + QLatin1Char(' ') + row.value(f));
            QStringList escaped;
            for (const QString &f : fields)
                escaped.append(escapeField(f));
            lines.append(escaped.join(QLatin1Char('\t')));
        }
    }
    return lines;
}

} // namespace vk
