#include <gtest/gtest.h>

#include "base/cWheelSteps.h"

#include <vector>

namespace {

struct WheelEvent {
    int delta;
    bool blocked;
    int notches;  // expected from this event: + away from the user, - towards
};

struct WheelCase {
    const char* name;
    std::vector<WheelEvent> events;
};

class WheelSteps : public testing::TestWithParam<WheelCase> {};

TEST_P(WheelSteps, OneStepPerFullNotch) {
    cWheelSteps wheel;
    int i = 0;
    for (const WheelEvent& e : GetParam().events) {
        EXPECT_EQ(wheel.Add(e.delta, e.blocked), e.notches) << GetParam().name << ", event " << i;
        ++i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Deltas, WheelSteps,
    testing::Values(
        WheelCase{"a notch towards the user", {{-120, false, -1}}},
        WheelCase{"a notch away", {{120, false, 1}}},
        WheelCase{"several notches at once", {{-360, false, -3}, {240, false, 2}}},
        WheelCase{"fine deltas are summed", {{-40, false, 0}, {-40, false, 0}, {-40, false, -1}}},
        WheelCase{"the remainder is kept", {{-200, false, -1}, {-40, false, -1}, {-100, false, 0}}},
        WheelCase{"a turn back drops the other way's remainder",
                  {{-100, false, 0}, {100, false, 0}, {20, false, 1}}},
        WheelCase{"a modifier or button does nothing and forgets",
                  {{-100, false, 0}, {-120, true, 0}, {-20, false, 0}, {-100, false, -1}}},
        WheelCase{"no delta", {{0, false, 0}}},
        WheelCase{"huge deltas do not overflow",
                  {{2147483647, false, 17895697}, {2147483647, false, 17895697}}}),
    [](const testing::TestParamInfo<WheelCase>& info) { return std::to_string(info.index); });

}  // namespace
