#pragma once

// Private to the decode pool's own files: what both its scheduling (cDecodePool.cpp: tickets,
// lanes, slots, dispatch, cancel, counters) and its worker processes (cDecodePool_Workers.cpp)
// need.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "image/cDecodePool.h"

#if defined(Q_OS_LINUX)
#include <sys/types.h>
#endif

// One request, from Submit until its completion has run or it was cancelled.
struct cDecodePool::Job {
    qint64 ticket = 0;
    QString fileName;  // absolute, since a worker's working folder is the one it was started in
    Lane lane = Lane::Interactive;
    int maxSide = 0;       // pixels; 0 for the full picture
    bool upright = false;  // a JPEG turned upright by its EXIF orientation
    Completion done;
    std::atomic<bool> cancelled{false};
    std::mutex deliver;    // held while done runs, so that Cancel can wait for it to end
    Slot* slot = nullptr;  // under mMutex: the slot decoding it, if any
};

struct cDecodePool::Slot {
    bool extra = false;  // started for Interactive work that found no idle worker
    // Written under mMutex; read by the slot's own thread without it.
    qint64 pid = -1;
    int socket = -1;
    bool busy = false;             // under mMutex: has a job
    std::shared_ptr<Job> job;      // under mMutex
    std::condition_variable wake;  // a job was given, or the pool ends
    // eventfd (Linux): wakes the slot's thread from its wait for a reply when the request is
    // cancelled or the pool ends.
    int interrupt = -1;
    std::thread thread;
};

#if defined(Q_OS_LINUX)

namespace cDecodePoolDetail {

// Reaps pid when it has ended, without waiting. True when it is gone: reaped now, or no child
// of this process any more.
bool Reaped(pid_t pid);

// Reaps every killed worker on the process-wide list that has gone, without waiting.
void ReapUnreaped();

}  // namespace cDecodePoolDetail

#endif
