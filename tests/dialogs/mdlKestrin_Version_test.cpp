#include <gtest/gtest.h>

#include "dialogs/mdlKestrin_Version.h"

TEST(Version, FourLinesEachEndingInCrLf) {
    EXPECT_EQ(
        mdlKestrin_Version::GetVersionText(),
        QStringLiteral(
            "CREATE:2007/11/12  0:20\r\nMODIFY:2007/12/21 15:53\r\nVER:3.0\r\nDEV:00057\r\n"));
    EXPECT_EQ(mdlKestrin_Version::GetDevNumber(), "00057");
}
