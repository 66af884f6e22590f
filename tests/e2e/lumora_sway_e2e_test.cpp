// Lumora under Sway, a tiling compositor, through Xwayland, with the desktop's real screenshot
// portal: its windows float at their own size without a frame instead of being tiled, and a
// capture shows the screen the portal gave. One Sway session serves every case.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <algorithm>
#include <memory>

#include "SwaySession.h"
#include "XSession.h"

namespace {

const QColor kBackground(0x30, 0x60, 0x90);
const QSize kScreen(1280, 800);

// Every pixel its own, so a shifted, scaled or framed copy shows.
QImage Pattern(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            img.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, 128 + ((x + y) & 127)));
        }
    }
    return img;
}

// Rows of shot at area that differ from picture, below the size tip the window shows for a
// while at its top left (window rows from 60), inside the one-pixel frame around.
int Differences(const QImage& shot, const QRect& area, const QImage& picture) {
    int bad = 0;
    for (int y = 60; y < area.height() - 2; ++y) {
        for (int x = 2; x < area.width() - 2; ++x) {
            if ((shot.pixel(area.x() + x, area.y() + y) | 0xFF000000) !=
                (picture.pixel(x, y) | 0xFF000000)) {
                ++bad;
            }
        }
    }
    return bad;
}

class Sway : public testing::Test {
protected:
    static void SetUpTestSuite() { session = new SwaySession(kBackground); }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(session->ok()) << session->Error().toStdString(); }
    void TearDown() override {
        for (QProcess* p : started) {
            session->Stop(p);
        }
    }

    // A Lumora as the session's user, opening the picture at its own size; it runs a copy of
    // the program and its decoder in the session's folder and keeps Option.ini beside it.
    QProcess* Open(const QImage& picture, const QString& name) {
        const QString folder = session->Folder();
        const QString exe = folder + "/lumora";
        // Both programs are copied: the build folder may lie where the session's user cannot go.
        const QString worker = folder + "/lumora-decode";
        if (!QFile::exists(exe)) {
            QFile::copy(QStringLiteral(LUMORA_EXE), exe);
            session->GiveToUser(exe);
            QFile::copy(QStringLiteral(LUMORA_DECODE_EXE), worker);
            session->GiveToUser(worker);
            QFile options(folder + "/Option.ini");
            options.open(QIODevice::WriteOnly);
            options.write("ResizeWhenOpen=True\r\n");
            options.close();
            session->GiveToUser(options.fileName());
        }
        const QString file = folder + '/' + name + ".bmp";
        picture.save(file);
        session->GiveToUser(file);
        started << session->Start(exe, {file},
                                  {{"QT_QPA_PLATFORM", "xcb"}, {"LUMORA_DECODE_WORKER", worker}});
        return started.back();
    }
    // Waits for a window Sway manages that is not in known; a null window after the limit.
    SwaySession::Window NewWindow(const std::vector<SwaySession::Window>& known,
                                  int limitMs = 15000) {
        SwaySession::Window found;
        XSession::Poll(
            [&] {
                for (const SwaySession::Window& w : session->Windows()) {
                    if (std::none_of(known.begin(), known.end(),
                                     [&](const auto& k) { return k.x11 == w.x11; })) {
                        found = w;
                        return true;
                    }
                }
                return false;
            },
            limitMs);
        return found;
    }
    // Polls until the window is as asked; the last state seen.
    SwaySession::Window WaitFor(qulonglong x11,
                                const std::function<bool(const SwaySession::Window&)>& ok) {
        SwaySession::Window seen;
        XSession::Poll(
            [&] {
                for (const SwaySession::Window& w : session->Windows()) {
                    if (w.x11 == x11) {
                        seen = w;
                        return ok(w);
                    }
                }
                seen = SwaySession::Window();
                return ok(seen);
            },
            15000);
        return seen;
    }
    // Sends a key to the X window (a synthetic event: XTEST input is not used under Xwayland).
    void Key(qulonglong x11, const QString& key) {
        session->Run("xdotool", {"key", "--window", QString::number(x11), key});
    }
    // Sends the key once Sway has given the window the focus, and again while done() does not
    // follow: a window that has just opened may not yet take keys (its picture still arriving,
    // or the focus not yet passed on to the program). False when done() never holds.
    bool KeyUntil(qulonglong x11, const QString& key, const std::function<bool()>& done) {
        WaitFor(x11, [](const auto& s) { return s.focused; });
        for (int attempt = 0; attempt < 4; ++attempt) {
            Key(x11, key);
            if (XSession::Poll(done, 4000)) {
                return true;
            }
        }
        return false;
    }

    // The windows Sway has, for a failure's message.
    static std::string Describe() {
        QString out;
        for (const SwaySession::Window& w : session->Windows()) {
            out += QStringLiteral("\n  %1 %2x%3+%4+%5 %6%7%8")
                       .arg(w.x11)
                       .arg(w.rect.width())
                       .arg(w.rect.height())
                       .arg(w.rect.x())
                       .arg(w.rect.y())
                       .arg(w.border, w.floating ? " floating" : " tiled",
                            w.focused ? " focused" : "");
        }
        return out.toStdString();
    }

    static SwaySession* session;
    QList<QProcess*> started;
};
SwaySession* Sway::session = nullptr;

TEST_F(Sway, APictureWindowAndItsPanelFloatWithoutAFrameAtTheirOwnSize) {
    const QImage picture = Pattern(QSize(301, 203));
    Open(picture, "float");
    const SwaySession::Window w = NewWindow({});
    ASSERT_NE(w.x11, 0u) << "no window";
    const SwaySession::Window shown =
        WaitFor(w.x11, [&](const auto& s) { return s.content.size() == picture.size(); });
    EXPECT_TRUE(shown.floating) << "tiled";
    EXPECT_EQ(shown.border.toStdString(), "csd") << "framed";
    EXPECT_EQ(shown.rect.size(), picture.size());
    // Shown 1:1 where Sway has it.
    QImage shot;
    XSession::Poll(
        [&] {
            shot = session->Screenshot();
            return !shot.isNull() && Differences(shot, shown.rect, picture) == 0;
        },
        10000);
    ASSERT_EQ(shot.size(), kScreen);
    EXPECT_EQ(Differences(shot, shown.rect, picture), 0)
        << "at " << shown.rect.x() << ',' << shown.rect.y();

    // The command panel (the menu key) floats too.
    const std::vector<SwaySession::Window> before = session->Windows();
    SwaySession::Window panel;
    KeyUntil(w.x11, "Menu", [&] { return (panel = NewWindow(before, 0)).x11 != 0; });
    ASSERT_NE(panel.x11, 0u) << "no panel";
    EXPECT_TRUE(panel.floating) << "tiled";
    EXPECT_EQ(panel.border.toStdString(), "csd") << "framed";
    EXPECT_LT(panel.rect.width(), kScreen.width() / 2);
}

TEST_F(Sway, ACaptureShowsTheScreenThePortalGave) {
    // A picture on the screen, then a second window that captures it.
    const QImage picture = Pattern(QSize(257, 181));
    Open(picture, "below");
    const SwaySession::Window below = NewWindow({});
    ASSERT_NE(below.x11, 0u);
    const QRect place =
        WaitFor(below.x11, [&](const auto& s) { return s.content.size() == picture.size(); }).rect;
    ASSERT_EQ(place.size(), picture.size());

    QImage plain(QSize(97, 89), QImage::Format_RGB32);
    plain.fill(Qt::yellow);
    Open(plain, "capturing");
    const SwaySession::Window capturing = NewWindow(session->Windows());
    ASSERT_NE(capturing.x11, 0u);
    WaitFor(capturing.x11, [&](const auto& s) { return s.content.size() == plain.size(); });
    SwaySession::Window screen;
    KeyUntil(capturing.x11, "c", [&] {
        screen = WaitFor(capturing.x11, [](const auto&) { return true; });
        return screen.content.size() == kScreen;
    });
    ASSERT_EQ(screen.content.size(), kScreen) << "no screen-sized capture: " << Describe();
    EXPECT_EQ(screen.rect, QRect(QPoint(0, 0), kScreen));

    // With the first window gone, what shows is the capture: the background the portal saw, and
    // the picture where it was, 1:1. The capturing window was hidden when the portal took it.
    Key(below.x11, "Escape");
    ASSERT_EQ(WaitFor(below.x11, [](const auto& s) { return s.x11 == 0; }).x11, 0u)
        << "the first window did not close";
    const QImage shot = session->Screenshot();
    ASSERT_EQ(shot.size(), kScreen);
    EXPECT_EQ(Differences(shot, place, picture), 0);
    // (The window's size tip covers its top left corner for a while.)
    for (const QPoint p : {QPoint(5, 100), QPoint(1270, 790), QPoint(1270, 5), QPoint(5, 790)}) {
        EXPECT_EQ(QColor(shot.pixel(p)).name().toStdString(), kBackground.name().toStdString())
            << p.x() << ',' << p.y();
    }
}

}  // namespace
