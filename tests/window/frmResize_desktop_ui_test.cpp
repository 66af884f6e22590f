#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScreen>

#include "base/ScreenUnits.h"
#include "settings/mdlOption.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "window/frmResize.h"

namespace {

using TestSupport::PatternImage;
using TestSupport::SamePixels;

class DesktopWindow : public WindowFixture {};

// Another program gets the copy as PNG only, the same pixels; this program's paste takes the
// picture itself.
TEST_F(DesktopWindow, ACopyIsOfferedAsPngOnlyAndPastesBackExactly) {
    auto* from = new frmResize;
    from->SetPicture(PatternImage(37, 23));
    from->SetDeviceGeometry(QRect(100, 100, 37, 23));
    from->show();
    from->cmdCopy();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList{QStringLiteral("image/png")});
    const QImage png = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
    EXPECT_TRUE(SamePixels(png, from->GetViewPicture()));

    auto* to = new frmResize;
    to->show();
    to->cmdPaste();
    EXPECT_TRUE(SamePixels(to->Picture(), from->GetViewPicture()));
}

// With ResizeWhenOpen, a window that grows with its new picture moves just enough to stay inside
// its screen's work area; one that does not grow stays where it is.
TEST_F(DesktopWindow, AWindowGrowingWithItsPictureStaysInTheWorkArea) {
    mdlOption::Options().ResizeWhenOpen = true;
    const QRect area = ScreenUnits::DeviceWorkArea(QGuiApplication::primaryScreen());
    const struct {
        QPoint at;
        QSize picture;
        QPoint expected;
    } cases[] = {
        {area.bottomRight() - QPoint(60, 60), {300, 200}, area.bottomRight() - QPoint(299, 199)},
        {area.topLeft() + QPoint(10, 10), {300, 200}, area.topLeft() + QPoint(10, 10)},
        {area.bottomRight() - QPoint(60, 60), {20, 20}, area.bottomRight() - QPoint(60, 60)},
    };
    for (const auto& c : cases) {
        auto* w = new frmResize;
        w->SetDeviceGeometry(QRect(c.at, QSize(61, 61)));
        w->show();
        QGuiApplication::clipboard()->setImage(PatternImage(c.picture.width(), c.picture.height()));
        w->cmdPaste();
        EXPECT_EQ(w->DeviceGeometry(), QRect(c.expected, c.picture)) << c.at.x() << "," << c.at.y();
        delete w;
    }
}

}  // namespace
