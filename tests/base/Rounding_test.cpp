#include <gtest/gtest.h>

#include "base/Rounding.h"

namespace {

struct RoundCase {
    double in;
    double out;
};

class RoundHalfEvenTest : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfEvenTest, TiesGoToEven) {
    EXPECT_EQ(Rounding::RoundHalfEven(GetParam().in), GetParam().out) << GetParam().in;
}

INSTANTIATE_TEST_SUITE_P(Values, RoundHalfEvenTest,
                         testing::Values(RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{2.5, 2},
                                         RoundCase{3.5, 4}, RoundCase{-0.5, 0}, RoundCase{-1.5, -2},
                                         RoundCase{-2.5, -2}, RoundCase{2.4999, 2},
                                         RoundCase{2.5001, 3}, RoundCase{-2.6, -3},
                                         RoundCase{7, 7}));

TEST(Round32, ClampsWildValuesInsteadOfOverflowing) {
    EXPECT_EQ(Rounding::Round32(1e12), std::numeric_limits<qint32>::max());
    EXPECT_EQ(Rounding::Round32(-1e12), std::numeric_limits<qint32>::min());
    EXPECT_EQ(Rounding::Round32(std::nan("")), 0);
    EXPECT_EQ(Rounding::Round32(1023.5), 1024);
    EXPECT_EQ(Rounding::Round32(1024.5), 1024);
}

}  // namespace
