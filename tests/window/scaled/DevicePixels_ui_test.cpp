// The image window at the scale factor this executable runs under (QT_SCALE_FACTOR, set per run
// by CTest): picture, drags, crops and keys are measured in device pixels, whatever Qt's logical
// pixels can express.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>

#include "base/ScreenUnits.h"
#include "settings/mdlOption.h"
#include "support/ScriptedSeam.h"
#include "support/TestSupport.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

namespace {

using TestSupport::SamePixels;

class DevicePixels : public testing::Test {
protected:
    void SetUp() override {
        mdlOption::SetDefaultOptions();
        mdlOption::Options().AlwaysTop = false;
        ScreenUnits::OverrideForTesting(0, 0, 1600, 1000);
        scale = QGuiApplication::primaryScreen()->devicePixelRatio();
        w = new frmResize;
        ASSERT_TRUE(w->SetPicture(picture));
        ASSERT_TRUE(w->lnkViewResize(picture.width(), picture.height()));
        w->SetDeviceGeometry(QRect(QPoint(101, 51), w->DeviceGeometry().size()));
        w->show();
    }
    void TearDown() override {
        delete w.data();
        ScreenUnits::OverrideForTesting(0, 0);
    }
    // A mouse event at a point given in device pixels of the window, to the control under it, or
    // while a button is held to the control that took the press (as the pointer grab does).
    void Mouse(QEvent::Type type, QPointF device, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
        const QPointF logical = device / scale;
        QWidget* target = grabber;
        if (target == nullptr) {
            target = w->childAt(logical.toPoint());
            target = target != nullptr ? target : w.data();
        }
        grabber = buttons != Qt::NoButton ? target : nullptr;
        const QPointF local = logical - QPointF(target->mapTo(w.data(), QPoint(0, 0)));
        QMouseEvent e(type, local, logical, w->mapToGlobal(logical), button, buttons, {});
        QApplication::sendEvent(target, &e);
    }
    void Drag(Qt::MouseButton button, QPointF from, QPointF to) {
        Mouse(QEvent::MouseButtonPress, from, button, button);
        for (int i = 1; i <= 5; ++i) {
            Mouse(QEvent::MouseMove, from + (to - from) * i / 5.0, Qt::NoButton, button);
        }
    }

    ScriptedSeam seam;
    // Odd sides, every pixel unlike its neighbours: a doubled or dropped row or column shows.
    QImage picture = TestSupport::PatternImage(201, 103);
    double scale = 1;
    QPointer<frmResize> w;
    QWidget* grabber = nullptr;
};

TEST_F(DevicePixels, APictureAtItsOwnSizeCoversItsOwnPixels) {
    EXPECT_DOUBLE_EQ(w->TwipsPerPixelX(), 15.0 / scale);
    EXPECT_EQ(w->DeviceGeometry(), QRect(101, 51, 201, 103));
    EXPECT_EQ(w->ShownSize(), QSize(201, 103));
    EXPECT_TRUE(SamePixels(w->GetViewPicture(), picture));
    // What the window paints is the picture, pixel for pixel (the size tip and the focus frame
    // drawn over it aside).
    w->lblTip->hide();
    w->cmdSetFormFocusOFF();
    QImage painted = w->grab().toImage();
    ASSERT_GE(painted.width(), 201);
    ASSERT_GE(painted.height(), 103);
    painted.setDevicePixelRatio(1);
    EXPECT_TRUE(SamePixels(painted.copy(0, 0, 201, 103), picture));
}

// The focus frame is one device pixel on the picture's outermost pixels, with or without the
// band, and the picture shows whole inside it.
TEST_F(DevicePixels, TheFocusFrameRunsOnThePicturesOutermostPixels) {
    for (const bool band : {false, true}) {
        SCOPED_TRACE(band ? "band" : "no band");
        if (band) {
            w->cmdSetFormHaveBorder();
        }
        w->lblTip->hide();
        const int b = band ? 4 : 0;
        w->cmdSetFormFocusON();
        QImage painted = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        painted.setDevicePixelRatio(1);
        ASSERT_GE(painted.width(), 201 + 2 * b);
        ASSERT_GE(painted.height(), 103 + 2 * b);
        const QRect frame(b, b, 201, 103);
        int wrong = 0;
        for (int x = frame.left(); x <= frame.right(); ++x) {
            for (const int y : {frame.top(), frame.bottom()}) {
                wrong += painted.pixel(x, y) != qRgb(0, 0, 0) ? 1 : 0;
            }
        }
        for (int y = frame.top(); y <= frame.bottom(); ++y) {
            for (const int x : {frame.left(), frame.right()}) {
                wrong += painted.pixel(x, y) != qRgb(0, 0, 0) ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0) << "frame pixels not black";
        EXPECT_TRUE(SamePixels(painted.copy(frame.adjusted(1, 1, -1, -1)),
                               picture.copy(1, 1, 199, 101).convertToFormat(QImage::Format_RGB32)));
    }
}

TEST_F(DevicePixels, ARightDragCropsExactlyTheDevicePixelsDrawn) {
    Drag(Qt::RightButton, QPointF(21, 13), QPointF(81, 53));
    EXPECT_EQ(w->ShownSize(), QSize(201, 103));
    w->cmdCrop();
    EXPECT_EQ(w->Picture().size(), QSize(60, 40));
    EXPECT_TRUE(SamePixels(w->Picture(), picture.copy(21, 13, 60, 40)));
    // The kept part stays where it was on the screen.
    EXPECT_EQ(w->DeviceGeometry().topLeft(), QPoint(101 + 21, 51 + 13));
}

TEST_F(DevicePixels, ACornerDragAndArrowKeysMoveByDevicePixels) {
    Drag(Qt::LeftButton, QPointF(199, 101), QPointF(249, 151));
    EXPECT_EQ(w->DeviceGeometry(), QRect(101, 51, 251, 153));
    Mouse(QEvent::MouseButtonRelease, QPointF(249, 151), Qt::LeftButton, Qt::NoButton);

    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(w.data(), &left);
    EXPECT_EQ(w->DeviceGeometry().topLeft(), QPoint(100, 51));
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier);
    QApplication::sendEvent(w.data(), &up);
    EXPECT_EQ(w->DeviceGeometry().topLeft(), QPoint(100, 41));
}

}  // namespace
