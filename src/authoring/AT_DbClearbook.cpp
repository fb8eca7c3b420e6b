// ClearBooks and slides: their rows in ClearBook_Table and Slide_Table, their order, and the
// save, revert, copy and delete of a slide with its objects.
#include "AT_DbClearbook.h"
#include "BoundValues.h"
#include "FlagList.h"
#include "Connection.h"
#include "Engine.h"
#include "MaskedStatement.h"
#include "MediaFiles.h"
#include "Messages.h"
#include "ObjectKinds.h"
#include "RecordStatements.h"
#include "Statement.h"
#include "UiServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <memory>

namespace vk {

namespace {

const QString ClearBookTable = QStringLiteral("ClearBook_Table");
const QString SlideTable = QStringLiteral("Slide_Table");
const QString ObjectTableName = QStringLiteral("Object_Table");

// A description kept in a work file (UTF-8, as the description columns are read and written).
bool writeTextFile(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = text.toUtf8();
    return f.write(bytes) == bytes.size();
}

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// Runs a statement with its values; false (nothing reported) when any step fails.
bool run(Connection &c, const QString &text, const QStringList &values, QString *oid = nullptr)
{
    Statement st(c, text);
    if (values.isEmpty())
        return st.openResult() < 2;
    return st.needsParams() && st.bindAll(values) && st.execute(oid) < 2;
}

// Deletes flag rows. A data source without a flag table has none to delete.
bool deleteFlags(Connection &c, const QString &text, const QStringList &values)
{
    Statement st(c, text);
    if (!st.isOpen())
        return true;
    if (!st.bindAll(values) || st.execute() > 1) {
        c.report(MsgDeleteData, QStringLiteral("Flag_Table"));
        return false;
    }
    return true;
}

// Whether a count query for one value finds a row. A query that cannot run counts as found,
// so that a failing check never makes the caller store a row twice.
bool rowExists(Connection &c, const QString &text, const QString &value)
{
    Statement st(c, text);
    QStringList row;
    if (!st.needsParams() || st.bind(value) > 1 || st.execute() > 1 || st.fetch(row) != vkdb::DbOk)
        return true;
    return row.value(0).toInt() > 0;
}

// Every row of an opened statement; false when a fetch failed before the end.
bool fetchAll(Statement &st, QList<QStringList> *rows)
{
    QStringList row;
    int rc;
    while ((rc = st.fetch(row)) < 2)
        rows->append(row);
    return rc == vkdb::DbNoMoreRows;
}

// What a save or a delete may change in memory, put back when the change is not made.
class SlideSnapshot
{
public:
    explicit SlideSnapshot(TDbSlide *slide) : m_slide(slide), m_rec(slide->Rec), m_changed(slide->Changed)
    {
        for (TDbObject *o : std::as_const(slide->Objects.Objects))
            m_objects.append({o, o->Rec, o->Changed});
    }
    void restore()
    {
        m_slide->Rec = m_rec;
        m_slide->Changed = m_changed;
        for (const Saved &s : std::as_const(m_objects)) {
            s.object->Rec = s.rec;
            s.object->Changed = s.changed;
        }
    }

private:
    struct Saved
    {
        TDbObject *object;
        TsObject rec;
        quint32 changed;
    };
    TDbSlide *m_slide;
    TsSlide m_rec;
    quint16 m_changed;
    QList<Saved> m_objects;
};

struct SlidePiece
{
    quint16 bit;
    const char *select;
    const char *update;
};

const SlidePiece SlidePieces[] = {
    {SlideColCBId, " CB_Id,", " CB_Id=?,"},
    {SlideColSlideId, " Slide_Id,", " Slide_Id=?,"},
    {SlideColTitle, " Slide_Title,", " Slide_Title=?,"},
    {SlideColDateTime, " Slide_DateTime,", " Slide_DateTime=?,"},
    {SlideColAuthor, " Slide_Author,", " Slide_Author=?,"},
    {SlideColDescribe, " Slide_Describe,", " Slide_Describe=?,"},
    {SlideColBGround, " filename(Slide_BGround),", " Slide_BGround=?,"},
    {SlideColIndex, " Slide_Index,", " Slide_Index=?,"},
    {SlideColBGroundX, " Slide_BGroundX,", " Slide_BGroundX=?,"},
    {SlideColRatio, " Slide_Ratio,", " Slide_Ratio=?,"},
    {SlideColBColor, " Slide_BColor,", " Slide_BColor=?,"},
    {SlideColGradient, " Slide_Gradient,", " Slide_Gradient=?,"},
    {SlideColJumpCBId, " Jump_CB_Id,", " Jump_CB_Id=?,"},
    {SlideColJumpSlideId, " Jump_Slide_Id,", " Jump_Slide_Id=?,"},
};

QString workPrefix(const Connection &c)
{
    return c.tempFilePrefix().isEmpty() ? QDir::tempPath() + QLatin1Char('/') : c.tempFilePrefix();
}

} // namespace

TDbClearBook::~TDbClearBook()
{
    qDeleteAll(Slides);
}

TDbClearBookList::TDbClearBookList(Connection &connection) : m_connection(connection) {}

TDbClearBookList::~TDbClearBookList()
{
    qDeleteAll(ClearBooks);
}

// ---------------------------------------------------------------------------------------------
// Load

bool TDbClearBookList::LoadClearBooks()
{
    Connection &c = m_connection;
    QList<QStringList> rows;
    {
        Statement st(
            c,
            QStringLiteral(
                "select OID, CB_Id, CB_Title, CB_Author, CB_Index from ClearBook_Table order by CB_Index"));
        if (!st.isOpen()) {
            c.report(MsgRetrieveTableData, ClearBookTable);
            return false;
        }
        if (!fetchAll(st, &rows)) {
            c.report(MsgRetrieveTableData, ClearBookTable);
            return false;
        }
    }
    for (const QStringList &row : std::as_const(rows)) {
        auto *cb = new TDbClearBook;
        cb->Rec.OID = row.value(0);
        cb->Rec.CB_Id = intOr(row.value(1), 0);
        cb->Rec.CB_Title = row.value(2);
        cb->Rec.CB_Author = row.value(3);
        cb->Rec.CB_Index = intOr(row.value(4), -1);
        ClearBooks.append(cb);

        QList<QStringList> slideRows;
        {
            Statement st(c, QStringLiteral("select OID,CB_Id,Slide_Id,Slide_Title,Slide_Author,Slide_Index,"
                                           "filename(Slide_BGround), Slide_BGroundX, Slide_Ratio, "
                                           "Slide_BColor,Slide_Gradient, Jump_CB_Id, Jump_Slide_Id from "
                                           "Slide_Table where CB_Id = ? order by Slide_Index"));
            if (!st.needsParams() || st.bind(QString::number(cb->Rec.CB_Id)) > 1 || st.execute() > 1) {
                c.report(MsgRetrieveTableData, SlideTable);
                return false;
            }
            if (!fetchAll(st, &slideRows)) {
                c.report(MsgRetrieveTableData, SlideTable);
                return false;
            }
        }
        for (const QStringList &s : std::as_const(slideRows)) {
            auto *slide = new TDbSlide;
            TsSlide &r = slide->Rec;
            r.OID = s.value(0);
            r.CB_Id = intOr(s.value(1), 0);
            r.Slide_Id = intOr(s.value(2), 0);
            r.Slide_Title = s.value(3);
            r.Slide_Author = s.value(4);
            r.Slide_Index = intOr(s.value(5), -1);
            r.Slide_BGround = s.value(6);
            r.Slide_BGroundX = s.value(7).isEmpty() ? QStringLiteral("0") : s.value(7);
            r.Slide_Ratio = floatOr(s.value(8), 1.0);
            r.Slide_BColor = s.value(9).isEmpty() ? QString::number(0xFFFFFF) : s.value(9);
            r.Slide_Gradient = intOr(s.value(10), 0);
            r.Jump_CB_Id = intOr(s.value(11), 0);
            r.Jump_Slide_Id = intOr(s.value(12), 0);
            slide->Owner = cb;
            cb->Slides.append(slide);
        }
        for (TDbSlide *slide : std::as_const(cb->Slides))
            if (!LoadObjects(slide))
                return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// ClearBooks

TDbClearBook *TDbClearBookList::CreateClearBook(const QString &title, const QString &author)
{
    Connection &c = m_connection;
    Transaction tx(c);
    if (!tx.isActive())
        return nullptr;
    // The order key comes from what is stored, so that two programs never hand out the same one.
    int index = ClearBooks.isEmpty() ? 0 : ClearBooks.last()->Rec.CB_Index + 1000;
    {
        Statement st(c, QStringLiteral("select max(CB_Index) from ClearBook_Table"));
        QStringList row;
        if (st.isOpen() && st.fetch(row) == vkdb::DbOk && !row.value(0).isEmpty())
            index = std::max(index, intOr(row.value(0), 0) + 1000);
    }
    QString oid;
    if (!run(c,
             QStringLiteral("Insert into ClearBook_Table(CB_Title,CB_Author,CB_Index,CB_DateTime) "
                            "values(?,?,?,now())"),
             {title, author, QString::number(index)}, &oid) ||
        oid.isEmpty()) {
        c.report(MsgInsertData, ClearBookTable);
        return nullptr;
    }
    Statement st(c, QStringLiteral("Select CB_Id from ClearBook_Table where OID = ?"));
    QStringList row;
    if (!st.needsParams() || st.bind(oid) > 1 || st.execute() > 1 || st.fetch(row) != vkdb::DbOk) {
        c.report(MsgRetrieveColumnData, QStringLiteral("CB_Id"));
        return nullptr;
    }
    if (!tx.commit()) {
        c.report(MsgInsertData, ClearBookTable);
        return nullptr;
    }
    auto *cb = new TDbClearBook;
    cb->Rec.OID = oid;
    cb->Rec.CB_Id = intOr(row.value(0), 0);
    cb->Rec.CB_Title = title;
    cb->Rec.CB_Author = author;
    cb->Rec.CB_Index = index;
    cb->Rec.CB_DateTime = today();
    ClearBooks.append(cb);
    m_views->clearBookAdded(cb);
    return cb;
}

bool TDbClearBookList::DeleteClearBook(TDbClearBook *cb)
{
    if (!cb || !ClearBooks.contains(cb))
        return false;
    Connection &c = m_connection;
    UiServices *ui = c.ui();
    if (ui)
        ui->setHourglass(true);
    auto done = [ui](bool result) {
        if (ui)
            ui->setHourglass(false);
        return result;
    };
    // Objects moved onto the edited slide from another ClearBook go home first.
    if (ActiveSlide && ActiveSlide->Owner == cb)
        for (TDbObject *o : QList<TDbObject *>(ActiveSlide->Objects.Objects))
            if (o->HomeSlide && o->HomeSlide->Owner != cb) {
                ActiveSlide->Objects.Objects.removeOne(o);
                ActiveSlide->Objects.DesignOrder.removeOne(o);
                ActiveSlide->Selection.removeOne(o);
                --o->RefCount;
                m_views->destroyVisual(o);
                giveBack(o);
            }

    // The rows first, as one change; memory follows only when it is made.
    QList<SlideSnapshot> snapshots;
    for (TDbSlide *slide : std::as_const(cb->Slides))
        snapshots.append(SlideSnapshot(slide));
    {
        Transaction tx(c);
        if (!tx.isActive())
            return done(false);
        bool ok = true;
        for (qsizetype i = cb->Slides.size() - 1; ok && i >= 0; --i)
            if (cb->Slides[i]->isStored())
                ok = DeleteSlideRows(cb->Slides[i], false);
        ok = ok && deleteFlags(c, QStringLiteral("delete from Flag_Table where Flag_CB_Id=?"),
                               {QString::number(cb->Rec.CB_Id)});
        if (ok && !run(c, QStringLiteral("Delete from ClearBook_Table where OID=?"), {cb->Rec.OID})) {
            c.report(MsgDeleteData, ClearBookTable);
            ok = false;
        }
        if (!ok || !tx.commit()) {
            tx.rollback();
            for (SlideSnapshot &s : snapshots)
                s.restore();
            return done(false);
        }
    }
    if (ActiveClearBook == cb || (ActiveSlide && ActiveSlide->Owner == cb)) {
        if (ActiveSlide && ActiveSlide->Owner == cb) {
            for (TDbObject *o : std::as_const(ActiveSlide->Objects.Objects)) {
                m_views->destroyVisual(o);
            }
            m_views->historyEnded(ActiveSlide);
            ActiveSlide = nullptr;
            SlideModified = false;
            m_views->surfaceHidden();
        }
        ActiveClearBook = nullptr;
    }
    for (qsizetype i = cb->Slides.size() - 1; i >= 0; --i) {
        TDbSlide *slide = cb->Slides.takeAt(i);
        m_views->slideRemoved(slide);
        freeSlide(slide);
    }
    m_views->clearBookRemoved(cb);
    ClearBooks.removeOne(cb);
    delete cb;
    return done(true);
}

// ---------------------------------------------------------------------------------------------
// Slides: the four statements

TDbSlide *TDbClearBookList::NewSlide(TDbClearBook *cb, const QString &title)
{
    auto *slide = new TDbSlide;
    TsSlide &r = slide->Rec;
    r.OID = NotStored;
    r.CB_Id = cb->Rec.CB_Id;
    r.Slide_Title = title;
    r.Slide_BColor = QStringLiteral("clWhite");
    r.Slide_Gradient = 0;
    r.Slide_Index = cb->Slides.isEmpty() ? 0 : cb->Slides.last()->Rec.Slide_Index + 32;
    r.Slide_Ratio = 0;
    r.Slide_BGroundX = QStringLiteral("0");
    r.Jump_CB_Id = 0;
    r.Jump_Slide_Id = EndingAction::Pause;
    slide->Owner = cb;
    cb->Slides.append(slide);
    m_views->slideInserted(slide, int(cb->Slides.size() - 1));
    return slide;
}

bool TDbClearBookList::InsertSlide(TDbSlide *slide, bool withFileParameter)
{
    if (slide->isStored())
        return false;
    Connection &c = m_connection;
    const TsSlide &r = slide->Rec;
    QString columns =
        QStringLiteral("Insert into Slide_Table (CB_Id,Slide_Title,Slide_DateTime,Slide_Author,Slide_Index");
    QString marks = QStringLiteral(") values (?,?,now(),?,?");
    BoundValues values;
    values.number(r.CB_Id);
    values.text(r.Slide_Title);
    values.text(r.Slide_Author);
    values.number(r.Slide_Index);
    if (withFileParameter) {
        columns += QStringLiteral(",Slide_BGround");
        marks += QStringLiteral(",?");
        if (fileExists(r.Slide_BGround))
            values.file(r.Slide_BGround);
        else
            values.null();
    } else if (fileExists(r.Slide_BGround)) {
        // The row refers to the stored background where it lies; the path travels as a value.
        columns += QStringLiteral(",Slide_BGround");
        marks += QStringLiteral(",?");
        values.text(r.Slide_BGround);
    }
    columns +=
        QStringLiteral(",Slide_BGroundX,Slide_Ratio,Slide_BColor,Slide_Gradient,Jump_CB_Id, Jump_Slide_Id");
    marks += QStringLiteral(",?,?,?,?,?,?)");
    values.text(r.Slide_BGroundX);
    values.text(floatToText(r.Slide_Ratio));
    values.text(r.Slide_BColor);
    values.number(r.Slide_Gradient);
    values.number(r.Jump_CB_Id);
    values.number(r.Jump_Slide_Id);
    Statement st(c, columns + marks);
    QString oid;
    if (!st.needsParams() || !values.bindTo(st) || st.execute(&oid) > 1 || oid.isEmpty()) {
        c.report(MsgInsertData, SlideTable);
        return false;
    }
    slide->Rec.OID = oid;
    slide->Changed = SlideColSlideId;
    if (!SelectSlide(slide)) {
        slide->Rec.OID = NotStored;
        return false;
    }
    return true;
}

bool TDbClearBookList::UpdateSlide(TDbSlide *slide)
{
    if (!slide->isStored() || slide->Changed == 0)
        return false;
    Connection &c = m_connection;
    const TsSlide &r = slide->Rec;
    QString text = QStringLiteral("update Slide_Table set");
    BoundValues values;
    for (const SlidePiece &p : SlidePieces) {
        if (!(slide->Changed & p.bit))
            continue;
        text += QLatin1String(p.update);
        switch (p.bit) {
        case SlideColCBId:
            values.number(r.CB_Id);
            break;
        case SlideColSlideId:
            values.number(r.Slide_Id);
            break;
        case SlideColTitle:
            values.text(r.Slide_Title);
            break;
        case SlideColDateTime:
            if (r.Slide_DateTime < 0)
                values.null();
            else
                values.text(dateToText(r.Slide_DateTime));
            break;
        case SlideColAuthor:
            values.text(r.Slide_Author);
            break;
        case SlideColDescribe:
            if (fileExists(r.Slide_Describe))
                values.text(readTextFile(r.Slide_Describe));
            else
                values.null();
            break;
        case SlideColBGround:
            if (fileExists(r.Slide_BGround))
                values.file(r.Slide_BGround);
            else
                values.null();
            break;
        case SlideColIndex:
            values.number(r.Slide_Index);
            break;
        case SlideColBGroundX:
            values.text(r.Slide_BGroundX);
            break;
        case SlideColRatio:
            values.text(floatToText(r.Slide_Ratio));
            break;
        case SlideColBColor:
            values.text(r.Slide_BColor);
            break;
        case SlideColGradient:
            values.number(r.Slide_Gradient);
            break;
        case SlideColJumpCBId:
            values.number(r.Jump_CB_Id);
            break;
        case SlideColJumpSlideId:
            values.number(r.Jump_Slide_Id);
            break;
        default:
            break;
        }
    }
    text.chop(1);
    text += QStringLiteral(" where OID=?");
    values.text(r.OID);
    Statement st(c, text);
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    if (!values.bindTo(st) || st.execute() > 1) {
        c.report(MsgUpdateData, QStringLiteral("Slide"));
        return false;
    }
    const bool background = slide->Changed & SlideColBGround;
    slide->Changed = 0;
    if (background) {
        slide->Changed = SlideColBGround;
        SelectSlide(slide);
    }
    slide->Changed = 0;
    return true;
}

bool TDbClearBookList::SelectSlide(TDbSlide *slide)
{
    if (!slide->isStored() || slide->Changed == 0)
        return false;
    Connection &c = m_connection;
    // The description is always selected alone, into its work file.
    if (slide->Changed & SlideColDescribe) {
        const QString file = workPrefix(c) + QStringLiteral("Des") + slide->Rec.OID;
        QStringList row;
        const bool ok =
            selectMaskedRow(c, QStringLiteral("select Slide_Describe from Slide_Table where OID=?"),
                            slide->Rec.OID, MsgRetrieveColumnData, SlideTable, file, 1, row);
        slide->Changed = 0;
        if (ok)
            slide->Rec.Slide_Describe = file;
        return ok;
    }
    QString text = QStringLiteral("select");
    QList<quint16> order;
    for (const SlidePiece &p : SlidePieces)
        if (slide->Changed & p.bit) {
            text += QLatin1String(p.select);
            order.append(p.bit);
        }
    text.chop(1);
    text += QStringLiteral(" from Slide_Table where OID=?");
    QStringList row;
    if (!selectMaskedRow(c, text, slide->Rec.OID, MsgRetrieveColumnData, SlideTable, QString(),
                         int(order.size()), row) ||
        row.size() < order.size()) {
        slide->Changed = 0;
        return false;
    }
    TsSlide &r = slide->Rec;
    for (qsizetype i = 0; i < order.size(); ++i) {
        const QString &v = row[i];
        switch (order[i]) {
        case SlideColCBId:
            r.CB_Id = intOr(v, 0);
            break;
        case SlideColSlideId:
            r.Slide_Id = intOr(v, 0);
            break;
        case SlideColTitle:
            r.Slide_Title = v;
            break;
        case SlideColDateTime:
            r.Slide_DateTime = v.isEmpty() ? -1 : textToDate(v);
            break;
        case SlideColAuthor:
            r.Slide_Author = v;
            break;
        case SlideColBGround:
            r.Slide_BGround = v;
            break;
        case SlideColIndex:
            r.Slide_Index = intOr(v, -1);
            break;
        case SlideColBGroundX:
            r.Slide_BGroundX = v.isEmpty() ? QStringLiteral("0") : v;
            break;
        case SlideColRatio:
            r.Slide_Ratio = floatOr(v, 1.0);
            break;
        case SlideColBColor:
            r.Slide_BColor = v.isEmpty() ? QString::number(0xFFFFFF) : v;
            break;
        case SlideColGradient:
            r.Slide_Gradient = intOr(v, 0);
            break;
        case SlideColJumpCBId:
            r.Jump_CB_Id = intOr(v, 0);
            break;
        case SlideColJumpSlideId:
            r.Jump_Slide_Id = intOr(v, 0);
            break;
        default:
            break;
        }
    }
    slide->Changed = 0;
    return true;
}

bool TDbClearBookList::DeleteSlideRows(TDbSlide *slide, bool byId)
{
    if (!slide->isStored())
        return false;
    Connection &c = m_connection;
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    SlideSnapshot snapshot(slide);
    bool ok = true;
    if (byId) {
        if (!run(c, QStringLiteral("delete from Object_Table where Slide_Id=?"),
                 {QString::number(slide->Rec.Slide_Id)})) {
            c.report(MsgDeleteData, ObjectTableName);
            ok = false;
        }
    } else {
        for (TDbObject *o : std::as_const(slide->Objects.Objects)) {
            if (!o->isStored() || o->RefCount > 1 || o->HomeSlide)
                continue;
            if (!run(c, QStringLiteral("delete from Object_Table where OID=?"), {o->Rec.OID})) {
                c.report(MsgDeleteData, ObjectTableName);
                ok = false;
                break;
            }
            o->Rec.OID = NotStored;
        }
    }
    // The slide's flags go with it; nothing else ever refers to them.
    ok = ok && deleteFlags(c, QStringLiteral("delete from Flag_Table where Flag_CB_Id=? and Flag_Slide_Id=?"),
                           {QString::number(slide->Rec.CB_Id), QString::number(slide->Rec.Slide_Id)});
    if (ok && !run(c, QStringLiteral("delete from Slide_Table where Slide_Id=?"),
                   {QString::number(slide->Rec.Slide_Id)})) {
        c.report(MsgDeleteData, SlideTable);
        ok = false;
    }
    if (ok && tx.commit()) {
        slide->Rec.OID = NotStored;
        return true;
    }
    tx.rollback();
    snapshot.restore();
    return false;
}

// ---------------------------------------------------------------------------------------------
// Save, revert, close

bool TDbClearBookList::keepForUndo(TDbObject *o)
{
    // Only a file the row holds its own copy of goes with the row; one it refers to where it
    // lies stays there.
    if (o->Rec.Obj_Flag || o->Rec.Obj_Media.isEmpty() || !QFileInfo(o->Rec.Obj_Media).isFile())
        return true;
    const QString suffix = QFileInfo(o->Rec.Obj_Media).suffix();
    const QString copy =
        UniqueWorkFile(m_connection.tempFilePrefix().isEmpty() ? QDir::tempPath() : m_connection.tempFilePrefix(),
                       QStringLiteral("CBUndo"), suffix.isEmpty() ? QStringLiteral("dat") : suffix);
    QFile::remove(copy);
    if (!QFile::copy(o->Rec.Obj_Media, copy))
        return false;
    o->UndoFile = copy;
    return true;
}

bool TDbClearBookList::SaveSlide(TDbSlide *slide)
{
    if (!slide)
        return false;
    Connection &c = m_connection;
    SlideSnapshot snapshot(slide);
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    bool ok = true;
    bool complete = true;
    bool inserted = false;
    // Another program may have removed rows this one still shows (the workspace open while
    // vkctl works): what is gone is stored again rather than updated into nothing.
    const int bookId = slide->Owner ? slide->Owner->Rec.CB_Id : slide->Rec.CB_Id;
    if (!rowExists(c, QStringLiteral("select count(*) from ClearBook_Table where CB_Id=?"),
                   QString::number(bookId))) {
        c.report(vkMessage("ClearBookRemovedElsewhere"));
        return false;
    }
    if (slide->isStored() &&
        !rowExists(c, QStringLiteral("select count(*) from Slide_Table where OID=?"), slide->Rec.OID))
        slide->Rec.OID = NotStored;
    for (TDbObject *o : std::as_const(slide->Objects.Objects))
        if (o->isStored() && !o->HomeSlide &&
            !rowExists(c, QStringLiteral("select count(*) from Object_Table where OID=?"), o->Rec.OID)) {
            o->Rec.OID = NotStored;
            if (o->Rec.Removed)
                continue;
            // Its row held its own copy of the file, which went with the row: a file it shared
            // with the library may still be there, and is copied in when it is.
            o->Rec.Obj_Flag = false;
        }
    if (!slide->isStored()) {
        // Appended last: past whatever another program stored in the ClearBook meanwhile.
        if (slide->Owner && !slide->Owner->Slides.isEmpty() && slide->Owner->Slides.last() == slide) {
            Statement st(c, QStringLiteral("select max(Slide_Index) from Slide_Table where CB_Id=?"));
            QStringList row;
            if (st.needsParams() && st.bind(QString::number(bookId)) < 2 && st.execute() < 2 &&
                st.fetch(row) == vkdb::DbOk && !row.value(0).isEmpty())
                slide->Rec.Slide_Index = std::max(slide->Rec.Slide_Index, intOr(row.value(0), 0) + 32);
        }
        ok = InsertSlide(slide, true);
        inserted = ok;
    }
    if (ok) {
        slide->Changed = SlideSaveMask;
        // A new slide's background went in with its row.
        if (slide->BackgroundChanged && !inserted)
            slide->Changed |= SlideColBGround;
        if (slide->DescribeChanged)
            slide->Changed |= SlideColDescribe;
        ok = UpdateSlide(slide);
        if (ok && inserted) {
            slide->Changed = SlideColBGround;
            SelectSlide(slide);
        }
    }
    const int cbId = slide->Owner ? slide->Owner->Rec.CB_Id : slide->Rec.CB_Id;
    QList<TDbObject *> dropped; // removed objects, taken out once the change is made
    QList<TDbObject *> kept;    // removed objects the history keeps, unstored, for an undo
    QList<TDbObject *> &objects = slide->Objects.Objects;
    for (qsizetype n = objects.size() - 1; ok && n >= 0; --n) {
        TDbObject *o = objects[n];
        o->Rec.CB_Id = cbId;
        o->Rec.Slide_Id = slide->Rec.Slide_Id;
        const bool shared = o->RefCount > 1;
        QString memoFile;
        if (o->isStored() && o->Rec.Removed) {
            dropped.append(o);
            if (shared) {
                // Another holder keeps the object and its row, which belongs to no slide now.
                o->Rec.CB_Id = -1;
                o->Rec.Slide_Id = -1;
                o->Changed = ObjectDetachMask;
                ok = UpdateObject(o);
            } else {
                if (m_views->keepsRemoved(o) && keepForUndo(o))
                    kept.append(o);
                ok = DeleteObjectRow(o);
            }
        } else if (o->isStored()) {
            o->Changed = ObjectSaveMask;
            ok = writeMemoText(o, int(n), &memoFile);
            if (ok && !memoFile.isEmpty())
                o->Changed |= ObjMedia;
            ok = ok && UpdateObject(o);
            if (!memoFile.isEmpty())
                QFile::remove(memoFile);
        } else if (o->Rec.Removed) {
            if (!shared && m_views->keepsRemoved(o))
                continue; // nothing of it is stored: the history keeps it as it is
            dropped.append(o);
            if (shared) {
                // Kept on no slide, so that its media survives for a later paste.
                o->Rec.Slide_Id = -1;
                ok = InsertObject(o, !o->Rec.Obj_Flag);
            }
        } else {
            ok = writeMemoText(o, int(n), &memoFile);
            if (!ok)
                break;
            if (isMediaKind(o->kind()) && !fileExists(o->Rec.Obj_Media)) {
                c.report(QStringLiteral("<Object:") + o->Rec.Title + QLatin1Char('>') +
                         vkMessage("ReferentialMediaDeleted"));
                complete = false;
                continue;
            }
            ok = InsertObject(o, !o->Rec.Obj_Flag);
            if (!memoFile.isEmpty())
                QFile::remove(memoFile);
        }
    }
    if (ok)
        if (TDbFlagList *flags = m_views->slideFlags(slide))
            ok = flags->SaveFlags(slide);
    if (!ok || !tx.commit()) {
        tx.rollback();
        snapshot.restore();
        for (TDbObject *o : std::as_const(kept)) {
            QFile::remove(o->UndoFile);
            o->UndoFile.clear();
        }
        return false;
    }
    for (TDbObject *o : std::as_const(dropped)) {
        slide->Objects.DesignOrder.removeOne(o);
        slide->Selection.removeOne(o);
        m_views->hideVisual(o);
        if (kept.contains(o)) {
            // Its row is gone; an undo stores it again, with the copy of its file it kept.
            o->Rec.OID = NotStored;
            o->Rec.Uncommitted = false;
            o->HomeSlide = nullptr;
            if (!o->UndoFile.isEmpty()) {
                if (!o->OwnWorkFile.isEmpty())
                    QFile::remove(o->OwnWorkFile);
                o->OwnWorkFile = o->UndoFile;
                o->Rec.Obj_Media = o->UndoFile;
                o->Rec.Obj_Flag = false;
                o->UndoFile.clear();
            }
            continue;
        }
        objects.removeOne(o);
        m_views->objectDropped(o);
        if (--o->RefCount <= 0) {
            m_views->destroyVisual(o);
            delete o;
        } else {
            o->Owner = nullptr;
            o->Rec.Removed = false;
        }
    }
    for (TDbObject *o : std::as_const(objects)) {
        if (o->isStored()) {
            o->Rec.Uncommitted = false;
            o->HomeSlide = nullptr;
        }
        if (o->kind() == ObjectKind::Memo && o->isStored() && !o->OwnWorkFile.isEmpty()) {
            QFile::remove(o->OwnWorkFile);
            o->OwnWorkFile.clear();
        }
    }
    slide->DescribeChanged = false;
    slide->BackgroundChanged = false;
    return complete;
}

bool TDbClearBookList::RevertSlide(TDbSlide *slide)
{
    if (!slide)
        return false;
    if (slide == ActiveSlide)
        m_views->historyEnded(slide);
    TDbClearBook *cb = slide->Owner;
    if (!slide->isStored()) {
        // Objects moved onto it from elsewhere go home; the rest goes with the slide.
        for (TDbObject *o : QList<TDbObject *>(slide->Objects.Objects))
            if (o->HomeSlide) {
                slide->Objects.Objects.removeOne(o);
                slide->Objects.DesignOrder.removeOne(o);
                --o->RefCount;
                m_views->hideVisual(o);
                giveBack(o);
            }
        m_views->slideRemoved(slide);
        if (cb)
            cb->Slides.removeOne(slide);
        if (ActiveSlide == slide)
            ActiveSlide = nullptr;
        freeSlide(slide);
        return true;
    }
    Connection &c = m_connection;
    QList<TDbObject *> &objects = slide->Objects.Objects;
    // The rows first: objects held elsewhere keep theirs on no slide; rows written while the
    // slide was edited go.
    {
        Transaction tx(c);
        if (!tx.isActive())
            return false;
        SlideSnapshot snapshot(slide);
        bool ok = true;
        for (qsizetype i = objects.size() - 1; ok && i >= 0; --i) {
            TDbObject *o = objects[i];
            if (o->HomeSlide)
                continue; // its row never left its own slide
            if (o->RefCount > 1) {
                if (o->Rec.Uncommitted && o->isStored()) {
                    o->Rec.CB_Id = -1;
                    o->Rec.Slide_Id = -1;
                    o->Changed = ObjectDetachMask;
                    ok = UpdateObject(o);
                }
            } else if (o->Rec.Uncommitted && o->isStored()) {
                ok = DeleteObjectRow(o);
            }
        }
        if (!ok || !tx.commit()) {
            tx.rollback();
            snapshot.restore();
            return false;
        }
    }
    QList<TDbObject *> aside;
    for (qsizetype i = objects.size() - 1; i >= 0; --i) {
        TDbObject *o = objects[i];
        if (o->HomeSlide) {
            objects.removeAt(i);
            --o->RefCount;
            m_views->hideVisual(o);
            m_views->destroyVisual(o);
            giveBack(o);
        } else if (o->RefCount > 1) {
            objects.removeAt(i);
            --o->RefCount;
            m_views->hideVisual(o);
            o->Owner = nullptr;
            aside.append(o);
        }
    }
    for (TDbObject *o : std::as_const(objects)) {
        m_views->objectRemoved(o);
        m_views->destroyVisual(o);
        if (--o->RefCount <= 0)
            delete o;
    }
    objects.clear();
    slide->Objects.DesignOrder.clear();
    slide->Selection.clear();
    slide->Changed = SlideRevertMask;
    SelectSlide(slide);
    if (!slide->Rec.Slide_Describe.isEmpty()) {
        QFile::remove(slide->Rec.Slide_Describe);
        slide->Rec.Slide_Describe.clear();
    }
    slide->DescribeChanged = false;
    slide->BackgroundChanged = false;
    const bool loaded = LoadObjects(slide);
    for (TDbObject *o : std::as_const(aside))
        for (TDbObject *r : std::as_const(objects))
            if (r->Rec.OID == o->Rec.OID) {
                // The holder's object becomes an unstored one that refers to the same file.
                o->Rec.OID = NotStored;
                o->Rec.Obj_Flag = true;
                break;
            }
    if (TDbFlagList *flags = m_views->slideFlags(slide))
        flags->LoadFlags(slide);
    m_views->slideRefreshed(slide);
    return loaded;
}

bool TDbClearBookList::CloseSlide(TDbSlide *slide, bool ask)
{
    if (!slide)
        return true;
    bool save = false;
    if (ask) {
        UiServices *ui = m_connection.ui();
        const UiServices::Answer answer =
            ui ? ui->askYesNoCancel(vkMessage("SaveSlideChanges")) : UiServices::Answer::Yes;
        // Cancel: the slide stays open as it is, and whatever closed it does not go on.
        if (answer == UiServices::Answer::Cancel)
            return false;
        save = answer == UiServices::Answer::Yes;
    }
    // Closing the slide ends its history (saving keeps it); the save below may still keep
    // removed objects for it, which the history's end then lets go of.
    for (TDbObject *o : std::as_const(slide->Selection))
        o->Selected = false;
    slide->Selection.clear();
    bool result = true;
    if (save) {
        for (TDbObject *o : std::as_const(slide->Objects.Objects))
            m_views->hideVisual(o);
        result = SaveSlide(slide);
    } else {
        for (TDbObject *o : std::as_const(slide->Objects.Objects))
            m_views->hideVisual(o);
        if (ask)
            RevertSlide(slide);
    }
    QFile::remove(workPrefix(m_connection) + QStringLiteral("VkWpFile.bmp"));
    return result;
}

// ---------------------------------------------------------------------------------------------
// Copies

TDbSlide *TDbClearBookList::CopySlide(TDbSlide *slide, TDbClearBook *target)
{
    auto copy = std::make_unique<TDbSlide>();
    copy->Rec = slide->Rec;
    copy->Rec.OID = NotStored;
    copy->Rec.CB_Id = target->Rec.CB_Id;
    copy->Rec.Slide_Id = 0;
    copy->Rec.Slide_DateTime = today();
    copy->Rec.Slide_Describe.clear();
    copy->Owner = target;
    // A stored background is referred to, not copied.
    if (!InsertSlide(copy.get(), false))
        return nullptr;
    QList<TDbObject *> sources;
    for (TDbObject *o : std::as_const(slide->Objects.Objects)) {
        if (o->Rec.Removed)
            continue;
        TDbObject *c = CopyObject(o, copy.get());
        copy->Objects.Objects.append(c);
        ++c->RefCount;
        sources.append(o);
    }
    for (TDbObject *o : std::as_const(slide->Objects.DesignOrder)) {
        const qsizetype at = sources.indexOf(o);
        if (at >= 0)
            copy->Objects.DesignOrder.append(copy->Objects.Objects[at]);
    }
    return copy.release();
}

TDbSlide *TDbClearBookList::SaveSlideAs(TDbSlide *slide, TDbClearBook *target, const QString &title,
                                        const QString &author, const QString *description)
{
    Connection &c = m_connection;
    Transaction tx(c);
    if (!tx.isActive())
        return nullptr;
    std::unique_ptr<TDbSlide> copy(CopySlide(slide, target));
    if (!copy)
        return nullptr;
    copy->Rec.Slide_Title = title;
    copy->Rec.Slide_Author = author;
    const int position = int(target->Slides.size());
    bool ok = PlaceSlide(target->Slides, copy.get(), position, target);
    QString descriptionFile;
    if (ok) {
        copy->Changed = SlideSaveAsMask;
        if (description) {
            descriptionFile = workPrefix(c) + copy->Rec.OID;
            QFile f(descriptionFile);
            ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(description->toUtf8()) >= 0 &&
                 f.flush();
            copy->Rec.Slide_Describe = descriptionFile;
            copy->Changed |= SlideColDescribe;
        }
        ok = ok && UpdateSlide(copy.get());
        if (!descriptionFile.isEmpty())
            QFile::remove(descriptionFile);
        copy->Rec.Slide_Describe.clear();
    }
    for (qsizetype n = 0; ok && n < copy->Objects.Objects.size(); ++n) {
        TDbObject *o = copy->Objects.Objects[n];
        o->Rec.CB_Id = target->Rec.CB_Id;
        o->Rec.Slide_Id = copy->Rec.Slide_Id;
        ok = InsertObject(o, !o->Rec.Obj_Flag);
        if (ok && !o->OwnWorkFile.isEmpty()) {
            QFile::remove(o->OwnWorkFile);
            o->OwnWorkFile.clear();
        }
    }
    if (ok && tx.commit())
        return copy.release();
    tx.rollback();
    // The copy was never made: it leaves the target's list again.
    if (target->Slides.contains(copy.get())) {
        m_views->slideRemoved(copy.get());
        target->Slides.removeOne(copy.get());
    }
    return nullptr;
}

TDbClearBook *TDbClearBookList::CopyClearBook(TDbClearBook *source, const QString &title)
{
    Connection &c = m_connection;
    Transaction tx(c);
    if (!tx.isActive())
        return nullptr;
    TDbClearBook *cb = CreateClearBook(title, source->Rec.CB_Author);
    if (!cb)
        return nullptr;
    bool ok = true;
    QString description;
    if (ReadDescription(c, source->Rec.OID, RecordKind::ClearBook, &description) && !description.isEmpty())
        ok = WriteDescription(c, cb->Rec.OID, description, RecordKind::ClearBook);
    QHash<int, int> slideIds; // source Slide_Id -> the copy's
    for (TDbSlide *s : std::as_const(source->Slides)) {
        if (!ok)
            break;
        QString text;
        const bool hasText =
            s->isStored() && ReadDescription(c, s->Rec.OID, RecordKind::Slide, &text) && !text.isEmpty();
        TDbSlide *copy =
            SaveSlideAs(s, cb, s->Rec.Slide_Title, s->Rec.Slide_Author, hasText ? &text : nullptr);
        if (!copy) {
            ok = false;
            break;
        }
        slideIds.insert(s->Rec.Slide_Id, copy->Rec.Slide_Id);
        // The flags go with the slide.
        if (s->isStored() &&
            !run(c,
                 QStringLiteral(
                     "insert into Flag_Table (Flag_CB_Id,Flag_Slide_Id,Flag_Id,Flag_StartTime,"
                     "Flag_Name,Flag_Type_Id,Loop_EndTime,Jump_To_MarkName,FlagActive_Type,"
                     "Time_Associated) select ?,?,Flag_Id,Flag_StartTime,Flag_Name,Flag_Type_Id,"
                     "Loop_EndTime,Jump_To_MarkName,FlagActive_Type,Time_Associated from Flag_Table "
                     "where Flag_CB_Id=? and Flag_Slide_Id=?"),
                 {QString::number(cb->Rec.CB_Id), QString::number(copy->Rec.Slide_Id),
                  QString::number(source->Rec.CB_Id), QString::number(s->Rec.Slide_Id)})) {
            c.report(MsgInsertData, QStringLiteral("Flag_Table"));
            ok = false;
        }
    }
    // Links and ending actions within the ClearBook lead to the copy's own slides.
    for (TDbSlide *s : std::as_const(cb->Slides)) {
        if (!ok)
            break;
        if (s->Rec.Jump_CB_Id == source->Rec.CB_Id && slideIds.contains(s->Rec.Jump_Slide_Id)) {
            s->Rec.Jump_CB_Id = cb->Rec.CB_Id;
            s->Rec.Jump_Slide_Id = slideIds.value(s->Rec.Jump_Slide_Id);
            s->Changed = SlideColJumpCBId | SlideColJumpSlideId;
            ok = UpdateSlide(s);
        }
        for (TDbObject *o : std::as_const(s->Objects.Objects)) {
            if (!ok)
                break;
            if (o->Rec.Obj_Link_CBId == source->Rec.CB_Id && slideIds.contains(o->Rec.Obj_Link_SlideId)) {
                o->Rec.Obj_Link_CBId = cb->Rec.CB_Id;
                o->Rec.Obj_Link_SlideId = slideIds.value(o->Rec.Obj_Link_SlideId);
                o->Rec.LinkClearBookTitle = cb->Rec.CB_Title;
                ok = SetLinkRow(o->Rec.OID, o->Rec.Obj_Link_CBId, o->Rec.Obj_Link_SlideId);
            }
        }
    }
    if (ok && tx.commit())
        return cb;
    tx.rollback();
    m_views->clearBookRemoved(cb);
    ClearBooks.removeOne(cb);
    for (TDbSlide *s : std::as_const(cb->Slides))
        for (TDbObject *o : std::as_const(s->Objects.Objects))
            o->Rec.OID = NotStored; // the rows were never made
    delete cb;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Order

bool TDbClearBookList::storeSlideIndex(TDbSlide *slide)
{
    if (!slide->isStored())
        return true;
    if (!run(m_connection, QStringLiteral("update Slide_Table set Slide_Index=?  where OID = ?"),
             {QString::number(slide->Rec.Slide_Index), slide->Rec.OID})) {
        m_connection.report(MsgUpdateData, QStringLiteral("Slide"));
        return false;
    }
    return true;
}

bool TDbClearBookList::PlaceSlide(TDbSlideList &list, TDbSlide *slide, int position, TDbClearBook *cb)
{
    Transaction tx(m_connection);
    if (!tx.isActive())
        return false;
    const TsSlide before = slide->Rec;
    bool renumber = false;
    int at;
    if (list.isEmpty()) {
        slide->Rec.Slide_Index = 0;
        at = 0;
    } else if (position <= 0) {
        slide->Rec.Slide_Index = list.first()->Rec.Slide_Index - 32;
        at = 0;
    } else if (position < list.size()) {
        const int a = list[position - 1]->Rec.Slide_Index, b = list[position]->Rec.Slide_Index;
        slide->Rec.Slide_Index = int((qint64(a) + b) / 2);
        renumber = qint64(b) - a <= 1;
        at = position;
    } else {
        slide->Rec.Slide_Index = list.last()->Rec.Slide_Index + 32;
        at = int(list.size());
    }
    list.insert(at, slide);
    slide->Rec.CB_Id = cb->Rec.CB_Id;
    slide->Owner = cb;
    bool ok = !renumber || RenumberSlides(list);
    if (ok && slide->isStored()) {
        slide->Changed = SlidePlaceMask;
        ok = UpdateSlide(slide);
    }
    if (ok && tx.commit()) {
        m_views->slideInserted(slide, at);
        return true;
    }
    tx.rollback();
    list.removeOne(slide);
    slide->Rec = before;
    return false;
}

bool TDbClearBookList::MoveSlide(TDbSlideList &list, TDbSlide *slide, int position)
{
    const int from = int(list.indexOf(slide));
    if (from < 0 || position < 0 || position >= list.size() || position == from)
        return false;
    const int oldIndex = slide->Rec.Slide_Index;
    list.move(from, position);
    bool renumber = false;
    if (position == 0) {
        slide->Rec.Slide_Index = list[1]->Rec.Slide_Index - 32;
    } else if (position == list.size() - 1) {
        slide->Rec.Slide_Index = list[position - 1]->Rec.Slide_Index + 32;
    } else {
        const int a = list[position - 1]->Rec.Slide_Index, b = list[position + 1]->Rec.Slide_Index;
        slide->Rec.Slide_Index = int((qint64(a) + b) / 2);
        renumber = slide->Rec.Slide_Index == a || slide->Rec.Slide_Index == b;
    }
    Transaction tx(m_connection);
    bool ok = tx.isActive() && (renumber ? RenumberSlides(list) : storeSlideIndex(slide));
    if (ok && tx.commit()) {
        m_views->slideRemoved(slide);
        m_views->slideInserted(slide, position);
        return true;
    }
    tx.rollback();
    list.move(position, from);
    slide->Rec.Slide_Index = oldIndex;
    return false;
}

bool TDbClearBookList::RenumberSlides(TDbSlideList &list)
{
    Transaction tx(m_connection);
    if (!tx.isActive())
        return false;
    QList<int> before;
    for (TDbSlide *s : std::as_const(list))
        before.append(s->Rec.Slide_Index);
    bool ok = true;
    for (qsizetype k = 0; k < list.size(); ++k) {
        list[k]->Rec.Slide_Index = int(32 * k);
        ok = ok && storeSlideIndex(list[k]);
    }
    if (ok && tx.commit())
        return true;
    tx.rollback();
    for (qsizetype k = 0; k < list.size(); ++k)
        list[k]->Rec.Slide_Index = before[k];
    return false;
}

bool TDbClearBookList::DetachSlide(TDbSlideList &list, TDbSlide *slide)
{
    if (slide == ActiveSlide) {
        if (!CloseSlide(slide, SlideModified))
            return false;
        ActiveSlide = nullptr;
        SlideModified = false;
    }
    m_views->slideRemoved(slide);
    list.removeOne(slide);
    return true;
}

bool TDbClearBookList::RemoveSlide(TDbSlideList &list, TDbSlide *slide)
{
    if (slide == ActiveSlide)
        m_views->historyEnded(slide);
    UiServices *ui = m_connection.ui();
    if (ui)
        ui->setHourglass(true);
    auto done = [ui](bool result) {
        if (ui)
            ui->setHourglass(false);
        return result;
    };
    // Objects moved onto it from another slide go home first; their rows are that slide's.
    for (TDbObject *o : QList<TDbObject *>(slide->Objects.Objects))
        if (o->HomeSlide) {
            slide->Objects.Objects.removeOne(o);
            slide->Objects.DesignOrder.removeOne(o);
            slide->Selection.removeOne(o);
            --o->RefCount;
            m_views->destroyVisual(o);
            giveBack(o);
        }
    if (slide->isStored() && !DeleteSlideRows(slide, false))
        return done(false);
    m_views->slideRemoved(slide);
    if (slide == ActiveSlide) {
        for (TDbObject *o : std::as_const(slide->Objects.Objects))
            m_views->hideVisual(o);
        ActiveSlide = nullptr;
        SlideModified = false;
        m_views->surfaceHidden();
    }
    list.removeOne(slide);
    freeSlide(slide);
    return done(true);
}

void TDbClearBookList::freeSlide(TDbSlide *slide)
{
    detachShared(slide);
    for (TDbObject *o : std::as_const(slide->Objects.Objects)) {
        m_views->destroyVisual(o);
    }
    delete slide;
}

void TDbClearBookList::detachShared(TDbSlide *slide)
{
    QList<TDbObject *> &objects = slide->Objects.Objects;
    for (qsizetype i = objects.size() - 1; i >= 0; --i) {
        TDbObject *o = objects[i];
        if (o->RefCount > 1) {
            objects.removeAt(i);
            slide->Objects.DesignOrder.removeOne(o);
            --o->RefCount;
            m_views->hideVisual(o);
            o->Owner = nullptr;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Lookups

TDbSlide *TDbClearBookList::NextSlide(TDbSlide *slide) const
{
    if (!slide || !slide->Owner)
        return nullptr;
    const qsizetype i = slide->Owner->Slides.indexOf(slide);
    return i >= 0 && i + 1 < slide->Owner->Slides.size() ? slide->Owner->Slides[i + 1] : nullptr;
}

TDbSlide *TDbClearBookList::PreviousSlide(TDbSlide *slide) const
{
    if (!slide || !slide->Owner)
        return nullptr;
    const qsizetype i = slide->Owner->Slides.indexOf(slide);
    return i > 0 ? slide->Owner->Slides[i - 1] : nullptr;
}

static QString titleOf(Connection &c, const QString &text, int id)
{
    Statement st(c, text);
    if (!st.needsParams())
        c.report(MsgSqlOpen);
    else if (st.bind(QString::number(id)) > 1 || st.execute() > 1)
        c.report(MsgSetParamEnd);
    QStringList row;
    if (st.isOpen() && st.fetch(row) == vkdb::DbOk && !row.isEmpty())
        return row.first();
    return QStringLiteral("(Lost)");
}

QString TDbClearBookList::ClearBookTitle(int cbId)
{
    return titleOf(m_connection, QStringLiteral("select CB_Title from ClearBook_Table where CB_Id = ?"),
                   cbId);
}

QString TDbClearBookList::SlideTitle(int slideId)
{
    return titleOf(m_connection, QStringLiteral("select Slide_Title from Slide_Table where Slide_Id = ?"),
                   slideId);
}

bool TDbClearBookList::SetAuthor(const QString &oid, const QString &author, int kind)
{
    if (kind != 2 && kind != 3)
        return false;
    const QString text = kind == 2 ? QStringLiteral("update ClearBook_Table set CB_Author= ?  where OID = ?")
                                   : QStringLiteral("update Slide_Table set Slide_Author= ?  where OID = ?");
    if (!run(m_connection, text, {author, oid})) {
        m_connection.report(MsgUpdateData, kind == 2 ? ClearBookTable : SlideTable);
        return false;
    }
    return true;
}

TDbClearBook *TDbClearBookList::FindClearBook(int cbId) const
{
    for (TDbClearBook *cb : ClearBooks)
        if (cb->Rec.CB_Id == cbId)
            return cb;
    return nullptr;
}

TDbClearBook *TDbClearBookList::FindClearBookByOid(const QString &oid) const
{
    for (TDbClearBook *cb : ClearBooks)
        if (cb->Rec.OID == oid)
            return cb;
    return nullptr;
}

TDbSlide *TDbClearBookList::FindSlide(int slideId) const
{
    for (TDbClearBook *cb : ClearBooks)
        for (TDbSlide *s : cb->Slides)
            if (s->Rec.Slide_Id == slideId)
                return s;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Moving and copying slides between ClearBooks

bool TDbClearBookList::MoveSlideTo(TDbSlide *slide, TDbClearBook *target, int position)
{
    TDbClearBook *from = slide ? slide->Owner : nullptr;
    if (!from || !target || slide == ActiveSlide)
        return false;
    if (from == target)
        return MoveSlide(target->Slides, slide, std::clamp(position, 0, int(target->Slides.size()) - 1));
    if (!slide->isStored())
        return false;
    Connection &c = m_connection;
    Transaction tx(c);
    if (!tx.isActive())
        return false;
    const int oldCB = from->Rec.CB_Id, newCB = target->Rec.CB_Id, id = slide->Rec.Slide_Id;
    const int oldPlace = int(from->Slides.indexOf(slide));
    const QString o = QString::number(oldCB), n = QString::number(newCB), sid = QString::number(id);
    DetachSlide(from->Slides, slide);
    bool ok = PlaceSlide(target->Slides, slide, position, target);
    // What belongs to the slide, and what leads to it, follows it into its new ClearBook.
    ok = ok && run(c, QStringLiteral("update Object_Table set CB_Id=? where Slide_Id=?"), {n, sid});
    ok = ok && run(c, QStringLiteral("update Object_Table set Obj_Link_CBId=? where Obj_Link_CBId=? and Obj_Link_SlideId=?"),
                   {n, o, sid});
    ok = ok && run(c, QStringLiteral("update Slide_Table set Jump_CB_Id=? where Jump_CB_Id=? and Jump_Slide_Id=?"),
                   {n, o, sid});
    ok = ok && run(c, QStringLiteral("update Flag_Table set Flag_CB_Id=? where Flag_CB_Id=? and Flag_Slide_Id=?"),
                   {n, o, sid});
    if (ok && tx.commit()) {
        for (TDbObject *x : std::as_const(slide->Objects.Objects))
            x->Rec.CB_Id = newCB;
        for (TDbClearBook *cb : std::as_const(ClearBooks))
            for (TDbSlide *s : std::as_const(cb->Slides)) {
                if (s->Rec.Jump_CB_Id == oldCB && s->Rec.Jump_Slide_Id == id)
                    s->Rec.Jump_CB_Id = newCB;
                for (TDbObject *x : std::as_const(s->Objects.Objects))
                    if (x->Rec.Obj_Link_CBId == oldCB && x->Rec.Obj_Link_SlideId == id) {
                        x->Rec.Obj_Link_CBId = newCB;
                        x->Rec.LinkClearBookTitle = target->Rec.CB_Title;
                    }
            }
        return true;
    }
    tx.rollback();
    if (!ok)
        c.report(MsgUpdateData, SlideTable);
    // Back where it was, in memory as in the rows.
    if (target->Slides.contains(slide)) {
        m_views->slideRemoved(slide);
        target->Slides.removeOne(slide);
    }
    slide->Rec.CB_Id = oldCB;
    slide->Owner = from;
    from->Slides.insert(std::clamp(oldPlace, 0, int(from->Slides.size())), slide);
    m_views->slideInserted(slide, int(from->Slides.indexOf(slide)));
    return false;
}

TDbSlide *TDbClearBookList::CopySlideTo(TDbSlide *slide, TDbClearBook *target, int position)
{
    if (!slide || !target)
        return nullptr;
    Connection &c = m_connection;
    Transaction tx(c);
    if (!tx.isActive())
        return nullptr;
    QString text;
    const bool hasText =
        slide->isStored() && ReadDescription(c, slide->Rec.OID, RecordKind::Slide, &text) && !text.isEmpty();
    TDbSlide *copy =
        SaveSlideAs(slide, target, slide->Rec.Slide_Title, slide->Rec.Slide_Author, hasText ? &text : nullptr);
    if (!copy)
        return nullptr;
    const int sourceCB = slide->Owner ? slide->Owner->Rec.CB_Id : slide->Rec.CB_Id;
    bool ok = !slide->isStored() ||
              run(c,
                  QStringLiteral("insert into Flag_Table (Flag_CB_Id,Flag_Slide_Id,Flag_Id,Flag_StartTime,"
                                 "Flag_Name,Flag_Type_Id,Loop_EndTime,Jump_To_MarkName,FlagActive_Type,"
                                 "Time_Associated) select ?,?,Flag_Id,Flag_StartTime,Flag_Name,Flag_Type_Id,"
                                 "Loop_EndTime,Jump_To_MarkName,FlagActive_Type,Time_Associated from Flag_Table "
                                 "where Flag_CB_Id=? and Flag_Slide_Id=?"),
                  {QString::number(target->Rec.CB_Id), QString::number(copy->Rec.Slide_Id),
                   QString::number(sourceCB), QString::number(slide->Rec.Slide_Id)});
    if (!ok)
        c.report(MsgInsertData, QStringLiteral("Flag_Table"));
    const int last = int(target->Slides.size()) - 1;
    const int place = std::clamp(position, 0, last);
    if (ok && place != last) {
        m_views->slideRemoved(copy);
        target->Slides.removeOne(copy);
        ok = PlaceSlide(target->Slides, copy, place, target);
    }
    if (ok && tx.commit())
        return copy;
    tx.rollback();
    if (target->Slides.contains(copy)) {
        m_views->slideRemoved(copy);
        target->Slides.removeOne(copy);
    }
    for (TDbObject *x : std::as_const(copy->Objects.Objects))
        x->Rec.OID = NotStored; // the rows were never made
    delete copy;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Slide and ClearBook properties

SlideProperties SlidePropertiesOf(const TsSlide &r)
{
    SlideProperties p;
    p.title = r.Slide_Title;
    p.author = r.Slide_Author;
    p.background = r.Slide_BGround;
    p.style = r.Slide_BGroundX.isEmpty() ? QStringLiteral("0") : r.Slide_BGroundX;
    p.color = r.Slide_BColor;
    p.gradient = r.Slide_Gradient;
    p.jumpCB = r.Jump_CB_Id;
    p.jumpSlide = r.Jump_Slide_Id;
    return p;
}

quint16 SlidePropertiesMask(const TsSlide &r, const SlideProperties &p)
{
    quint16 mask = 0;
    if (r.Slide_Title != p.title)
        mask |= SlideColTitle;
    if (r.Slide_Author != p.author)
        mask |= SlideColAuthor;
    if (r.Slide_BGround != p.background)
        mask |= SlideColBGround;
    if (r.Slide_BGroundX != p.style)
        mask |= SlideColBGroundX;
    if (r.Slide_BColor != p.color)
        mask |= SlideColBColor;
    if (r.Slide_Gradient != p.gradient)
        mask |= SlideColGradient;
    if (r.Jump_CB_Id != p.jumpCB || r.Jump_Slide_Id != p.jumpSlide)
        mask |= SlideColJumpCBId | SlideColJumpSlideId;
    return mask;
}

void ApplySlideProperties(TsSlide &r, const SlideProperties &p)
{
    r.Slide_Title = p.title;
    r.Slide_Author = p.author;
    r.Slide_BGround = p.background;
    r.Slide_BGroundX = p.style;
    r.Slide_BColor = p.color;
    r.Slide_Gradient = p.gradient;
    r.Jump_CB_Id = p.jumpCB;
    r.Jump_Slide_Id = p.jumpSlide;
}

bool IsWallpaperFile(const QString &path)
{
    static const QStringList kinds{QStringLiteral("BMP"), QStringLiteral("JPG"), QStringLiteral("PCX"),
                                   QStringLiteral("PNG"), QStringLiteral("TGA")};
    return kinds.contains(QFileInfo(path).suffix().toUpper());
}

QString MemoTextOf(Connection &c, const TDbObject *o)
{
    if (o->HasMemoText)
        return o->MemoText;
    const QString &path = o->Rec.Obj_Media;
    if (path.isEmpty())
        return QString();
    if (path == o->OwnWorkFile || path == o->UndoFile)
        return readTextFile(path);
    const QString own =
        QFileInfo(QString::fromStdString(vkdb::DbFileObjectDir(c.handle()))).canonicalFilePath();
    if (own.isEmpty() || QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath() != own)
        return QString();
    return readTextFile(path);
}

QString TDbClearBookList::SlidePropertiesRefusal(const TDbSlide *slide, const SlideProperties &p) const
{
    if (p.title.trimmed().isEmpty())
        return QStringLiteral("A slide needs a title.");
    if (p.title.size() > MaxAuthoringTitle || p.author.size() > MaxAuthoringTitle)
        return QStringLiteral("A title or an author has at most %1 characters.").arg(MaxAuthoringTitle);
    if (p.style != QLatin1String("0") && p.style != QLatin1String("1") && p.style != QLatin1String("2"))
        return QStringLiteral("The picture style is Center, Full or Tile.");
    if (!colorFromText(p.color))
        return QStringLiteral("'%1' is not a colour.").arg(p.color);
    // A stored background keeps its engine's name, whatever it is called.
    if (!p.background.isEmpty() && !(slide && p.background == slide->Rec.Slide_BGround)) {
        if (!IsWallpaperFile(p.background))
            return QStringLiteral("This format is invalid for wallpaper!");
        if (!QFileInfo(p.background).isFile())
            return QStringLiteral("The picture %1 cannot be read.").arg(p.background);
    }
    switch (p.jumpSlide) {
    case EndingAction::Pause:
    case EndingAction::Sequence:
    case EndingAction::Repeat:
        return QString();
    default:
        break;
    }
    if (p.jumpSlide < 1)
        return QStringLiteral("A slide ends with Pause, Repeat, Sequence or a jump to a slide.");
    const TDbClearBook *cb = FindClearBook(p.jumpCB);
    const auto found = cb ? std::find_if(cb->Slides.cbegin(), cb->Slides.cend(),
                                         [&](const TDbSlide *s) { return s->Rec.Slide_Id == p.jumpSlide; })
                          : TDbSlideList::const_iterator();
    if (!cb || found == cb->Slides.cend() || !(*found)->isStored())
        return QStringLiteral("The slide to jump to is not a stored slide of a ClearBook.");
    return QString();
}

QString TDbClearBookList::DescriptionWorkFile(const TDbSlide *slide) const
{
    return UniqueWorkFile(QFileInfo(m_connection.tempFilePrefix() + QStringLiteral("x")).absolutePath(),
                          QStringLiteral("Des") + slide->Rec.OID + QStringLiteral("_"),
                          QStringLiteral("txt"));
}

bool TDbClearBookList::SetSlideProperties(TDbSlide *slide, const SlideProperties &p, const QString *description)
{
    if (!slide)
        return false;
    const QString refusal = SlidePropertiesRefusal(slide, p);
    if (!refusal.isEmpty()) {
        m_connection.report(refusal);
        return false;
    }
    const TsSlide before = slide->Rec;
    const bool describeBefore = slide->DescribeChanged, backgroundBefore = slide->BackgroundChanged;
    quint16 mask = SlidePropertiesMask(slide->Rec, p);
    ApplySlideProperties(slide->Rec, p);
    if (description) {
        const QString file = DescriptionWorkFile(slide);
        if (!writeTextFile(file, *description)) {
            slide->Rec = before;
            m_connection.report(QStringLiteral("The description could not be kept in %1.").arg(file));
            return false;
        }
        slide->Rec.Slide_Describe = file;
        slide->DescribeChanged = true;
        mask |= SlideColDescribe;
    }
    if (mask & SlideColBGround)
        slide->BackgroundChanged = true;
    if (mask == 0)
        return true;
    if (slide->isStored()) {
        slide->Changed = mask;
        if (!UpdateSlide(slide)) {
            slide->Rec = before;
            slide->Changed = 0;
            slide->DescribeChanged = describeBefore;
            slide->BackgroundChanged = backgroundBefore;
            return false;
        }
        slide->BackgroundChanged = false;
        slide->DescribeChanged = false;
    }
    views().slideRefreshed(slide);
    return true;
}

bool TDbClearBookList::SetClearBookProperties(TDbClearBook *cb, const QString &title, const QString &author,
                                              const QString *description)
{
    if (!cb)
        return false;
    if (title.trimmed().isEmpty()) {
        m_connection.report(QStringLiteral("A clearbook needs a title."));
        return false;
    }
    if (title.size() > MaxAuthoringTitle || author.size() > MaxAuthoringTitle) {
        m_connection.report(QStringLiteral("A title or an author has at most %1 characters.").arg(MaxAuthoringTitle));
        return false;
    }
    bool ok = true;
    if (title != cb->Rec.CB_Title) {
        if (WriteTitle(m_connection, cb->Rec.OID, title, RecordKind::ClearBook))
            cb->Rec.CB_Title = title;
        else
            ok = false;
    }
    if (author != cb->Rec.CB_Author) {
        if (SetAuthor(cb->Rec.OID, author, 2))
            cb->Rec.CB_Author = author;
        else
            ok = false;
    }
    if (description && !WriteDescription(m_connection, cb->Rec.OID, *description, RecordKind::ClearBook))
        ok = false;
    views().clearBookRefreshed(cb);
    return ok;
}

} // namespace vk
