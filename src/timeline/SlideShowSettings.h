// The settings of the media slide show. The workspace frame holds them for the run of the
// program; the option dialog edits them and the show reads them.
#pragma once

namespace vk {

struct SlideShowSettings
{
    enum : int
    {
        Automatic = 0,
        UserClick = 1,
    };
    enum : int
    {
        DisplayAll = 0,
        DisplaySelected = 1,
    };

    int Effect = 0;
    int Speed = 5; // the block size of the effect, 1 (slow) to 10 (fast)
    int IntervalSeconds = 3;
    int ChangeOption = Automatic;
    bool RandomEffect = false;
    int DisplaySet = DisplayAll;
    bool RepeatPlay = false;
    bool DisplayTitle = true;

    // The block size an effect is drawn with: "Random Block" takes two more than the others.
    int blockSizeFor(int effect) const { return effect == 35 ? Speed + 2 : Speed; }

    friend bool operator==(const SlideShowSettings &, const SlideShowSettings &) = default;
};

} // namespace vk
