// The image window's letter commands and its crop menu, driven by real keys and buttons.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdlib>
#include <functional>

#include "XSession.h"

namespace {

const QRgb kTop = qRgb(200, 40, 40);
const QRgb kBottom = qRgb(40, 80, 200);
const QRgb kGrey = qRgb(128, 128, 128);
const QSize kScreen(1280, 800);
// The box that ends a save, success or not.
const QString kSaveBox = QStringLiteral("Error");
const QRgb kTipYellow = qRgb(255, 255, 192);

// Top half one colour, bottom half another: a picture saved upside down or with its red and blue
// swapped shows it.
QImage TwoTone(QSize size = QSize(240, 180)) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(kTop);
    for (int y = size.height() / 2; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            img.setPixel(x, y, kBottom);
        }
    }
    return img;
}

// Every pixel differs from its neighbours: a shift by one pixel shows.
QImage Gradient() {
    QImage img(240, 180, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            img.setPixel(x, y, qRgb(x, y, (x * 7 + y * 13) % 256));
        }
    }
    return img;
}

QImage Plain(QRgb colour) {
    QImage img(240, 180, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Pixels of the area for which the test holds.
int Count(const QRect& area, const std::function<bool(QPoint)>& test) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (test(QPoint(x, y))) {
                ++n;
            }
        }
    }
    return n;
}

// Pixels of the area that fail the test.
int CountBad(const QRect& area, const std::function<bool(QPoint)>& good) {
    return static_cast<int>(area.width() * area.height()) - Count(area, good);
}

// What the screen shows behind every window: each pixel its own, so a grab that is shifted,
// scaled or has red and blue swapped shows.
QImage Backdrop() {
    QImage img(kScreen, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            img.setPixel(x, y, qRgb(x / 5, y / 4, 255 - x / 5));
        }
    }
    return img;
}

// The box of the tip's yellow pixels near the top left of a screenshot (the backdrop holds
// none); empty when no tip shows.
QRect TipBox(const QImage& shot) {
    QRect box;
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 800; ++x) {
            if (shot.pixel(x, y) == kTipYellow) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// The capture's tip, 拷贝屏幕结束，请使用, is ten full-width characters: about 6.7 times as wide as
// high. The size tip that could stand in its place ("1280 * 800") is under five times.
bool SaysScreenCopied(const QRect& tip) {
    return tip.width() * 4 > tip.height() * 23;
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Commands : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }

    QString Save(const QImage& picture, const QString& name) {
        const QString path = dir.path() + "/" + name;
        EXPECT_TRUE(picture.save(path));
        return path;
    }

    // Starts with the picture, makes its window larger by its bottom-right corner (which also
    // gives it the keyboard focus) and waits for that focus. The window's new rectangle.
    QRect OpenLarge(const QString& picture) {
        EXPECT_TRUE(x.StartLumora({picture}));
        window = x.FindWindow();
        EXPECT_NE(window, 0u);
        const QRect g = x.Geometry(window);
        x.DragTo(1, g.bottomRight() - QPoint(1, 1), g.bottomRight() + QPoint(250, 200));
        const QRect large =
            x.WaitForGeometry(window, QRect(g.topLeft(), g.size() + QSize(251, 201)));
        EXPECT_TRUE(x.WaitForFocus(window));
        return large;
    }

    // Waits for the box that ends a save and dismisses it with Return.
    qulonglong DismissSaveBox() {
        const qulonglong box = x.WaitForWindowNamed(kSaveBox);
        EXPECT_NE(box, 0u) << "no message box after the save";
        if (box != 0) {
            x.Key("Return");
            EXPECT_TRUE(x.WaitForWindowGone(box));
        }
        return box;
    }

    // Draws a crop rectangle with the right button from `from` to `to`; once released over it,
    // waits for the crop menu.
    qulonglong DrawCropRectangle(QPoint from, QPoint to) {
        const QList<qulonglong> before = x.Windows();
        x.DragTo(3, from, to);
        return x.WaitForNewWindow(before);
    }

    // Shows the backdrop behind the grey picture's window and presses C. The window that then
    // covers the screen (it may come back as another X window), or 0 after the limit.
    qulonglong CaptureOverBackdrop(const QImage& backdrop) {
        const QRect g = OpenLarge(Save(Plain(kGrey), "grey.bmp"));
        x.SetBackdrop(backdrop);
        const QPoint corner(kScreen.width() - 10, kScreen.height() - 10);
        const QImage shown = x.WaitForScreen([&](const QImage& s) {
            return s.pixel(5, 5) == backdrop.pixel(5, 5) &&
                   s.pixel(corner) == backdrop.pixel(corner);
        });
        EXPECT_EQ(shown.pixel(corner), backdrop.pixel(corner)) << "the backdrop did not show";
        EXPECT_EQ(shown.pixel(g.center()), kGrey);
        EXPECT_TRUE(x.WaitForFocus(window));
        x.Key("c");
        const QRect screen(QPoint(0, 0), kScreen);
        qulonglong covering = 0;
        XSession::Poll(
            [&] {
                for (const qulonglong w : x.Windows()) {
                    if (x.Geometry(w) == screen) {
                        covering = w;
                        return true;
                    }
                }
                return false;
            },
            5000);
        return covering;
    }

    XSession x;
    QTemporaryDir dir;
    qulonglong window = 0;
};

TEST_F(Commands, QuickSaveWritesTheShownPictureBesideItsFileUnderAFreeName) {
    const QString original = Save(TwoTone(), "two tone.bmp");
    const QByteArray originalBytes = Bytes(original);
    const QRect g = OpenLarge(original);
    ASSERT_GT(g.width(), 200);

    x.Key("s");
    const QString first = dir.path() + "/new two tone.bmp";
    ASSERT_TRUE(x.WaitForFile(first)) << "quick save wrote nothing";
    const qulonglong box = x.WaitForWindowNamed(kSaveBox);
    ASSERT_NE(box, 0u) << "no message box after the save";
    // the success box carries the information icon (blue), not the critical one (red)
    const QRect boxArea = x.Geometry(box);
    QImage shot;
    const auto blue = [&](QPoint p) {
        const QRgb c = shot.pixel(p);
        return qBlue(c) > 150 && qRed(c) < 100 && qGreen(c) < 150;
    };
    const auto red = [&](QPoint p) {
        const QRgb c = shot.pixel(p);
        return qRed(c) > 150 && qGreen(c) < 80 && qBlue(c) < 80;
    };
    // Under a compositing window manager the box shows a moment after it is mapped.
    x.WaitForScreen([&](const QImage& s) {
        shot = s;
        return Count(boxArea, blue) > 20;
    });
    EXPECT_GT(Count(boxArea, blue), 20);
    EXPECT_EQ(Count(boxArea, red), 0);
    x.Key("Return");
    EXPECT_TRUE(x.WaitForWindowGone(box));

    // the picture as shown: the window's size, the right way up, colours in place
    const QImage saved(first);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), g.size());
    EXPECT_EQ(saved.pixel(saved.width() / 2, 5), kTop);
    EXPECT_EQ(saved.pixel(saved.width() / 2, saved.height() - 5), kBottom);
    EXPECT_EQ(Bytes(original), originalBytes);

    // a second save takes the next free name
    x.Key("s");
    EXPECT_TRUE(x.WaitForFile(dir.path() + "/new(1) two tone.bmp"));
    DismissSaveBox();
    EXPECT_EQ(Bytes(original), originalBytes);
    EXPECT_EQ(x.Geometry(window), g);
}

TEST_F(Commands, SaveAsWritesTheTypedNameWithJpgAdded) {
    const QString original = Save(TwoTone(), "two tone.bmp");
    const QRect g = OpenLarge(original);
    ASSERT_GT(g.width(), 200);

    x.Key("a");
    const qulonglong dialog = x.WaitForNewWindow({window});
    ASSERT_NE(dialog, 0u) << "no save dialog";
    ASSERT_TRUE(x.WaitForFocus(dialog));
    x.Type(dir.path() + "/copy");
    x.Key("Return");
    const QString written = dir.path() + "/copy.jpg";
    ASSERT_TRUE(x.WaitForFile(written)) << "save as wrote nothing";
    DismissSaveBox();
    EXPECT_FALSE(QFile::exists(dir.path() + "/copy"));

    const QImage saved(written);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), g.size());
    EXPECT_TRUE(Near(saved.pixel(saved.width() / 2, 10), kTop, 12));
    EXPECT_TRUE(Near(saved.pixel(saved.width() / 2, saved.height() - 10), kBottom, 12));
}

TEST_F(Commands, EscapeInTheSaveDialogCancelsOnlyTheDialog) {
    const QString original = Save(TwoTone(), "two tone.bmp");
    const QRect g = OpenLarge(original);
    ASSERT_GT(g.width(), 200);

    x.Key("a");
    const qulonglong dialog = x.WaitForNewWindow({window});
    ASSERT_NE(dialog, 0u) << "no save dialog";
    ASSERT_TRUE(x.WaitForFocus(dialog));
    x.Key("Escape");
    ASSERT_TRUE(x.WaitForWindowGone(dialog));
    // The window is still there and takes keys: a quick save after the cancel is the first file
    // written.
    x.Key("s");
    ASSERT_TRUE(x.WaitForFile(dir.path() + "/new two tone.bmp"))
        << "the window did not take the key after the cancel";
    DismissSaveBox();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{"new two tone.bmp", "two tone.bmp"}));
    EXPECT_EQ(x.Geometry(window), g);
}

TEST_F(Commands, OpenLoadsTheTypedPictureIntoTheWindowAtItsSize) {
    const QString grey = Save(Plain(kGrey), "grey.bmp");
    const QString other = Save(TwoTone(QSize(100, 60)), "other.bmp");
    const QRect g = OpenLarge(grey);
    ASSERT_GT(g.width(), 200);

    x.Key("o");
    const qulonglong dialog = x.WaitForNewWindow({window});
    ASSERT_NE(dialog, 0u) << "no open dialog";
    ASSERT_TRUE(x.WaitForFocus(dialog));
    x.Type(other);
    x.Key("Return");
    ASSERT_TRUE(x.WaitForWindowGone(dialog));

    // at its own size, from the window's corner: top half one colour, bottom half the other
    const QRect own(g.topLeft(), QSize(100, 60));
    ASSERT_EQ(x.WaitForGeometry(window, own), own);
    const QPoint top(own.center().x(), own.top() + 10);
    const QPoint bottom(own.center().x(), own.bottom() - 10);
    const QImage shot = x.WaitForScreen(
        [&](const QImage& s) { return s.pixel(top) == kTop && s.pixel(bottom) == kBottom; });
    EXPECT_EQ(shot.pixel(top), kTop);
    EXPECT_EQ(shot.pixel(bottom), kBottom);
    EXPECT_EQ(shot.pixel(own.right() - 5, own.bottom() - 5), kBottom);
}

TEST_F(Commands, CCapturesTheScreenUnderTheWindowAndCoversIt) {
    const QImage backdrop = Backdrop();
    const qulonglong covering = CaptureOverBackdrop(backdrop);
    ASSERT_NE(covering, 0u) << "no window covers the screen after the capture";

    // It shows the screen as it was without the window (the backdrop, also where the grey
    // picture was); only the tip at the top left and the one-pixel focus frame cover it.
    const QRect compared = QRect(QPoint(0, 0), kScreen).adjusted(2, 2, -2, -2);
    const QRect tipArea(0, 0, 420, 60);
    const auto same = [&](const QImage& s) {
        return [&s, &backdrop, tipArea](QPoint p) {
            return tipArea.contains(p) || s.pixel(p) == backdrop.pixel(p);
        };
    };
    const QImage shot = x.WaitForScreen(
        [&](const QImage& s) { return CountBad(compared, same(s)) == 0 && !TipBox(s).isEmpty(); });
    EXPECT_EQ(CountBad(compared, same(shot)), 0);
    EXPECT_EQ(x.Windows(), QList<qulonglong>{covering});
    const QRect tip = TipBox(shot);
    ASSERT_FALSE(tip.isEmpty()) << "no tip after the capture";
    EXPECT_TRUE(SaysScreenCopied(tip)) << tip.width() << " x " << tip.height();
}

TEST_F(Commands, CtrlCDoesNotCapture) {
    // PNG is among the save filter's types: quick save keeps the extension
    const QString original = Save(TwoTone(), "two tone.png");
    const QRect g = OpenLarge(original);
    ASSERT_GT(g.width(), 200);

    x.Key("ctrl+c");
    // A capture would hide the window and keep it busy: the quick save after it would not run,
    // or would save the grab. This one saves the picture at the window's size.
    x.Key("s");
    const QString written = dir.path() + "/new two tone.png";
    ASSERT_TRUE(x.WaitForFile(written)) << "the window did not take the key after Ctrl+C";
    DismissSaveBox();
    const QImage saved(written);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), g.size());
    EXPECT_TRUE(Near(saved.pixel(saved.width() / 2, 10), kTop, 12));
    EXPECT_EQ(x.Windows(), QList<qulonglong>{window});
    EXPECT_EQ(x.Geometry(window), g);
}

TEST_F(Commands, CropMenuCropKeepsTheRectangleWhereItWas) {
    const QString picture = Save(Gradient(), "gradient.bmp");
    const QRect g = OpenLarge(picture);
    ASSERT_GT(g.width(), 250);
    ASSERT_GT(g.height(), 200);
    const QImage before = x.SettledScreenshot();  // a window manager may still show it coming in
    ASSERT_FALSE(before.isNull());

    const QPoint from = g.topLeft() + QPoint(60, 50);
    const QPoint to = from + QPoint(160, 120);
    const qulonglong menu = DrawCropRectangle(from, to);
    ASSERT_NE(menu, 0u) << "no crop menu";
    x.Key("c");
    ASSERT_TRUE(x.WaitForWindowGone(menu));

    // the rectangle's corner is where the right button went down
    const QRect kept(from, QSize(to.x() - from.x(), to.y() - from.y()));
    EXPECT_EQ(x.WaitForGeometry(window, kept), kept);
    // Pixel for pixel what was there (the lower half: the size tip sits at the top left, the
    // focus frame on the edges).
    const QRect compared(kept.left() + 2, kept.center().y(), kept.width() - 4,
                         kept.height() / 2 - 2);
    const QImage after = x.WaitForScreen([&](const QImage& s) {
        return CountBad(compared, [&](QPoint p) { return s.pixel(p) == before.pixel(p); }) == 0;
    });
    EXPECT_EQ(CountBad(compared, [&](QPoint p) { return after.pixel(p) == before.pixel(p); }), 0);
}

TEST_F(Commands, CropMenuMaskBlackensTheRectangleInPlace) {
    const QString picture = Save(Plain(kGrey), "grey.bmp");
    const QRect g = OpenLarge(picture);
    ASSERT_GT(g.width(), 250);
    ASSERT_GT(g.height(), 200);

    const QPoint from = g.topLeft() + QPoint(80, 70);
    const QPoint to = from + QPoint(120, 90);
    const qulonglong menu = DrawCropRectangle(from, to);
    ASSERT_NE(menu, 0u) << "no crop menu";
    x.Key("m");
    ASSERT_TRUE(x.WaitForWindowGone(menu));

    // The picture is stretched: the black edges may land a pixel or two off the rectangle's.
    const QRect inside = QRect(from, to).adjusted(3, 3, -3, -3);
    const QImage shot = x.WaitForScreen([&](const QImage& s) {
        return CountBad(inside, [&](QPoint p) { return s.pixel(p) == qRgb(0, 0, 0); }) == 0;
    });
    EXPECT_EQ(CountBad(inside, [&](QPoint p) { return shot.pixel(p) == qRgb(0, 0, 0); }), 0);
    // around it the picture is as it was
    for (const QPoint p : {QPoint(from.x() - 4, from.y() + 45), QPoint(to.x() + 4, from.y() + 45),
                           QPoint(from.x() + 60, from.y() - 4), QPoint(from.x() + 60, to.y() + 4),
                           QPoint(g.right() - 20, g.bottom() - 20)}) {
        EXPECT_EQ(shot.pixel(p), kGrey) << p.x() << "," << p.y();
    }
    EXPECT_EQ(x.Geometry(window), g);
}

}  // namespace
