// The history of the edited slide: each change is one step that can be undone and redone.
// A step is the slide's object state before the change; undoing puts it back and keeps the
// state it replaced for redoing. Objects only ever join the edited slide's list while it is
// edited (a deleted one stays in it, marked removed, until the slide is saved), so a step never
// points at an object that is gone; saving forgets the objects it frees.
#include "AT_DbClearbook.h"

namespace vk {

namespace {

// What undo and redo restore of an object: what the person sees and edits, not where its row
// and its file are kept, which a save may have changed since the step was taken.
void restoreEditable(TsObject &into, const TsObject &from)
{
    const TsObject keep = into;
    into = from;
    into.OID = keep.OID;
    into.Id = keep.Id;
    into.CB_Id = keep.CB_Id;
    into.Slide_Id = keep.Slide_Id;
    into.Obj_Flag = keep.Obj_Flag;
    into.Obj_Media = keep.Obj_Media;
    into.Uncommitted = keep.Uncommitted;
}

} // namespace

TDbClearBookList::SlideState TDbClearBookList::captureState() const
{
    SlideState s;
    s.slide = ActiveSlide;
    if (!ActiveSlide)
        return s;
    s.objects = ActiveSlide->Objects.Objects;
    s.design = ActiveSlide->Objects.DesignOrder;
    for (TDbObject *o : std::as_const(s.objects))
        s.states.insert(o, {o->Rec, o->Disabled, o->MemoText, o->HasMemoText});
    return s;
}

void TDbClearBookList::restoreState(const SlideState &state)
{
    TDbSlide *slide = state.slide;
    if (!slide || slide != ActiveSlide)
        return;
    QList<TDbObject *> &objects = slide->Objects.Objects;
    // Objects that came after the state go again (they stay listed, removed, until a save).
    QList<TDbObject *> order;
    for (TDbObject *o : state.objects)
        if (objects.contains(o))
            order.append(o);
    for (TDbObject *o : std::as_const(objects))
        if (!state.states.contains(o)) {
            o->Rec.Removed = true;
            order.append(o);
        }
    objects = order;
    for (auto it = state.states.cbegin(); it != state.states.cend(); ++it) {
        TDbObject *o = it.key();
        if (!objects.contains(o))
            continue;
        restoreEditable(o->Rec, it.value().rec);
        o->Disabled = it.value().disabled;
        o->MemoText = it.value().memoText;
        o->HasMemoText = it.value().hasMemoText;
    }
    slide->Objects.DesignOrder.clear();
    for (TDbObject *o : state.design)
        if (objects.contains(o) && !o->Rec.Removed)
            slide->Objects.DesignOrder.append(o);
    for (TDbObject *o : std::as_const(slide->Selection))
        o->Selected = false;
    slide->Selection.clear();
    // The visuals are made again from the restored records.
    for (TDbObject *o : std::as_const(objects)) {
        m_views->destroyVisual(o);
        o->Visual = nullptr;
        if (!o->Rec.Removed)
            m_views->buildVisual(o);
    }
    m_views->selectionChanged(slide);
    m_views->slideRefreshed(slide);
    SlideModified = true;
}

void TDbClearBookList::BeginChange()
{
    m_pending = captureState();
}

void TDbClearBookList::EndChange()
{
    if (!m_pending)
        return;
    SlideState before = *m_pending;
    m_pending.reset();
    if (before == captureState())
        return; // nothing changed: no step
    m_undo.append(before);
    m_redo.clear();
    SlideModified = true;
}

void TDbClearBookList::CancelChange()
{
    if (!m_pending)
        return;
    const SlideState before = *m_pending;
    m_pending.reset();
    if (!(before == captureState()))
        restoreState(before);
}

bool TDbClearBookList::Request(const std::function<bool()> &change)
{
    if (!ActiveSlide)
        return false;
    BeginChange();
    if (!change()) {
        CancelChange();
        return false;
    }
    EndChange();
    return true;
}

bool TDbClearBookList::Undo()
{
    if (m_undo.isEmpty() || m_undo.last().slide != ActiveSlide)
        return false;
    const SlideState now = captureState();
    restoreState(m_undo.takeLast());
    m_redo.append(now);
    return true;
}

bool TDbClearBookList::Redo()
{
    if (m_redo.isEmpty() || m_redo.last().slide != ActiveSlide)
        return false;
    const SlideState now = captureState();
    restoreState(m_redo.takeLast());
    m_undo.append(now);
    return true;
}

void TDbClearBookList::ClearHistory()
{
    m_undo.clear();
    m_redo.clear();
    m_pending.reset();
}

void TDbClearBookList::forgetInHistory(TDbObject *o)
{
    for (QList<SlideState> *steps : {&m_undo, &m_redo})
        for (SlideState &s : *steps) {
            s.objects.removeAll(o);
            s.design.removeAll(o);
            s.states.remove(o);
        }
    if (m_pending) {
        m_pending->objects.removeAll(o);
        m_pending->design.removeAll(o);
        m_pending->states.remove(o);
    }
}

} // namespace vk
