#include <gtest/gtest.h>

#include "app/mdlMain.h"
#include "panel/frmMenu.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "window/frmResize.h"

#include <QCursor>
#include <QScreen>
#include <QTest>

// Screen A (0, 0, 1000 x 800) at scale 1, screen B right of it at scale 2: logically
// (1000, 0, 800 x 600), in device pixels (1000, 0, 1600 x 1200) (support/two_screens.json).

namespace {

struct PointerCase {
    const char* what;
    QPoint pointer;  // logical, as the pointer is read
    const char* screen;
    bool left;   // the panel opens left of the pointer
    bool above;  // ... and above it
};

void PrintTo(const PointerCase& c, std::ostream* os) {
    *os << c.what;
}

class PanelOnTwoScreens : public WindowFixture, public testing::WithParamInterface<PointerCase> {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        ScreenUnits::OverrideForTesting(0, 0);  // what each screen says
        mdlMain::InstallWindowServices();
    }
    void TearDown() override {
        frmMenu::UnloadShared();
        WindowFixture::TearDown();
    }
};

TEST_P(PanelOnTwoScreens, OpensAtThePointerWithinTheScreenItIsOn) {
    const PointerCase& c = GetParam();
    auto* w = new frmResize;
    w->SetPicture(TestSupport::PatternImage(40, 30));
    w->show();
    QCursor::setPos(c.pointer);
    frmMenu::ShowMenu(w);
    frmMenu* p = frmMenu::Shared();
    ASSERT_TRUE(p->isVisible());

    const QPoint expected(c.left ? c.pointer.x() - p->width() : c.pointer.x(),
                          c.above ? c.pointer.y() - p->height() : c.pointer.y());
    EXPECT_EQ(p->pos(), expected);
    EXPECT_EQ(p->screen()->name(), c.screen);
    EXPECT_TRUE(p->screen()->geometry().contains(p->geometry())) << "never across the edge";
}

INSTANTIATE_TEST_SUITE_P(
    Pointers, PanelOnTwoScreens,
    testing::Values(PointerCase{"B, room enough", {1010, 10}, "B", false, false},
                    PointerCase{"B, bottom-right", {1790, 590}, "B", true, true},
                    PointerCase{"B, its left edge", {1000, 10}, "B", false, false},
                    PointerCase{"A, bottom-right beside B", {990, 790}, "A", true, true},
                    PointerCase{"A, room enough", {20, 30}, "A", false, false}));

}  // namespace
