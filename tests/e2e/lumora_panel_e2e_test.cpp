// The command panel, opened by a right click on the picture and driven by real pointer input: where
// it opens, a command of each tab, the size list and the options dialog it leads to.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "PanelPlaces.h"
#include "XSession.h"

namespace {

const QSize kScreen(1280, 800);
const QRgb kGrey = qRgb(128, 128, 128);

QPoint FromBottomLeft(const QRect& r, QPoint offset) {
    return QPoint(r.left(), r.top() + r.height()) + offset;
}

QPoint FromBottomRight(const QRect& r, QPoint offset) {
    return QPoint(r.left() + r.width(), r.top() + r.height()) + offset;
}

// The point just past the rectangle's bottom-right corner: where a panel flipped to the left of
// and above the pointer has the pointer.
QPoint PastBottomRight(const QRect& r) {
    return QPoint(r.left() + r.width(), r.top() + r.height());
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Panel : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }

    QString GreyPicture(const QString& name) {
        QImage img(240, 180, QImage::Format_RGB32);
        img.fill(kGrey);
        const QString path = dir.path() + "/" + name;
        EXPECT_TRUE(img.save(path));
        return path;
    }

    // Starts the program and waits for its window.
    QRect Open(const QStringList& args) {
        EXPECT_TRUE(x.StartLumora(args));
        window = x.FindWindow();
        EXPECT_NE(window, 0u);
        return x.Geometry(window);
    }

    // Makes the window larger by dragging its bottom-right corner, from its last pixel but one,
    // to `to`.
    QRect Enlarge(QPoint to) {
        const QRect g = x.Geometry(window);
        const QPoint from = g.bottomRight() - QPoint(1, 1);
        x.DragTo(1, from, to);
        return x.WaitForGeometry(
            window, QRect(g.topLeft(), g.size() + QSize(to.x() - from.x(), to.y() - from.y())));
    }

    // Presses and releases the right button at p without moving. The panel's window once it
    // shows somewhere else than `before` (a null rect: anywhere), or 0 after the limit.
    qulonglong RightClick(QPoint p, const QRect& before = QRect()) {
        x.MoveTo(p.x(), p.y());
        x.Press(3);
        x.Release(3);
        qulonglong found = 0;
        XSession::Poll(
            [&] {
                for (const qulonglong w : x.Windows()) {
                    if (x.WindowName(w) == kPanelTitle && x.Geometry(w) != before) {
                        found = w;
                        return true;
                    }
                }
                return false;
            },
            10000);
        return found;
    }

    // The panel's rectangle, checked against the one the offsets were measured on.
    QRect PanelRect(qulonglong panel) {
        const QRect r = x.Geometry(panel);
        EXPECT_NEAR(r.width(), kPanelSize.width(), 20) << "measure the panel's offsets again";
        EXPECT_NEAR(r.height(), kPanelSize.height(), 20) << "measure the panel's offsets again";
        return r;
    }

    void LeftClick(QPoint p) {
        x.MoveTo(p.x(), p.y());
        x.Press(1);
        x.Release(1);
    }

    // Hovers the tab header at the offset and waits until the screen shows it chosen.
    bool HoverTab(const QRect& panel, QPoint header) {
        const QPoint at = panel.topLeft() + header;
        x.MoveTo(at.x(), at.y());
        const QRect around(at.x() - 20, panel.top() + 2, 40, 20);
        const auto chosen = [&](const QImage& s) {
            int n = 0;
            for (int y = around.top(); y <= around.bottom(); ++y) {
                for (int xx = around.left(); xx <= around.right(); ++xx) {
                    n += s.pixel(xx, y) == kSelectedTab ? 1 : 0;
                }
            }
            return n > around.width() * around.height() / 3;
        };
        return chosen(x.WaitForScreen(chosen));
    }

    XSession x;
    QTemporaryDir dir;
    qulonglong window = 0;
};

TEST_F(Panel, RightClickOpensItWithItsTopLeftAtThePointer) {
    const QRect g = Open({GreyPicture("grey.bmp")});
    ASSERT_EQ(g.size(), QSize(240, 180));  // the picture's own size
    const QPoint at = g.center();

    const qulonglong panel = RightClick(at);
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    const QRect r = PanelRect(panel);
    EXPECT_NEAR(r.left(), at.x(), 1);
    EXPECT_NEAR(r.top(), at.y(), 1);
    EXPECT_EQ(x.Windows().size(), 2);
    EXPECT_EQ(x.Geometry(window), g);
}

TEST_F(Panel, NearTheRightAndBottomEdgesItOpensToTheLeftOfAndAboveThePointer) {
    Open({GreyPicture("grey.bmp")});
    // A window reaching from the middle of the screen to its bottom-right corner: points where the
    // panel fits, and points where it would cross the right edge, the bottom edge or both.
    const QRect g = Enlarge(QPoint(kScreen.width() - 3, kScreen.height() - 3));
    ASSERT_GT(g.right(), kScreen.width() - 10);
    ASSERT_GT(g.bottom(), kScreen.height() - 10);
    ASSERT_LT(g.left() + 20 + kPanelSize.width(), kScreen.width());
    ASSERT_LT(g.top() + 20 + kPanelSize.height(), kScreen.height());
    const int fitX = g.left() + 20;
    const int fitY = g.top() + 20;
    const int edgeX = kScreen.width() - 30;
    const int edgeY = kScreen.height() - 20;

    // Each right click closes the panel where it was (the press) and opens it again (the release).
    const QPoint right(edgeX, fitY);
    qulonglong panel = RightClick(right);
    ASSERT_NE(panel, 0u) << "no panel near the right edge";
    QRect r = PanelRect(panel);
    EXPECT_NEAR(PastBottomRight(r).x(), right.x(), 2);
    EXPECT_NEAR(r.top(), right.y(), 1);

    const QPoint bottom(fitX, edgeY);
    panel = RightClick(bottom, r);
    ASSERT_NE(panel, 0u) << "the panel did not move near the bottom edge";
    r = x.Geometry(panel);
    EXPECT_NEAR(r.left(), bottom.x(), 1);
    EXPECT_NEAR(PastBottomRight(r).y(), bottom.y(), 2);

    const QPoint corner(edgeX, edgeY);
    panel = RightClick(corner, r);
    ASSERT_NE(panel, 0u) << "the panel did not move near the corner";
    r = x.Geometry(panel);
    EXPECT_NEAR(PastBottomRight(r).x(), corner.x(), 2);
    EXPECT_NEAR(PastBottomRight(r).y(), corner.y(), 2);
    EXPECT_EQ(x.Windows().size(), 2);
}

TEST_F(Panel, QuickSaveWritesTheFileBesideThePictureAndClosesThePanel) {
    const QString picture = GreyPicture("grey.bmp");
    const QByteArray original = Bytes(picture);
    const QRect g = Open({picture});
    const qulonglong panel = RightClick(g.center());
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    const QRect r = PanelRect(panel);

    LeftClick(r.topLeft() + kQuickSave);
    const QString written = dir.path() + "/new grey.bmp";
    ASSERT_TRUE(x.WaitForFile(written)) << "quick save wrote nothing";
    const qulonglong box = x.WaitForWindowNamed(kSaveBox);
    ASSERT_NE(box, 0u) << "no message box after the save";
    EXPECT_FALSE(x.Windows().contains(panel)) << "the panel stayed open";
    x.Key("Return");
    EXPECT_TRUE(x.WaitForWindowGone(box));

    // the picture as the window shows it
    const QImage saved(written);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), g.size());
    EXPECT_EQ(saved.pixel(saved.width() / 2, saved.height() / 2), kGrey);
    EXPECT_EQ(Bytes(picture), original);
    EXPECT_EQ(x.Windows(), QList<qulonglong>{window});
}

TEST_F(Panel, RotateClockwiseOnTheThirdTabTurnsTheWindow) {
    Open({GreyPicture("grey.bmp")});
    const QRect g = Enlarge(x.Geometry(window).bottomRight() + QPoint(250, 150));
    ASSERT_GT(g.width(), g.height() + 40);
    const qulonglong panel = RightClick(g.center());
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    const QRect r = PanelRect(panel);

    ASSERT_TRUE(HoverTab(r, kTabSpecial)) << "the third tab did not show";
    LeftClick(r.topLeft() + kRotateCw);
    const QRect turned = x.WaitForGeometryChange(window, g);
    EXPECT_EQ(turned.size(), g.size().transposed());
    EXPECT_TRUE(x.WaitForWindowGone(panel)) << "the panel stayed open";
}

TEST_F(Panel, ASizeFromTheListResizesTheWindowAndKeepsThePanelOpen) {
    Open({GreyPicture("grey.bmp")});
    const QRect g = Enlarge(x.Geometry(window).bottomRight() + QPoint(250, 150));
    ASSERT_NE(g.size(), QSize(240, 180));
    const qulonglong panel = RightClick(g.center());
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    const QRect r = PanelRect(panel);

    ASSERT_TRUE(HoverTab(r, kTabSizes)) << "the second tab did not show";
    // the first row is the picture's own size
    LeftClick(r.topLeft() + kSizeRow0);
    const QRect sized = x.WaitForGeometryChange(window, g);
    EXPECT_EQ(sized.size(), QSize(240, 180));
    EXPECT_EQ(sized.topLeft(), g.topLeft());
    EXPECT_TRUE(x.Windows().contains(panel)) << "a single click closed the panel";
    EXPECT_EQ(x.Geometry(panel), r);
}

// A size larger than the screen: fitted to it, and the window moved back inside the screen.
TEST_F(Panel, ASizeLargerThanTheScreenLeavesTheWindowWhollyOnIt) {
    {
        QFile ini(x.ProgramFolder() + "/Option.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("CYSize=5000*4000\r\n");
    }
    const QRect g = Open({GreyPicture("grey.bmp")});
    const qulonglong panel = RightClick(g.center());
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    const QRect r = PanelRect(panel);
    ASSERT_TRUE(HoverTab(r, kTabSizes)) << "the second tab did not show";
    LeftClick(r.topLeft() + kSizeRow0);  // the own size, as it is: nothing moves
    x.Key("Down");
    x.Key("Return");  // 5000 * 4000
    const QRect sized = x.WaitForGeometryChange(window, g);
    EXPECT_EQ(sized.size(), QSize(1000, 800));  // 5000 x 4000 by 0.2, the screen's height
    EXPECT_TRUE(QRect(QPoint(), kScreen).contains(sized)) << sized.x() << "," << sized.y();
}

TEST_F(Panel, SettingsSavesDisplayBorderAndTheNextStartShowsTheBorder) {
    const QRect g = Open({});
    ASSERT_EQ(g.size(), QSize(61, 61));
    const QString optionFile = x.ProgramFolder() + "/Option.ini";
    ASSERT_FALSE(QFile::exists(optionFile));
    const qulonglong panel = RightClick(g.center());
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    const QRect r = PanelRect(panel);

    LeftClick(FromBottomLeft(r, kSettings));
    const qulonglong dialog = x.WaitForWindowNamed(kOptionsTitle);
    ASSERT_NE(dialog, 0u) << "no options dialog";
    EXPECT_FALSE(x.Windows().contains(panel)) << "the panel stayed open";
    const QRect d = x.Geometry(dialog);
    EXPECT_NEAR(d.width(), kOptionsSize.width(), 20) << "measure the dialog's offsets again";
    EXPECT_NEAR(d.height(), kOptionsSize.height(), 20) << "measure the dialog's offsets again";
    LeftClick(d.topLeft() + kDisplayBorder);
    LeftClick(FromBottomRight(d, kSaveButton));
    ASSERT_TRUE(x.WaitForWindowGone(dialog)) << "the dialog did not close on save";
    ASSERT_TRUE(x.WaitForFile(optionFile)) << "no Option.ini beside the program";
    const QStringList lines = QString::fromUtf8(Bytes(optionFile)).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.contains(QStringLiteral("DisplayBorder=True")))
        << lines.join('|').toStdString();
    EXPECT_FALSE(lines.contains(QStringLiteral("DisplayBorder=False")));

    // End the program with Esc on its window, then start it again in the same folder.
    LeftClick(g.center());
    ASSERT_TRUE(x.WaitForFocus(window));
    x.Key("Escape");
    ASSERT_EQ(x.WaitForExit(), 0);
    const QRect bordered = Open({});
    EXPECT_EQ(bordered.size(), QSize(69, 69));
}

}  // namespace
