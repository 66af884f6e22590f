// Marking up a pin on a real display: D, a rectangle dragged on a white picture and a pixelated
// area over a fine checkerboard show on the screen and go to the clipboard; undo and redo take
// the marks away and bring them back; a quick save writes them into the file.

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "XSession.h"

namespace {

// A 300 x 200 picture: white, with a checkerboard of single black and white pixels in its right
// half's middle, which a pixelated area turns into even grey.
QString MarkingPicture(const QTemporaryDir& dir) {
    QImage img(300, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int y = 60; y < 140; ++y) {
        for (int x = 170; x < 270; ++x) {
            img.setPixel(x, y, (x + y) % 2 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    const QString path = dir.path() + "/marking.png";
    img.save(path);
    return path;
}

bool IsRed(QRgb c) {
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}
bool IsGrey(QRgb c) {
    return qAbs(qRed(c) - 128) < 24 && qAbs(qGreen(c) - qRed(c)) < 4;
}

// The clipboard's picture as another program takes it (PNG through xclip).
QImage ClipboardPicture(const XSession& x) {
    QProcess xclip;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x.display());
    xclip.setProcessEnvironment(env);
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"});
    if (!xclip.waitForFinished(10000)) {
        return QImage();
    }
    return QImage::fromData(xclip.readAllStandardOutput(), "PNG");
}

TEST(Marking, ARectangleAndAPixelatedAreaShowGoToTheClipboardAndUndo) {
    XSession x;
    ASSERT_TRUE(x.ok()) << "no virtual display";
    QTemporaryDir dir;
    ASSERT_TRUE(x.StartLumora({MarkingPicture(dir)}));
    const qulonglong window = x.FindWindow();
    ASSERT_NE(window, 0u);
    const QRect g = x.Geometry(window);
    ASSERT_EQ(g.size(), QSize(300, 200));
    x.MoveTo(g.left() + 40, g.top() + 40);
    x.Press(1);
    x.Release(1);
    ASSERT_TRUE(x.WaitForFocus(window));

    x.Key("d");
    x.DragTo(1, g.topLeft() + QPoint(30, 30), g.topLeft() + QPoint(130, 150));
    const QPoint edge = g.topLeft() + QPoint(80, 30);
    QImage shot = x.WaitForScreen([&](const QImage& s) { return IsRed(s.pixel(edge)); });
    ASSERT_TRUE(IsRed(shot.pixel(edge))) << "the rectangle's top edge";
    EXPECT_EQ(x.Geometry(window), g) << "the drag drew; the window stayed";

    x.Key("7");
    x.DragTo(1, g.topLeft() + QPoint(180, 70), g.topLeft() + QPoint(260, 130));
    const QPoint inside = g.topLeft() + QPoint(215, 95);
    shot = x.WaitForScreen([&](const QImage& s) { return IsGrey(s.pixel(inside)); });
    ASSERT_TRUE(IsGrey(shot.pixel(inside))) << std::hex << shot.pixel(inside);

    x.Key("ctrl+c");
    QImage copied;
    ASSERT_TRUE(XSession::Poll(
        [&] {
            copied = ClipboardPicture(x);
            return !copied.isNull();
        },
        10000));
    ASSERT_EQ(copied.size(), QSize(300, 200));
    EXPECT_TRUE(IsRed(copied.pixel(80, 30)));
    EXPECT_TRUE(IsGrey(copied.pixel(215, 95)));

    x.Key("ctrl+z");
    shot = x.WaitForScreen([&](const QImage& s) { return !IsGrey(s.pixel(inside)); });
    EXPECT_FALSE(IsGrey(shot.pixel(inside))) << "the pixelated area is undone";
    EXPECT_TRUE(IsRed(shot.pixel(edge))) << "the rectangle stays";
    x.Key("ctrl+y");
    shot = x.WaitForScreen([&](const QImage& s) { return IsGrey(s.pixel(inside)); });
    EXPECT_TRUE(IsGrey(shot.pixel(inside))) << "and comes back";

    // A quick save writes the marks into the file beside the picture; the picture keeps its own.
    x.Key("s");
    const QString saved = dir.path() + "/new marking.png";
    ASSERT_TRUE(x.WaitForFile(saved));
    QImage file;
    ASSERT_TRUE(
        XSession::Poll([&] { return file.load(saved) && file.size() == QSize(300, 200); }, 10000));
    EXPECT_TRUE(IsRed(file.pixel(80, 30)));
    EXPECT_TRUE(IsGrey(file.pixel(215, 95)));
}

}  // namespace
