#pragma once

#include <QtGlobal>

// Turns wheel deltas into whole notches. Deltas are Qt's angle deltas (eighths of a degree; one
// notch of a common wheel is 120, positive turned away from the user). Deltas of one direction
// are summed and each full 120 gives one notch, so fine-grained wheels and touchpads go as far as
// notched ones; what is left over waits for the next delta of that direction.
class cWheelSteps {
public:
    // The notches for one wheel event: +1 per 120 turned away from the user, -1 per 120 towards.
    // blocked (a modifier key or a mouse button held) gives none and forgets what was summed.
    int Add(int delta, bool blocked);
    void Reset() { mSum = 0; }

private:
    qint64 mSum = 0;  // eighths of a degree not yet turned into notches; |mSum| < 120 between calls
};
