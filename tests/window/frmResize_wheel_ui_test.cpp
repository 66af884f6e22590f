// The wheel on an image window: which turns scale the picture, which step the opacity, which do
// nothing, and that a storm of turns is one resize.

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "support/WheelInput.h"
#include "support/WindowFixture.h"
#include "window/CropRectWidget.h"
#include "window/PictureViewWidget.h"
#include "window/WindowArithmetic.h"
#include "window/frmResize.h"

#include <QLabel>
#include <QSignalSpy>
#include <vector>

namespace {

// Counts the resizes a window goes through.
class ResizeCounter : public QObject {
public:
    int resizes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            ++resizes;
        }
        return false;
    }
};

class Wheel : public WindowFixture {
protected:
    // A 40 x 20 picture shown at 200 x 100 at (300, 200); the pointer at (350, 230).
    frmResize* NewWindow() {
        auto* w = new frmResize;
        w->SetPicture(TestSupport::PatternImage(40, 20));
        w->setGeometry(300, 200, 200, 100);
        w->show();
        return w;
    }
    const QPoint pointer{350, 230};
};

struct Turn {
    int delta;
    Qt::KeyboardModifiers keys;
    Qt::MouseButtons buttons;
};
struct WheelCase {
    const char* what;
    std::vector<Turn> turns;
    QSize shown;  // the picture's shown size afterwards
    int opacity;  // mTouming afterwards
    const char* tip;
};
class WheelTurns : public Wheel, public testing::WithParamInterface<WheelCase> {};

TEST_P(WheelTurns, ScaleOrStepTheOpacityOrDoNothing) {
    const WheelCase& c = GetParam();
    frmResize* w = NewWindow();
    w->lblTip->hide();
    QSignalSpy opacity(w, &frmResize::opacityChanged);
    for (const Turn& t : c.turns) {
        SendWheel(w->imgView, pointer, t.delta, t.keys, t.buttons);
    }
    EndEventLoopTurn(w);
    EXPECT_EQ(w->imgView->size(), c.shown) << c.what;
    EXPECT_EQ(w->mTouming, c.opacity) << c.what;
    EXPECT_EQ(opacity.size(), c.opacity == 100 ? 0 : 1) << c.what;
    EXPECT_NEAR(w->windowOpacity(), WindowArithmetic::AlphaFromPercent(c.opacity) / 255.0, 1e-6)
        << c.what;
    if (*c.tip == '\0') {
        EXPECT_FALSE(w->lblTip->isVisible()) << c.what;
    } else {
        EXPECT_TRUE(w->lblTip->isVisible()) << c.what;
        EXPECT_EQ(w->lblTip->text(), QString::fromUtf8(c.tip)) << c.what;
    }
}

const Qt::KeyboardModifiers kNone = Qt::NoModifier;
const Qt::MouseButtons kFree = Qt::NoButton;

INSTANTIATE_TEST_SUITE_P(
    Turns, WheelTurns,
    testing::Values(
        WheelCase{"away", {{120, kNone, kFree}}, {220, 110}, 100, "220 * 110"},
        WheelCase{"towards", {{-120, kNone, kFree}}, {182, 91}, 100, "182 * 91"},
        WheelCase{"touchpad deltas add up",
                  {{60, kNone, kFree}, {60, kNone, kFree}},
                  {220, 110},
                  100,
                  "220 * 110"},
        WheelCase{"half a notch is nothing yet", {{60, kNone, kFree}}, {200, 100}, 100, ""},
        WheelCase{"Shift is reserved", {{120, Qt::ShiftModifier, kFree}}, {200, 100}, 100, ""},
        WheelCase{"Shift forgets the half notch before",
                  {{60, kNone, kFree}, {60, Qt::ShiftModifier, kFree}, {60, kNone, kFree}},
                  {200, 100},
                  100,
                  ""},
        WheelCase{"Alt does nothing", {{120, Qt::AltModifier, kFree}}, {200, 100}, 100, ""},
        WheelCase{
            "a held button does nothing", {{120, kNone, Qt::LeftButton}}, {200, 100}, 100, ""},
        WheelCase{"Ctrl towards: less opaque",
                  {{-120, Qt::ControlModifier, kFree}},
                  {200, 100},
                  90,
                  "窗体透明度：90%"},
        WheelCase{"Ctrl at the top stays",
                  {{120, Qt::ControlModifier, kFree}},
                  {200, 100},
                  100,
                  "窗体透明度：100%"},
        WheelCase{"Ctrl+Shift does nothing",
                  {{-120, Qt::ControlModifier | Qt::ShiftModifier, kFree}},
                  {200, 100},
                  100,
                  ""},
        WheelCase{"Ctrl and plain notches in one turn each do theirs",
                  {{-240, Qt::ControlModifier, kFree}, {120, kNone, kFree}},
                  {220, 110},
                  80,
                  "220 * 110"}),
    [](const testing::TestParamInfo<WheelCase>& info) { return std::to_string(info.index); });

TEST_F(Wheel, AStormInOneTurnIsOneResizeAboutThePointer) {
    frmResize* w = NewWindow();
    ResizeCounter counter;
    w->installEventFilter(&counter);
    const QRect before = w->geometry();
    for (int i = 0; i < 500; ++i) {
        SendWheel(w->imgView, pointer, i % 5 == 4 ? -120 : 120);  // 300 notches away in all
    }
    EXPECT_EQ(counter.resizes, 0);  // nothing until the event loop turns
    EndEventLoopTurn(w);
    EXPECT_EQ(counter.resizes, 1);
    // Twice the 1024 x 768 screen stops it at the last whole level below it (200 x 1.1^24); the
    // picture point under the pointer stays.
    const QSize shown = WindowArithmetic::WheelZoomSize({200, 100}, 24);
    EXPECT_EQ(shown, QSize(1970, 985));
    EXPECT_EQ(w->geometry(),
              WindowArithmetic::AnchoredZoomRect(before, 0, {200, 100}, shown, pointer));
    EndEventLoopTurn(w);
    EXPECT_EQ(counter.resizes, 1);  // the storm is spent
}

TEST_F(Wheel, NeverBelowTheEdgeDragsSmallestWindowWithOrWithoutTheBand) {
    for (const bool band : {false, true}) {
        frmResize* w = NewWindow();
        if (band) {
            w->cmdSetFormHaveBorder();
        }
        const QPoint at = w->geometry().center();
        SendWheel(w->imgView, at, -120 * 100);
        EndEventLoopTurn(w);
        // 13 pixels across: the drag bands (4 each) and 5 inside, whatever the band around. The
        // level stops where one more notch would pass that, so the sides keep their ratio.
        const int least = std::min(w->width(), w->height());
        EXPECT_GE(least, 13) << band;
        EXPECT_LT(least, 13 * 1.1) << band;
        EXPECT_EQ(w->ShownSize(), WindowArithmetic::WheelZoomSize({200, 100}, band ? -32 : -21))
            << band;
        delete w;
    }
}

TEST_F(Wheel, ScalingHidesTheCropRectangle) {
    frmResize* w = NewWindow();
    w->lblCrop->setGeometry(20, 20, 40, 30);
    w->lblCrop->show();
    SendWheel(w->imgView, pointer, 120);
    EndEventLoopTurn(w);
    EXPECT_FALSE(w->lblCrop->isVisible());
    EXPECT_EQ(w->imgView->size(), QSize(220, 110));
}

}  // namespace
