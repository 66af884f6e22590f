#include "decode/cDecodePool.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <thread>

#include "base/GuardedWork.h"
#include "decode/cWorkerProcess.h"
#include "image/MFreeImage.h"

#if defined(Q_OS_LINUX)

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#endif

// One request, from Submit until its completion has run or it was cancelled.
struct cDecodePool::Job {
    qint64 ticket = 0;
    QString fileName;  // absolute, since a worker's working folder is the one it was started in
    Lane lane = Lane::Interactive;
    int maxSide = 0;       // pixels; 0 for the full picture
    bool upright = false;  // a JPEG turned upright by its EXIF orientation
    bool roughly = false;  // reduced only as far as the decoder does it cheaply
    Completion done;
    std::atomic<bool> cancelled{false};
    std::mutex deliver;    // held while done runs, so that Cancel can wait for it to end
    Slot* slot = nullptr;  // under mMutex: the slot decoding it, if any
};

struct cDecodePool::Slot {
    bool extra = false;  // started for Interactive work that found no idle worker
    // Written under mMutex; read by the slot's own thread without it.
    cWorkerProcess worker;
    bool busy = false;             // under mMutex: has a job
    std::shared_ptr<Job> job;      // under mMutex
    std::condition_variable wake;  // a job was given, or the pool ends
    // eventfd (Linux): wakes the slot's thread from its wait for a reply when the request is
    // cancelled or the pool ends.
    int interrupt = -1;
    std::thread thread;
};

namespace {
std::atomic<qint64> gNextTicket{1};

int LaneIndex(cDecodePool::Lane lane) {
    return lane == cDecodePool::Lane::Interactive ? 0 : 1;
}
}  // namespace

cDecodePool::cDecodePool(const QStringList& iCommand, int iWorkers, int iTimeLimitMs)
    : mCommand(iCommand),
      mTimeLimitMs(iTimeLimitMs),
      mBaseWorkers(qMax(1, iWorkers)),
#if defined(Q_OS_LINUX)
      mStopSignal(SIGKILL) {
#else
      mStopSignal(0) {
#endif
    std::unique_lock<std::mutex> lock(mMutex);
    for (int i = 0; i < mBaseWorkers; ++i) {
        AddSlot(false);
    }
    mReady.wait(lock, [&] { return mReadySlots == mBaseWorkers; });
}

cDecodePool::~cDecodePool() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
        for (const std::unique_ptr<Slot>& slot : mSlots) {
            Interrupt(*slot);
            slot->wake.notify_all();
        }
    }
    for (const std::unique_ptr<Slot>& slot : mSlots) {
        slot->thread.join();
    }
    std::lock_guard<std::mutex> lock(mMutex);
    for (const std::unique_ptr<Slot>& slot : mSlots) {
        Stop(*slot);
#if defined(Q_OS_LINUX)
        ::close(slot->interrupt);
#endif
    }
}

cDecodePool& cDecodePool::Shared() {
    // Never destroyed: threads may still decode while the process ends; the workers end with it.
    // Without worker processes (other than Linux) the command is empty: the slots decode here.
    static cDecodePool* const pool = new cDecodePool(
#if defined(Q_OS_LINUX)
        {cWorkerProcess::Program()},
#else
        {},
#endif
        static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)), kTimeLimitMs);
    return *pool;
}

qint64 cDecodePool::NewTicket() {
    return gNextTicket++;
}

void cDecodePool::Submit(qint64 iTicket, const QString& iFileName, Lane iLane, int iMaxSide,
                         bool iUpright, Completion iDone, bool iRoughly) {
    auto job = std::make_shared<Job>();
    job->ticket = iTicket;
    // Only text here (the working folder at most): no file is looked at on the caller's thread.
    job->fileName = iFileName.isEmpty() ? QString() : QFileInfo(iFileName).absoluteFilePath();
    job->lane = iLane;
    job->maxSide = qMax(0, iMaxSide);
    job->upright = iUpright;
    job->roughly = iRoughly;
    job->done = std::move(iDone);
    std::lock_guard<std::mutex> lock(mMutex);
    if (mStopping) {
        return;
    }
    mJobs[iTicket] = job;
    mWaiting[LaneIndex(iLane)].push_back(job);
    Dispatch();
}

void cDecodePool::Cancel(qint64 iTicket) {
    std::shared_ptr<Job> job;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        const auto found = mJobs.find(iTicket);
        if (found == mJobs.end()) {
            return;
        }
        job = found->second;
        if (job->cancelled.exchange(true)) {
            return;
        }
        std::deque<std::shared_ptr<Job>>& waiting = mWaiting[LaneIndex(job->lane)];
        const auto queued = std::find(waiting.begin(), waiting.end(), job);
        if (queued != waiting.end()) {
            waiting.erase(queued);
            mJobs.erase(found);
            ++mCancelled;
        } else if (job->slot != nullptr) {
            Interrupt(*job->slot);
        }
    }
    // A completion that is running now ends before Cancel returns; none starts later.
    std::lock_guard<std::mutex> running(job->deliver);
}

QImage cDecodePool::Decode(const QString& iFileName, Outcome* oOutcome, bool iUpright) {
    const Answer answer = Decode(iFileName, Lane::Interactive, 0, iUpright);
    if (oOutcome != nullptr) {
        *oOutcome = answer.outcome;
    }
    return answer.picture;
}

cDecodePool::Answer cDecodePool::Decode(const QString& iFileName, Lane iLane, int iMaxSide,
                                        bool iUpright) {
    struct Waiter {
        std::mutex lock;
        std::condition_variable done;
        bool answered = false;
        Answer answer;
    };
    auto waiter = std::make_shared<Waiter>();
    Submit(NewTicket(), iFileName, iLane, iMaxSide, iUpright,
           [waiter](qint64, const Answer& answer) {
               std::lock_guard<std::mutex> lock(waiter->lock);
               waiter->answer = answer;
               waiter->answered = true;
               waiter->done.notify_all();
           });
    std::unique_lock<std::mutex> lock(waiter->lock);
    waiter->done.wait(lock, [&] { return waiter->answered; });
    return waiter->answer;
}

cDecodePool::Counters cDecodePool::counters() const {
    Counters c;
    c.loaded = mLoaded.load();
    c.refused = mRefused.load();
    c.crashed = mCrashed.load();
    c.timedOut = mTimedOut.load();
    c.garbled = mGarbled.load();
    c.cancelled = mCancelled.load();
    c.started = mStarted.load();
    return c;
}

QList<qint64> cDecodePool::IdleWorkers() const {
    std::lock_guard<std::mutex> lock(mMutex);
    QList<qint64> pids;
    for (const std::unique_ptr<Slot>& slot : mSlots) {
        if (!slot->busy && slot->worker.Running()) {
            pids.append(slot->worker.Pid());
        }
    }
    return pids;
}

qint64 cDecodePool::WorkerOf(qint64 iTicket) const {
    std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mJobs.find(iTicket);
    if (found == mJobs.end() || found->second->slot == nullptr) {
        return -1;
    }
    return found->second->slot->worker.Pid();
}

cDecodePool::Slot* cDecodePool::AddSlot(bool extra) {
    auto slot = std::make_unique<Slot>();
    slot->extra = extra;
#if defined(Q_OS_LINUX)
    slot->interrupt = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
#endif
    Slot* added = slot.get();
    mSlots.push_back(std::move(slot));
    added->thread = std::thread(&cDecodePool::RunSlot, this, added);
    return added;
}

cDecodePool::Slot* cDecodePool::PickSlot(Lane lane) {
    cWorkerProcess::ReapUnreaped();
    // An idle worker that died on its own is reaped now rather than left a zombie until its slot
    // is next used; the slot starts a new one when it is.
    for (const std::unique_ptr<Slot>& slot : mSlots) {
        if (!slot->busy) {
            slot->worker.HasEnded();
        }
    }
    int extras = 0;
    for (const std::unique_ptr<Slot>& slot : mSlots) {
        if (!slot->extra && !slot->busy) {
            return slot.get();
        }
        extras += slot->extra ? 1 : 0;
    }
    if (lane == Lane::Background) {
        return nullptr;
    }
    for (const std::unique_ptr<Slot>& slot : mSlots) {
        if (slot->extra && !slot->busy) {
            return slot.get();
        }
    }
    return extras < mBaseWorkers ? AddSlot(true) : nullptr;
}

void cDecodePool::Dispatch() {
    while (!mStopping) {
        const int lane = !mWaiting[0].empty() ? 0 : !mWaiting[1].empty() ? 1 : -1;
        if (lane < 0) {
            return;
        }
        Slot* slot = PickSlot(lane == 0 ? Lane::Interactive : Lane::Background);
        if (slot == nullptr) {
            return;  // nothing for the other lane either: a Background job needs an idle worker
        }
        slot->job = mWaiting[lane].front();
        mWaiting[lane].pop_front();
        slot->job->slot = slot;
        slot->busy = true;
        slot->wake.notify_one();
    }
}

void cDecodePool::RunSlot(Slot* slot) {
    if (!slot->extra) {
        // Started on this thread, which lives as long as the pool: the worker ends with the thread
        // that started it.
        Start(*slot);
        std::lock_guard<std::mutex> lock(mMutex);
        ++mReadySlots;
        mReady.notify_all();
    }
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        slot->wake.wait(lock, [&] { return slot->job != nullptr || mStopping; });
        if (slot->job == nullptr) {
            return;  // the pool ends
        }
        const std::shared_ptr<Job> job = slot->job;
        lock.unlock();
        const Answer answer = Serve(*slot, *job);
        lock.lock();
        slot->job.reset();
        job->slot = nullptr;
        slot->busy = false;
        Dispatch();
        if (slot->extra && !slot->busy) {
            Stop(*slot);  // no Interactive work waits: the extra worker is not kept
        }
        lock.unlock();
        // Counted before the completion runs, so that whoever waits on it sees the count. A
        // request cancelled too late to stop its worker counts as what it came to.
        Count(answer.outcome);
        {
            std::lock_guard<std::mutex> delivering(job->deliver);
            if (!job->cancelled && job->done) {
                // The slot's thread ends nowhere but here: a completion that throws must not
                // take the program down with it.
                GuardedWork::Run("decode completion", [&] { job->done(job->ticket, answer); });
            }
        }
        lock.lock();
        mJobs.erase(job->ticket);
    }
}

void cDecodePool::Count(Outcome outcome) {
    switch (outcome) {
        case Outcome::Loaded:
            ++mLoaded;
            break;
        case Outcome::Refused:
            ++mRefused;
            break;
        case Outcome::Crashed:
            ++mCrashed;
            break;
        case Outcome::TimedOut:
            ++mTimedOut;
            break;
        case Outcome::Garbled:
            ++mGarbled;
            break;
        case Outcome::Cancelled:
            ++mCancelled;
            break;
    }
}

void cDecodePool::Interrupt(Slot& slot) {
#if defined(Q_OS_LINUX)
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(slot.interrupt, &one, sizeof one);
#else
    Q_UNUSED(slot);
#endif
}

bool cDecodePool::Start(Slot& slot) {
    cWorkerProcess started = cWorkerProcess::Start(mCommand);
    if (!started.Running()) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mMutex);
        slot.worker = std::move(started);
    }
    ++mStarted;
    return true;
}

void cDecodePool::Stop(Slot& slot) {
    slot.worker.Stop(mStopSignal.load());
}

#if defined(Q_OS_LINUX)

cDecodePool::Answer cDecodePool::Serve(Slot& slot, Job& job) {
    Answer answer;
    // A name that is no regular file is refused here, so no worker ever opens a pipe or a device.
    const QByteArray name = QFile::encodeName(job.fileName);
    if (name.isEmpty() || name.size() > DecodeProtocol::kMaxNameBytes ||
        !QFileInfo(job.fileName).isFile()) {
        return answer;
    }
    if (job.cancelled || mStopping) {
        answer.outcome = Outcome::Cancelled;
        return answer;
    }
    if (slot.worker.Running() && !slot.worker.IsQuiet()) {
        // Died (or spoke) while idle: replaced before it is given a file, which would otherwise
        // fail for no fault of its own.
        {
            std::lock_guard<std::mutex> lock(mMutex);
            Stop(slot);
        }
        Start(slot);
    }
    if (!slot.worker.Running() && !Start(slot)) {
        answer.outcome = Outcome::Crashed;
        return answer;
    }
    const cWorkerProcess::Result result = slot.worker.Exchange(
        name, job.maxSide, job.upright, slot.interrupt, mTimeLimitMs,
        [&] { return job.cancelled || mStopping; }, job.roughly);
    answer.outcome = result.outcome;
    if (answer.outcome == Outcome::Loaded) {
        answer.picture = result.picture;
        answer.ownSize = result.ownSize;
        answer.colour = result.colour;
    }
    if (result.last || (answer.outcome != Outcome::Loaded && answer.outcome != Outcome::Refused)) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            Stop(slot);
        }
        // Replaced at once, so the next file finds a warm worker; an extra one is started only
        // when it is needed again.
        if (!slot.extra && !mStopping) {
            Start(slot);
        }
    }
    return answer;
}

#else

// Elsewhere there is no worker process: the slots' threads decode in this process, and a cancelled
// request is only forgotten.
cDecodePool::Answer cDecodePool::Serve(Slot&, Job& job) {
    Answer answer;
    if (job.cancelled || mStopping) {
        answer.outcome = Outcome::Cancelled;
        return answer;
    }
    try {
        QSize own;
        answer.picture = MFreeImage::ImageToPicture(
            MFreeImage::LoadReducedImageFile(job.fileName, job.maxSide, &own, job.upright), true);
        if (!answer.picture.isNull()) {
            answer.outcome = Outcome::Loaded;
            answer.ownSize = own;
        }
    } catch (...) {
        // Error 481 or memory refused: the answer is a refusal, which its caller reports.
        answer.picture = QImage();
    }
    return answer;
}

#endif
