#include "Compositor.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <functional>

namespace {

constexpr const char* kSocket = "lumora-wayland";

constexpr const char* kBusConfig =
    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
    "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
    "<auth>EXTERNAL</auth><policy context=\"default\">"
    "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
    "<allow own=\"*\"/></policy></busconfig>\n";

// Runs in the child between fork and exec: a process group of its own, so that Stop() reaches
// what it starts, and an end when the test process ends, however it ends.
void OwnGroupDyingWithParent() {
    setsid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

bool Poll(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() >= limitMs) {
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

// Ends a process started with OwnGroupDyingWithParent and everything left in its group.
void EndGroup(QProcess& p) {
    const qint64 pid = p.processId();
    if (pid <= 0) {
        return;
    }
    if (p.state() != QProcess::NotRunning) {
        kill(-pid, SIGTERM);
        if (!p.waitForFinished(5000)) {
            kill(-pid, SIGKILL);
            p.waitForFinished(5000);
        }
    }
    kill(-pid, SIGKILL);  // what outlived the leader (an Xwayland it started)
}

// The Xwayland whose parent is pid: its command line, split at the NULs; empty when none.
QStringList XwaylandOf(qint64 pid) {
    const QStringList procs = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : procs) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "1234 (Xwayland) S 1200 ...": the name in brackets, then the state, then the parent.
        const QString line = QString::fromUtf8(stat.readAll());
        const int close = line.lastIndexOf(')');
        if (!line.contains(QStringLiteral("(Xwayland)")) || close < 0 ||
            line.mid(close + 2).section(' ', 1, 1).toLongLong() != pid) {
            continue;
        }
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (cmdline.open(QIODevice::ReadOnly)) {
            return QString::fromUtf8(cmdline.readAll()).split(QChar(0), Qt::SkipEmptyParts);
        }
    }
    return {};
}

}  // namespace

SessionBus::SessionBus() {
    // A session bus that starts no service on demand: the desktop's own portal, installed beside,
    // must not answer in place of the stand-in or of nobody.
    QFile config(mDir.path() + QStringLiteral("/bus.conf"));
    if (!mDir.isValid() || !config.open(QIODevice::WriteOnly) ||
        config.write(kBusConfig) != qint64(qstrlen(kBusConfig))) {
        return;
    }
    config.close();
    mDaemon.setChildProcessModifier(OwnGroupDyingWithParent);
    mDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (mDaemon.waitForStarted(10000) && mDaemon.waitForReadyRead(10000)) {
        mAddress = QString::fromUtf8(mDaemon.readLine()).trimmed();
    }
}

SessionBus::~SessionBus() {
    if (mPortal) {
        EndGroup(*mPortal);
    }
    EndGroup(mDaemon);
}

bool SessionBus::StartPortal(const QString& answer) {
    mPortal = std::make_unique<QProcess>();
    mPortal->setChildProcessModifier(OwnGroupDyingWithParent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), mAddress);
    mPortal->setProcessEnvironment(env);
    mPortal->start(QStringLiteral(LUMORA_FAKE_PORTAL), {answer});
    return mPortal->waitForStarted(10000) && mPortal->waitForReadyRead(10000) &&
           mPortal->readLine().trimmed() == "ready";
}

bool Compositor::KindFromName(const QString& name, Kind* kind) {
    for (const Kind k : {Kind::MutterX11, Kind::MutterWayland, Kind::KWin, Kind::Weston}) {
        if (Name(k) == name) {
            *kind = k;
            return true;
        }
    }
    return false;
}

QString Compositor::Name(Kind kind) {
    switch (kind) {
        case Kind::MutterX11:
            return QStringLiteral("mutter-x11");
        case Kind::MutterWayland:
            return QStringLiteral("mutter-wayland");
        case Kind::KWin:
            return QStringLiteral("kwin");
        case Kind::Weston:
            return QStringLiteral("weston");
    }
    return QString();
}

Compositor::Compositor(Kind kind, const QString& xDisplay)
    : mKind(kind), mRuntime(mDir.path() + QStringLiteral("/run")), mXDisplay(xDisplay) {}

Compositor::~Compositor() {
    Stop();
}

QStringList Compositor::Command() const {
    switch (mKind) {
        case Kind::MutterX11:
            return {QStringLiteral("mutter"), QStringLiteral("--x11"), QStringLiteral("--replace")};
        case Kind::MutterWayland:
            return {
                QStringLiteral("mutter"),    QStringLiteral("--headless"),
                QStringLiteral("--wayland"), QStringLiteral("--virtual-monitor"),
                QStringLiteral("1280x800"),  QStringLiteral("--wayland-display=%1").arg(kSocket)};
        case Kind::KWin:
            // A copy: the installed binary carries file capabilities that a container may refuse
            // to execute. Its name must still end in kwin_wayland, or its own platform plugin
            // declines to load.
            return {mDir.path() + QStringLiteral("/bin/kwin_wayland"),
                    QStringLiteral("--virtual"),
                    QStringLiteral("--xwayland"),
                    QStringLiteral("--socket"),
                    QString::fromLatin1(kSocket),
                    QStringLiteral("--width"),
                    QStringLiteral("1280"),
                    QStringLiteral("--height"),
                    QStringLiteral("800")};
        case Kind::Weston:
            return {QStringLiteral("weston"),       QStringLiteral("--backend=headless-backend.so"),
                    QStringLiteral("--xwayland"),   QStringLiteral("--socket=%1").arg(kSocket),
                    QStringLiteral("--width=1280"), QStringLiteral("--height=800")};
    }
    return {};
}

bool Compositor::Start(int limitMs) {
    QElapsedTimer t;
    t.start();
    const auto left = [&] { return qMax<qint64>(0, limitMs - t.elapsed()); };
    if (!mDir.isValid() || !QDir().mkpath(mRuntime) ||
        !QFile::setPermissions(
            mRuntime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        mError = QStringLiteral("no runtime folder");
        return false;
    }
    if (!mBus.ok()) {
        mError = QStringLiteral("no session bus (dbus-daemon)");
        return false;
    }
    if (mKind == Kind::KWin) {
        QDir().mkpath(mDir.path() + QStringLiteral("/bin"));
        if (!QFile::copy(QStringLiteral("/usr/bin/kwin_wayland"),
                         mDir.path() + QStringLiteral("/bin/kwin_wayland"))) {
            mError = QStringLiteral("kwin_wayland is not installed");
            return false;
        }
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), mRuntime);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), mBus.Address());
    // Its own home: no settings of the machine's user change what it does.
    env.insert(QStringLiteral("HOME"), mDir.path());
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XDG_SESSION_TYPE"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (mKind == Kind::MutterX11) {
        env.insert(QStringLiteral("DISPLAY"), mXDisplay);
    } else {
        env.remove(QStringLiteral("DISPLAY"));
    }
    mProcess.setProcessEnvironment(env);
    mProcess.setChildProcessModifier(OwnGroupDyingWithParent);
    // Into a file: a pipe nobody reads would stop it once full.
    mProcess.setProcessChannelMode(QProcess::MergedChannels);
    mProcess.setStandardOutputFile(mDir.path() + QStringLiteral("/log"));
    const QStringList command = Command();
    mProcess.start(command.first(), command.mid(1));
    if (!mProcess.waitForStarted(int(left()))) {
        mError = command.first() + QStringLiteral(" did not start: ") + mProcess.errorString();
        return false;
    }
    const bool up = Poll([&] { return !Running() || (FindXDisplay() && Manages()); }, int(left()));
    if (!up || !Running()) {
        QFile log(mDir.path() + QStringLiteral("/log"));
        log.open(QIODevice::ReadOnly);
        mError =
            Name(mKind) +
            (Running() ? QStringLiteral(" manages no X window yet") : QStringLiteral(" ended")) +
            QStringLiteral(" (X display \"") + mXDisplay + QStringLiteral("\"); log:\n") +
            QString::fromUtf8(log.readAll().right(4000));
        return false;
    }
    return true;
}

void Compositor::Stop() {
    EndGroup(mProcess);
}

bool Compositor::Running() const {
    return mProcess.state() == QProcess::Running &&
           !const_cast<QProcess&>(mProcess).waitForFinished(0);
}

bool Compositor::FindXDisplay() {
    if (mKind == Kind::MutterX11) {
        return true;
    }
    const QStringList xwayland = XwaylandOf(mProcess.processId());
    for (int i = 1; i < xwayland.size(); ++i) {
        if (xwayland[i].startsWith(':')) {
            mXDisplay = xwayland[i];
        }
        if (xwayland[i] == QStringLiteral("-auth") && i + 1 < xwayland.size()) {
            mXAuthority = xwayland[i + 1];
        }
    }
    if (mXDisplay.isEmpty()) {
        // weston starts its Xwayland at the first X client, so only its log names the display;
        // mutter names it there too.
        QFile log(mDir.path() + QStringLiteral("/log"));
        if (log.open(QIODevice::ReadOnly)) {
            static const QRegularExpression said(
                QStringLiteral("(?:listening on display|Using public X11 display) (:\\d+)"));
            const QRegularExpressionMatch m = said.match(QString::fromUtf8(log.readAll()));
            mXDisplay = m.hasMatch() ? m.captured(1) : QString();
        }
    }
    // mutter's Xwayland reads its authority from a file in the runtime folder; clients need it.
    if (mKind == Kind::MutterWayland && mXAuthority.isEmpty()) {
        return false;
    }
    return !mXDisplay.isEmpty();
}

bool Compositor::Manages() {
    // "_NET_SUPPORTING_WM_CHECK(WINDOW): window id # 0x400006"
    return XTool(QStringLiteral("xprop"),
                 {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
        .contains(QStringLiteral("window id #"));
}

QString Compositor::XTool(const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QMap<QString, QString> client = ClientEnv();
    for (auto it = client.cbegin(); it != client.cend(); ++it) {
        env.insert(it.key(), it.value());
    }
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(2000);
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

QMap<QString, QString> Compositor::ClientEnv() const {
    QMap<QString, QString> env;
    env.insert(QStringLiteral("DISPLAY"), mXDisplay);
    if (!mXAuthority.isEmpty()) {
        env.insert(QStringLiteral("XAUTHORITY"), mXAuthority);
    }
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), mRuntime);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), mBus.Address());
    if (IsWayland()) {
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    }
    return env;
}
