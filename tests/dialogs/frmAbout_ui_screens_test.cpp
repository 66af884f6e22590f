#include <gtest/gtest.h>

#include "dialogs/frmAbout.h"
#include "support/WindowFixture.h"

#include <QLabel>
#include <QScreen>
#include <QTest>

// Screen A at scale 1, screen B right of it at scale 2 (support/two_screens.json).

namespace {

using AboutOnTwoScreens = WindowFixture;

TEST_F(AboutOnTwoScreens, TheIconFollowsTheScaleOfTheScreenTheBoxIsOn) {
    frmAbout* a = frmAbout::Shared();
    a->move(1100, 100);
    a->ShowAbout();
    ASSERT_TRUE(QTest::qWaitFor([a] { return a->screen()->name() == "B"; }, 5000));
    EXPECT_EQ(a->picIcon->pixmap().size(), QSize(96, 96));
    EXPECT_EQ(a->picIcon->pixmap().devicePixelRatio(), 2.0);

    a->move(100, 100);
    ASSERT_TRUE(QTest::qWaitFor([a] { return a->screen()->name() == "A"; }, 5000));
    EXPECT_EQ(a->picIcon->pixmap().size(), QSize(48, 48));
    EXPECT_EQ(a->picIcon->pixmap().devicePixelRatio(), 1.0);
}

}  // namespace
