// A capture through the desktop's portal given up while its file is being read: the file the
// portal left in a temporary place goes all the same.

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "support/FakePortal.h"
#include "support/TestSupport.h"
#include "window/cScreenCapture.h"

namespace {

struct GivingUp {
    const char* how;
    std::function<void(std::unique_ptr<cScreenCapture>&)> giveUp;
};

TEST(ScreenCaptureThroughThePortal, AShotGivenUpWhileItIsReadLeavesNoTemporaryFile) {
    PrivateSessionBus bus;
    if (!bus.ok()) {
        GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    }
    QTemporaryDir run;
    ASSERT_TRUE(run.isValid());
    qputenv("XDG_RUNTIME_DIR", run.path().toUtf8());
    qputenv("LUMORA_CAPTURE", "portal");
    // A decoder that takes the request and never answers; it says when a request reached it.
    const QString reached = run.filePath(QStringLiteral("reached"));
    const QString worker = run.filePath(QStringLiteral("worker"));
    QFile script(worker);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nhead -c 1 <&3 >/dev/null\n: > '%1'\nexec sleep 600\n")
                     .arg(reached)
                     .toUtf8());
    script.close();
    ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("LUMORA_DECODE_WORKER", QFile::encodeName(worker));

    const GivingUp cases[] = {
        {"the window closed", [](std::unique_ptr<cScreenCapture>& c) { c->Abandon(); }},
        {"the window went", [](std::unique_ptr<cScreenCapture>& c) { c.reset(); }},
    };
    for (const GivingUp& c : cases) {
        const QString shot = run.filePath(QStringLiteral("shot.png"));
        ASSERT_TRUE(TestSupport::PatternImage(40, 30).save(shot));
        QFile::remove(reached);
        const auto portal = bus.Portal(FakePortal::Answer::File, shot);
        ASSERT_NE(portal, nullptr);
        auto capture = std::make_unique<cScreenCapture>();
        int ended = 0;
        QObject::connect(capture.get(), &cScreenCapture::ended,
                         [&](QScreen*, const QImage& picture) {
                             ++ended;
                             EXPECT_TRUE(picture.isNull()) << c.how;
                         });
        capture->Start(QGuiApplication::primaryScreen(), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(reached); }, 10000)) << c.how;

        c.giveUp(capture);
        EXPECT_FALSE(QFile::exists(shot)) << c.how;
        if (capture != nullptr) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return ended == 1; }, 10000)) << c.how;
        }
    }
}

}  // namespace
