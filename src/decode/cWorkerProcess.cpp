#include "image/cDecodePool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <thread>

#include "image/MFreeImage.h"
#include "image/cDecodePool_Private.h"
#include "image/mdlDecodeWorker.h"

// The decode pool's worker processes: starting, stopping and reaping them, and the exchange with
// a worker. What a worker sends is checked in cDecodePool_Replies.cpp; the scheduling is in
// cDecodePool.cpp.

#if defined(Q_OS_LINUX)

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

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

}  // namespace

namespace cDecodePoolDetail {

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

}  // namespace cDecodePoolDetail

using cDecodePoolDetail::Reaped;
using cDecodePoolDetail::ReapUnreaped;

namespace {

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

cDecodePool& cDecodePool::Shared() {
    // Never destroyed: threads may still decode while the process ends; the workers end with it.
    static cDecodePool* const pool = new cDecodePool(
        {WorkerProgram()},
        static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)), kTimeLimitMs);
    return *pool;
}

QString cDecodePool::WorkerProgram() {
    return WorkerProgramFor(
        QFile::decodeName(qgetenv("LUMORA_DECODE_WORKER")),
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath());
}

QString cDecodePool::WorkerProgramFor(const QString& chosen, const QString& exeFolder,
                                      const std::function<bool(const QString&)>& isExecutable) {
    if (!chosen.isEmpty()) {
        return chosen;
    }
    const auto runs = [&](const QString& path) {
        return isExecutable ? isExecutable(path) : QFileInfo(path).isExecutable();
    };
    const QString beside = exeFolder + QStringLiteral("/lumora-decode");
    if (runs(beside)) {
        return beside;
    }
    const QString installed =
        QDir::cleanPath(exeFolder + QStringLiteral("/../libexec/lumora/lumora-decode"));
    return runs(installed) ? installed : beside;
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
    request.flags = job.upright ? mdlDecodeWorker::kUpright : 0;
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
