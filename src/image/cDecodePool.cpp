#include "image/cDecodePool.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <thread>

#include "image/MFreeImage.h"
#include "image/mdlDecodeWorker.h"

#if defined(Q_OS_LINUX)

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

namespace {

using mdlDecodeWorker::Reply;

// A picture's rows mapped from a worker's memfd; unmapped when the last QImage sharing them goes.
struct MappedRows {
    void* address;
    size_t size;
};

void UnmapRows(void* info) {
    auto* rows = static_cast<MappedRows*>(info);
    ::munmap(rows->address, rows->size);
    delete rows;
}

// Killed workers that had not gone yet when they were stopped, to be reaped later. Process-wide,
// so that a pool's destruction leaves nothing a later pool cannot reap.
struct UnreapedList {
    std::mutex lock;
    std::vector<pid_t> pids;
};

UnreapedList& UnreapedPids() {
    static UnreapedList* const list = new UnreapedList;  // never destroyed: used until exit
    return *list;
}

// Reaps pid when it has ended, without waiting. True when it is gone: reaped now, or no child
// of this process any more.
bool Reaped(pid_t pid) {
    for (;;) {
        const pid_t r = ::waitpid(pid, nullptr, WNOHANG);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        return r == pid || (r < 0 && errno == ECHILD);
    }
}

void ReapUnreaped() {
    UnreapedList& list = UnreapedPids();
    std::lock_guard<std::mutex> lock(list.lock);
    list.pids.erase(std::remove_if(list.pids.begin(), list.pids.end(), Reaped), list.pids.end());
}

void CloseAll(const std::vector<int>& fds) {
    for (const int fd : fds) {
        ::close(fd);
    }
}

// Says once per process that the worker program cannot be started: every load then fails as an
// invalid picture, which alone would not tell anyone why.
void WarnCannotStart(const QString& program, int error) {
    static std::atomic<bool> warned{false};
    if (!warned.exchange(true)) {
        qWarning("Lumora cannot start its picture decoder %s (%s); no picture file can be opened.",
                 qUtf8Printable(program), qUtf8Printable(qt_error_string(error)));
    }
}

// True when an idle worker's socket has nothing to say: no reply pending, not closed.
bool IsQuiet(int socket) {
    pollfd p{socket, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

}  // namespace

#endif

// One request, from Submit until its completion has run or it was cancelled.
struct cDecodePool::Job {
    qint64 ticket = 0;
    QString fileName;  // absolute, since a worker's working folder is the one it was started in
    Lane lane = Lane::Interactive;
    int maxSide = 0;  // pixels; 0 for the full picture
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
                         Completion iDone) {
    auto job = std::make_shared<Job>();
    job->ticket = iTicket;
    // Only text here (the working folder at most): no file is looked at on the caller's thread.
    job->fileName = iFileName.isEmpty() ? QString() : QFileInfo(iFileName).absoluteFilePath();
    job->lane = iLane;
    job->maxSide = qMax(0, iMaxSide);
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

QImage cDecodePool::Decode(const QString& iFileName, Outcome* oOutcome) {
    const Answer answer = Decode(iFileName, Lane::Interactive, 0);
    if (oOutcome != nullptr) {
        *oOutcome = answer.outcome;
    }
    return answer.picture;
}

cDecodePool::Answer cDecodePool::Decode(const QString& iFileName, Lane iLane, int iMaxSide) {
    struct Waiter {
        std::mutex lock;
        std::condition_variable done;
        bool answered = false;
        Answer answer;
    };
    auto waiter = std::make_shared<Waiter>();
    Submit(NewTicket(), iFileName, iLane, iMaxSide, [waiter](qint64, const Answer& answer) {
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

#if defined(Q_OS_LINUX)

cDecodePool& cDecodePool::Shared() {
    // Never destroyed: threads may still decode while the process ends; the workers end with it.
    static cDecodePool* const pool = new cDecodePool(
        {WorkerProgram()},
        static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)), kTimeLimitMs);
    return *pool;
}

QString cDecodePool::WorkerProgram() {
    const QByteArray chosen = qgetenv("LUMORA_DECODE_WORKER");
    if (!chosen.isEmpty()) {
        return QFile::decodeName(chosen);
    }
    const QString beside =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath() +
        QStringLiteral("/lumora-decode");
    if (QFileInfo(beside).isExecutable()) {
        return beside;
    }
#if defined(LUMORA_DECODE_BUILD_PATH)
    // Tests and benchmarks run from their own folders of the build tree.
    const QString built = QStringLiteral(LUMORA_DECODE_BUILD_PATH);
    if (QFileInfo(built).isExecutable()) {
        return built;
    }
#endif
    return beside;
}

QList<qint64> cDecodePool::Unreaped() {
    UnreapedList& list = UnreapedPids();
    std::lock_guard<std::mutex> lock(list.lock);
    return QList<qint64>(list.pids.begin(), list.pids.end());
}

void cDecodePool::Interrupt(Slot& slot) {
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(slot.interrupt, &one, sizeof one);
}

cDecodePool::Answer cDecodePool::Serve(Slot& slot, Job& job) {
    Answer answer;
    // A name that is no regular file is refused here, so no worker ever opens a pipe or a device.
    const QByteArray name = QFile::encodeName(job.fileName);
    if (name.isEmpty() || name.size() > mdlDecodeWorker::kMaxNameBytes ||
        !QFileInfo(job.fileName).isFile()) {
        return answer;
    }
    if (job.cancelled || mStopping) {
        answer.outcome = Outcome::Cancelled;
        return answer;
    }
    if (slot.pid >= 0 && !IsQuiet(slot.socket)) {
        // Died (or spoke) while idle: replaced before it is given a file, which would otherwise
        // fail for no fault of its own.
        {
            std::lock_guard<std::mutex> lock(mMutex);
            Stop(slot);
        }
        Start(slot);
    }
    if (slot.pid < 0 && !Start(slot)) {
        answer.outcome = Outcome::Crashed;
        return answer;
    }
    bool last = false;
    answer.outcome = Exchange(slot, job, name, answer, last);
    if (answer.outcome != Outcome::Loaded) {
        answer.picture = QImage();
        answer.ownSize = QSize();
    }
    if (last || (answer.outcome != Outcome::Loaded && answer.outcome != Outcome::Refused)) {
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

bool cDecodePool::Start(Slot& slot) {
    ReapUnreaped();
    if (mCommand.isEmpty()) {
        return false;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        return false;
    }
    // The worker's end is moved above the standard descriptors, so that placing it on
    // descriptor 3 in the child is a real duplication (which drops close-on-exec).
    const int childEnd = ::fcntl(pair[1], F_DUPFD_CLOEXEC, 10);
    ::close(pair[1]);
    if (childEnd < 0) {
        ::close(pair[0]);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // Decoders print to the standard streams (libtiff's warnings); the program's stay quiet.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, childEnd, mdlDecodeWorker::kSocketFd);
    posix_spawn_file_actions_addclosefrom_np(&actions, mdlDecodeWorker::kSocketFd + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<QByteArray> arguments;
    for (const QString& a : mCommand) {
        arguments.push_back(QFile::encodeName(a));
    }
    std::vector<char*> argv;
    for (QByteArray& a : arguments) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // The worker checks that its parent is still this process (see mdlDecodeWorker::TieToParent).
    const QByteArray parentEntry = QByteArray(mdlDecodeWorker::kParentVariable) + '=' +
                                   QByteArray::number(static_cast<qint64>(::getpid()));
    const QByteArray parentPrefix = QByteArray(mdlDecodeWorker::kParentVariable) + '=';
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, parentPrefix.constData(), static_cast<size_t>(parentPrefix.size())) !=
            0) {
            envp.push_back(*e);
        }
    }
    envp.push_back(const_cast<char*>(parentEntry.constData()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int failed =
        ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(childEnd);
    if (failed != 0) {
        ::close(pair[0]);
        WarnCannotStart(mCommand.front(), failed);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mMutex);
        slot.pid = pid;
        slot.socket = pair[0];
    }
    ++mStarted;
    return true;
}

void cDecodePool::Stop(Slot& slot) {
    if (slot.pid > 0) {
        const auto pid = static_cast<pid_t>(slot.pid);
        ::kill(pid, mStopSignal.load());
        // Never waits: a worker that has not gone yet is reaped later (see PickSlot and Start).
        if (!Reaped(pid)) {
            UnreapedList& list = UnreapedPids();
            std::lock_guard<std::mutex> lock(list.lock);
            list.pids.push_back(pid);
        }
    }
    if (slot.socket >= 0) {
        ::close(slot.socket);
    }
    slot.pid = -1;
    slot.socket = -1;
}

cDecodePool::Outcome cDecodePool::Exchange(Slot& slot, const Job& job, const QByteArray& name,
                                           Answer& oAnswer, bool& oLast) {
    mdlDecodeWorker::Request request;
    request.nameBytes = static_cast<quint32>(name.size());
    request.maxSide = job.maxSide;
    QByteArray message(reinterpret_cast<const char*>(&request), sizeof request);
    message.append(name);
    for (;;) {
        const ssize_t n = ::send(slot.socket, message.constData(),
                                 static_cast<size_t>(message.size()), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n != message.size()) {
            return Outcome::Crashed;  // the worker is gone (or never got going)
        }
        break;
    }

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(mTimeLimitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return Outcome::TimedOut;
        }
        pollfd p[2] = {{slot.socket, POLLIN, 0}, {slot.interrupt, POLLIN, 0}};
        const int ready = ::poll(p, 2, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) {
            return Outcome::Crashed;
        }
        if (ready > 0 && (p[1].revents & POLLIN) != 0) {
            quint64 count = 0;
            [[maybe_unused]] const ssize_t n = ::read(slot.interrupt, &count, sizeof count);
            // Also left from a request cancelled just as it ended: then this one goes on.
            if (job.cancelled || mStopping) {
                return Outcome::Cancelled;
            }
        }
        if (ready > 0 && p[0].revents != 0) {
            break;
        }
    }

    return ReadReplyOf(slot.socket, oAnswer.picture, &oAnswer.ownSize, &oLast);
}

cDecodePool::Outcome cDecodePool::ReadReply(int iSocket, QImage& oPicture) {
    return ReadReplyOf(iSocket, oPicture, nullptr, nullptr);
}

cDecodePool::Outcome cDecodePool::ReadReplyOf(int iSocket, QImage& oPicture, QSize* oOwnSize,
                                              bool* oLast) {
    // One byte more than a reply, so a longer message shows as truncated.
    alignas(Reply) char buffer[sizeof(Reply) + 8];
    iovec iov{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = -1;
    do {
        n = ::recvmsg(iSocket, &msg, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    std::vector<int> fds;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); n >= 0 && c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
                fds.push_back(fd);
            }
        }
    }
    if (n <= 0) {
        CloseAll(fds);
        return Outcome::Crashed;  // closed: the worker died
    }
    Reply reply;
    const bool whole =
        n == static_cast<ssize_t>(sizeof reply) && (msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0;
    if (whole) {
        std::memcpy(&reply, buffer, sizeof reply);
    }
    if (whole && reply.magic == mdlDecodeWorker::kReplyMagic) {
        if (oLast != nullptr) {
            *oLast = (reply.flags & mdlDecodeWorker::kLastReply) != 0;
        }
        if (reply.status == mdlDecodeWorker::Status::Refused && fds.empty()) {
            return Outcome::Refused;
        }
        if (reply.status == mdlDecodeWorker::Status::Picture && fds.size() == 1) {
            oPicture = PictureFromReply(reply, fds.front());
            if (oOwnSize != nullptr) {
                *oOwnSize = QSize(reply.ownWidth, reply.ownHeight);
            }
            return oPicture.isNull() ? Outcome::Garbled : Outcome::Loaded;
        }
    }
    CloseAll(fds);
    return Outcome::Garbled;
}

QImage cDecodePool::PictureFromReply(const Reply& reply, int memfd) {
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{memfd};
    // The format is checked as the number it came as: only a known value becomes a QImage::Format.
    int depth = 0;
    bool colorsFit = false;
    switch (reply.format) {
        case QImage::Format_Mono:
            depth = 1;
            colorsFit = reply.colorCount == 2;
            break;
        case QImage::Format_Indexed8:
            // 16 colours come from a 4-bit file, whose pixels were widened to a byte each.
            depth = 8;
            colorsFit = reply.colorCount == 16 || reply.colorCount == 256;
            break;
        case QImage::Format_RGB16:
        case QImage::Format_RGB555:
            depth = 16;
            colorsFit = reply.colorCount == 0;
            break;
        case QImage::Format_BGR888:
            depth = 24;
            colorsFit = reply.colorCount == 0;
            break;
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
            depth = 32;
            colorsFit = reply.colorCount == 0;
            break;
        default:
            return QImage();
    }
    if (!colorsFit || reply.width <= 0 || reply.height <= 0 || reply.ownWidth < reply.width ||
        reply.ownHeight < reply.height ||
        static_cast<qint64>(reply.width) * reply.height > MFreeImage::kMaxPicturePixels) {
        return QImage();
    }
    const auto format = static_cast<QImage::Format>(reply.format);
    const qint64 bytesPerLine = (static_cast<qint64>(reply.width) * depth + 31) / 32 * 4;
    if (reply.bytesPerLine != bytesPerLine) {
        return QImage();
    }
    const qint64 size = bytesPerLine * reply.height;
    // Sealed, the rows can neither change nor shrink under the mapping (a shrunk file would turn
    // a read of the picture into SIGBUS). A pipe or a plain file has no seals and fails here.
    struct stat st {};
    const int seals = ::fcntl(memfd, F_GET_SEALS);
    const int needed = F_SEAL_SHRINK | F_SEAL_WRITE;
    if (seals < 0 || (seals & needed) != needed || ::fstat(memfd, &st) != 0 ||
        !S_ISREG(st.st_mode) || st.st_size < size) {
        return QImage();
    }
    void* address =
        ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_PRIVATE, memfd, 0);
    if (address == MAP_FAILED) {
        return QImage();
    }
    auto* rows = new MappedRows{address, static_cast<size_t>(size)};
    QImage picture(static_cast<uchar*>(address), reply.width, reply.height,
                   static_cast<qsizetype>(bytesPerLine), format, &UnmapRows, rows);
    if (picture.isNull()) {
        UnmapRows(rows);
        return QImage();
    }
    if (reply.colorCount > 0) {
        // The worker's table as sent, padded with black to the full table of the format, so that
        // every index a row can hold names a colour.
        QList<QRgb> table(std::begin(reply.colors), std::begin(reply.colors) + reply.colorCount);
        table.resize(format == QImage::Format_Indexed8 ? 256 : 2, qRgb(0, 0, 0));
        picture.setColorTable(table);
    }
    if (reply.dotsPerMeterX > 0 && reply.dotsPerMeterY > 0) {
        picture.setDotsPerMeterX(reply.dotsPerMeterX);
        picture.setDotsPerMeterY(reply.dotsPerMeterY);
    }
    return picture;
}

#else

// Elsewhere there is no worker process: the slots' threads decode in this process, and a cancelled
// request is only forgotten.

cDecodePool& cDecodePool::Shared() {
    static cDecodePool* const pool = new cDecodePool(
        {}, static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)),
        kTimeLimitMs);
    return *pool;
}
QString cDecodePool::WorkerProgram() {
    return QString();
}
QList<qint64> cDecodePool::Unreaped() {
    return {};
}
void cDecodePool::Interrupt(Slot&) {}
bool cDecodePool::Start(Slot&) {
    return true;
}
void cDecodePool::Stop(Slot&) {}
cDecodePool::Outcome cDecodePool::Exchange(Slot&, const Job&, const QByteArray&, Answer&, bool&) {
    return Outcome::Crashed;
}
cDecodePool::Outcome cDecodePool::ReadReply(int, QImage&) {
    return Outcome::Crashed;
}
cDecodePool::Outcome cDecodePool::ReadReplyOf(int, QImage&, QSize*, bool*) {
    return Outcome::Crashed;
}
QImage cDecodePool::PictureFromReply(const mdlDecodeWorker::Reply&, int) {
    return QImage();
}
cDecodePool::Answer cDecodePool::Serve(Slot&, Job& job) {
    Answer answer;
    if (job.cancelled || mStopping) {
        answer.outcome = Outcome::Cancelled;
        return answer;
    }
    try {
        QSize own;
        answer.picture = MFreeImage::ImageToPicture(
            MFreeImage::LoadReducedImageFile(job.fileName, job.maxSide, &own), true);
        if (!answer.picture.isNull()) {
            answer.outcome = Outcome::Loaded;
            answer.ownSize = own;
        }
    } catch (...) {
        answer.picture = QImage();
    }
    return answer;
}

#endif
