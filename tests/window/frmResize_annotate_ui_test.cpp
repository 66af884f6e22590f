// Marking up a window: D turns the mode on, a left drag inside draws a mark (the window stays
// put), the mark is a step of the history and goes with the copy, and Esc leaves the mode (not
// the window) and keeps the marks.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>

#include "image/cPngClipboardData.h"
#include "support/WindowFixture.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

namespace {

class Annotate : public WindowFixture {};

bool IsRed(QRgb c) {
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

TEST_F(Annotate, ADragDrawsAMarkThatTheHistoryAndTheCopyKeep) {
    auto* w = new frmResize;
    QImage white(100, 80, QImage::Format_BGR888);
    white.fill(Qt::white);
    w->SetPicture(white);
    w->setGeometry(100, 100, 100, 80);
    w->show();
    const QRect before = w->DeviceGeometry();

    QTest::keyClick(w, Qt::Key_D);
    ASSERT_TRUE(w->IsAnnotating());
    QWidget* view = w->imgView;
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(20, 20));
    // QTest::mouseMove sends no button state: the move of a person's drag.
    QMouseEvent move(QEvent::MouseMove, QPointF(40, 40), view->mapToGlobal(QPointF(40, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(60, 50));
    ASSERT_EQ(w->Marks().size(), 1U);
    EXPECT_EQ(w->Marks()[0].kind, MarkKind::Rectangle);
    EXPECT_EQ(w->DeviceGeometry(), before) << "a drag in the mode draws, it does not move";

    w->cmdCopy();
    const auto* copied =
        qobject_cast<const cPngClipboardData*>(QApplication::clipboard()->mimeData());
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(IsRed(copied->Picture().pixel(40, 20))) << "the rectangle's top edge";
    EXPECT_EQ(copied->Picture().pixel(40, 35), qRgb(255, 255, 255)) << "inside stays";
    EXPECT_EQ(w->Picture().pixel(40, 20), qRgb(255, 255, 255)) << "the picture keeps its pixels";

    w->cmdUndo();
    EXPECT_TRUE(w->Marks().empty());
    w->cmdRedo();
    EXPECT_EQ(w->Marks().size(), 1U);

    // Esc leaves the mode, not the window; the marks stay, and a drag moves the window again.
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_FALSE(w->IsAnnotating());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->Marks().size(), 1U);
}

}  // namespace
