#include "browser/BrowseUiSupport.h"

#include "browser/mdlMouseScroll.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

class WheelHook : public BrowseFixture {
protected:
    // One wheel event over w, as the window system sends it.
    static void Wheel(QWidget* w, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                      Qt::MouseButtons buttons = Qt::NoButton) {
        const QPointF at(5, 5);
        QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), buttons, modifiers,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &e);
    }
};

TEST_F(WheelHook, NotchesScrollRowsAndNothingElseScrolls) {
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({Folder("sixteen", 16)}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_EQ(b->vscBrowse->maximum(), 4);
    EXPECT_EQ(mdlMouseScroll::HookedForm(), b);

    // Over the scroll bar, which would move three lines by itself if the event reached it.
    Wheel(b->vscBrowse, -120);
    EXPECT_EQ(b->vscBrowse->value(), 2);
    EXPECT_EQ(b->CellItem(0), 5);
    for (Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        Wheel(b->vscBrowse, -120, m);
    }
    Wheel(b->imgBrowse[0], -120, Qt::NoModifier, Qt::LeftButton);
    EXPECT_EQ(b->vscBrowse->value(), 2) << "modifiers and held buttons do nothing";

    // Fine deltas add up wherever they land on the form; several notches make several steps.
    Wheel(b->imgBrowse[2], -60);
    EXPECT_EQ(b->vscBrowse->value(), 2);
    Wheel(b->chkBrowse[5], -60);
    EXPECT_EQ(b->vscBrowse->value(), 3);
    Wheel(b->lblCountTip, 240);
    EXPECT_EQ(b->vscBrowse->value(), 1);
    Wheel(b->lblCountTip, -600);
    EXPECT_EQ(b->vscBrowse->value(), 4);
}

TEST_F(WheelHook, ClosingUnhooksAndADeletedFormLeavesNothingDangling) {
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({Folder("twelve", 12)}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));
    b->cmdCancel->click();
    EXPECT_EQ(mdlMouseScroll::HookedForm(), nullptr);
    b->vscBrowse->setRange(1, 3);  // unhooked, the bar scrolls by itself again
    Wheel(b->vscBrowse, -120);
    EXPECT_EQ(b->vscBrowse->value(), 2);

    mdlMouseScroll::HookMouseScroll(b);
    EXPECT_EQ(mdlMouseScroll::HookedForm(), b);
    QPointer<frmBrowse> guard = b;
    delete static_cast<QWidget*>(b);
    ASSERT_TRUE(guard.isNull());
    EXPECT_EQ(mdlMouseScroll::HookedForm(), nullptr);
    mdlMouseScroll::UnhookMouseScroll();  // nothing to do, nothing touched
    mdlMouseScroll::HookMouseScroll(nullptr);
    EXPECT_EQ(mdlMouseScroll::HookedForm(), nullptr);
    EXPECT_NE(frmBrowse::Shared(), nullptr) << "a new shared browser after the old one went";
}

}  // namespace
