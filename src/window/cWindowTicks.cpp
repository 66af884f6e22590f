#include "window/cWindowTicks.h"

cWindowTicks::Due cWindowTicks::Tick(bool busy) {
    Due due;
    if (mTip > 0 && !busy) {
        ++mTip;
        if (mTip > 2) {
            mTip = 0;
            due.hideTip = true;
        }
    }
    if (mIdle > 0) {
        ++mIdle;
        if (mIdle > 15) {
            mIdle = 0;
            due.focusOff = true;
        }
    }
    return due;
}
