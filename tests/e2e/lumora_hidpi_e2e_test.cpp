// Pictures and windows in device (X) pixels on scaled screens: at every screen scale factor a
// picture shown at its own size covers exactly its width x height of X pixels, a capture is the
// screen pixel for pixel, a crop and a corner drag measure what the pointer travelled in X
// pixels, and a window keeps its X size on a screen of another scale.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <string>
#include <utility>

#include "XSession.h"

namespace {

const QSize kScreen(1600, 1000);
// Odd sizes: a size or an offset rounded through a fractional scale comes out a pixel off.
const QSize kPicture(201, 103);
const QString kPanelTitle = QStringLiteral("功能菜单");

template <typename T>
std::string Text(const T& value) {
    return testing::PrintToString(value);
}

// Every pixel its own colour, unrelated to its neighbours: a shift, a stretch or a smoothing by
// a single pixel changes most of them.
QImage Noise(QSize size, quint32 seed) {
    QImage img(size, QImage::Format_RGB32);
    quint32 state = seed;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            img.setPixel(x, y,
                         qRgb(int(state >> 24), int(state >> 16) & 255, int(state >> 8) & 255));
        }
    }
    return img;
}

// Where two pictures differ: how many pixels, and the box around them (in the second picture's
// coordinates).
struct Mismatch {
    int pixels = 0;
    QRect box;
};

// Compares `size` pixels at aAt in a with those at bAt in b, colours only (alpha ignored); a
// pixel outside either picture counts as different.
Mismatch Compare(const QImage& a, QPoint aAt, const QImage& b, QPoint bAt, QSize size) {
    Mismatch m;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QPoint pa = aAt + QPoint(x, y);
            const QPoint pb = bAt + QPoint(x, y);
            if (!a.valid(pa) || !b.valid(pb) ||
                (a.pixel(pa) & RGB_MASK) != (b.pixel(pb) & RGB_MASK)) {
                ++m.pixels;
                m.box |= QRect(pb, QSize(1, 1));
            }
        }
    }
    return m;
}

// How the screenshot differs from the picture placed with its top left at `at`.
Mismatch CompareOnScreen(const QImage& shot, QPoint at, const QImage& picture) {
    return Compare(shot, at, picture, QPoint(0, 0), picture.size());
}

// A failure's account of a mismatch; the picture seen is kept where a person can look at it.
std::string Describe(const Mismatch& m, const QImage& seen, const QString& what) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    QString name = QStringLiteral("%1.%2-%3.png")
                       .arg(QString::fromLatin1(test->test_suite_name()),
                            QString::fromLatin1(test->name()), what);
    name.replace('/', '_');
    const QString path = QDir::tempPath() + "/lumora-e2e-" + name;
    seen.save(path);
    return std::to_string(m.pixels) + " pixels differ, within " + Text(m.box) +
           " of the expected picture; seen: " + path.toStdString();
}

// The program on a virtual display whose screens have the scale factors a test asks for.
class ScaledScreens {
protected:
    explicit ScaledScreens(QSize screen, const QList<XSession::Monitor>& monitors = {})
        : x(screen, monitors) {}

    // Option.ini beside the program's copy, where it reads it at start.
    void WriteOptions(const QByteArray& options) {
        QFile ini(x.ProgramFolder() + "/Option.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(options);
    }

    QString Save(const QImage& picture, const QString& name) {
        const QString path = dir.path() + "/" + name;
        EXPECT_TRUE(picture.save(path));
        return path;
    }

    // Starts the program with the picture and waits for its window, and for it to take the size
    // when one is given (the window may be sized after it is first seen); the window's rectangle
    // then, whatever its size.
    QRect Open(const QString& picture, QSize size = QSize()) {
        EXPECT_TRUE(x.StartLumora({picture}));
        window = x.FindWindow();
        EXPECT_NE(window, 0u) << "no window";
        QRect g = x.Geometry(window);
        if (size.isValid()) {
            XSession::Poll(
                [&] {
                    g = x.Geometry(window);
                    return g.size() == size;
                },
                5000);
        }
        return g;
    }

    // The picture opened at its own size (ResizeWhenOpen); the window's rectangle.
    QRect OpenAtOwnSize(const QImage& picture) {
        WriteOptions("ResizeWhenOpen=True\r\n");
        return Open(Save(picture, "noise.bmp"), picture.size());
    }

    // Polls until the screen shows the picture with its top left at `at` (the size tip, shown
    // for a second or two after a window changes size, covers part of it until then). The last
    // screenshot taken.
    QImage WaitForPicture(QPoint at, const QImage& picture) {
        return x.WaitForScreen(
            [&](const QImage& s) { return CompareOnScreen(s, at, picture).pixels == 0; });
    }

    // Polls until a window of the program has exactly this rectangle; 0 after the limit.
    qulonglong WaitForWindowAt(const QRect& rect, int limitMs = 10000) {
        qulonglong found = 0;
        XSession::Poll(
            [&] {
                for (const qulonglong w : x.Windows()) {
                    if (x.Geometry(w) == rect) {
                        found = w;
                        return true;
                    }
                }
                return false;
            },
            limitMs);
        return found;
    }

    // The rectangles of the program's windows now, for a failure's message.
    std::string WindowsText() {
        std::string out;
        for (const qulonglong w : x.Windows()) {
            out += (out.empty() ? "" : "; ") + Text(x.Geometry(w));
        }
        return out;
    }

    // A left press and release in the window's interior without moving: the window takes the
    // keyboard focus and stays where it is.
    void Focus(const QRect& g) {
        x.MoveTo(g.center().x(), g.center().y());
        x.Press(1);
        x.Release(1);
        EXPECT_TRUE(x.WaitForFocus(window)) << "the window did not take the focus";
    }

    // Shows the backdrop and waits for the screen to show it outside the window at g.
    void ShowBackdrop(const QImage& backdrop, const QRect& g) {
        x.SetBackdrop(backdrop);
        const QSize s = x.ScreenSize();
        const QList<QPoint> probes = {QPoint(3, 3), QPoint(s.width() - 3, 3),
                                      QPoint(3, s.height() - 3),
                                      QPoint(s.width() - 3, s.height() - 3)};
        const auto shown = [&](const QImage& shot) {
            for (const QPoint p : probes) {
                if (!g.contains(p) && shot.pixel(p) != backdrop.pixel(p)) {
                    return false;
                }
            }
            return true;
        };
        EXPECT_TRUE(shown(x.WaitForScreen(shown))) << "the backdrop did not show";
    }

    // Over the backdrop, gives the window at g the focus and presses C; waits for a window of the
    // program to cover `screen` exactly, then quick-saves (S), which writes the picture into the
    // opened file's folder as "new " + its name, and reads what was written. A null picture when
    // no window covers the screen or nothing was written.
    QImage CaptureAndSave(const QImage& backdrop, const QRect& g, const QRect& screen,
                          const QString& savedAs) {
        ShowBackdrop(backdrop, g);
        Focus(g);
        x.Key("c");
        const qulonglong covering = WaitForWindowAt(screen);
        EXPECT_NE(covering, 0u) << "no window covers the screen " << Text(screen)
                                << " after the capture; windows: " << WindowsText();
        if (covering == 0) {
            return {};
        }
        EXPECT_TRUE(x.WaitForFocus(covering)) << "the capture's window has no focus";
        x.Key("s");
        if (!x.WaitForFile(savedAs)) {
            ADD_FAILURE() << "quick save wrote nothing";
            return {};
        }
        return QImage(savedAs);
    }

    XSession x;
    QTemporaryDir dir;
    qulonglong window = 0;
};

// One screen of 1600 x 1000 pixels at the scale factor of the parameter.
class HiDpi : public ScaledScreens, public testing::TestWithParam<double> {
protected:
    HiDpi() : ScaledScreens(kScreen) {}

    void SetUp() override {
        ASSERT_TRUE(x.ok()) << "no virtual display";
        x.SetProgramEnv("QT_SCALE_FACTOR", QString::number(GetParam()));
    }
};

TEST_P(HiDpi, APictureAtItsOwnSizeCoversExactlyItsPixels) {
    const QImage picture = Noise(kPicture, 1);
    const QRect g = OpenAtOwnSize(picture);
    EXPECT_EQ(g.size(), kPicture) << "window " << Text(g);

    const QImage shot = WaitForPicture(g.topLeft(), picture);
    const Mismatch m = CompareOnScreen(shot, g.topLeft(), picture);
    EXPECT_EQ(m.pixels, 0) << "window " << Text(g) << ": " << Describe(m, shot, "shown");
}

TEST_P(HiDpi, CaptureCoversTheScreenAndHoldsItPixelForPixel) {
    const QImage picture = Noise(kPicture, 2);
    const QRect g = Open(Save(picture, "noise.bmp"));
    ASSERT_FALSE(g.isNull()) << "no window";
    const QImage backdrop = Noise(kScreen, 3);

    const QImage captured =
        CaptureAndSave(backdrop, g, QRect(QPoint(0, 0), kScreen), dir.path() + "/new noise.bmp");
    ASSERT_FALSE(captured.isNull());
    EXPECT_EQ(captured.size(), kScreen);
    const Mismatch m = Compare(captured, QPoint(0, 0), backdrop, QPoint(0, 0), kScreen);
    EXPECT_EQ(m.pixels, 0) << Describe(m, captured, "captured");
}

TEST_P(HiDpi, ACropOfARightDragKeepsExactlyThePixelsDraggedOver) {
    const QImage picture = Noise(kPicture, 4);
    const QRect g = OpenAtOwnSize(picture);
    ASSERT_EQ(g.size(), kPicture) << "the picture did not open at its own size";
    WaitForPicture(g.topLeft(), picture);

    // Odd offsets: a corner rounded through the scale lands a pixel off.
    const QPoint offset(31, 17);
    const QSize size(60, 40);
    const QPoint from = g.topLeft() + offset;
    const QList<qulonglong> before = x.Windows();
    x.DragTo(3, from, from + QPoint(size.width(), size.height()));
    const qulonglong menu = x.WaitForNewWindow(before);
    ASSERT_NE(menu, 0u) << "no crop menu after the right drag";
    x.Key("c");
    ASSERT_TRUE(x.WaitForWindowGone(menu));

    const QRect now = x.WaitForGeometry(window, QRect(from, size));
    EXPECT_EQ(now, QRect(from, size));
    // The window has the focus back from the menu: its focus frame would cover the edge pixels.
    x.FocusDesktop();
    const QImage region = picture.copy(QRect(offset, size));
    const QImage shot = WaitForPicture(now.topLeft(), region);
    const Mismatch m = CompareOnScreen(shot, now.topLeft(), region);
    EXPECT_EQ(m.pixels, 0) << "window " << Text(now) << ", the picture's "
                           << Text(QRect(offset, size))
                           << " expected: " << Describe(m, shot, "cropped");
}

TEST_P(HiDpi, ACornerDragGrowsTheWindowByThePixelsDragged) {
    QRect g = OpenAtOwnSize(Noise(kPicture, 5));
    ASSERT_EQ(g.size(), kPicture) << "the picture did not open at its own size";

    // Every pixel of the bottom-right corner's band grips it, 4 pixels wide on both edges: the
    // window's last pixel, where a hand grabs it, and the three inside it.
    for (const int inset : {1, 2, 3, 4}) {
        const QPoint corner(g.x() + g.width() - inset, g.y() + g.height() - inset);
        x.DragTo(1, corner, corner + QPoint(50, 50));
        const QRect now = x.WaitForGeometry(window, QRect(g.topLeft(), g.size() + QSize(50, 50)));
        EXPECT_EQ(now, QRect(g.topLeft(), g.size() + QSize(50, 50)))
            << "from " << Text(g) << ", gripped " << inset << " pixels in from the corner";
        g = now;
    }
}

// The panel's size list shows its frame on both sides at every scale (at 1.5 its right line
// fell outside what was drawn): along a row through the list's middle, the white of the list
// ends on each side within 3 pixels in a line darker than the panel's background.
TEST_P(HiDpi, TheSizeListIsFramedOnBothSides) {
    const QRect g = OpenAtOwnSize(Noise(kPicture, 6));
    ASSERT_EQ(g.size(), kPicture) << "the picture did not open at its own size";
    const QList<qulonglong> known = x.Windows();
    x.MoveTo(g.center().x(), g.center().y());
    x.Press(3);
    x.Release(3);
    const qulonglong panel = x.WaitForNewWindow(known);
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    const QRect r = x.Geometry(panel);
    // The header "尺寸调整" lies 90 x 14 logical pixels into the panel; hovering it shows the page.
    x.MoveTo(r.x() + qRound(90 * GetParam()), r.y() + qRound(14 * GetParam()));

    const QRgb white = qRgb(255, 255, 255);
    const int y = r.y() + r.height() * 6 / 10;
    // The first pixel that is not white from the panel's middle towards step, and the panel's
    // background colour just inside its edge on that side.
    const auto edge = [&](const QImage& s, int step) {
        int at = r.center().x();
        while (r.contains(at, y) && s.pixel(at, y) == white) {
            at += step;
        }
        return at;
    };
    const auto framed = [&](const QImage& s) {
        const QRgb background = s.pixel(r.right() - 2, y);
        for (const int step : {-1, 1}) {
            // The line may lie behind a lighter one of the frame's shading.
            bool line = false;
            for (int at = edge(s, step), n = 0; n < 3 && r.contains(at, y); at += step, ++n) {
                line = line || qGray(s.pixel(at, y)) < qGray(background) - 16;
            }
            if (!line) {
                return false;
            }
        }
        return true;
    };
    const QImage shot = x.WaitForScreen(framed);
    EXPECT_TRUE(framed(shot)) << "panel " << Text(r) << ": the list's white ends at "
                              << edge(shot, -1) << " and " << edge(shot, 1)
                              << " without a line; seen: "
                              << Describe(Mismatch{1, QRect(r.x(), y, r.width(), 1)}, shot,
                                          "panel");
}

INSTANTIATE_TEST_SUITE_P(hidpi, HiDpi, testing::Values(1.0, 1.25, 1.5, 1.75, 2.0),
                         [](const testing::TestParamInfo<double>& info) {
                             return "Scale" + std::to_string(int(info.param * 100));
                         });

// Two screens side by side on one X screen: A at scale 1 and, to its right, B at the scale factor
// of the parameter. B is the primary screen, where a new window opens.
const QRect kScreenA(0, 0, 800, 600);
const QRect kScreenB(800, 0, 1024, 768);
const QSize kBothScreens(kScreenA.width() + kScreenB.width(), kScreenB.height());

class TwoScreens : public ScaledScreens, public testing::TestWithParam<double> {
protected:
    TwoScreens() : ScaledScreens(kBothScreens, {{"B", kScreenB}, {"A", kScreenA}}) {}

    void SetUp() override {
        ASSERT_TRUE(x.ok()) << "no virtual display with two screens";
        x.SetProgramEnv("QT_SCREEN_SCALE_FACTORS", "A=1;B=" + QString::number(GetParam()));
    }

    // Drags the window at g by its interior with the left button by `by`; its rectangle after
    // (waited for where the drag should leave it).
    QRect DragBy(const QRect& g, QPoint by) {
        const QPoint grip = g.topLeft() + QPoint(g.width() / 2, g.height() / 2);
        x.DragTo(1, grip, grip + by);
        return x.WaitForGeometry(window, g.translated(by));
    }
};

TEST_P(TwoScreens, AWindowDraggedToTheOtherScreenAndBackKeepsItsPixelSize) {
    const QImage picture = Noise(kPicture, 6);
    const QRect onB = OpenAtOwnSize(picture);
    ASSERT_EQ(onB.size(), kPicture) << "the picture did not open at its own size";
    ASSERT_TRUE(kScreenB.contains(onB)) << "the window opened at " << Text(onB);

    // It goes where the pointer takes it, at the same size, showing the same pixels: on A...
    const QPoint toA = QPoint(211, 97) - onB.topLeft();
    const QRect onA = DragBy(onB, toA);
    EXPECT_EQ(onA, onB.translated(toA));
    // (the left press showed the focus frame over the edge pixels; it goes with the focus)
    x.FocusDesktop();
    QImage shot = WaitForPicture(onA.topLeft(), picture);
    Mismatch m = CompareOnScreen(shot, onA.topLeft(), picture);
    EXPECT_EQ(m.pixels, 0) << "on A at " << Text(onA) << ": " << Describe(m, shot, "on-A");

    // ...and back on B.
    const QPoint toB = kScreenB.topLeft() + QPoint(301, 181) - onA.topLeft();
    const QRect back = DragBy(onA, toB);
    EXPECT_EQ(back, onA.translated(toB));
    x.FocusDesktop();
    shot = WaitForPicture(back.topLeft(), picture);
    m = CompareOnScreen(shot, back.topLeft(), picture);
    EXPECT_EQ(m.pixels, 0) << "on B at " << Text(back) << ": " << Describe(m, shot, "on-B");
}

TEST_P(TwoScreens, CaptureOnTheScaledScreenHoldsThatScreen) {
    const QImage picture = Noise(kPicture, 7);
    const QRect g = Open(Save(picture, "noise.bmp"));
    ASSERT_TRUE(kScreenB.contains(g.center())) << "the window opened at " << Text(g);
    const QImage backdrop = Noise(kBothScreens, 8);

    const QImage captured = CaptureAndSave(backdrop, g, kScreenB, dir.path() + "/new noise.bmp");
    ASSERT_FALSE(captured.isNull());
    EXPECT_EQ(captured.size(), kScreenB.size());
    const Mismatch m =
        Compare(captured, QPoint(0, 0), backdrop, kScreenB.topLeft(), kScreenB.size());
    EXPECT_EQ(m.pixels, 0) << Describe(m, captured, "captured");
}

// Where the panel stands on a screen for a right click at `pointer` (X pixels): its top left at
// the pointer, flipped to the left of or above it where it would cross the screen's right or
// bottom edge, and kept from crossing its left or top edge then.
QPoint PanelPlace(QPoint pointer, QSize panel, const QRect& screen) {
    const auto place = [](int at, int size, int start, int length) {
        int p = at - start;
        if (p + size > length) {
            p = std::max(p - size, 0);
        }
        return start + p;
    };
    return {place(pointer.x(), panel.width(), screen.x(), screen.width()),
            place(pointer.y(), panel.height(), screen.y(), screen.height())};
}

TEST_P(TwoScreens, ThePanelOpensAtThePointerOnTheScaledScreen) {
    const QRect opened = OpenAtOwnSize(Noise(kPicture, 9));
    ASSERT_TRUE(kScreenB.contains(opened)) << "the window opened at " << Text(opened);
    // Near B's top left, where the panel fits to the right of and below the pointer.
    const QRect g = DragBy(opened, kScreenB.topLeft() + QPoint(40, 4) - opened.topLeft());
    ASSERT_TRUE(kScreenB.contains(g)) << "the window is at " << Text(g);

    // An odd distance from B's edges, which no whole number of B's logical pixels makes.
    QPoint at = g.topLeft() + QPoint(61, 5);
    at += QPoint(1 - (at.x() - kScreenB.x()) % 2, 1 - (at.y() - kScreenB.y()) % 2);
    const QList<qulonglong> known = x.Windows();
    x.MoveTo(at.x(), at.y());
    x.Press(3);
    x.Release(3);
    const qulonglong panel = x.WaitForNewWindow(known);
    ASSERT_NE(panel, 0u) << "no panel after the right click";
    EXPECT_EQ(x.WindowName(panel), kPanelTitle);
    const QRect r = x.Geometry(panel);
    EXPECT_TRUE(kScreenB.contains(r)) << "panel at " << Text(r);
    EXPECT_EQ(r.topLeft(), PanelPlace(at, r.size(), kScreenB))
        << "panel at " << Text(r) << ", pointer at " << Text(at);
}

INSTANTIATE_TEST_SUITE_P(hidpi, TwoScreens, testing::Values(1.5, 2.0),
                         [](const testing::TestParamInfo<double>& info) {
                             return "B" + std::to_string(int(info.param * 100));
                         });

}  // namespace
