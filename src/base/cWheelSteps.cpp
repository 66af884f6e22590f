#include "base/cWheelSteps.h"

int cWheelSteps::Add(int delta, bool blocked) {
    if (blocked) {
        mSum = 0;
        return 0;
    }
    // A turn back does not first pay off what the other direction left over.
    if ((delta > 0 && mSum < 0) || (delta < 0 && mSum > 0)) {
        mSum = 0;
    }
    mSum += delta;
    const qint64 notches = mSum / 120;  // truncates towards zero: the remainder keeps its sign
    mSum -= notches * 120;
    return static_cast<int>(notches);
}
