// Slide objects: their rows in Object_Table, their two orders on a slide, copies, and the
// clipboard's references.
#include "AT_DbClearbook.h"
#include "BoundValues.h"
#include "Connection.h"
#include "DbFolder.h"
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

#include <algorithm>
#include <cmath>
#include <memory>

namespace vk {

namespace {

const QString ObjectTable = QStringLiteral("Object_Table");

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

struct ObjectPiece
{
    quint32 bit;
    const char *select; // " CB_Id,"
    const char *update; // " CB_Id=?,"
};

// Every column of an object's mask, in bit order.
const ObjectPiece ObjectPieces[] = {
    {ObjCBId, " CB_Id,", " CB_Id=?,"},
    {ObjSlideId, " Slide_Id,", " Slide_Id=?,"},
    {ObjId, " Id,", " Id=?,"},
    {ObjFlag, " Obj_Flag,", " Obj_Flag=?,"},
    {ObjTypeId, " Obj_TypeId,", " Obj_TypeId=?,"},
    {ObjLinkCBId, " Obj_Link_CBId,", " Obj_Link_CBId=?,"},
    {ObjLinkSlideId, " Obj_Link_SlideId,", " Obj_Link_SlideId=?,"},
    {ObjMedia, " filename(Obj_Media),", " Obj_Media=?,"},
    {ObjBarLeft, " Bar_Left,", " Bar_Left=?,"},
    {ObjBarWidth, " Bar_Width,", " Bar_Width=?,"},
    {ObjHint, " Hint,", " Hint=?,"},
    {ObjCaption, " Caption,", " Caption=?,"},
    {ObjHeight, " Height,", " Height=?,"},
    {ObjLeft, " Left,", " Left=?,"},
    {ObjTop, " Top,", " Top=?,"},
    {ObjWidth, " Width,", " Width=?,"},
    {ObjTag, " Tag,", " Tag=?,"},
    {ObjTitle, " Title,", " Title=?,"},
    {ObjSpecProperty2, " Spec_Property2,", " Spec_Property2=?,"},
    {ObjIndex, " Index,", " Index=?,"},
    {ObjLeftS, " Left_S,", " Left_S=?,"},
    {ObjTopS, " Top_S,", " Top_S=?,"},
    {ObjWidthS, " Width_S,", " Width_S=?,"},
    {ObjHeightS, " Height_S,", " Height_S=?,"},
    {ObjDesignIndex, " Design_Index,", " Design_Index=?,"},
};

// Stores one fetched column into the record (positions from reference to held units).
void storeColumn(TsObject &r, quint32 bit, const QString &v, double designScale)
{
    switch (bit) {
    case ObjCBId:
        r.CB_Id = intOr(v, -1);
        break;
    case ObjSlideId:
        r.Slide_Id = intOr(v, -1);
        break;
    case ObjId:
        r.Id = intOr(v, -1);
        break;
    case ObjFlag:
        r.Obj_Flag = v == QLatin1String("1");
        break;
    case ObjTypeId:
        r.Obj_TypeId = intOr(v, -1);
        break;
    case ObjLinkCBId:
        r.Obj_Link_CBId = intOr(v, 0);
        break;
    case ObjLinkSlideId:
        r.Obj_Link_SlideId = intOr(v, 0);
        break;
    case ObjMedia:
        r.Obj_Media = v;
        break;
    case ObjBarLeft:
        r.Bar_Left = intOr(v, -1);
        break;
    case ObjBarWidth:
        r.Bar_Width = intOr(v, -1);
        break;
    case ObjHint:
        r.Hint = v;
        break;
    case ObjCaption:
        r.Caption = v;
        break;
    case ObjHeight:
        r.Height = intOr(v, -1);
        break;
    case ObjLeft:
        r.Left = intOr(v, -1);
        break;
    case ObjTop:
        r.Top = intOr(v, -1);
        break;
    case ObjWidth:
        r.Width = intOr(v, -1);
        break;
    case ObjTag:
        r.Tag = intOr(v, -1);
        break;
    case ObjTitle:
        r.Title = v;
        break;
    case ObjSpecProperty2:
        r.Spec_Property2 = v;
        break;
    case ObjIndex:
        r.Index = floatOr(v, 0);
        break;
    case ObjLeftS:
        r.Left_S = floatOr(v, 0) * designScale;
        break;
    case ObjTopS:
        r.Top_S = floatOr(v, 0) * designScale;
        break;
    case ObjWidthS:
        r.Width_S = floatOr(v, 0) * designScale;
        break;
    case ObjHeightS:
        r.Height_S = floatOr(v, 0) * designScale;
        break;
    case ObjDesignIndex:
        r.Design_Index = intOr(v, 0);
        break;
    default:
        break;
    }
}

QString scaled(double held, double designScale)
{
    return floatToText(designScale != 0 ? held / designScale : held);
}

void removeFile(const QString &path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}

} // namespace

// ---------------------------------------------------------------------------------------------

TDbObject::~TDbObject()
{
    removeFile(OwnWorkFile);
    removeFile(UndoFile);
}

bool TDbObject::SetDisabled(bool flag)
{
    ObjectProperties props;
    props.Disabled = Disabled;
    const bool written = vk::SetDisabled(Rec.Obj_TypeId, props, Rec.Spec_Property2, flag);
    Disabled = flag;
    return written;
}

void TDbObject::ReadDisabled()
{
    ObjectProperties props;
    props.Disabled = Disabled;
    QString text = Rec.Spec_Property2;
    if (ReadPropertyText(Rec.Obj_TypeId, props, text, 1.0))
        Disabled = props.Disabled;
}

TDbObjectList::~TDbObjectList()
{
    for (TDbObject *o : std::as_const(Objects)) {
        if (o->Owner && &o->Owner->Objects == this)
            o->Owner = nullptr;
        if (--o->RefCount <= 0)
            delete o;
    }
}

void TDbObjectList::RebuildDesignOrder()
{
    DesignOrder.clear();
    for (TDbObject *o : std::as_const(Objects)) {
        qsizetype at = DesignOrder.size();
        for (qsizetype i = 0; i < DesignOrder.size(); ++i)
            if (DesignOrder[i]->Rec.Design_Index > o->Rec.Design_Index) {
                at = i;
                break;
            }
        DesignOrder.insert(at, o);
    }
}

// ---------------------------------------------------------------------------------------------
// Rows

bool TDbClearBookList::LoadObjects(TDbSlide *slide)
{
    Connection &c = m_connection;
    // The running maxima of the whole table, for rows stored before these columns were kept.
    double maxIndex = MaxOfColumn(c, QStringLiteral("Index"), ObjectTable);
    double maxDesign = std::trunc(MaxOfColumn(c, QStringLiteral("Design_Index"), ObjectTable));
    maxIndex = std::max(maxIndex, 0.0);
    maxDesign = std::max(maxDesign, 0.0);

    QList<QStringList> rows;
    bool failed = false;
    {
        Statement st(c, QStringLiteral(
                            "select CB_Id,Slide_Id ,Id,Obj_Flag,Obj_TypeId,Obj_Link_CBId,Obj_Link_SlideId,"
                            "Bar_Left,Bar_Width,Hint,Caption,Height,Left,Top,Width,Tag,Title,Spec_Property2,"
                            "filename(Obj_Media),Index,Left_S, Top_S, Width_S, Height_S, Design_Index, oid "
                            "from Object_Table where Slide_Id=? Order By Index"));
        if (!st.needsParams() || st.bind(QString::number(slide->Rec.Slide_Id)) > 1 || st.execute() > 1) {
            c.report(MsgRetrieveTableData, ObjectTable);
            return false;
        }
        QStringList row;
        int rc;
        while ((rc = st.fetch(row)) < 2)
            rows.append(row);
        // What was read before a failure is kept.
        if (rc != vkdb::DbNoMoreRows) {
            c.report(MsgRetrieveTableData, ObjectTable);
            failed = true;
        }
    }
    static const quint32 columnBits[] = {
        ObjCBId,    ObjSlideId,  ObjId,      ObjFlag,          ObjTypeId, ObjLinkCBId, ObjLinkSlideId,
        ObjBarLeft, ObjBarWidth, ObjHint,    ObjCaption,       ObjHeight, ObjLeft,     ObjTop,
        ObjWidth,   ObjTag,      ObjTitle,   ObjSpecProperty2, ObjMedia,  ObjIndex,    ObjLeftS,
        ObjTopS,    ObjWidthS,   ObjHeightS, ObjDesignIndex};
    for (const QStringList &row : std::as_const(rows)) {
        if (row.size() < 26) {
            failed = true;
            break;
        }
        auto *o = new TDbObject;
        quint32 marks = 0;
        for (int i = 0; i < 25; ++i) {
            const quint32 bit = columnBits[i];
            if (bit == ObjIndex && row[i].isEmpty()) {
                maxIndex += 32;
                o->Rec.Index = maxIndex;
                marks |= ObjIndex;
            } else if (bit == ObjDesignIndex && row[i].isEmpty()) {
                maxDesign += 32;
                o->Rec.Design_Index = int(maxDesign);
                marks |= ObjDesignIndex;
            } else {
                storeColumn(o->Rec, bit, row[i], DesignScale);
            }
        }
        o->Rec.OID = row[25];
        loadLinkTitles(o);
        o->ReadDisabled();
        if (marks) {
            o->Changed = marks;
            UpdateObject(o);
        }
        o->Owner = slide;
        slide->Objects.Objects.append(o);
        ++o->RefCount;
    }
    slide->Objects.RebuildDesignOrder();
    return !failed;
}

void TDbClearBookList::loadLinkTitles(TDbObject *o)
{
    o->Rec.LinkClearBookTitle.clear();
    o->Rec.LinkSlideTitle.clear();
    if (o->Rec.Obj_Link_CBId != 0)
        o->Rec.LinkClearBookTitle = ClearBookTitle(o->Rec.Obj_Link_CBId);
    if (o->Rec.Obj_Link_SlideId != 0)
        o->Rec.LinkSlideTitle = SlideTitle(o->Rec.Obj_Link_SlideId);
}

bool TDbClearBookList::SelectObject(TDbObject *o)
{
    if (!o->isStored() || o->Changed == 0)
        return false;
    Connection &c = m_connection;
    QString text = QStringLiteral("select");
    QList<quint32> order;
    for (const ObjectPiece &p : ObjectPieces)
        if (o->Changed & p.bit) {
            text += QLatin1String(p.select);
            order.append(p.bit);
        }
    if (order.isEmpty())
        return false;
    text.chop(1);
    text += QStringLiteral(" from Object_Table where OID=?");
    Statement st(c, text);
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    if (st.bind(o->Rec.OID) > 1 || st.execute() > 1) {
        c.report(MsgRetrieveDataFromTable, ObjectTable);
        return false;
    }
    QStringList row;
    if (st.fetch(row) != vkdb::DbOk || row.size() < order.size())
        return false;
    for (qsizetype i = 0; i < order.size(); ++i)
        storeColumn(o->Rec, order[i], row[i], DesignScale);
    o->Changed = 0;
    return true;
}

bool TDbClearBookList::UpdateObject(TDbObject *o)
{
    if (!o->isStored() || o->Changed == 0)
        return false;
    Connection &c = m_connection;
    const TsObject &r = o->Rec;
    QString text = QStringLiteral("update Object_Table set");
    BoundValues values;
    for (const ObjectPiece &p : ObjectPieces) {
        if (!(o->Changed & p.bit))
            continue;
        text += QLatin1String(p.update);
        switch (p.bit) {
        case ObjCBId:
            values.number(r.CB_Id);
            break;
        case ObjSlideId:
            values.number(r.Slide_Id);
            break;
        case ObjId:
            values.number(r.Id);
            break;
        case ObjFlag:
            values.text(r.Obj_Flag ? QStringLiteral("1") : QStringLiteral("0"));
            break;
        case ObjTypeId:
            values.number(r.Obj_TypeId);
            break;
        case ObjLinkCBId:
            values.number(r.Obj_Link_CBId);
            break;
        case ObjLinkSlideId:
            values.number(r.Obj_Link_SlideId);
            break;
        case ObjMedia:
            if (fileExists(r.Obj_Media))
                values.file(r.Obj_Media);
            else
                values.null();
            break;
        case ObjBarLeft:
            values.number(r.Bar_Left);
            break;
        case ObjBarWidth:
            values.number(r.Bar_Width);
            break;
        case ObjHint:
            values.text(r.Hint);
            break;
        case ObjCaption:
            values.text(r.Caption);
            break;
        case ObjHeight:
            values.number(r.Height);
            break;
        case ObjLeft:
            values.number(r.Left);
            break;
        case ObjTop:
            values.number(r.Top);
            break;
        case ObjWidth:
            values.number(r.Width);
            break;
        case ObjTag:
            values.number(r.Tag);
            break;
        case ObjTitle:
            values.text(r.Title);
            break;
        case ObjSpecProperty2:
            values.text(r.Spec_Property2);
            break;
        case ObjIndex:
            values.text(floatToText(r.Index));
            break;
        case ObjLeftS:
            values.text(scaled(r.Left_S, DesignScale));
            break;
        case ObjTopS:
            values.text(scaled(r.Top_S, DesignScale));
            break;
        case ObjWidthS:
            values.text(scaled(r.Width_S, DesignScale));
            break;
        case ObjHeightS:
            values.text(scaled(r.Height_S, DesignScale));
            break;
        case ObjDesignIndex:
            values.number(r.Design_Index);
            break;
        default:
            break;
        }
    }
    if (values.isEmpty())
        return false;
    text.chop(1);
    text += QStringLiteral(" where OID=?");
    values.text(r.OID);
    Statement st(c, text);
    if (!st.needsParams()) {
        c.report(MsgSqlOpen);
        return false;
    }
    if (!values.bindTo(st) || st.execute() > 1) {
        c.report(MsgUpdateData, ObjectTable);
        return false;
    }
    const bool media = o->Changed & ObjMedia;
    o->Changed = 0;
    if (media) {
        o->Changed = ObjMedia;
        SelectObject(o);
        o->Changed = 0;
    }
    return true;
}

bool TDbClearBookList::InsertObject(TDbObject *o, bool copyMedia)
{
    return insertObjectRow(o, copyMedia);
}

bool TDbClearBookList::insertObjectRow(TDbObject *o, bool copyMedia)
{
    if (o->isStored())
        return false;
    Connection &c = m_connection;
    TsObject &r = o->Rec;
    QString columns = QStringLiteral(
        "Insert into Object_Table "
        "(CB_Id,Slide_Id,Obj_Flag,Obj_TypeId,Db_FolderId,Db_OID,Db_Title,Obj_Link_CBId,"
        "Obj_Link_SlideId,Bar_Left,Bar_Width,Hint,Caption,Height,Left,Top,Width,Tag,Title,Spec_Property,"
        "Spec_Property2");
    QString marks = QStringLiteral(") values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?");
    r.Obj_Flag = !copyMedia;
    BoundValues values;
    values.number(r.CB_Id);
    values.number(r.Slide_Id);
    values.text(r.Obj_Flag ? QStringLiteral("1") : QStringLiteral("0"));
    values.number(r.Obj_TypeId);
    values.number(r.Db_FolderId);
    values.text(r.Db_OID);
    values.text(r.Db_Title);
    values.number(r.Obj_Link_CBId);
    values.number(r.Obj_Link_SlideId);
    values.number(r.Bar_Left);
    values.number(r.Bar_Width);
    values.text(r.Hint);
    values.text(r.Caption);
    values.number(r.Height);
    values.number(r.Left);
    values.number(r.Top);
    values.number(r.Width);
    values.number(r.Tag);
    values.text(r.Title);
    values.text(shortPropertyText(r.Spec_Property2));
    values.text(r.Spec_Property2);
    if (copyMedia) {
        columns += QStringLiteral(",Obj_Media");
        marks += QStringLiteral(",?");
        if (fileExists(r.Obj_Media))
            values.file(r.Obj_Media);
        else
            values.null();
    } else if (fileExists(r.Obj_Media)) {
        // The row refers to the file where it lies; the path travels as a value.
        columns += QStringLiteral(",Obj_Media");
        marks += QStringLiteral(",?");
        values.text(r.Obj_Media);
    }
    columns += QStringLiteral(",Index,Left_S,Top_S,Width_S,Height_S, Design_Index");
    marks += QStringLiteral(",?,?,?,?,?,?)");
    values.text(floatToText(r.Index));
    values.text(scaled(r.Left_S, DesignScale));
    values.text(scaled(r.Top_S, DesignScale));
    values.text(scaled(r.Width_S, DesignScale));
    values.text(scaled(r.Height_S, DesignScale));
    values.number(r.Design_Index);

    Statement st(c, columns + marks);
    QString oid;
    if (!st.needsParams() || !values.bindTo(st) || st.execute(&oid) > 1 || oid.isEmpty()) {
        c.report(MsgInsertData, ObjectTable);
        return false;
    }
    r.OID = oid;
    o->Changed = ObjectReadBackMask;
    SelectObject(o);
    o->Changed = 0;
    return true;
}

bool TDbClearBookList::DeleteObjectRow(TDbObject *o)
{
    if (!o->isStored())
        return false;
    Connection &c = m_connection;
    Statement st(c, QStringLiteral("delete from Object_Table where OID = ?"));
    if (!st.needsParams()) {
        c.report(MsgDeleteData, ObjectTable);
        return false;
    }
    if (st.bind(o->Rec.OID) > 1 || st.execute() > 1) {
        c.report(MsgDeleteData, ObjectTable);
        return false;
    }
    o->Rec.OID = NotStored;
    return true;
}

bool TDbClearBookList::SetLinkRow(const QString &oid, int cbId, int slideId)
{
    Connection &c = m_connection;
    Statement st(c,
                 QStringLiteral("update Object_Table set Obj_Link_CBId=?, Obj_Link_SlideId=? where OID=?"));
    BoundValues values;
    values.number(cbId);
    values.number(slideId);
    values.text(oid);
    if (!st.needsParams() || !values.bindTo(st) || st.execute() > 1) {
        c.report(MsgUpdateData, ObjectTable);
        return false;
    }
    return true;
}

bool TDbClearBookList::SetPropertyTextRow(const QString &oid, const QString &text)
{
    Connection &c = m_connection;
    Statement st(c, QStringLiteral("update Object_Table set Spec_Property=?, Spec_Property2=? where OID=?"));
    BoundValues values;
    values.text(shortPropertyText(text));
    values.text(text);
    values.text(oid);
    if (!st.needsParams() || !values.bindTo(st) || st.execute() > 1) {
        c.report(MsgUpdateData, ObjectTable);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Copies

TDbObject *TDbClearBookList::CopyObject(TDbObject *source, TDbSlide *target)
{
    auto *o = new TDbObject;
    o->Rec = source->Rec;
    o->Rec.OID = NotStored;
    o->Rec.Uncommitted = false;
    o->Rec.Removed = false;
    o->Disabled = source->Disabled;
    o->Owner = target;
    o->Rec.CB_Id = target ? target->Rec.CB_Id : -1;
    o->Rec.Slide_Id = target ? target->Rec.Slide_Id : -1;
    o->RefCount = 0;
    const int kind = source->kind();
    if (kind == ObjectKind::Memo) {
        // Each copy keeps its text in a work file of its own: the source's file goes with the
        // source's row, and two copies must never write over each other.
        const QString text = MemoTextOf(m_connection, source);
        const QString work = UniqueWorkFile(
            m_connection.tempFilePrefix().isEmpty() ? QDir::tempPath() : m_connection.tempFilePrefix(),
            QStringLiteral("CBMemo"), QStringLiteral("txt"));
        QFile f(work);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) >= 0 && f.flush()) {
            o->Rec.Obj_Media = work;
            o->OwnWorkFile = work;
        }
        o->MemoText = text;
        o->HasMemoText = source->HasMemoText;
        o->Rec.Obj_Flag = false;
    } else if (kind < 400 || kind >= 500) {
        // A stored source shares its file with the copy; an unsaved one's file is copied.
        o->Rec.Obj_Flag = source->isStored();
    }
    return o;
}

TDbObject *TDbClearBookList::ObjectFromMedia(const TDbMedia *item) const
{
    auto *o = new TDbObject;
    TsObject &r = o->Rec;
    r.OID = NotStored;
    r.CB_Id = r.Slide_Id = r.Id = -1;
    r.Obj_Flag = true;
    r.Obj_TypeId = item->Rec.MediaType;
    r.Obj_Link_CBId = r.Obj_Link_SlideId = 0;
    r.LinkClearBookTitle = r.LinkSlideTitle = QStringLiteral("None");
    r.Obj_Media = item->Rec.MediaFile;
    r.Bar_Left = 0;
    r.Bar_Width = 1200;
    r.Caption = r.Title = item->Rec.Title;
    r.Left = r.Top = 0;
    r.Width = r.Height = 100;
    r.Left_S = r.Top_S = 0;
    r.Width_S = r.Height_S = 100 / std::sqrt(SurfaceZoom / 100);
    r.Tag = 0;
    return o;
}

TDbObject *TDbClearBookList::AddNewObject(TDbSlide *slide, const TsObject &rec)
{
    auto *o = new TDbObject;
    o->Rec = rec;
    o->Rec.OID = NotStored;
    o->Rec.CB_Id = slide->Owner ? slide->Owner->Rec.CB_Id : slide->Rec.CB_Id;
    o->Rec.Slide_Id = slide->Rec.Slide_Id;
    o->Rec.Removed = false;
    TDbObjectList &list = slide->Objects;
    o->Rec.Index = list.Objects.isEmpty() ? 0 : list.Objects.last()->Rec.Index + 32;
    o->Rec.Design_Index = list.DesignOrder.isEmpty() ? 0 : list.DesignOrder.last()->Rec.Design_Index + 32;
    o->Owner = slide;
    list.Objects.append(o);
    ++o->RefCount;
    list.DesignOrder.append(o);
    o->ReadDisabled();
    m_views->objectInserted(o, int(list.DesignOrder.size() - 1));
    if (slide == ActiveSlide) {
        m_views->buildVisual(o);
    }
    return o;
}

// ---------------------------------------------------------------------------------------------
// Places on a slide

bool TDbClearBookList::PlaceObject(TDbObjectList &list, TDbObject *o, int position, TDbSlide *slide,
                                   bool isNew)
{
    const bool active = slide == ActiveSlide;
    // On a slide that is not being edited every change is written at once, as one change.
    std::unique_ptr<Transaction> tx;
    if (!active) {
        tx = std::make_unique<Transaction>(m_connection);
        if (!tx->isActive())
            return false;
    }
    const TsObject before = o->Rec;
    if (isNew) {
        o->Rec.Index = list.Objects.isEmpty() ? 0 : list.Objects.last()->Rec.Index + 32;
        o->Owner = slide;
        list.Objects.append(o);
        ++o->RefCount;
    }
    bool renumber = false;
    int at;
    QList<TDbObject *> &order = list.DesignOrder;
    if (order.isEmpty()) {
        o->Rec.Design_Index = 0;
        at = 0;
    } else if (position <= 0) {
        o->Rec.Design_Index = order.first()->Rec.Design_Index - 32;
        at = 0;
    } else if (position >= order.size()) {
        o->Rec.Design_Index = order.last()->Rec.Design_Index + 32;
        at = int(order.size());
    } else {
        const int a = order[position - 1]->Rec.Design_Index, b = order[position]->Rec.Design_Index;
        o->Rec.Design_Index = int((qint64(a) + b) / 2);
        renumber = o->Rec.Design_Index == a || o->Rec.Design_Index == b;
        at = position;
    }
    order.insert(at, o);
    o->Rec.CB_Id = slide->Owner ? slide->Owner->Rec.CB_Id : slide->Rec.CB_Id;
    o->Rec.Slide_Id = slide->Rec.Slide_Id;
    o->Owner = slide;
    o->Rec.Removed = false;
    m_views->objectInserted(o, at);
    bool ok = true;
    if (renumber)
        ok = RenumberDesignOrder(list);
    if (active) {
        o->Rec.Uncommitted = true;
        m_views->buildVisual(o);
        if (isNew)
            m_views->restack(o, true);
        return ok;
    }
    o->Rec.Uncommitted = false;
    if (ok && !o->isStored())
        ok = InsertObject(o, !o->Rec.Obj_Flag);
    if (ok) {
        o->Changed = ObjectPlaceMask;
        ok = UpdateObject(o);
    }
    if (ok && tx->commit()) {
        o->HomeSlide = nullptr;
        return true;
    }
    // Nothing was written: the object goes back to where it was.
    tx->rollback();
    m_views->objectRemoved(o);
    order.removeOne(o);
    if (isNew) {
        list.Objects.removeOne(o);
        --o->RefCount;
    }
    o->Rec = before;
    o->Changed = 0;
    return false;
}

bool TDbClearBookList::RenumberDesignOrder(TDbObjectList &list)
{
    Transaction tx(m_connection);
    if (!tx.isActive())
        return false;
    QList<int> before;
    for (TDbObject *o : std::as_const(list.DesignOrder))
        before.append(o->Rec.Design_Index);
    bool ok = true;
    int k = 0;
    for (TDbObject *o : std::as_const(list.DesignOrder)) {
        o->Rec.Design_Index = 32 * k++;
        if (ok && o->isStored() && !(o->Owner == ActiveSlide && o->Rec.Uncommitted && o->HomeSlide)) {
            o->Changed = ObjDesignIndex;
            ok = UpdateObject(o);
        }
    }
    if (ok && tx.commit())
        return true;
    tx.rollback();
    for (qsizetype i = 0; i < list.DesignOrder.size(); ++i)
        list.DesignOrder[i]->Rec.Design_Index = before[i];
    return false;
}

int TDbClearBookList::TakeFromDesignOrder(TDbObjectList &list, TDbObject *&o, bool forClipboard)
{
    const int position = int(list.DesignOrder.indexOf(o));
    m_views->objectRemoved(o);
    TDbSlide *slide = o->Owner;
    if (slide && slide == ActiveSlide) {
        list.DesignOrder.removeOne(o);
        slide->Selection.removeOne(o);
        if (forClipboard) {
            TDbObject *copy = CopyObject(o, nullptr);
            // The copy shares the object's stored file, which goes with the object's row when
            // the slide is saved: a row of the copy's own, on no slide, keeps the file for
            // as long as the clipboard holds the copy.
            if (copy->Rec.Obj_Flag && isMediaKind(copy->kind()))
                InsertObject(copy, false);
            m_views->destroyVisual(o);
            o->Rec.Removed = true;
            o = copy;
        }
    } else {
        list.DesignOrder.removeOne(o);
        if (forClipboard) {
            list.Objects.removeOne(o);
            --o->RefCount;
        }
    }
    return position;
}

bool TDbClearBookList::RemoveObject(TDbObjectList &list, TDbObject *o, TDbSlide *slide)
{
    if (slide == ActiveSlide) {
        m_views->objectRemoved(o);
        slide->Selection.removeOne(o);
        list.DesignOrder.removeOne(o);
        m_views->destroyVisual(o);
        o->Rec.Removed = true;
        return true;
    }
    // On any other slide the row goes at once, unless another holder still has the object.
    if (o->RefCount <= 1 && o->isStored() && !DeleteObjectRow(o))
        return false;
    m_views->objectRemoved(o);
    list.DesignOrder.removeOne(o);
    list.Objects.removeOne(o);
    if (--o->RefCount <= 0)
        delete o;
    return true;
}

bool TDbClearBookList::MoveObjectToSlide(TDbObject *o, TDbSlide *target, int position)
{
    TDbSlide *source = o->Owner;
    if (!source || !target || source == target)
        return false;
    const TsObject before = o->Rec;
    const int from = int(source->Objects.DesignOrder.indexOf(o));
    const int stackAt = int(source->Objects.Objects.indexOf(o));
    TDbObject *moving = o;
    TakeFromDesignOrder(source->Objects, moving, false);
    source->Objects.Objects.removeOne(o);
    --o->RefCount;
    if (source == ActiveSlide) {
        m_views->destroyVisual(o);
    }
    // A stored object's row keeps its old slide until the edited slide is saved.
    if (target == ActiveSlide && o->isStored() && !o->Rec.Uncommitted)
        o->HomeSlide = source;
    if (PlaceObject(target->Objects, o, position, target, true))
        return true;
    // Back where it was.
    o->Rec = before;
    o->HomeSlide = nullptr;
    source->Objects.Objects.insert(stackAt, o);
    ++o->RefCount;
    source->Objects.DesignOrder.insert(from, o);
    o->Owner = source;
    m_views->objectInserted(o, from);
    if (source == ActiveSlide)
        m_views->buildVisual(o);
    return false;
}

void TDbClearBookList::giveBack(TDbObject *o)
{
    TDbSlide *home = o->HomeSlide;
    o->HomeSlide = nullptr;
    o->Rec.Uncommitted = false;
    o->Rec.CB_Id = home->Owner ? home->Owner->Rec.CB_Id : home->Rec.CB_Id;
    o->Rec.Slide_Id = home->Rec.Slide_Id;
    o->Owner = home;
    // Its row never left the home slide: the stored order keys put it back where it was.
    QList<TDbObject *> &objects = home->Objects.Objects;
    qsizetype at = objects.size();
    for (qsizetype i = 0; i < objects.size(); ++i)
        if (objects[i]->Rec.Index > o->Rec.Index) {
            at = i;
            break;
        }
    objects.insert(at, o);
    ++o->RefCount;
    home->Objects.RebuildDesignOrder();
    m_views->objectInserted(o, int(home->Objects.DesignOrder.indexOf(o)));
}

void TDbClearBookList::SelectRange(TDbObjectList &list, int position, int count)
{
    TDbSlide *slide = ActiveSlide;
    if (!slide)
        return;
    for (TDbObject *o : std::as_const(slide->Selection))
        o->Selected = false;
    slide->Selection.clear();
    if (position >= 0 && position < list.DesignOrder.size())
        for (int i = position; i < list.DesignOrder.size() && i < position + std::max(count, 1); ++i) {
            TDbObject *o = list.DesignOrder[i];
            o->Selected = true;
            slide->Selection.append(o);
        }
    m_views->selectionChanged(slide);
}

void TDbClearBookList::BringToFront(TDbObject *one)
{
    TDbSlide *slide = one ? one->Owner : ActiveSlide;
    if (!slide)
        return;
    QList<TDbObject *> chosen = one ? QList<TDbObject *>{one} : slide->Selection;
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const TDbObject *a, const TDbObject *b) { return a->Rec.Index < b->Rec.Index; });
    QList<TDbObject *> &objects = slide->Objects.Objects;
    for (TDbObject *o : std::as_const(chosen)) {
        if (slide == ActiveSlide)
            m_views->restack(o, true);
        o->Rec.Index = objects.last()->Rec.Index + 32;
        objects.removeOne(o);
        objects.append(o);
        if (slide != ActiveSlide) {
            o->Changed = ObjIndex;
            UpdateObject(o);
        }
    }
    if (slide == ActiveSlide && !chosen.isEmpty())
        SlideModified = true;
}

void TDbClearBookList::SendToBack(TDbObject *one)
{
    TDbSlide *slide = one ? one->Owner : ActiveSlide;
    if (!slide)
        return;
    QList<TDbObject *> chosen = one ? QList<TDbObject *>{one} : slide->Selection;
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const TDbObject *a, const TDbObject *b) { return a->Rec.Index < b->Rec.Index; });
    QList<TDbObject *> &objects = slide->Objects.Objects;
    for (qsizetype i = chosen.size() - 1; i >= 0; --i) {
        TDbObject *o = chosen[i];
        if (slide == ActiveSlide)
            m_views->restack(o, false);
        o->Rec.Index = objects.first()->Rec.Index - 32;
        objects.removeOne(o);
        objects.prepend(o);
        if (slide != ActiveSlide) {
            o->Changed = ObjIndex;
            UpdateObject(o);
        }
    }
    if (slide == ActiveSlide && !chosen.isEmpty())
        SlideModified = true;
}

// ---------------------------------------------------------------------------------------------
// The clipboard's references

void TDbClearBookList::ClipboardAdd(TSelectedList &clipboard, TDbObject *o)
{
    ++o->RefCount;
    ClipboardEntry e;
    e.Kind = o->kind();
    e.IsObject = true;
    e.SlideObject = o;
    clipboard.append(e);
}

void TDbClearBookList::ClipboardClear(TSelectedList &clipboard)
{
    for (qsizetype i = clipboard.size() - 1; i >= 0; --i) {
        if (!clipboard[i].IsObject)
            continue;
        ReleaseObject(clipboard[i].SlideObject);
        clipboard.removeAt(i);
    }
}

bool TDbClearBookList::ReleaseObject(TDbObject *o)
{
    if (o->RefCount > 1) {
        --o->RefCount;
        return true;
    }
    // The last holder: a stored row goes with the object. When the row cannot be deleted the
    // object is freed all the same; its row stays where it was and is found again at the
    // next load.
    if (o->isStored())
        DeleteObjectRow(o);
    o->RefCount = 0;
    delete o;
    return true;
}

// ---------------------------------------------------------------------------------------------

void TDbClearBookList::ApplyDisplayGeometry(TDbObject *o) const
{
    TsObject &r = o->Rec;
    if (r.Width_S == 0 && r.Height_S == 0) {
        r.Left_S = r.Left;
        r.Top_S = r.Top;
        r.Width_S = r.Width;
        r.Height_S = r.Height;
    }
    const double f = std::sqrt(SurfaceZoom / 100);
    auto apply = [f](double held, int &display) {
        if (held != 0)
            display = int(std::trunc(held * f));
    };
    apply(r.Left_S, r.Left);
    apply(r.Top_S, r.Top);
    apply(r.Width_S, r.Width);
    apply(r.Height_S, r.Height);
}

QString TDbClearBookList::MemoWorkFile(int position) const
{
    const QString prefix = m_connection.tempFilePrefix().isEmpty() ? QDir::tempPath() + QLatin1Char('/')
                                                                   : m_connection.tempFilePrefix();
    return prefix + QStringLiteral("CBMemo") + QString::number(position) + QStringLiteral(".txt");
}

bool TDbClearBookList::writeMemoText(TDbObject *o, int position, QString *workFile)
{
    workFile->clear();
    if (o->kind() != ObjectKind::Memo || !o->HasMemoText)
        return true;
    const QString path = MemoWorkFile(position);
    QFile::remove(path);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(o->MemoText.toUtf8()) < 0 || !f.flush()) {
        m_connection.report(QStringLiteral("The text of a memo could not be written to \"%1\": %2")
                                .arg(QDir::toNativeSeparators(path), f.errorString()));
        return false;
    }
    f.close();
    o->Rec.Obj_Media = path;
    *workFile = path;
    return true;
}

} // namespace vk
