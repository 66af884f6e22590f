#include "image/cDecodeFront.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <functional>
#include <vector>

#include "support/TestSupport.h"

using TestSupport::DataFile;

namespace {

// Runs the event loop until done() holds. The limit only keeps a broken test from hanging.
bool RunUntil(const std::function<bool()>& done) {
    const QDeadlineTimer guard(60000);
    while (!done() && !guard.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

TEST(DecodeFront, DeliversOncePerRequestOnTheOwnersThread) {
    cDecodeFront front;
    std::vector<cDecodeFront::Result> results;
    std::vector<QThread*> threads;
    QObject::connect(&front, &cDecodeFront::decoded, [&](const cDecodeFront::Result& r) {
        results.push_back(r);
        threads.push_back(QThread::currentThread());
    });
    const qint64 a = front.Submit(DataFile("png_rgb.png"), cDecodeFront::Lane::Interactive);
    const qint64 b = front.Submit(DataFile("no-such-file.png"), cDecodeFront::Lane::Background);
    EXPECT_GT(a, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(front.Pending(), 2);
    ASSERT_TRUE(RunUntil([&] { return front.Pending() == 0; }));
    ASSERT_EQ(results.size(), 2u);
    for (const cDecodeFront::Result& r : results) {
        if (r.id == a) {
            EXPECT_EQ(r.file, DataFile("png_rgb.png"));
            EXPECT_EQ(r.picture.size(), QSize(64, 48));
            EXPECT_EQ(r.ownSize, QSize(64, 48));
        } else {
            EXPECT_EQ(r.id, b);
            EXPECT_TRUE(r.picture.isNull());
            EXPECT_FALSE(r.ownSize.isValid());
        }
    }
    for (QThread* t : threads) {
        EXPECT_EQ(t, QThread::currentThread());
    }
}

}  // namespace
