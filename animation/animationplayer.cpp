#include "animation/animationplayer.h"

void playAnimation(AnimationStage &stage)
{
    for (;;) {
        const int count = stage.entryCount();
        bool shownInPass = false;
        // The list may shrink under a pass, through a refresh run nested in a pause.
        for (int index = 0; index < count && index < stage.entryCount(); ++index) {
            if (!stage.entrySelected(index))
                continue;
            stage.showEntry(index);
            shownInPass = true;
            if (!stage.animationGoesOn() || stage.windowClosing())
                return;
            stage.pause(Animation::PicturePause);
            if (stage.windowClosing())
                return;
        }
        if (!shownInPass && !stage.animationGoesOn())
            return;
        stage.pause(Animation::PassPause);
        if (stage.windowClosing())
            return;
    }
}
