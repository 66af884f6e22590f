#include "image/cDecodePool.h"

#include <QFileInfo>
#include <algorithm>
#include <thread>

#include "image/cDecodePool_Private.h"

#if defined(Q_OS_LINUX)

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

using cDecodePoolDetail::Reaped;
using cDecodePoolDetail::ReapUnreaped;

#endif

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

qint64 cDecodePool::NewTicket() {
    return gNextTicket++;
}

void cDecodePool::Submit(qint64 iTicket, const QString& iFileName, Lane iLane, int iMaxSide,
                         bool iUpright, Completion iDone) {
    auto job = std::make_shared<Job>();
    job->ticket = iTicket;
    // Only text here (the working folder at most): no file is looked at on the caller's thread.
    job->fileName = iFileName.isEmpty() ? QString() : QFileInfo(iFileName).absoluteFilePath();
    job->lane = iLane;
    job->maxSide = qMax(0, iMaxSide);
    job->upright = iUpright;
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
        if (!slot->busy && slot->pid > 0) {
            pids.append(slot->pid);
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
    return found->second->slot->pid;
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
#if defined(Q_OS_LINUX)
    ReapUnreaped();
    // An idle worker that died on its own is reaped now rather than left a zombie until its slot
    // is next used; the slot starts a new one when it is.
    for (const std::unique_ptr<Slot>& slot : mSlots) {
        if (!slot->busy && slot->pid > 0 && Reaped(static_cast<pid_t>(slot->pid))) {
            ::close(slot->socket);
            slot->pid = -1;
            slot->socket = -1;
        }
    }
#endif
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
                job->done(job->ticket, answer);
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
