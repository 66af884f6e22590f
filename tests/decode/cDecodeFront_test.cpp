#include "decode/cDecodeFront.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "decode/DecodeTestSupport.h"
#include "decode/cDecodePool.h"
#include "image/MFreeImage.h"
#include "support/TestSupport.h"

using Lane = cDecodeFront::Lane;
using Result = cDecodeFront::Result;
using DecodeTestSupport::Ends;
using DecodeTestSupport::HangingFile;
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

// Every result a front delivers, with the thread it came on.
struct Received {
    std::vector<Result> results;
    std::vector<QThread*> threads;

    explicit Received(cDecodeFront& front) {
        QObject::connect(&front, &cDecodeFront::decoded, &front, [this](const Result& r) {
            results.push_back(r);
            threads.push_back(QThread::currentThread());
        });
    }
    int Count(qint64 id) const {
        int n = 0;
        for (const Result& r : results) {
            n += r.id == id ? 1 : 0;
        }
        return n;
    }
};

// The worker of the shared pool decoding request id of a front, once it has file open.
qint64 WorkerWithTheFile(qint64 id, const QString& file) {
    return DecodeTestSupport::WorkerWithTheFile(cDecodePool::Shared(), id, file);
}

TEST(DecodeFront, DeliversOncePerRequestOnTheOwnersThread) {
    cDecodeFront front;
    Received received(front);
    const qint64 a = front.Submit(DataFile("png_rgb.png"), Lane::Interactive);
    const qint64 b = front.Submit(DataFile("no-such-file.png"), Lane::Background);
    const qint64 c = front.Submit(DataFile("jpg_444.jpg"), Lane::Background);
    EXPECT_GT(a, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(front.Pending(), 3);
    ASSERT_TRUE(RunUntil([&] { return front.Pending() == 0; }));
    ASSERT_EQ(received.results.size(), 3u);
    EXPECT_EQ(received.Count(a), 1);
    EXPECT_EQ(received.Count(b), 1);
    EXPECT_EQ(received.Count(c), 1);
    for (const Result& r : received.results) {
        if (r.id == b) {
            EXPECT_EQ(r.file, DataFile("no-such-file.png"));
            EXPECT_TRUE(r.picture.isNull());
            EXPECT_FALSE(r.ownSize.isValid());
        } else if (r.id == a) {
            EXPECT_EQ(r.file, DataFile("png_rgb.png"));
            EXPECT_EQ(r.picture.size(), QSize(64, 48));
            EXPECT_EQ(r.ownSize, QSize(64, 48));
        }
    }
    for (QThread* t : received.threads) {
        EXPECT_EQ(t, QThread::currentThread());
    }
}

TEST(DecodeFront, ReducedDecodeFitsTheSideAndTellsTheOwnSize) {
    QTemporaryDir dir;
    QImage source(1200, 800, QImage::Format_BGR888);
    source.fill(Qt::darkCyan);
    cDecodeFront front;
    Received received(front);
    std::vector<qint64> ids;
    for (const char* name : {"big.jpg", "big.png"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(MFreeImage::SavePictureFile(source, path));
        ids.push_back(front.Submit(path, Lane::Background, 256));
    }
    ASSERT_TRUE(RunUntil([&] { return front.Pending() == 0; }));
    ASSERT_EQ(received.results.size(), 2u);
    for (const Result& r : received.results) {
        EXPECT_EQ(r.picture.size(), QSize(256, 171)) << qPrintable(r.file);
        EXPECT_EQ(r.ownSize, QSize(1200, 800)) << qPrintable(r.file);
    }
}

TEST(DecodeFront, CancelledRequestDeliversNothingAndItsWorkerIsKilledAtOnce) {
    QTemporaryDir dir;
    cDecodeFront front;
    Received received(front);
    const qint64 timedOutBefore = cDecodePool::Shared().counters().timedOut;
    const QString file = HangingFile(dir);
    const qint64 hanging = front.Submit(file, Lane::Interactive);
    const qint64 worker = WorkerWithTheFile(hanging, file);
    ASSERT_GT(worker, 0);
    front.Cancel(hanging);
    EXPECT_EQ(front.Pending(), 0);
    // Killed by the cancel, not by the pool's time limit.
    EXPECT_TRUE(Ends(worker));
    EXPECT_EQ(cDecodePool::Shared().counters().timedOut, timedOutBefore);

    // A request made after it is delivered; the cancelled one never is.
    const qint64 later = front.Submit(DataFile("base.png"), Lane::Interactive);
    ASSERT_TRUE(RunUntil([&] { return received.Count(later) == 1; }));
    EXPECT_EQ(received.Count(hanging), 0);
}

TEST(DecodeFront, InteractiveRequestIsServedWhileEveryWorkerHangsOnBackgroundWork) {
    QTemporaryDir dir;
    const QString hanging = HangingFile(dir);
    cDecodeFront front;
    Received received(front);
    const qint64 timedOutBefore = cDecodePool::Shared().counters().timedOut;
    std::vector<qint64> background;
    for (int i = 0; i < cDecodePool::Shared().Size(); ++i) {
        background.push_back(front.Submit(hanging, Lane::Background));
        ASSERT_GT(WorkerWithTheFile(background.back(), hanging), 0);
    }
    const qint64 open = front.Submit(DataFile("png_rgb.png"), Lane::Interactive);
    ASSERT_TRUE(RunUntil([&] { return received.Count(open) == 1; }));
    EXPECT_EQ(received.results.front().picture.size(), QSize(64, 48));
    // Served while every background request still hangs, without waiting for a time-out.
    EXPECT_EQ(front.Pending(), static_cast<int>(background.size()));
    EXPECT_EQ(cDecodePool::Shared().counters().timedOut, timedOutBefore);
    front.CancelAll();
    EXPECT_EQ(front.Pending(), 0);
}

TEST(DecodeFront, DeletingAFrontWithRequestsInFlightIsSafeAndNoResultStrays) {
    QTemporaryDir dir;
    cDecodeFront other;
    Received toOther(other);
    auto doomed = std::make_unique<cDecodeFront>();
    Received toDoomed(*doomed);
    const QString file = HangingFile(dir);
    const qint64 hanging = doomed->Submit(file, Lane::Background);
    const qint64 worker = WorkerWithTheFile(hanging, file);
    ASSERT_GT(worker, 0);
    const qint64 loadedBefore = cDecodePool::Shared().counters().loaded;
    for (int i = 0; i < 20; ++i) {
        doomed->Submit(DataFile(i % 2 == 0 ? "jpg_444.jpg" : "base.png"), Lane::Background);
    }
    const qint64 kept = other.Submit(DataFile("png_rgb.png"), Lane::Background);
    // It goes with some results posted to it and not yet delivered, and others still waiting.
    const QDeadlineTimer guard(60000);
    while (cDecodePool::Shared().counters().loaded < loadedBefore + 5 && !guard.hasExpired()) {
        std::this_thread::yield();
    }
    doomed.reset();
    EXPECT_TRUE(Ends(worker));
    ASSERT_TRUE(RunUntil([&] { return other.Pending() == 0; }));
    ASSERT_EQ(toOther.results.size(), 1u);
    EXPECT_EQ(toOther.results.front().id, kept);
    EXPECT_TRUE(toDoomed.results.empty());
}

}  // namespace
