#pragma once

#include <chrono>

// What the animation loop needs of the window: the list, the picture display, the
// running flag and the waits. The window provides it; tests can stand in for it.
class AnimationStage
{
public:
    virtual ~AnimationStage() = default;

    virtual int entryCount() const = 0;
    virtual bool entrySelected(int index) const = 0;
    // Loads the entry's picture and puts it on view. Throws Failure when it cannot.
    virtual void showEntry(int index) = 0;
    // AnimGo: cleared by the stop click, which runs nested inside a pause.
    virtual bool animationGoesOn() const = 0;
    virtual bool windowClosing() const = 0;
    // Keeps the window working for the duration; other handlers run nested in here.
    virtual void pause(std::chrono::milliseconds duration) = 0;
};

namespace Animation {
constexpr std::chrono::milliseconds PicturePause{ 300 };
constexpr std::chrono::milliseconds PassPause{ 1000 };
}

// The loop runs inside the start click's handler and waits in nested event loops, not on a
// timer: the other commands (the stop click, the info box, after the stop even a download or
// a deletion) run inside its pauses, and a modal box holds the animation until it is closed.
// The window's behaviour depends on that; do not turn it into a timer-driven player.
//
// Shows the selected entries in list order, pass after pass, pausing after each picture
// and longer after each pass. Returns once a picture has been shown after the stop, or as
// soon as the window closes. A stopped loop also returns after a pass that found nothing
// selected, since commands run nested in its pauses may have emptied or refilled the list.
void playAnimation(AnimationStage &stage);
