#pragma once

#include <QtGlobal>

// Turns wheel deltas into browser scroll steps. Deltas are Qt's angle deltas (eighths of a
// degree; one notch of a common wheel is 120, positive turned away from the user). Deltas of one
// direction are summed and each full 120 gives one step, so fine-grained wheels and touchpads
// scroll as far as notched ones; what is left over waits for the next delta of that direction.
class cWheelSteps {
public:
    // The steps for one wheel event, in EventMouseScroll's sense: +1 per 120 towards the user
    // (scroll down), -1 per 120 away. blocked (a modifier key or a mouse button held) gives no
    // step and forgets what was summed.
    int Add(int delta, bool blocked);
    void Reset() { mSum = 0; }

private:
    qint64 mSum = 0;  // eighths of a degree not yet turned into steps; |mSum| < 120 between calls
};
