#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace mdlDecodeWorker {
struct Reply;
}

// A small pool of decode workers (lumora-decode processes, see mdlDecodeWorker.h): one per core,
// started with the pool, kept warm between loads, and started again when one dies. A worker that
// crashes, runs past the time limit (it is killed), runs out of its memory or answers nonsense
// fails that one load; the program's process is never touched.
//
// Threading: Decode may be called from any number of threads at once. Each call takes an idle
// worker for itself and waits while all are busy, so as many files decode in parallel as there
// are workers.
//
// Stopping a worker never waits for it: one stuck in an uninterruptible read (a network file
// system whose server is gone) cannot die at once, and the caller may be the GUI thread. A killed
// worker that has not gone yet is kept on a process-wide list and reaped, without waiting, whenever
// a pool starts a worker or hands one out; so is an idle worker that died on its own.
class cDecodePool {
public:
    enum class Outcome {
        Loaded,    // a picture
        Refused,   // the worker says the file is not a picture it can read
        Crashed,   // the worker died (or could not be started)
        TimedOut,  // the worker ran past the time limit and was killed
        Garbled,   // the worker answered nonsense and was killed
    };

    struct Counters {
        qint64 loaded = 0;
        qint64 refused = 0;
        qint64 crashed = 0;
        qint64 timedOut = 0;
        qint64 garbled = 0;
        qint64 started = 0;  // workers started, restarts included
    };

    // Wall-clock time a worker may take for one file, in milliseconds.
    static constexpr int kTimeLimitMs = 10000;

    // iCommand: the worker program and its arguments; iWorkers: how many (at least 1);
    // iTimeLimitMs: the time limit per file.
    cDecodePool(const QStringList& iCommand, int iWorkers, int iTimeLimitMs);
    ~cDecodePool();  // kills the workers, reaping those already gone (see Unreaped)
    cDecodePool(const cDecodePool&) = delete;
    cDecodePool& operator=(const cDecodePool&) = delete;

    // Decodes iFileName in a worker. Returns the picture (its pixels live in memory shared with
    // the worker, mapped privately: writing to it copies only the pages written), or a null picture
    // when the file is not a picture or the worker failed; oOutcome, when given, says which.
    QImage Decode(const QString& iFileName, Outcome* oOutcome = nullptr);

    Counters counters() const;
    int Size() const { return static_cast<int>(mSlots.size()); }

    // The process ids of the workers that are idle now (for tests and diagnostics).
    QList<qint64> IdleWorkers() const;

    // The signal that stops a worker: SIGKILL. Tests give a harmless one to stand in for a worker
    // that cannot die at once. Set it before the pool is used.
    void setStopSignal(int iSignal) { mStopSignal = iSignal; }

    // Killed workers, of every pool, that have not been reaped yet.
    static QList<qint64> Unreaped();

    // Reads one reply from a worker's socket (without waiting: call it when the socket is
    // readable) and checks it. Loaded with oPicture set; Refused; Crashed when the socket is
    // closed; Garbled for anything a worker does not send. Closes every file descriptor received
    // that does not end up holding the picture's pages.
    static Outcome ReadReply(int iSocket, QImage& oPicture);

    // The picture a worker's reply describes, built on the pages of iMemfd (which it takes over
    // and closes); a null picture unless the reply and the memfd are exactly what a worker sends:
    // a known format, a size within the pixel limit, Qt's row length, a full colour table for a
    // palette picture (2 colours for Mono; 16 from a 4-bit file or 256 for Indexed8, padded to 256
    // with black so that every index names a colour), and a memfd sealed against writing and
    // shrinking that holds every row.
    static QImage PictureFromReply(const mdlDecodeWorker::Reply& iReply, int iMemfd);

    // The process-wide pool that LoadPictureFile uses: one worker per core (at most 8), created
    // on first use and kept for the life of the process.
    static cDecodePool& Shared();

    // The worker program: $LUMORA_DECODE_WORKER when set, else lumora-decode beside the running
    // executable, else the one in the build tree this program was built in.
    static QString WorkerProgram();

private:
    struct Slot {
        qint64 pid = -1;
        int socket = -1;
        bool busy = false;
    };

    Slot* Acquire();
    void Release(Slot* slot);
    bool Start(Slot& slot);
    void Stop(Slot& slot);
    Outcome Exchange(Slot& slot, const QByteArray& name, QImage& oPicture);

    const QStringList mCommand;
    const int mTimeLimitMs;
    std::vector<Slot> mSlots;
    std::atomic<int> mStopSignal;
    mutable std::mutex mMutex;
    std::condition_variable mIdle;
    std::atomic<qint64> mLoaded{0};
    std::atomic<qint64> mRefused{0};
    std::atomic<qint64> mCrashed{0};
    std::atomic<qint64> mTimedOut{0};
    std::atomic<qint64> mGarbled{0};
    std::atomic<qint64> mStarted{0};
};
