#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

// A small pool of decode workers (lumora-decode processes, see mdlDecodeWorker.h): one per core,
// started with the pool, kept warm between loads, and started again when one dies. A worker that
// crashes, runs past the time limit (it is killed), runs out of its memory or answers nonsense
// fails that one load; the program's process is never touched.
//
// Threading: Decode may be called from any number of threads at once. Each call takes an idle
// worker for itself and waits while all are busy, so as many files decode in parallel as there
// are workers.
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
    ~cDecodePool();  // kills and reaps the workers
    cDecodePool(const cDecodePool&) = delete;
    cDecodePool& operator=(const cDecodePool&) = delete;

    // Decodes iFileName in a worker. Returns the picture (its pixels live in memory shared with
    // the worker, mapped privately: writing to it copies only the pages written), or a null picture
    // when the file is not a picture or the worker failed; oOutcome, when given, says which.
    QImage Decode(const QString& iFileName, Outcome* oOutcome = nullptr);

    Counters counters() const;
    int Size() const { return static_cast<int>(mSlots.size()); }

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
    std::mutex mMutex;
    std::condition_variable mIdle;
    std::atomic<qint64> mLoaded{0};
    std::atomic<qint64> mRefused{0};
    std::atomic<qint64> mCrashed{0};
    std::atomic<qint64> mTimedOut{0};
    std::atomic<qint64> mGarbled{0};
    std::atomic<qint64> mStarted{0};
};
