#include "SwaySession.h"

#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <functional>

#include "XSession.h"

namespace {

constexpr int kStartLimitMs = 20000;

// The processes whose parent is this one: the session's orphans, adopted by the test.
QList<pid_t> Children() {
    QList<pid_t> out;
    const QString self = QString::number(getpid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // pid (name) state ppid ...: the name may hold spaces, so read after its last ')'.
        const QString line = QString::fromUtf8(stat.readAll());
        const QStringList rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest[1] == self) {
            out << pid;
        }
    }
    return out;
}

// Ends and reaps every adopted orphan, asking first.
void EndOrphans() {
    for (const int sig : {SIGTERM, SIGKILL}) {
        for (const pid_t pid : Children()) {
            kill(pid, sig);
        }
        XSession::Poll(
            [] {
                while (waitpid(-1, nullptr, WNOHANG) > 0) {
                }
                return Children().isEmpty();
            },
            5000);
    }
}

}  // namespace

SwaySession::SwaySession(QColor background) {
    // Sway's own children (Xwayland, the background) and whatever its programs leave behind come
    // to this process when their parents end, to be ended with the session.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    uid_t uid = getuid();
    gid_t gid = getgid();
    if (uid == 0) {
        mUser = qEnvironmentVariable("LUMORA_TEST_USER", QStringLiteral("lumora-test"));
        const passwd* pw = getpwnam(mUser.toLocal8Bit().constData());
        if (pw == nullptr) {
            Fail(QStringLiteral("no user %1 to run Sway as (scripts/setup makes it)").arg(mUser));
            return;
        }
        uid = pw->pw_uid;
        gid = pw->pw_gid;
    }
    char name[] = "/tmp/lumora-sway-XXXXXX";
    if (mkdtemp(name) == nullptr) {
        Fail(QStringLiteral("no temporary folder"));
        return;
    }
    mFolder = QString::fromLocal8Bit(name);
    const QString runtime = mFolder + "/run";
    QDir().mkdir(runtime);
    for (const QString& path : {mFolder, runtime}) {
        if (chown(QFile::encodeName(path).constData(), uid, gid) != 0 ||
            chmod(QFile::encodeName(path).constData(), 0700) != 0) {
            Fail(QStringLiteral("cannot give %1 to the session's user").arg(path));
            return;
        }
    }

    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    mEnv = {{"PATH", "/usr/local/bin:/usr/bin:/bin"},
            {"HOME", mFolder},
            {"LANG", "C.UTF-8"},
            {"XDG_RUNTIME_DIR", runtime},
            {"XDG_CURRENT_DESKTOP", "sway"},
            {"XDG_SESSION_TYPE", "wayland"}};
    for (const char* pass : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "QT_QPA_FONTDIR"}) {
        if (own.contains(pass)) {
            mEnv[pass] = own.value(pass);
        }
    }
    // The leak checker's suppressions are read by the session's user, who may not reach the
    // source tree: a copy in the session's folder stands in for them.
    static const QRegularExpression suppressions(QStringLiteral("suppressions=([^:]+)"));
    const QRegularExpressionMatch named = suppressions.match(mEnv.value("LSAN_OPTIONS"));
    if (named.hasMatch()) {
        const QString copy = mFolder + "/lsan.supp";
        QFile::copy(named.captured(1), copy);
        GiveToUser(copy);
        mEnv["LSAN_OPTIONS"].replace(named.captured(1), copy);
    }

    QProcess* bus = Launch("dbus-daemon", {"--session", "--nofork", "--print-address=1"}, mEnv);
    if (!bus->waitForReadyRead(kStartLimitMs)) {
        Fail(QStringLiteral("no session bus"));
        return;
    }
    mEnv["DBUS_SESSION_BUS_ADDRESS"] = QString::fromUtf8(bus->readLine()).trimmed();

    // Sway writes its displays down once it runs: the X display is Xwayland's, which starts when
    // its first client connects.
    const QString ready = mFolder + "/displays";
    QFile config(mFolder + "/config");
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("xwayland enable\n"
                                "output HEADLESS-1 resolution 1280x800 position 0 0 bg %1 "
                                "solid_color\n"
                                "exec sh -c 'echo \"$DISPLAY $WAYLAND_DISPLAY $SWAYSOCK\" > "
                                "%2.new && mv %2.new %2'\n")
                     .arg(background.name(), ready)
                     .toUtf8());
    config.close();
    GiveToUser(config.fileName());
    QMap<QString, QString> swayEnv = mEnv;
    swayEnv["WLR_BACKENDS"] = "headless";
    swayEnv["WLR_RENDERER"] = "pixman";
    swayEnv["WLR_LIBINPUT_NO_DEVICES"] = "1";
    QProcess* sway = Launch("sway", {"-c", config.fileName()}, swayEnv);
    QStringList displays;
    XSession::Poll(
        [&] {
            QFile f(ready);
            if (f.open(QIODevice::ReadOnly)) {
                displays = QString::fromUtf8(f.readAll()).simplified().split(' ');
            }
            return displays.size() == 3 || sway->state() == QProcess::NotRunning;
        },
        kStartLimitMs);
    if (displays.size() != 3) {
        QFile log(mFolder + "/sway.log");
        log.open(QIODevice::ReadOnly);
        Fail(QStringLiteral("Sway did not start: ") + QString::fromUtf8(log.readAll().right(2000)));
        return;
    }
    mEnv["DISPLAY"] = displays[0];
    mEnv["WAYLAND_DISPLAY"] = displays[1];
    mEnv["SWAYSOCK"] = displays[2];

    // The portal's backend gives up at once when PipeWire does not answer yet.
    Launch("pipewire", {}, mEnv);
    if (!XSession::Poll([&] { return QFile::exists(runtime + "/pipewire-0"); }, kStartLimitMs)) {
        Fail(QStringLiteral("PipeWire did not start"));
        return;
    }
    Launch("/usr/libexec/xdg-desktop-portal-wlr", {}, mEnv);
    if (!WaitForBusName("org.freedesktop.impl.portal.desktop.wlr", kStartLimitMs)) {
        Fail(QStringLiteral("the portal's wlroots backend did not start"));
        return;
    }
    Launch("/usr/libexec/xdg-desktop-portal", {"-r"}, mEnv);
    if (!WaitForBusName("org.freedesktop.portal.Desktop", kStartLimitMs)) {
        Fail(QStringLiteral("the desktop portal did not start"));
    }
}

SwaySession::~SwaySession() {
    while (!mProcesses.empty()) {
        Stop(mProcesses.back().get());
    }
    EndOrphans();
    if (!mFolder.isEmpty()) {
        QDir(mFolder).removeRecursively();
    }
}

void SwaySession::Fail(const QString& why) {
    if (mError.isEmpty()) {
        mError = why;
    }
}

void SwaySession::GiveToUser(const QString& path) const {
    if (mUser.isEmpty()) {
        return;
    }
    if (const passwd* pw = getpwnam(mUser.toLocal8Bit().constData())) {
        [[maybe_unused]] const int ignored =
            chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid);
    }
}

QStringList SwaySession::Runner() const {
    return mUser.isEmpty() ? QStringList() : QStringList{"runuser", "-u", mUser, "--"};
}

QProcess* SwaySession::Launch(const QString& program, const QStringList& args,
                              const QMap<QString, QString>& env) {
    QStringList line = Runner() << "env"
                                << "-i";
    for (auto it = env.begin(); it != env.end(); ++it) {
        line << it.key() + '=' + it.value();
    }
    line << program << args;
    auto p = std::make_unique<QProcess>();
    p->setWorkingDirectory(mFolder);
    // What goes wrong shows in the test's log; Sway's own log goes to its file.
    if (program == QStringLiteral("sway")) {
        p->setStandardErrorFile(mFolder + "/sway.log");
    } else {
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    p->start(line.takeFirst(), line);
    p->waitForStarted(kStartLimitMs);
    mProcesses.push_back(std::move(p));
    return mProcesses.back().get();
}

QProcess* SwaySession::Start(const QString& program, const QStringList& args,
                             const QMap<QString, QString>& extra) {
    QMap<QString, QString> env = mEnv;
    env.insert(extra);
    return Launch(program, args, env);
}

void SwaySession::Stop(QProcess* p) {
    if (p->state() != QProcess::NotRunning) {
        // The program runuser runs is asked to end; runuser then ends with it (signalled itself,
        // runuser waits two seconds before it kills the program).
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(p->processId()));
        const QList<QByteArray> pids = !mUser.isEmpty() && children.open(QIODevice::ReadOnly)
                                           ? children.readAll().simplified().split(' ')
                                           : QList<QByteArray>();
        for (const QByteArray& pid : pids) {
            if (pid.toInt() > 0) {
                kill(pid.toInt(), SIGTERM);
            }
        }
        if (pids.isEmpty() || !p->waitForFinished(5000)) {
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    for (auto it = mProcesses.begin(); it != mProcesses.end(); ++it) {
        if (it->get() == p) {
            mProcesses.erase(it);
            break;
        }
    }
}

QByteArray SwaySession::Run(const QString& program, const QStringList& args, int limitMs) {
    QProcess* p = Start(program, args);
    p->waitForFinished(limitMs);
    const QByteArray out = p->readAllStandardOutput();
    Stop(p);
    return out;
}

bool SwaySession::WaitForBusName(const QString& name, int limitMs) {
    return XSession::Poll(
        [&] {
            return Run("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                     "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                                     "string:" + name})
                .contains("boolean true");
        },
        limitMs);
}

std::vector<SwaySession::Window> SwaySession::Windows() {
    std::vector<Window> out;
    const auto rect = [](const QJsonValue& v) {
        const QJsonObject o = v.toObject();
        return QRect(o["x"].toInt(), o["y"].toInt(), o["width"].toInt(), o["height"].toInt());
    };
    std::function<void(const QJsonObject&, bool)> walk = [&](const QJsonObject& node,
                                                             bool floating) {
        if (node.contains(QStringLiteral("shell"))) {  // a client's window, not a split
            Window w;
            w.x11 = static_cast<qulonglong>(node["window"].toDouble());
            w.rect = rect(node["rect"]);
            w.content = rect(node["window_rect"]);
            w.border = node["border"].toString();
            w.floating = floating;
            w.focused = node["focused"].toBool();
            out.push_back(w);
        }
        for (const QJsonValue& child : node["nodes"].toArray()) {
            walk(child.toObject(), false);
        }
        for (const QJsonValue& child : node["floating_nodes"].toArray()) {
            walk(child.toObject(), true);
        }
    };
    walk(QJsonDocument::fromJson(Run("swaymsg", {"-r", "-t", "get_tree"})).object(), false);
    return out;
}

QImage SwaySession::Screenshot() {
    return QImage::fromData(Run("grim", {"-"}), "PNG");
}
