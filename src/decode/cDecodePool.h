#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "decode/DecodeReply.h"

// A small pool of decode workers (lumora-decode processes, see cWorkerProcess.h): one per core,
// started with the pool, kept warm between loads, and started again when one dies. A worker that
// crashes, runs past the time limit (it is killed), runs out of its memory or answers nonsense
// fails that one load; the program's process is never touched.
//
// Requests wait in two lanes: every Interactive request (a window opening a file) is handed out
// before any Background one (thumbnails). An Interactive request that finds no idle worker gets an
// extra one at once (at most as many extras as workers), so an open never waits behind a folder;
// an extra worker takes only Interactive work and ends when it finds none waiting. A cancelled
// request stops waiting at once: the worker decoding it is killed and replaced, and its completion
// is never called.
//
// Threading: Submit, Cancel and Decode may be called from any number of threads at once; Submit
// and Cancel never wait for a file or a worker. Each worker has a thread of its own in the pool
// that starts it, speaks to it and calls completions: workers end with the thread that started
// them (see mdlDecodeWorker::TieToParent), and these threads live as long as the pool.
//
// Stopping a worker never waits for it (see cWorkerProcess). A killed worker that has not gone yet
// is reaped the moment it goes; an idle worker that died on its own is reaped whenever a pool
// starts a worker or hands one out.
//
// Where there are no worker processes (other than Linux), the same lanes and threads decode in
// this process; a cancelled request is then only forgotten, not stopped.
class cDecodePool {
public:
    using Outcome = DecodeOutcome;

    enum class Lane { Interactive, Background };

    struct Counters {
        qint64 loaded = 0;
        qint64 refused = 0;
        qint64 crashed = 0;
        qint64 timedOut = 0;
        qint64 garbled = 0;
        qint64 cancelled = 0;
        qint64 started = 0;  // workers started, restarts and extras included
    };

    struct Answer {
        Outcome outcome = Outcome::Refused;
        QImage picture;  // null unless Loaded
        QSize ownSize;   // the file's own size in pixels (the full picture); invalid unless Loaded
        PictureColour colour;  // the picture's colours (see PictureColour); empty unless Loaded
    };

    // Called once per request that is not cancelled, on one of the pool's threads. It must not
    // cancel its own request.
    using Completion = std::function<void(qint64 iTicket, const Answer& iAnswer)>;

    // Wall-clock time a worker may take for one file, in milliseconds.
    static constexpr int kTimeLimitMs = 10000;

    // iCommand: the worker program and its arguments (cWorkerProcess::Program for the real one);
    // iWorkers: how many (at least 1); iTimeLimitMs: the time limit per file. Returns once the
    // workers have started.
    cDecodePool(const QStringList& iCommand, int iWorkers, int iTimeLimitMs);
    // Kills the workers, reaping those already gone (see cWorkerProcess::Unreaped). Requests still
    // waiting are dropped: nobody may wait on this pool while it is destroyed.
    ~cDecodePool();
    cDecodePool(const cDecodePool&) = delete;
    cDecodePool& operator=(const cDecodePool&) = delete;

    // Decodes iFileName at full size in the Interactive lane and waits for it. Returns the picture
    // (its pixels live in memory shared with the worker, mapped privately: writing to it copies
    // only the pages written), or a null picture when the file is not a picture or the worker
    // failed; oOutcome, when given, says which. iUpright as Submit says.
    QImage Decode(const QString& iFileName, Outcome* oOutcome = nullptr, bool iUpright = false);

    // Decodes iFileName and waits for it; iMaxSide and iUpright as Submit says.
    Answer Decode(const QString& iFileName, Lane iLane, int iMaxSide, bool iUpright);

    // A new request ticket (> 0), unique in the process.
    static qint64 NewTicket();

    // Queues iFileName under iTicket (from NewTicket); iDone receives the answer. Never waits:
    // even the check that the name is a regular file happens on the pool's threads. iMaxSide > 0
    // asks for a picture no larger than that many pixels on its longer side; iUpright for a JPEG
    // turned upright by its EXIF orientation, its own size then the upright one
    // (MFreeImage::LoadReducedImageFile).
    // iRoughly: a reduced picture only as far as the decoder reduces cheaply (see
    // DecodeProtocol::kRoughly), for a quick first look.
    void Submit(qint64 iTicket, const QString& iFileName, Lane iLane, int iMaxSide, bool iUpright,
                Completion iDone, bool iRoughly = false);

    // Cancels a request: dropped when still waiting, its worker killed and replaced when being
    // decoded. Once Cancel returns, the request's completion is not running and never will.
    // Unknown and finished tickets are ignored.
    void Cancel(qint64 iTicket);

    Counters counters() const;
    int Size() const { return mBaseWorkers; }  // workers, without extras

    // The process ids of the workers that are idle now (for tests and diagnostics).
    QList<qint64> IdleWorkers() const;

    // The process id of the worker decoding iTicket now; -1 when it is waiting, done or unknown
    // (for tests and diagnostics).
    qint64 WorkerOf(qint64 iTicket) const;

    // The signal that stops a worker: SIGKILL. Tests give a harmless one to stand in for a worker
    // that cannot die at once. Set it before the pool is used.
    void setStopSignal(int iSignal) { mStopSignal = iSignal; }

    // The process-wide pool that LoadPictureFile and cDecodeFront use: one worker per core (at
    // most 8), created on first use and kept for the life of the process.
    static cDecodePool& Shared();

private:
    struct Job;
    struct Slot;

    // Each slot holds one worker (or none yet) and the thread that serves it.
    void RunSlot(Slot* slot);
    Answer Serve(Slot& slot, Job& job);
    Slot* AddSlot(bool extra);          // mMutex held
    void Dispatch();                    // mMutex held
    Slot* PickSlot(Lane lane);          // mMutex held
    static void Interrupt(Slot& slot);  // mMutex held
    void Count(Outcome outcome);
    bool Start(Slot& slot);  // on the slot's thread, mMutex not held
    void Stop(Slot& slot);   // mMutex held

    const QStringList mCommand;
    const int mTimeLimitMs;
    const int mBaseWorkers;
    std::atomic<int> mStopSignal;

    // Guards everything below, and each slot's fields but its thread's own work.
    mutable std::mutex mMutex;
    std::condition_variable mReady;  // the constructor waits on it for the first workers
    int mReadySlots = 0;
    std::atomic<bool> mStopping{false};
    std::vector<std::unique_ptr<Slot>> mSlots;               // the base workers first, then extras
    std::deque<std::shared_ptr<Job>> mWaiting[2];            // by Lane
    std::unordered_map<qint64, std::shared_ptr<Job>> mJobs;  // submitted, not yet delivered

    std::atomic<qint64> mLoaded{0};
    std::atomic<qint64> mRefused{0};
    std::atomic<qint64> mCrashed{0};
    std::atomic<qint64> mTimedOut{0};
    std::atomic<qint64> mGarbled{0};
    std::atomic<qint64> mCancelled{0};
    std::atomic<qint64> mStarted{0};
};
