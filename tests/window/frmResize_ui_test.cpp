#include <gtest/gtest.h>

#include "app/mdlMain.h"
#include "base/ScreenUnits.h"
#include "dialogs/mdlKestrin_Version.h"
#include "settings/mdlOption.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "window/CropRectWidget.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"
#include "window/mdlAPI_Form.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ImageWindow : public WindowFixture {
protected:
    frmResize* NewWindow() {
        auto* w = new frmResize;
        w->show();
        return w;
    }
};

TEST_F(ImageWindow, StartsAtTheDesignSizeWithThePlaceholder) {
    frmResize* w = NewWindow();
    EXPECT_EQ(w->size(), QSize(61, 61));
    EXPECT_EQ(w->imgView->geometry(), QRect(0, 0, 61, 61));
    EXPECT_EQ(w->mOrgWidth, 60);
    EXPECT_EQ(w->mOrgHeight, 60);
    EXPECT_EQ(w->mTouming, 100);
    EXPECT_FALSE(w->mFormShape);
    EXPECT_FALSE(w->valHaveBackup());
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(ImageWindow, DisplayBorderOptionAddsTheBandAroundTheDesignSize) {
    mdlOption::Options().DisplayBorder = true;
    frmResize* w = NewWindow();
    EXPECT_EQ(w->mFormBorder, 4);
    EXPECT_EQ(w->size(), QSize(69, 69));
    EXPECT_EQ(w->imgView->geometry(), QRect(4, 4, 61, 61));
}

TEST_F(ImageWindow, BorderOnAndOffKeepsThePictureInPlace) {
    frmResize* w = NewWindow();
    w->setGeometry(300, 200, 160, 120);
    const QRect pictureOnScreen(w->mapToGlobal(w->imgView->pos()), w->imgView->size());

    w->cmdSetFormHaveBorder();
    EXPECT_EQ(w->geometry(), QRect(296, 196, 168, 128));
    EXPECT_EQ(QRect(w->mapToGlobal(w->imgView->pos()), w->imgView->size()), pictureOnScreen);
    w->cmdSetFormHaveBorder();  // twice: nothing more
    EXPECT_EQ(w->geometry(), QRect(296, 196, 168, 128));

    w->cmdSetFormNoBorder();
    EXPECT_EQ(w->geometry(), QRect(300, 200, 160, 120));
    w->cmdSetFormNoBorder();
    EXPECT_EQ(w->geometry(), QRect(300, 200, 160, 120));
}

TEST_F(ImageWindow, ApplyViewSizeFitsTheScreenAndSaysSo) {
    frmResize* w = NewWindow();
    w->move(10, 20);
    w->ApplyViewSize(2000, 1000);
    EXPECT_EQ(w->geometry(), QRect(10, 20, 1024, 512));
    EXPECT_TRUE(w->lblTip->isVisible());
    EXPECT_EQ(w->lblTip->text(), QStringLiteral("图片尺寸过大，已经被自动调整！"));

    w->ApplyViewSize(1024, 768);  // exactly the screen: no tip, no scaling
    EXPECT_EQ(w->size(), QSize(1024, 768));
    EXPECT_EQ(w->lblTip->text(), QStringLiteral("1024 * 768"));
}

TEST_F(ImageWindow, NoSizeLeavesTheBorderWithoutAPixelOfPicture) {
    // A typed 40000 x 7 fits the screen's width with a height that rounds to nothing; a window
    // without picture area could no longer be clicked.
    mdlOption::Options().DisplayBorder = true;
    frmResize* w = NewWindow();
    w->lnkViewResize(40000, 7);
    EXPECT_EQ(w->height(), 9);
    EXPECT_EQ(w->imgView->geometry(), QRect(4, 4, w->width() - 8, 1));
    w->SetGeometryTw(150, 150, 15, 15);
    EXPECT_EQ(w->geometry(), QRect(10, 10, 9, 9));
    EXPECT_EQ(w->imgView->size(), QSize(1, 1));
}

TEST_F(ImageWindow, TipFontFollowsTheWindowSize) {
    frmResize* w = NewWindow();
    w->resize(300, 200);
    w->ShowTip("x");
    EXPECT_EQ(w->lblTip->font().pointSize(), 13);
    w->resize(900, 850);
    w->ShowTip("x");
    EXPECT_EQ(w->lblTip->font().pointSize(), 20);
}

TEST_F(ImageWindow, OpeningAFileKeepsTheSizeUnlessAskedAndFailuresChangeNothing) {
    mdlOption::Options().ResizeWhenOpen = false;  // an Option.ini that says False
    frmResize* w = NewWindow();
    EXPECT_FALSE(w->lnkOpenPicture(TestSupport::DataFile("no such file.png")));
    EXPECT_EQ(w->mOrgWidth, 60);
    EXPECT_EQ(w->mPicFile, "");

    const QString file = TestSupport::DataFile("png_rgb.png");
    ASSERT_TRUE(w->lnkOpenPicture(file));
    EXPECT_EQ(w->mPicFile, "");  // read in the background: nothing changes until it arrives
    ASSERT_TRUE(WaitForOpen(w));
    EXPECT_EQ(w->mPicFile, file);
    EXPECT_EQ(w->size(), QSize(61, 61));  // stretched into the window it had
    const QSize own(w->mOrgWidth, w->mOrgHeight);
    EXPECT_NE(own, QSize(60, 60));

    mdlOption::Options().ResizeWhenOpen = true;
    frmResize* sized = NewWindow();
    ASSERT_TRUE(sized->lnkOpenPicture(file));
    ASSERT_TRUE(WaitForOpen(sized));
    EXPECT_EQ(sized->size(), own);
}

TEST_F(ImageWindow, ViewPictureIsExactlyWhatIsShown) {
    frmResize* w = NewWindow();
    w->SetPicture(TestSupport::PatternImage(7, 5));
    w->resize(21, 10);
    const QImage view = w->GetViewPicture();
    EXPECT_EQ(view.size(), QSize(21, 10));
    EXPECT_EQ(view.format(), QImage::Format_BGR888);
    EXPECT_TRUE(TestSupport::SamePixels(view, w->imgView->shownPicture()));
}

TEST_F(ImageWindow, RightDragDrawsTheCropRectangle) {
    frmResize* w = NewWindow();
    w->resize(200, 150);
    QWidget* view = w->imgView;
    QTest::mousePress(view, Qt::RightButton, {}, QPoint(20, 30));
    QTest::mouseMove(view, QPoint(30, 100));  // 10 sideways: nothing yet
    // QTest::mouseMove sends no button state; send the move as a person's drag would
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 100), view->mapToGlobal(QPointF(30, 100)),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_FALSE(w->lblCrop->isVisible());

    QMouseEvent further(QEvent::MouseMove, QPointF(80, 100), view->mapToGlobal(QPointF(80, 100)),
                        Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view, &further);
    EXPECT_TRUE(w->lblCrop->isVisible());
    EXPECT_EQ(w->lblCrop->geometry(), QRect(20, 30, 60, 70));
    EXPECT_TRUE(w->shpCrop->isVisible());
    EXPECT_EQ(w->shpCrop->geometry(), QRect(21, 31, 58, 68));
    EXPECT_EQ(w->lblTip->text(), "60 * 70");

    // a left press on the picture removes it
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(150, 120));
    EXPECT_FALSE(w->lblCrop->isVisible());
    EXPECT_FALSE(w->shpCrop->isVisible());
    EXPECT_TRUE(w->shpFocus->isVisible());
}

TEST_F(ImageWindow, FlatCropRectangleShowsNoOutline) {
    frmResize* w = NewWindow();
    w->resize(200, 150);
    QWidget* view = w->imgView;
    QTest::mousePress(view, Qt::RightButton, {}, QPoint(20, 30));
    QMouseEvent move(QEvent::MouseMove, QPointF(90, 32), view->mapToGlobal(QPointF(90, 32)),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_TRUE(w->lblCrop->isVisible());
    EXPECT_EQ(w->lblCrop->height(), 2);
    EXPECT_FALSE(w->shpCrop->isVisible());
}

TEST_F(ImageWindow, ArrowKeysMoveTheCropRectangleOrTheWindow) {
    frmResize* w = NewWindow();
    w->setGeometry(100, 100, 200, 150);
    w->lblCrop->setGeometry(50, 50, 40, 30);
    w->lblCrop->show();
    QTest::keyPress(w, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(w->lblCrop->pos(), QPoint(60, 50));
    QTest::keyPress(w, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);  // not only Ctrl
    EXPECT_EQ(w->lblCrop->pos(), QPoint(61, 50));
    EXPECT_EQ(w->shpCrop->pos(), QPoint(62, 51));

    w->lblCrop->hide();
    QTest::keyPress(w, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(w->pos(), QPoint(90, 100));
    QTest::keyPress(w, Qt::Key_Down);
    EXPECT_EQ(w->pos(), QPoint(90, 101));
}

TEST_F(ImageWindow, TimerHidesTheTipAndTheIdleFocusFrameAndBlinks) {
    frmResize* w = NewWindow();
    w->ShowTip("hello");
    w->TimerTick(0);
    EXPECT_TRUE(w->lblTip->isVisible());
    w->TimerTick(1);
    EXPECT_FALSE(w->lblTip->isVisible());

    w->cmdSetFormFocusON();
    w->lblCrop->setGeometry(10, 10, 20, 20);
    w->shpCrop->show();
    w->TimerTick(4);  // 4 mod 3 = 1: white; even second: black focus frame
    EXPECT_EQ(w->shpCrop->borderColor(), QColor(Qt::white));
    EXPECT_EQ(w->shpFocus->borderColor(), QColor(Qt::black));
    w->TimerTick(5);
    EXPECT_EQ(w->shpCrop->borderColor(), QColor(0, 0, 255));
    EXPECT_EQ(w->shpFocus->borderColor(), QColor(Qt::white));
    for (int i = 0; i < 15; ++i) {
        w->TimerTick(0);
    }
    EXPECT_FALSE(w->shpFocus->isVisible());
}

TEST_F(ImageWindow, ShapeAndOpacityExcludeEachOther) {
    frmResize* w = NewWindow();
    QImage pic(40, 30, QImage::Format_BGR888);
    pic.fill(Qt::white);
    for (int y = 10; y < 20; ++y) {
        for (int x = 10; x < 30; ++x) {
            pic.setPixelColor(x, y, Qt::red);
        }
    }
    w->SetPicture(pic);
    w->resize(40, 30);
    w->mTouming = 40;
    w->cmdSetFormShape();
    EXPECT_TRUE(w->mFormShape);
    EXPECT_EQ(w->mTouming, 100);
    EXPECT_EQ(mdlAPI_Form::ColorKeyOf(w), 0xFFFFFF);
    EXPECT_FALSE(w->mask().contains(QPoint(2, 2)));   // white: cut out
    EXPECT_TRUE(w->mask().contains(QPoint(15, 15)));  // red: kept

    // the key is kept when the window changes size
    w->resize(80, 60);
    QApplication::processEvents();
    EXPECT_FALSE(w->mask().contains(QPoint(70, 50)));
    EXPECT_TRUE(w->mask().contains(QPoint(40, 30)));

    w->mTouming = 50;
    w->cmdSetTouming();
    EXPECT_FALSE(w->mFormShape);
    EXPECT_TRUE(w->mask().isEmpty());
    EXPECT_NEAR(w->windowOpacity(), 128 / 255.0, 0.01);

    w->cmdResetFormShape();
    EXPECT_EQ(w->mTouming, 100);
    EXPECT_DOUBLE_EQ(w->windowOpacity(), 1.0);
}

TEST_F(ImageWindow, AutoPositionPullsTheWindowBackOnScreen) {
    frmResize* w = NewWindow();
    w->setGeometry(1024 - 250, 300, 300, 100);
    w->cmdAutoPosition();
    EXPECT_EQ(w->pos(), QPoint(1024 - 300, 300));
}

TEST_F(ImageWindow, EscClosesAndHiddenF12ShowsTheVersion) {
    QPointer<frmResize> w = NewWindow();
    QTest::keyClick(w, Qt::Key_F12);
    EXPECT_TRUE(seam.messages.empty());
    QTest::keyClick(w, Qt::Key_F12, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(seam.messages.size(), 1u);
    EXPECT_EQ(seam.messages[0].title, QStringLiteral("Kestrin标准内部版本信息"));
    EXPECT_EQ(seam.messages[0].text, mdlKestrin_Version::GetVersionText());
    EXPECT_EQ(seam.messages[0].style, ModalSeam::Information);

    const int before = mdlMain::ImageWindowCount();
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_EQ(mdlMain::ImageWindowCount(), before - 1);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

TEST_F(ImageWindow, KeyNOpensAnotherEmptyWindow) {
    frmResize* w = NewWindow();
    const int before = mdlMain::ImageWindowCount();
    QTest::keyClick(w, Qt::Key_N);
    EXPECT_EQ(mdlMain::ImageWindowCount(), before + 1);
}

TEST_F(ImageWindow, OpenPictureWindowPlacesOnlyWithBothCoordinatesPositive) {
    frmResize* placed = mdlMain::OpenPictureWindow(QString(), 1500, 3000);
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->pos(), QPoint(100, 200));
    const QPoint designed = NewWindow()->pos();
    for (const QPoint& p : {QPoint(0, 3000), QPoint(1500, 0), QPoint(-1500, 3000)}) {
        frmResize* unplaced = mdlMain::OpenPictureWindow(QString(), p.x(), p.y());
        ASSERT_TRUE(unplaced);
        EXPECT_EQ(unplaced->pos(), designed);
    }
    const int before = mdlMain::ImageWindowCount();
    EXPECT_EQ(mdlMain::OpenPictureWindow(TestSupport::DataFile("nothing.jpg"), 0, 0), nullptr);
    EXPECT_EQ(mdlMain::ImageWindowCount(), before);
}

TEST_F(ImageWindow, CopyCascadesAndFallsBackNearTheScreenEdge) {
    frmResize* src = NewWindow();
    src->SetPicture(TestSupport::PatternImage(9, 7, QImage::Format_Indexed8));
    src->mPicFile = "/p/a.png";
    src->mPicFileExt = "png";
    src->setGeometry(100, 50, 90, 70);
    frmResize* copy = mdlMain::CopyPictureWindow(src);
    ASSERT_TRUE(copy);
    // 1500 + 200 twips = 113.3 px; 750 + 200 = 63.3 px; the source's size
    EXPECT_EQ(copy->geometry(), QRect(113, 63, 90, 70));
    EXPECT_EQ(copy->Picture().format(), QImage::Format_BGR888);
    EXPECT_TRUE(TestSupport::SamePixels(copy->Picture(), src->Picture()));
    EXPECT_EQ(copy->mPicFile, "/p/a.png");
    EXPECT_EQ(copy->mPicFileExt, "png");
    EXPECT_EQ(copy->mOrgWidth, 9);
    EXPECT_FALSE(copy->valHaveBackup());

    // past the screen less 200 twips on both axes: 400 twips in from the edges
    src->move(1000, 745);
    frmResize* edge = mdlMain::CopyPictureWindow(src);
    ASSERT_TRUE(edge);
    EXPECT_EQ(edge->pos(), QPoint(997, 741));  // 14960 and 11120 twips
}

TEST_F(ImageWindow, ShapeFollowsTheControlsShowingOverThePicture) {
    frmResize* w = NewWindow();
    QImage white(80, 60, QImage::Format_BGR888);
    white.fill(Qt::white);
    w->SetPicture(white);
    w->resize(80, 60);
    w->ShowTip("80 * 60");  // the tip covers (5, 5)
    w->cmdSetFormShape();
    QApplication::processEvents();
    EXPECT_TRUE(w->mask().contains(QPoint(5, 5)));     // the tip's own pixels stay
    EXPECT_FALSE(w->mask().contains(QPoint(40, 40)));  // white picture: cut out
    w->TimerTick(0);
    w->TimerTick(0);  // the tip goes
    QApplication::processEvents();
    EXPECT_FALSE(w->lblTip->isVisible());
    EXPECT_FALSE(w->mask().contains(QPoint(5, 5)));
}

TEST_F(ImageWindow, FailedPictureOperationsLeaveThePictureAsItWas) {
    frmResize* w = NewWindow();
    const QImage before = TestSupport::PatternImage(20, 10);
    w->SetPicture(before);
    EXPECT_FALSE(w->MaskRect(15, 5, 10, 10));  // reaches outside: refused
    EXPECT_FALSE(w->CropRect(0, 0, 0, 5));     // nothing to keep
    EXPECT_TRUE(TestSupport::SamePixels(w->Picture(), before));
    EXPECT_TRUE(w->CropRect(5, 2, 4, 3));
    EXPECT_EQ(w->mOrgWidth, 4);
    EXPECT_EQ(w->mOrgHeight, 3);

    w->SetPicture(QImage());  // no picture at all: nothing to view, nothing escapes
    EXPECT_TRUE(w->GetViewPicture().isNull());
    EXPECT_FALSE(w->MaskRect(0, 0, 1, 1));
    EXPECT_EQ(w->mOrgWidth, 0);
}

TEST_F(ImageWindow, AClosedWindowStillAnswersItsCommands) {
    frmResize* w = NewWindow();
    w->lnkRotate(QStringLiteral("+90"));  // a step to undo
    ASSERT_TRUE(w->valHaveBackup());
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->close();
    EXPECT_TRUE(w->IsUnloaded());
    EXPECT_FALSE(w->valHaveBackup());
    EXPECT_EQ(w->UndoSteps(), 0);
    delete w;
}

// What opens from a window is recorded instead of shown.
class WindowOpenings : public ImageWindow {
protected:
    void SetUp() override {
        ImageWindow::SetUp();
        auto& o = mdlMain::WindowOpeners();
        o.browser = [this](const QStringList& files, frmResize* owner) {
            browserFiles = files;
            opened << QStringLiteral("browser");
            owners << owner;
        };
        o.commandPanel = [this](frmResize* owner) {
            opened << QStringLiteral("panel");
            owners << owner;
        };
        o.cropMenu = [this](frmResize* owner) {
            opened << QStringLiteral("crop");
            owners << owner;
        };
    }
    void TearDown() override {
        mdlMain::WindowOpeners() = {};
        ImageWindow::TearDown();
    }
    static void RightDrag(QWidget* view, QPoint from, QPoint to) {
        QTest::mousePress(view, Qt::RightButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), view->mapToGlobal(QPointF(to)),
                         Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::RightButton, {}, to);
    }
    QStringList opened;
    QStringList browserFiles;
    QList<frmResize*> owners;
};

TEST_F(WindowOpenings, RightReleaseOpensThePanelOrTheCropMenu) {
    frmResize* w = NewWindow();
    w->resize(200, 150);
    QTest::mouseClick(w->imgView, Qt::RightButton, {}, QPoint(50, 50));
    RightDrag(w->imgView, QPoint(20, 20), QPoint(80, 60));
    ASSERT_TRUE(w->lblCrop->isVisible());
    QTest::mouseClick(w->lblCrop, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(opened, (QStringList{"panel", "crop", "crop"}));
    EXPECT_EQ(owners, (QList<frmResize*>{w, w, w}));
    QTest::keyClick(w, Qt::Key_Menu);
    EXPECT_EQ(opened.last(), "panel");
}

TEST_F(WindowOpenings, OneDroppedFileLoadsHereAndTheRestGoToTheBrowser) {
    frmResize* w = NewWindow();
    const QString file = TestSupport::DataFile("png_rgb.png");
    emit w->imgView->filesDropped({file});
    ASSERT_TRUE(WaitForOpen(w));
    EXPECT_EQ(w->mPicFile, file);
    EXPECT_TRUE(opened.isEmpty());

    emit w->imgView->filesDropped({TestSupport::DataFile("no such.png")});  // fails quietly
    EXPECT_EQ(w->mPicFile, file);
    EXPECT_TRUE(opened.isEmpty());

    QTemporaryDir folder;
    emit w->imgView->filesDropped({folder.path()});
    emit w->imgView->filesDropped({"/b.png", "/a.png"});
    EXPECT_EQ(opened, (QStringList{"browser", "browser"}));
    EXPECT_EQ(browserFiles, (QStringList{"/b.png", "/a.png"}));  // in the order dropped
    EXPECT_EQ(owners.last(), w);
}

TEST_F(ImageWindow, PressSamplesTheColourUnderThePointer) {
    frmResize* w = NewWindow();
    QImage pic(2, 1, QImage::Format_BGR888);
    pic.setPixelColor(0, 0, QColor(10, 20, 30));
    pic.setPixelColor(1, 0, QColor(200, 100, 50));
    w->SetPicture(pic);
    w->cmdSetFormHaveBorder();
    w->resize(108, 58);  // picture shown at 100 x 50 inside the 4-pixel band
    QTest::mousePress(w->imgView, Qt::LeftButton, {}, QPoint(75, 20));
    EXPECT_EQ(w->mNowPointColor, 200 | (100 << 8) | (50 << 16));
    QTest::mouseRelease(w->imgView, Qt::LeftButton, {}, QPoint(75, 20));
    QTest::mousePress(w->imgView, Qt::LeftButton, {}, QPoint(10, 20));
    EXPECT_EQ(w->mNowPointColor, 10 | (20 << 8) | (30 << 16));
    EXPECT_EQ(w->SampleColor(QPoint(-1, 5)), -1);
    EXPECT_EQ(w->SampleColor(QPoint(108, 5)), -1);
}

TEST(WaitSeconds, WaitsAcrossMidnight) {
    float clock = 86399.5f;
    int pumped = 0;
    mdlMain::WaitSeconds(
        1.0f, [&] { return clock; },
        [&] {
            ++pumped;
            clock += 0.25f;
            if (clock >= 86400.0f) {
                clock -= 86400.0f;
            }
        });
    EXPECT_EQ(pumped, 5);  // 1.25 s is the first reading strictly past 1 s
    EXPECT_FLOAT_EQ(clock, 0.75f);
}

}  // namespace
