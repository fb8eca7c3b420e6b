// Where a link leads while a ClearBook plays: a slide's ending action or an object's link,
// given as a ClearBook id and a slide id or code (0 none, -1 next, -2 previous, -3 backward,
// -4 replay, a slide id otherwise).
#pragma once

#include <QList>

namespace vk {

class TDbClearBookList;
class TDbSlide;

struct LinkTarget
{
    enum Action
    {
        Nothing, // no link, or no slide that way (before the first, past the last, no history)
        Restart, // replay, or a link to the slide playing
        Slide,   // play `slide`
        Missing, // the slide linked to is not there
    };
    Action action = Nothing;
    TDbSlide *slide = nullptr;
    bool backward = false; // taken from the history, so not added to it again
};

// The target of a link from the slide playing. A backward link takes its slide off `history`,
// the slides left by links, most recent last.
LinkTarget ResolveLink(const TDbClearBookList &books, TDbSlide *playSlide, QList<TDbSlide *> &history,
                       int cbId, int slideId);

} // namespace vk
