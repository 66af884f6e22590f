// The pool's requests: lanes, cancelling, and the limits that end a worker on its own.

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "decode/DecodeTestSupport.h"
#include "decode/cDecodePool.h"
#include "decode/cWorkerProcess.h"
#include "support/TestSupport.h"

using Answer = cDecodePool::Answer;
using Lane = cDecodePool::Lane;
using Outcome = cDecodePool::Outcome;
using DecodeTestSupport::Ends;
using DecodeTestSupport::HangingFile;
using DecodeTestSupport::WorkerWithTheFile;
using TestSupport::DataFile;

namespace {

// Completions in the order they came. Wait's limit only keeps a broken test from hanging.
struct Log {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<QString, Outcome>> entries;

    cDecodePool::Completion Note(const QString& what) {
        return [this, what](qint64, const Answer& answer) {
            std::lock_guard<std::mutex> l(lock);
            entries.emplace_back(what, answer.outcome);
            changed.notify_all();
        };
    }
    bool Wait(size_t count) {
        std::unique_lock<std::mutex> l(lock);
        return changed.wait_for(l, std::chrono::seconds(60),
                                [&] { return entries.size() >= count; });
    }
};

// Only a cancel ends a hanging decode in these pools.
constexpr int kNoTimeLimitMs = 600000;

TEST(DecodeLanes, InteractiveWorkNeverWaitsBehindBackgroundWorkAndGoesFirst) {
    QTemporaryDir dir;
    const QString hanging = HangingFile(dir);
    cDecodePool pool({cWorkerProcess::Program()}, 1, kNoTimeLimitMs);
    Log log;

    // The only worker hangs on background work: an interactive request gets another at once.
    const qint64 background = cDecodePool::NewTicket();
    pool.Submit(background, hanging, Lane::Background, 0, false, log.Note("hanging background"));
    pool.Submit(cDecodePool::NewTicket(), DataFile("base.png"), Lane::Interactive, 0, false,
                log.Note("interactive"));
    ASSERT_TRUE(log.Wait(1));
    EXPECT_EQ(log.entries.front(), std::make_pair(QStringLiteral("interactive"), Outcome::Loaded));
    EXPECT_GT(pool.WorkerOf(background), 0);

    // The extra worker hangs too, so both are taken: a background request queued before an
    // interactive one is served after it, once a worker is free.
    const qint64 interactive = cDecodePool::NewTicket();
    pool.Submit(interactive, hanging, Lane::Interactive, 0, false, log.Note("hanging interactive"));
    ASSERT_GT(WorkerWithTheFile(pool, interactive, hanging), 0);
    pool.Submit(cDecodePool::NewTicket(), DataFile("base.png"), Lane::Background, 0, false,
                log.Note("second background"));
    pool.Submit(cDecodePool::NewTicket(), DataFile("base.png"), Lane::Interactive, 0, false,
                log.Note("second interactive"));
    pool.Cancel(background);
    ASSERT_TRUE(log.Wait(3));
    EXPECT_EQ(log.entries[1].first, QStringLiteral("second interactive"));
    EXPECT_EQ(log.entries[2].first, QStringLiteral("second background"));
    pool.Cancel(interactive);
    EXPECT_EQ(pool.counters().loaded, 3);
    EXPECT_EQ(pool.counters().timedOut, 0);
}

TEST(DecodeCancel, StopsTheWorkerAtOnceAndNothingIsDelivered) {
    QTemporaryDir dir;
    const QString file = HangingFile(dir);
    cDecodePool pool({cWorkerProcess::Program()}, 1, kNoTimeLimitMs);
    std::atomic<int> delivered{0};
    const auto count = [&](qint64, const Answer&) { ++delivered; };
    const qint64 hanging = cDecodePool::NewTicket();
    const qint64 waiting = cDecodePool::NewTicket();
    pool.Submit(hanging, file, Lane::Background, 0, false, count);
    pool.Submit(waiting, DataFile("base.png"), Lane::Background, 0, false, count);
    const qint64 worker = WorkerWithTheFile(pool, hanging, file);
    ASSERT_GT(worker, 0);

    pool.Cancel(waiting);
    pool.Cancel(hanging);
    EXPECT_TRUE(Ends(worker));
    // Replaced: the next file decodes.
    EXPECT_EQ(pool.Decode(DataFile("base.png"), Lane::Background, 0, false).outcome,
              Outcome::Loaded);
    EXPECT_EQ(delivered.load(), 0);
    EXPECT_EQ(pool.counters().cancelled, 2);
    EXPECT_EQ(pool.counters().timedOut, 0);
}

TEST(DecodeWorkerLimits, CpuTimeIsLimited) {
    cDecodePool pool({cWorkerProcess::Program()}, 1, cDecodePool::kTimeLimitMs);
    // Once it has answered, the worker has set its limits.
    ASSERT_EQ(pool.Decode(DataFile("base.png"), Lane::Background, 0, false).outcome,
              Outcome::Loaded);
    const QList<qint64> workers = pool.IdleWorkers();
    ASSERT_EQ(workers.size(), 1);
    QFile limits(QStringLiteral("/proc/%1/limits").arg(workers.front()));
    ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
    QByteArray cpu;
    for (const QByteArray& line : limits.readAll().split('\n')) {
        if (line.startsWith("Max cpu time")) {
            cpu = line.simplified();
        }
    }
    EXPECT_EQ(cpu, QByteArray("Max cpu time 30 30 seconds"));
}

// Started with this variable naming a file that hangs its worker, this test program acts as a
// program that decodes it: it starts a pool, prints the process id of the worker once the worker
// has the file open, and waits to be killed. Done before main, so nothing else runs.
const bool gHoldsAHangingWorker = [] {
    const QByteArray file = qgetenv("LUMORA_TEST_HANGING_FILE");
    if (file.isEmpty()) {
        return false;
    }
    auto* pool = new cDecodePool({cWorkerProcess::Program()}, 1, kNoTimeLimitMs);
    const qint64 ticket = cDecodePool::NewTicket();
    pool->Submit(ticket, QFile::decodeName(file), Lane::Background, 0, false, {});
    const qint64 worker = WorkerWithTheFile(*pool, ticket, QFile::decodeName(file));
    std::printf("%lld\n", static_cast<long long>(worker));
    std::fflush(stdout);
    for (;;) {
        ::pause();
    }
}();

TEST(DecodeWorkerLimits, WorkerEndsWithItsProgram) {
    QTemporaryDir dir;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMORA_TEST_HANGING_FILE"), HangingFile(dir));
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(program.waitForReadyRead(60000));
    const qint64 worker = program.readLine().trimmed().toLongLong();
    ASSERT_GT(worker, 0);
    // The worker spins in its decoder; only the end of its program can end it now.
    ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
    ASSERT_TRUE(program.waitForFinished());
    const bool ended = Ends(worker);
    if (!ended) {
        ::kill(static_cast<pid_t>(worker), SIGKILL);
    }
    EXPECT_TRUE(ended);
}

}  // namespace
