// The thumbnail browser, opened by a folder on the command line and driven by real input: its
// order, the wheel, opening the ticked pictures, and Alt+C during a long load.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "XSession.h"

namespace {

const QString kBrowseTitle = QStringLiteral("图像浏览");
const QSize kScreen(1280, 800);
const QSize kPicture(80, 60);  // smaller than a cell: shown at its own size, centred
const int kCells = 8;
const int kColumns = 4;

// Nothing in the browser can be asked where it is, so the places below were measured once on a
// screenshot of the test display (its font makes the browser 487 x 399), as offsets from the
// browser's top-left corner. Each click is checked by what it does.
const QSize kBrowseSize(487, 399);
const QPoint kFirstCell(19, 19);  // the first cell's box
const int kCellSide = 100;
const QPoint kCellPitch(111, 132);         // from one cell's box to the next one's, across and down
const QPoint kTickFromCell(7, 112);        // the middle of a cell's check box square
const QRect kCountLabel(8, 288, 240, 20);  // the text "总共N张图片，您选中了其中的M张。"
const QPoint kOpenButton(328, 362);        // "打开所选图片(&O)"

// A flat colour for each picture, far from one another, from the window background (239) and
// from black: a cell that shows the wrong one shows it.
const QList<QRgb> kColours = {qRgb(220, 30, 30),  qRgb(30, 170, 30),  qRgb(30, 60, 220),
                              qRgb(230, 210, 20), qRgb(200, 40, 200), qRgb(20, 200, 210),
                              qRgb(240, 130, 20), qRgb(110, 40, 160), qRgb(120, 70, 30),
                              qRgb(250, 150, 180)};

bool Near(QRgb a, QRgb b, int tolerance = 6) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

int Count(const QImage& shot, const QRect& area, const std::function<bool(QRgb)>& test) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += test(shot.pixel(x, y)) ? 1 : 0;
        }
    }
    return n;
}

bool Dark(QRgb c) {
    return qGray(c) < 100;
}

QRect CellBox(const QRect& browser, int cell) {
    const QPoint at =
        browser.topLeft() + kFirstCell +
        QPoint((cell % kColumns) * kCellPitch.x(), (cell / kColumns) * kCellPitch.y());
    return QRect(at, QSize(kCellSide, kCellSide));
}

// The middle of the cell, well inside a picture of kPicture centred in it.
QRect CellMiddle(const QRect& browser, int cell) {
    const QPoint c = CellBox(browser, cell).center();
    return QRect(c.x() - 25, c.y() - 20, 50, 40);
}

bool CellShows(const QImage& shot, const QRect& browser, int cell, QRgb colour) {
    const QRect m = CellMiddle(browser, cell);
    return Count(shot, m, [&](QRgb c) { return Near(c, colour); }) == m.width() * m.height();
}

// An empty cell has neither picture nor box: the window's background throughout.
bool CellEmpty(const QImage& shot, const QRect& browser, int cell) {
    const QRect box = CellBox(browser, cell);
    const QRgb background = shot.pixel(box.topLeft() - QPoint(2, 2));
    return Count(shot, box, [&](QRgb c) { return c == background; }) == box.width() * box.height();
}

QPoint TickPoint(const QRect& browser, int cell) {
    return CellBox(browser, cell).topLeft() + kTickFromCell;
}

// A ticked box holds the dark tick; an empty one none.
bool Ticked(const QImage& shot, const QRect& browser, int cell) {
    const QPoint c = TickPoint(browser, cell);
    return Count(shot, QRect(c.x() - 5, c.y() - 5, 11, 11), Dark) > 8;
}

QImage Region(const QImage& shot, const QRect& browser, const QRect& offsetRect) {
    return shot.copy(offsetRect.translated(browser.topLeft()));
}

// A point of the window that no other window covers, below the size tip an image window shows at
// its top-left.
QPoint OwnPoint(const QRect& window, const QList<QRect>& others) {
    for (int y = window.top() + 24; y <= window.bottom() - 3; ++y) {
        for (int x = window.left() + 3; x <= window.right() - 3; ++x) {
            const bool covered = std::any_of(others.begin(), others.end(), [&](const QRect& o) {
                return o.adjusted(-2, -2, 2, 2).contains(x, y);
            });
            if (!covered) {
                return QPoint(x, y);
            }
        }
    }
    return QPoint(-1, -1);
}

class Browser : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }

    // Pictures named "1.png" … "n.png", in kColours' order, written in an order of their own:
    // their natural order differs from a plain sort ("1", "10", "2" …).
    QString Folder(int n) {
        const QString folder = dir.path() + "/pictures";
        EXPECT_TRUE(QDir().mkpath(folder));
        for (int i = n; i >= 1; --i) {
            QImage img(kPicture, QImage::Format_RGB32);
            img.fill(kColours.at(i - 1));
            EXPECT_TRUE(img.save(QStringLiteral("%1/%2.png").arg(folder).arg(i)));
        }
        return folder;
    }

    // Starts with the paths and waits for the browser; its rectangle, checked against the one the
    // offsets were measured on.
    QRect Start(const QStringList& args) {
        EXPECT_TRUE(x.StartLumora(args));
        browser = x.WaitForWindowNamed(kBrowseTitle, 15000);
        EXPECT_NE(browser, 0u) << "no browser";
        const QRect r = x.Geometry(browser);
        EXPECT_NEAR(r.width(), kBrowseSize.width(), 20) << "measure the browser's offsets again";
        EXPECT_NEAR(r.height(), kBrowseSize.height(), 20) << "measure the browser's offsets again";
        return r;
    }

    // The program's windows other than the browser.
    QList<qulonglong> ImageWindows() {
        QList<qulonglong> out = x.Windows();
        out.removeAll(browser);
        return out;
    }

    // Waits until the cells show the pictures first … first + shown - 1 (1-based, kColours'
    // order) and the rest are empty.
    QImage WaitForPage(const QRect& r, int first, int shown) {
        const auto page = [&](const QImage& s) {
            for (int cell = 0; cell < kCells; ++cell) {
                const bool ok = cell < shown ? CellShows(s, r, cell, kColours.at(first - 1 + cell))
                                             : CellEmpty(s, r, cell);
                if (!ok) {
                    return false;
                }
            }
            return true;
        };
        const QImage shot = x.WaitForScreen(page);
        EXPECT_TRUE(page(shot)) << "the cells do not show pictures " << first << " to "
                                << first + shown - 1;
        return shot;
    }

    void LeftClick(QPoint p) {
        x.MoveTo(p.x(), p.y());
        x.Press(1);
        x.Release(1);
    }

    XSession x;
    QTemporaryDir dir;
    qulonglong browser = 0;
};

TEST_F(Browser, AFolderShowsItsPicturesInNaturalNameOrderBesideAnEmptyImageWindow) {
    const QRect r = Start({Folder(10)});
    const QImage shot = WaitForPage(r, 1, kCells);
    for (int cell = 0; cell < kCells; ++cell) {
        EXPECT_TRUE(Ticked(shot, r, cell)) << "cell " << cell << " is not ticked";
    }
    EXPECT_GT(Count(shot, kCountLabel.translated(r.topLeft()), Dark), 100) << "no count shows";
    const QList<qulonglong> images = ImageWindows();
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(x.Geometry(images.first()).size(), QSize(61, 61));  // empty, no border
}

TEST_F(Browser, OneWheelNotchScrollsOneRowOfFour) {
    const QRect r = Start({Folder(10)});
    WaitForPage(r, 1, kCells);
    const QPoint over = CellBox(r, 5).center();
    x.MoveTo(over.x(), over.y());

    x.Press(5);  // one notch down
    x.Release(5);
    WaitForPage(r, 5, 6);

    x.Press(4);  // and one back up
    x.Release(4);
    WaitForPage(r, 1, kCells);
}

TEST_F(Browser, OpenSelectedOpensTheTickedInTheOwnerAndInCascadingWindowsThenCloses) {
    const QRect r = Start({Folder(kCells)});
    QImage shot = WaitForPage(r, 1, kCells);  // every picture has loaded
    const QList<qulonglong> before = ImageWindows();
    ASSERT_EQ(before.size(), 1);
    const qulonglong owner = before.first();

    // Untick the first and the third; the count changes with each.
    for (const int cell : {0, 2}) {
        const QImage count = Region(shot, r, kCountLabel);
        LeftClick(TickPoint(r, cell));
        shot = x.WaitForScreen([&](const QImage& s) {
            return !Ticked(s, r, cell) && Region(s, r, kCountLabel) != count;
        });
        ASSERT_FALSE(Ticked(shot, r, cell)) << "cell " << cell << " stayed ticked";
        EXPECT_NE(Region(shot, r, kCountLabel), count) << "the count did not change";
    }
    for (int cell = 0; cell < kCells; ++cell) {
        EXPECT_EQ(Ticked(shot, r, cell), cell != 0 && cell != 2) << "cell " << cell;
    }

    LeftClick(r.topLeft() + kOpenButton);
    EXPECT_TRUE(x.WaitForWindowGone(browser)) << "the browser stayed open";
    // Pictures 2, 4, 5, 6, 7, 8: the first in the owner, five in new windows.
    const QList<int> opened = {2, 4, 5, 6, 7, 8};
    QList<qulonglong> windows;
    ASSERT_TRUE(XSession::Poll(
        [&] {
            windows = x.Windows();
            return windows.size() >= opened.size();
        },
        10000))
        << "image windows: " << windows.size();
    // none more come
    ASSERT_FALSE(XSession::Poll([&] { return x.Windows().size() > opened.size(); }, 1000));
    ASSERT_TRUE(windows.contains(owner)) << "the owner closed";
    ASSERT_FALSE(windows.contains(browser));

    QList<qulonglong> cascade = windows;
    cascade.removeAll(owner);
    QList<QRect> rects;
    for (const qulonglong w : cascade) {
        rects << x.Geometry(w);
    }
    std::sort(rects.begin(), rects.end(),
              [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
    // From a quarter of the screen's width and a sixth of its height, 500 twips (at 15 twips a
    // pixel) further right and down each.
    const double step = 500.0 / 15.0;
    for (int i = 0; i < rects.size(); ++i) {
        EXPECT_NEAR(rects[i].left(), kScreen.width() / 4.0 + i * step, 1.0) << "window " << i;
        EXPECT_NEAR(rects[i].top(), kScreen.height() / 6.0 + i * step, 1.0) << "window " << i;
    }

    // Each window shows its picture at a point no other window covers.
    QList<QRect> all = rects;
    all.prepend(x.Geometry(owner));
    QList<QPoint> points;
    for (int i = 0; i < all.size(); ++i) {
        QList<QRect> others = all;
        others.removeAt(i);
        points << OwnPoint(all[i], others);
        ASSERT_GE(points.last().x(), 0) << "window " << i << " is covered";
    }
    const auto showsAll = [&](const QImage& s) {
        for (int i = 0; i < all.size(); ++i) {
            if (!Near(s.pixel(points[i]), kColours.at(opened[i] - 1))) {
                return false;
            }
        }
        return true;
    };
    shot = x.WaitForScreen(showsAll);
    for (int i = 0; i < all.size(); ++i) {
        EXPECT_TRUE(Near(shot.pixel(points[i]), kColours.at(opened[i] - 1)))
            << (i == 0 ? "the owner" : "cascading window ") << i << " does not show picture "
            << opened[i];
    }
}

TEST_F(Browser, AltCDuringALongLoadClosesTheBrowserAtOnce) {
    // One large picture of varied content under 300 names (hard links: no disk to fill): a whole
    // load took well over ten seconds here, so Alt+C a second after the first thumbnail comes
    // lands in the middle of it.
    QImage big(4000, 3000, QImage::Format_RGB32);
    quint32 noise = 12345;
    for (int y = 0; y < big.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(big.scanLine(y));
        for (int x0 = 0; x0 < big.width(); ++x0) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 27);
            line[x0] = qRgb((x0 / 7 + n) & 255, (y / 5 + n) & 255, ((x0 + y) / 11 + n) & 255);
        }
    }
    const QString folder = dir.path() + "/large";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString first = folder + "/0001.jpg";
    ASSERT_TRUE(big.save(first, "JPEG", 90));
    for (int i = 2; i <= 300; ++i) {
        const QString name = QStringLiteral("%1/%2.jpg").arg(folder).arg(i, 4, 10, QChar('0'));
        ASSERT_EQ(::link(QFile::encodeName(first).constData(), QFile::encodeName(name).constData()),
                  0);
    }

    const QRect r = Start({folder});
    const QList<qulonglong> images = ImageWindows();
    ASSERT_EQ(images.size(), 1);
    // The load has begun: the first thumbnail shows.
    const QRect cell = CellMiddle(r, 0);
    const auto begun = [&](const QImage& s) {
        return Count(s, cell, [&](QRgb c) { return c != s.pixel(r.topLeft() + QPoint(4, 4)); }) >
               cell.width() * cell.height() / 2;
    };
    ASSERT_TRUE(begun(x.WaitForScreen(begun))) << "no thumbnail came";
    if (!x.WaitForFocus(browser, 2000)) {
        LeftClick(r.topLeft() + kCountLabel.center());  // the label takes no click itself
        ASSERT_TRUE(x.WaitForFocus(browser)) << "the browser has no keyboard focus";
    }

    QElapsedTimer t;
    t.start();
    x.Key("alt+c");
    EXPECT_TRUE(x.WaitForWindowGone(browser, 1000)) << "the browser stayed open";
    RecordProperty("closeMs", static_cast<int>(t.elapsed()));
    EXPECT_TRUE(x.Running());
    EXPECT_EQ(x.Windows(), images) << "the image window did not stay alone";
}

}  // namespace

namespace {

TEST_F(Browser, ClosingTheOwnerAndThenTheBrowserEndsTheProgram) {
    const QRect r = Start({Folder(4)});
    WaitForPage(r, 1, 4);
    const QList<qulonglong> images = ImageWindows();
    ASSERT_EQ(images.size(), 1);
    const QRect owner = x.Geometry(images.first());
    // No window manager here moves the focus on a click: hand it over as one would.
    x.Run(QStringLiteral("xdotool"),
          {QStringLiteral("windowfocus"), QString::number(images.first())});
    x.MoveTo(owner.center().x(), owner.center().y());
    ASSERT_TRUE(x.WaitForFocus(images.first())) << "the image window has no keyboard focus";
    x.Key("Escape");
    ASSERT_TRUE(x.WaitForWindowGone(images.first()));
    EXPECT_TRUE(x.Running());  // the browser is still up
    LeftClick(r.topLeft() + kCountLabel.center());
    ASSERT_TRUE(x.WaitForFocus(browser)) << "the browser has no keyboard focus";
    x.Key("alt+c");
    // Nothing is left on the screen: the program ends instead of running on unseen.
    EXPECT_EQ(x.WaitForExit(), 0);
}

}  // namespace
