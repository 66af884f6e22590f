// Key T pins an image window: it lets the mouse and the keyboard pass, shows a dashed outline, and
// keeps its looks; Ctrl+Shift over it and a left click take it back.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <vector>

#include "support/WindowFixture.h"
#include "window/ClickThroughPoller.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/WindowPin.h"
#include "window/frmResize.h"
#include "window/mdlAPI_Form.h"

namespace {

const QColor kPicture(90, 160, 30);

class Pins : public WindowFixture {
protected:
    // A plain picture shown at 120 x 90 at (300, 200).
    frmResize* NewWindow() {
        auto* w = new frmResize;
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(kPicture);
        w->SetPicture(picture);
        w->setGeometry(300, 200, 120, 90);
        w->show();
        return w;
    }
    static void PressT(frmResize* w) {
        QTest::keyPress(w, Qt::Key_T);
        QTest::keyRelease(w, Qt::Key_T);
    }
    static cClickThrough::State StateOf(const frmResize* w) {
        return w->Pin() ? w->Pin()->State().state() : cClickThrough::State::Off;
    }
    static void SendMouse(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButton button,
                          Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), to->mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
        QApplication::sendEvent(to, &e);
    }
};

// The window's outermost ring of pixels, clockwise from the top-left corner.
std::vector<QRgb> Ring(const QImage& img) {
    std::vector<QRgb> ring;
    const int w = img.width();
    const int h = img.height();
    for (int x = 0; x < w; ++x) {
        ring.push_back(img.pixel(x, 0));
    }
    for (int y = 1; y < h; ++y) {
        ring.push_back(img.pixel(w - 1, y));
    }
    for (int x = w - 2; x >= 0; --x) {
        ring.push_back(img.pixel(x, h - 1));
    }
    for (int y = h - 2; y > 0; --y) {
        ring.push_back(img.pixel(0, y));
    }
    return ring;
}

enum class Looks { Plain, HalfOpaque, ColourKey };
class PinLooks : public Pins, public testing::WithParamInterface<Looks> {};

TEST_P(PinLooks, TPinsTheWindowWithADashedOutlineAndKeepsItsLooks) {
    frmResize* w = NewWindow();
    if (GetParam() == Looks::HalfOpaque) {
        w->mTouming = 50;
        w->cmdSetTouming();
    } else if (GetParam() == Looks::ColourKey) {
        w->cmdSetFormShape();
        QApplication::processEvents();  // the shape is refreshed once the event loop turns
    }
    const double opacity = w->windowOpacity();
    const QRegion mask = w->mask();
    const qint32 key = mdlAPI_Form::ColorKeyOf(w);

    PressT(w);
    ASSERT_EQ(StateOf(w), cClickThrough::State::Through);
    EXPECT_TRUE(ClickThroughPoller::Instance().IsPolling());
    EXPECT_DOUBLE_EQ(w->windowOpacity(), opacity);
    EXPECT_EQ(w->mask(), mask);
    EXPECT_EQ(mdlAPI_Form::ColorKeyOf(w), key);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowDoesNotAcceptFocus);

    // One device pixel round the edge, four black then four white, on round the corners.
    w->lblTip->hide();
    const QImage shot = w->grab().toImage();
    const std::vector<QRgb> ring = Ring(shot);
    ASSERT_EQ(ring.size(), size_t(2 * (120 + 90) - 4));
    for (size_t i = 0; i < ring.size(); ++i) {
        const QRgb want = (i / 4) % 2 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
        ASSERT_EQ(qRgb(qRed(ring[i]), qGreen(ring[i]), qBlue(ring[i])), want) << i;
    }
    EXPECT_EQ(shot.pixelColor(1, 1), kPicture);  // inside the ring, the picture
}

INSTANTIATE_TEST_SUITE_P(Looks, PinLooks,
                         testing::Values(Looks::Plain, Looks::HalfOpaque, Looks::ColourKey));

TEST_F(Pins, APinnedWindowTakesNoKeysAndNoClicks) {
    frmResize* w = NewWindow();
    PressT(w);
    const QRect place = w->DeviceGeometry();
    for (const int key : {Qt::Key_Left, Qt::Key_Escape}) {
        QTest::keyPress(w, Qt::Key(key));
        QTest::keyRelease(w, Qt::Key(key));
    }
    QTest::keyClick(w, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(w->IsUnloaded());
    EXPECT_EQ(w->DeviceGeometry(), place);
    SendMouse(w->imgView, QEvent::MouseButtonPress, {60, 40}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(w->imgView, QEvent::MouseMove, {90, 70}, Qt::NoButton, Qt::LeftButton);
    SendMouse(w->imgView, QEvent::MouseButtonRelease, {90, 70}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w->DeviceGeometry(), place);
    EXPECT_FALSE(w->shpFocus->isVisible());
    EXPECT_EQ(StateOf(w), cClickThrough::State::Through);
}

TEST_F(Pins, CtrlShiftOverTheWindowThenALeftClickTakesItBackAndDoesNothingElse) {
    frmResize* w = NewWindow();
    frmResize* other = NewWindow();  // pinned too, the pointer not over it
    other->setGeometry(600, 200, 120, 90);
    PressT(w);
    PressT(other);
    auto& poller = ClickThroughPoller::Instance();
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const QPointF over = w->DeviceGeometry().center();

    poller.Tick(ctrlShift, over);
    ASSERT_EQ(StateOf(w), cClickThrough::State::Held);
    EXPECT_EQ(StateOf(other), cClickThrough::State::Through);
    poller.Tick(Qt::ControlModifier, over);  // let go of Shift: pinned again
    ASSERT_EQ(StateOf(w), cClickThrough::State::Through);
    poller.Tick(ctrlShift, over);
    ASSERT_EQ(StateOf(w), cClickThrough::State::Held);

    const QRect place = w->DeviceGeometry();
    SendMouse(w->imgView, QEvent::MouseButtonPress, {60, 40}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(w->imgView, QEvent::MouseMove, {90, 70}, Qt::NoButton, Qt::LeftButton);
    SendMouse(w->imgView, QEvent::MouseButtonRelease, {90, 70}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(StateOf(w), cClickThrough::State::Off);
    EXPECT_EQ(w->DeviceGeometry(), place);   // no drag
    EXPECT_FALSE(w->shpFocus->isVisible());  // no focus frame
    EXPECT_FALSE(w->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(poller.IsPolling());  // for the other window

    // An ordinary window again: the next click is its own, and the poll no longer concerns it.
    SendMouse(w->imgView, QEvent::MouseButtonPress, {60, 40}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(w->shpFocus->isVisible());
    SendMouse(w->imgView, QEvent::MouseButtonRelease, {60, 40}, Qt::LeftButton, Qt::NoButton);
    poller.Tick(ctrlShift, over);
    EXPECT_EQ(StateOf(w), cClickThrough::State::Off);
    delete other;
    EXPECT_FALSE(poller.IsPolling());  // no pinned window left
}

}  // namespace
