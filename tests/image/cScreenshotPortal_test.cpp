#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "image/cScreenshotPortal.h"
#include "support/FakePortal.h"

namespace {

// Each test runs in its own process (one per case): the private bus it starts is the session bus
// of that process alone.
// What a client said: how often each signal came, and the file named.
struct Said {
    int taken = 0;
    int refused = 0;
    QString file;
};

// Runs the event loop until the client has ended a request (or a generous limit passes), then
// lets what is already queued run too, so a second answer would be seen.
Said Listen(cScreenshotPortal& client, const std::function<void()>& start) {
    Said said;
    QEventLoop loop;
    QObject::connect(&client, &cScreenshotPortal::taken, &loop, [&](const QString& file) {
        ++said.taken;
        said.file = file;
        loop.quit();
    });
    QObject::connect(&client, &cScreenshotPortal::refused, &loop, [&] {
        ++said.refused;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    start();
    loop.exec();
    QCoreApplication::processEvents();
    return said;
}

class PortalBus : public testing::Test {
protected:
    void SetUp() override {
        if (!bus.ok()) {
            GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        }
    }
    std::unique_ptr<FakePortal> Portal(FakePortal::Answer answer, const QString& file) {
        auto portal = bus.Portal(answer, file);
        EXPECT_NE(portal, nullptr) << "the portal did not get its name";
        return portal;
    }

    PrivateSessionBus bus;
};

struct AnswerCase {
    const char* name;
    FakePortal::Answer answer;
    bool taken;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class PortalAnswers : public PortalBus, public testing::WithParamInterface<AnswerCase> {};

TEST_P(PortalAnswers, EachRequestEndsOnceAsTheDesktopAnswers) {
    qputenv("LUMORA_PORTAL_TIMEOUT_MS", "1");  // "nothing" ends at once
    if (GetParam().answer != FakePortal::Answer::Silent) {
        qputenv("LUMORA_PORTAL_TIMEOUT_MS", "30000");
    }
    const QString file = QDir::temp().filePath(QStringLiteral("shot.png"));
    const auto portal = Portal(GetParam().answer, file);
    cScreenshotPortal client;
    const Said said = Listen(client, [&] { client.Request(); });
    // Exactly one end; a second answer, or one after the end, changes nothing.
    EXPECT_EQ(said.taken, GetParam().taken ? 1 : 0);
    EXPECT_EQ(said.refused, GetParam().taken ? 0 : 1);
    if (GetParam().taken) {
        EXPECT_EQ(said.file, file);
    }
    EXPECT_FALSE(client.IsWaiting());
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, PortalAnswers,
    testing::Values(AnswerCase{"file", FakePortal::Answer::File, true},
                    AnswerCase{"twice", FakePortal::Answer::Twice, true},
                    AnswerCase{"cancel", FakePortal::Answer::Cancel, false},
                    AnswerCase{"refuse", FakePortal::Answer::Refuse, false},
                    AnswerCase{"notafile", FakePortal::Answer::NotAFile, false},
                    AnswerCase{"silent", FakePortal::Answer::Silent, false}),
    [](const testing::TestParamInfo<AnswerCase>& i) { return std::string(i.param.name); });

TEST_F(PortalBus, NoPortalOnTheBusIsARefusal) {
    cScreenshotPortal client;
    const Said said = Listen(client, [&] { client.Request(); });
    EXPECT_EQ(said.refused, 1);
}

TEST_F(PortalBus, AnAnswerToARequestGivenUpIsIgnored) {
    const auto portal = Portal(FakePortal::Answer::File, QStringLiteral("/tmp/x.png"));
    ASSERT_NE(portal, nullptr);
    cScreenshotPortal client;
    // The first request is given up at once; only the second one's answer counts.
    const Said said = Listen(client, [&] {
        client.Request();
        client.Cancel();
        client.Request();
    });
    EXPECT_EQ(said.taken, 1);
    EXPECT_EQ(said.refused, 0);
    EXPECT_EQ(portal->Requests(), 2);
}

TEST(ScreenshotPortal, ChoiceOfCaptureAndTemporaryFiles) {
    const struct {
        const char* capture;
        const char* session;
        const char* wayland;
        bool portal;
    } choices[] = {
        {"", "x11", "", false},      {"", "wayland", "", true},
        {"", "", "wayland-0", true}, {"x11", "wayland", "wayland-0", false},
        {"portal", "x11", "", true}, {"PORTAL", "", "", true},
    };
    for (const auto& c : choices) {
        qputenv("LUMORA_CAPTURE", c.capture);
        qputenv("XDG_SESSION_TYPE", c.session);
        qputenv("WAYLAND_DISPLAY", c.wayland);
        EXPECT_EQ(cScreenshotPortal::Wanted(), c.portal) << c.capture << "/" << c.session;
    }

    // The portal's temporary places, and a folder of the person's own beside them.
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QDir d(base.path());
    ASSERT_TRUE(d.mkdir(QStringLiteral("run")) && d.mkdir(QStringLiteral("tmp")) &&
                d.mkdir(QStringLiteral("Pictures")));
    qputenv("XDG_RUNTIME_DIR", d.filePath(QStringLiteral("run")).toUtf8());
    qputenv("TMPDIR", d.filePath(QStringLiteral("tmp")).toUtf8());
    const auto touch = [&d](const QString& name) {
        QFile f(d.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return d.filePath(name);
    };
    EXPECT_TRUE(cScreenshotPortal::IsTemporary(touch(QStringLiteral("run/shot.png"))));
    EXPECT_TRUE(cScreenshotPortal::IsTemporary(touch(QStringLiteral("tmp/shot.png"))));
    EXPECT_FALSE(cScreenshotPortal::IsTemporary(touch(QStringLiteral("Pictures/shot.png"))));
    EXPECT_FALSE(cScreenshotPortal::IsTemporary(d.filePath(QStringLiteral("run/missing.png"))));
}

TEST(ScreenshotPortal, TheScreensPartOfADesktopShot) {
    const QRect a(0, 0, 800, 600);
    const QRect b(800, 0, 1024, 768);
    const QRect desktop = a | b;
    const struct {
        QSize shot;
        QRect screen;
        QRect part;
    } cases[] = {
        {desktop.size(), b, QRect(800, 0, 1024, 768)},  // the whole desktop at its place
        {desktop.size(), a, QRect(0, 0, 800, 600)},
        {QSize(1024, 768), b, QRect(0, 0, 1024, 768)},  // just the one screen
        {QSize(912, 384), b, QRect(400, 0, 512, 384)},  // the desktop at half its pixels
        {QSize(), b, QRect()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cScreenshotPortal::ScreenPart(c.shot, desktop, c.screen), c.part);
    }
}

}  // namespace
