#include "decode/cWorkerProcess.h"

#include "image/ScreenColour.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

#if defined(Q_OS_LINUX)

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// Killed workers that had not gone yet when they were stopped, to be reaped later. Process-wide,
// so that a pool's destruction leaves nothing a later pool cannot reap.
struct UnreapedList {
    std::mutex lock;
    std::vector<pid_t> pids;
    // Those a thread of their own waits for and reaps: nobody else reaps them, so a number
    // reaped and given to a new worker is never waited for by mistake.
    std::vector<pid_t> waited;
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

// Says once per process that the worker program cannot be started: every load then fails as an
// invalid picture, which alone would not tell anyone why.
void WarnCannotStart(const QString& program, int error) {
    static std::atomic<bool> warned{false};
    if (!warned.exchange(true)) {
        qWarning("Lumora cannot start its picture decoder %s (%s); no picture file can be opened.",
                 qUtf8Printable(program), qUtf8Printable(qt_error_string(error)));
    }
}

// Reaps a killed worker the moment it has gone, on a thread that does nothing else: a worker that
// crashed may not have become a zombie yet when it is stopped, and must not stay one until the
// next worker happens to start. A worker stuck in an uninterruptible read keeps only this thread
// waiting. False when no thread could be had (ReapUnreaped then reaps it later).
bool ReapWhenGone(pid_t pid) {
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            UnreapedList& list = UnreapedPids();
            std::lock_guard<std::mutex> lock(list.lock);
            list.pids.erase(std::remove(list.pids.begin(), list.pids.end(), pid), list.pids.end());
            list.waited.erase(std::remove(list.waited.begin(), list.waited.end(), pid),
                              list.waited.end());
        }).detach();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

void cWorkerProcess::ReapUnreaped() {
    UnreapedList& list = UnreapedPids();
    std::lock_guard<std::mutex> lock(list.lock);
    list.pids.erase(std::remove_if(list.pids.begin(), list.pids.end(),
                                   [&list](pid_t pid) {
                                       return std::find(list.waited.begin(), list.waited.end(),
                                                        pid) == list.waited.end() &&
                                              Reaped(pid);
                                   }),
                    list.pids.end());
}

QList<qint64> cWorkerProcess::Unreaped() {
    UnreapedList& list = UnreapedPids();
    std::lock_guard<std::mutex> lock(list.lock);
    return QList<qint64>(list.pids.begin(), list.pids.end());
}

QString cWorkerProcess::Program() {
    return ProgramFor(
        QFile::decodeName(qgetenv("LUMORA_DECODE_WORKER")),
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath());
}

cWorkerProcess cWorkerProcess::Start(const QStringList& iCommand) {
    ReapUnreaped();
    cWorkerProcess started;
    if (iCommand.isEmpty()) {
        return started;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        return started;
    }
    // The worker's end is moved above the standard descriptors, so that placing it on
    // descriptor 3 in the child is a real duplication (which drops close-on-exec).
    const int childEnd = ::fcntl(pair[1], F_DUPFD_CLOEXEC, 10);
    ::close(pair[1]);
    if (childEnd < 0) {
        ::close(pair[0]);
        return started;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // Decoders print to the standard streams (libtiff's warnings); the program's stay quiet.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, childEnd, DecodeProtocol::kSocketFd);
    posix_spawn_file_actions_addclosefrom_np(&actions, DecodeProtocol::kSocketFd + 1);
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
    for (const QString& a : iCommand) {
        arguments.push_back(QFile::encodeName(a));
    }
    std::vector<char*> argv;
    for (QByteArray& a : arguments) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // The worker checks that its parent is still this process (see mdlDecodeWorker::TieToParent).
    const QByteArray parentEntry = QByteArray(DecodeProtocol::kParentVariable) + '=' +
                                   QByteArray::number(static_cast<qint64>(::getpid()));
    const QByteArray parentPrefix = QByteArray(DecodeProtocol::kParentVariable) + '=';
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, parentPrefix.constData(), static_cast<size_t>(parentPrefix.size())) !=
                0 &&
            std::strncmp(*e, DecodeProtocol::kScreenProfileVariable,
                         sizeof DecodeProtocol::kScreenProfileVariable - 1) != 0) {
            envp.push_back(*e);
        }
    }
    envp.push_back(const_cast<char*>(parentEntry.constData()));
    // The screen's profile, which the worker converts pictures to (sRGB when there is none).
    const QByteArray screenPrefix = QByteArray(DecodeProtocol::kScreenProfileVariable) + '=';
    const QByteArray screenProfile = ScreenColour::Profile();
    const QByteArray screenEntry =
        screenProfile.isEmpty() ? QByteArray() : screenPrefix + screenProfile.toBase64();
    if (!screenEntry.isEmpty()) {
        envp.push_back(const_cast<char*>(screenEntry.constData()));
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int failed =
        ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(childEnd);
    if (failed != 0) {
        ::close(pair[0]);
        WarnCannotStart(iCommand.front(), failed);
        return started;
    }
    started.mPid = pid;
    started.mSocket = pair[0];
    return started;
}

bool cWorkerProcess::IsQuiet() const {
    pollfd p{mSocket, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

bool cWorkerProcess::HasEnded() {
    if (mPid <= 0 || !Reaped(static_cast<pid_t>(mPid))) {
        return false;
    }
    ::close(mSocket);
    mPid = -1;
    mSocket = -1;
    return true;
}

void cWorkerProcess::Stop(int iSignal) {
    if (mPid > 0) {
        const auto pid = static_cast<pid_t>(mPid);
        ::kill(pid, iSignal);
        // Never waits: a worker that has not gone yet is reaped as it goes.
        if (!Reaped(pid)) {
            UnreapedList& list = UnreapedPids();
            std::lock_guard<std::mutex> lock(list.lock);
            list.pids.push_back(pid);
            if (ReapWhenGone(pid)) {
                list.waited.push_back(pid);
            }
        }
    }
    if (mSocket >= 0) {
        ::close(mSocket);
    }
    mPid = -1;
    mSocket = -1;
}

cWorkerProcess::Result cWorkerProcess::Exchange(const QByteArray& iName, int iMaxSide,
                                                bool iUpright, int iInterrupt, int iTimeLimitMs,
                                                const std::function<bool()>& iCancelled,
                                                bool iRoughly) {
    Result result;
    DecodeProtocol::Request request;
    request.nameBytes = static_cast<quint32>(iName.size());
    request.maxSide = iMaxSide;
    request.flags = (iUpright ? DecodeProtocol::kUpright : 0) |
                    (iRoughly && iMaxSide > 0 ? DecodeProtocol::kRoughly : 0);
    QByteArray message(reinterpret_cast<const char*>(&request), sizeof request);
    message.append(iName);
    for (;;) {
        const ssize_t n =
            ::send(mSocket, message.constData(), static_cast<size_t>(message.size()), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n != message.size()) {
            return result;  // Crashed: the worker is gone (or never got going)
        }
        break;
    }

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(iTimeLimitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            result.outcome = DecodeOutcome::TimedOut;
            return result;
        }
        pollfd p[2] = {{mSocket, POLLIN, 0}, {iInterrupt, POLLIN, 0}};
        const int ready = ::poll(p, 2, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) {
            return result;  // Crashed
        }
        if (ready > 0 && (p[1].revents & POLLIN) != 0) {
            quint64 count = 0;
            [[maybe_unused]] const ssize_t n = ::read(iInterrupt, &count, sizeof count);
            // Also left from a request cancelled just as it ended: then this one goes on.
            if (iCancelled()) {
                result.outcome = DecodeOutcome::Cancelled;
                return result;
            }
        }
        if (ready > 0 && p[0].revents != 0) {
            break;
        }
    }

    result.outcome = DecodeReply::ReadReply(mSocket, result.picture, &result.ownSize, &result.last,
                                            &result.colour);
    return result;
}

#else

// Elsewhere there is no worker process: the pool decodes in this process.

void cWorkerProcess::ReapUnreaped() {}
QList<qint64> cWorkerProcess::Unreaped() {
    return {};
}
QString cWorkerProcess::Program() {
    return QString();
}
cWorkerProcess cWorkerProcess::Start(const QStringList&) {
    return cWorkerProcess();
}
bool cWorkerProcess::IsQuiet() const {
    return true;
}
bool cWorkerProcess::HasEnded() {
    return false;
}
void cWorkerProcess::Stop(int) {}
cWorkerProcess::Result cWorkerProcess::Exchange(const QByteArray&, int, bool, int, int,
                                                const std::function<bool()>&, bool) {
    return Result();
}

#endif

cWorkerProcess::cWorkerProcess(cWorkerProcess&& other) noexcept
    : mPid(std::exchange(other.mPid, -1)), mSocket(std::exchange(other.mSocket, -1)) {}

cWorkerProcess& cWorkerProcess::operator=(cWorkerProcess&& other) noexcept {
    Q_ASSERT(!Running());
    mPid = std::exchange(other.mPid, -1);
    mSocket = std::exchange(other.mSocket, -1);
    return *this;
}

QString cWorkerProcess::ProgramFor(const QString& chosen, const QString& exeFolder,
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
