#include "LinkTarget.h"

#include "AT_DbClearbook.h"

namespace vk {

LinkTarget ResolveLink(const TDbClearBookList &books, TDbSlide *playSlide, QList<TDbSlide *> &history,
                       int cbId, int slideId)
{
    LinkTarget target;
    switch (slideId) {
    case 0:
        return target;
    case -4:
        target.action = LinkTarget::Restart;
        return target;
    case -3:
        if (history.isEmpty())
            return target;
        target.slide = history.takeLast();
        target.backward = true;
        break;
    case -2:
        target.slide = books.PreviousSlide(playSlide);
        break;
    case -1:
        target.slide = books.NextSlide(playSlide);
        break;
    default:
        if (slideId < 0)
            return target;
        if (const TDbClearBook *cb = books.FindClearBook(cbId))
            for (TDbSlide *s : cb->Slides)
                if (s->Rec.Slide_Id == slideId)
                    target.slide = s;
        if (!target.slide) {
            target.action = LinkTarget::Missing;
            return target;
        }
        break;
    }
    if (!target.slide)
        return target;
    target.action = target.slide == playSlide ? LinkTarget::Restart : LinkTarget::Slide;
    return target;
}

} // namespace vk
