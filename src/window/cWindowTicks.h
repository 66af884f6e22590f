#pragma once

#include <QtGlobal>

// The image window's second-by-second chores: a tip goes once it has been up for two full
// seconds (but the tip of a wait stays while the work runs), and the focus frame goes after 15
// seconds without a press, a move over the picture or a new layout. Counted in ticks of the
// window's one-second timer, so a tip shown just before a tick still gets its two.
class cWindowTicks {
public:
    void TipShown() { mTip = 1; }
    void TipHidden() { mTip = 0; }
    // The person did something with the window (or it was laid out again).
    void Active() { mIdle = 1; }
    // Nothing to count from: a window just made has no frame to take away.
    void Rest() { mIdle = 0; }

    struct Due {
        bool hideTip = false;
        bool focusOff = false;
    };
    // One tick; busy: a save or capture runs.
    Due Tick(bool busy);

private:
    qint16 mTip = 0;   // ticks the tip has been up, 0: none up
    qint16 mIdle = 0;  // ticks since the last activity, 0: the frame has gone already
};
