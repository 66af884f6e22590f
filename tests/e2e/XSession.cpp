#include "XSession.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>

#include "Compositor.h"

namespace {
void Pause(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

const QSize kDefaultScreen(1280, 800);

// The compositor LUMORA_E2E_WM names, started once before the program's first test and stopped
// after its last (also when tests failed); under an X11 window manager, with the Xvfb it manages.
class SharedDesktopEnvironment : public testing::Environment {
public:
    explicit SharedDesktopEnvironment(Compositor::Kind kind) : mKind(kind) {}
    void SetUp() override {
        if (mKind == Compositor::Kind::MutterX11) {
            mServer = std::make_unique<XSession>(kDefaultScreen);
            ASSERT_TRUE(mServer->ok()) << "no virtual display";
        }
        auto desktop =
            std::make_unique<Compositor>(mKind, mServer ? mServer->display() : QString());
        ASSERT_TRUE(desktop->Start(60000)) << desktop->Error().toStdString();
        mDesktop = std::move(desktop);
    }
    void TearDown() override {
        mDesktop.reset();
        mServer.reset();
    }
    const Compositor* Desktop() const { return mDesktop.get(); }

private:
    Compositor::Kind mKind;
    std::unique_ptr<XSession> mServer;
    std::unique_ptr<Compositor> mDesktop;
};

SharedDesktopEnvironment* MakeSharedDesktop() {
    const QString name = qEnvironmentVariable("LUMORA_E2E_WM");
    Compositor::Kind kind;
    if (name.isEmpty()) {
        return nullptr;
    }
    if (!Compositor::KindFromName(name, &kind)) {
        std::fprintf(stderr, "LUMORA_E2E_WM: no such window manager: %s\n", qPrintable(name));
        std::exit(2);
    }
    // GoogleTest owns it from here.
    return static_cast<SharedDesktopEnvironment*>(
        testing::AddGlobalTestEnvironment(new SharedDesktopEnvironment(kind)));
}

SharedDesktopEnvironment* const gShared = MakeSharedDesktop();
}  // namespace

const Compositor* XSession::SharedDesktop() {
    return gShared != nullptr ? gShared->Desktop() : nullptr;
}

XSession::XSession() : XSession(kDefaultScreen) {}

XSession::XSession(const Compositor& desktop) {
    Attach(desktop);
}

void XSession::Attach(const Compositor& desktop) {
    const QMap<QString, QString> env = desktop.ClientEnv();
    mDisplay = desktop.XDisplay().mid(1).toInt();
    mProgramEnv = env;
    if (env.contains("XAUTHORITY")) {
        mToolEnv.insert("XAUTHORITY", env.value("XAUTHORITY"));
    }
    mXTest = desktop.HasXTest();
    // "1280x800"
    const QStringList size =
        Run("xdotool", {"getdisplaygeometry"}).simplified().split(' ', Qt::SkipEmptyParts);
    mScreenSize = size.size() == 2 ? QSize(size[0].toInt(), size[1].toInt()) : QSize();
}

XSession::XSession(QSize screen, const QList<Monitor>& monitors) : mScreenSize(screen) {
    // Under a shared window manager, a session of the default screen is one on its display;
    // others (several monitors, another size) still get a bare server of their own.
    if (const Compositor* desktop = SharedDesktop();
        desktop != nullptr && screen == kDefaultScreen && monitors.isEmpty()) {
        Attach(*desktop);
        return;
    }
    StartServer();
    if (ok() && !monitors.isEmpty() && !SetMonitors(monitors)) {
        mXvfb->kill();
        mXvfb->waitForFinished(2000);
        mXvfb.reset();
        mDisplay = -1;
    }
}

void XSession::StartServer() {
    const QString size =
        QStringLiteral("%1x%2x24").arg(mScreenSize.width()).arg(mScreenSize.height());
    // A display number no other test process holds: Xvfb refuses a taken one.
    for (int n = 200 + (getpid() % 300); n < 1000; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) {
            continue;
        }
        auto xvfb = std::make_unique<QProcess>();
        xvfb->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        xvfb->start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(n), "-screen", "0", size,
                                             "-nolisten", "tcp", "-noreset"});
        if (!xvfb->waitForStarted(5000)) {
            return;
        }
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(socket) && xvfb->state() == QProcess::Running &&
               t.elapsed() < 10000) {
            Pause(50);
        }
        if (QFile::exists(socket) && xvfb->state() == QProcess::Running) {
            mDisplay = n;
            mXvfb = std::move(xvfb);
            break;
        }
        xvfb->kill();
        xvfb->waitForFinished(2000);
    }
}

bool XSession::SetMonitors(const QList<Monitor>& monitors) {
    // Xvfb has one RandR output, "screen", and one monitor over the whole screen that carries it.
    // A monitor set on that output replaces the whole-screen one; the others carry no output.
    // (Deleting the whole-screen monitor first makes this Xvfb fail the next setmonitor.)
    // The sizes in millimetres are those of a 96 dpi screen, so no toolkit guesses a scale from
    // them.
    const auto mm = [](int pixels) { return qRound(pixels * 25.4 / 96.0); };
    for (int i = 0; i < monitors.size(); ++i) {
        const QRect r = monitors[i].rect;
        const QString geometry = QStringLiteral("%1/%2x%3/%4+%5+%6")
                                     .arg(r.width())
                                     .arg(mm(r.width()))
                                     .arg(r.height())
                                     .arg(mm(r.height()))
                                     .arg(r.x())
                                     .arg(r.y());
        Run("xrandr", {"--setmonitor", monitors[i].name, geometry, i == 0 ? "screen" : "none"});
    }
    // "Monitors: 2", then one line per monitor: " 0: A 800/212x600/159+0+0  screen".
    const QStringList lines =
        Run("xrandr", {"--listmonitors"}).split('\n', Qt::SkipEmptyParts).mid(1);
    if (lines.size() != monitors.size()) {
        return false;
    }
    QStringList names;
    for (const QString& line : lines) {
        // the name carries "+" (automatic) and "*" (primary) in front
        QString name = line.simplified().section(' ', 1, 1);
        while (name.startsWith('+') || name.startsWith('*')) {
            name.remove(0, 1);
        }
        names << name;
    }
    for (const Monitor& m : monitors) {
        if (!names.contains(m.name)) {
            return false;
        }
    }
    return true;
}

XSession::~XSession() {
    if (mApp && mApp->state() != QProcess::NotRunning) {
        mApp->kill();
        mApp->waitForFinished(5000);
    }
    if (mXvfb) {
        mXvfb->terminate();
        if (!mXvfb->waitForFinished(5000)) {
            mXvfb->kill();
            mXvfb->waitForFinished(2000);
        }
    }
    if (!mWorkDir.isEmpty()) {
        QDir(mWorkDir).removeRecursively();
    }
}

QString XSession::Run(const QString& program, const QStringList& args, int limitMs) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display());
    for (auto it = mToolEnv.cbegin(); it != mToolEnv.cend(); ++it) {
        env.insert(it.key(), it.value());
    }
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(limitMs)) {
        p.kill();
        p.waitForFinished(2000);
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString XSession::WorkDir() {
    if (mWorkDir.isEmpty()) {
        QTemporaryDir work;
        work.setAutoRemove(false);
        mWorkDir = work.path();
    }
    return mWorkDir;
}

bool XSession::Poll(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() >= limitMs) {
            return false;
        }
        Pause(50);
    }
    return true;
}

bool XSession::StartLumora(const QStringList& args) {
    WorkDir();
    // A copy of the program in the work folder: it reads and writes Option.ini beside itself, so
    // no settings file of the build folder can change what a test sees.
    const QString exe = mWorkDir + QStringLiteral("/lumora");
    if (!QFile::exists(exe) && !QFile::copy(QStringLiteral(LUMORA_EXE), exe)) {
        return false;
    }
    return Launch(exe, args, true);
}

bool XSession::StartInstalled(const QString& exe, const QStringList& args) {
    WorkDir();
    return Launch(exe, args, false);
}

bool XSession::Launch(const QString& exe, const QStringList& args, bool builtWorker) {
    if (mApp && mApp->state() != QProcess::NotRunning) {
        mApp->kill();
        mApp->waitForFinished(5000);
    }
    mApp = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", mWorkDir);
    env.insert("XDG_CONFIG_HOME", mWorkDir + "/config");
    env.remove("WAYLAND_DISPLAY");
    env.remove("XDG_SESSION_TYPE");  // the session is this X display; a test says otherwise
    for (const char* scaling :
         {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
          "QT_ENABLE_HIGHDPI_SCALING", "QT_SCALE_FACTOR_ROUNDING_POLICY", "QT_USE_PHYSICAL_DPI",
          "QT_FONT_DPI"}) {
        env.remove(QString::fromLatin1(scaling));
    }
    for (auto it = mProgramEnv.cbegin(); it != mProgramEnv.cend(); ++it) {
        env.insert(it.key(), it.value());
    }
    if (builtWorker) {
        env.insert("LUMORA_DECODE_WORKER", QStringLiteral(LUMORA_DECODE_EXE));
    } else {
        env.remove("LUMORA_DECODE_WORKER");
    }
    mApp->setProcessEnvironment(env);
    mApp->setWorkingDirectory(mWorkDir);
    mApp->setProcessChannelMode(QProcess::ForwardedChannels);
    mApp->start(exe, args);
    return mApp->waitForStarted(10000);
}

bool XSession::Running() const {
    // Without an event loop the process's end is only noticed when asked for.
    return mApp && mApp->state() == QProcess::Running && !mApp->waitForFinished(0);
}

int XSession::WaitForExit(int limitMs) {
    if (!mApp) {
        return -1;
    }
    if (!mApp->waitForFinished(limitMs)) {
        return -1;
    }
    return mApp->exitStatus() == QProcess::NormalExit ? mApp->exitCode() : -1;
}

qulonglong XSession::FindWindow(int limitMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limitMs && Running()) {
        const QString out = Run(
            "xdotool", {"search", "--onlyvisible", "--pid", QString::number(mApp->processId())});
        const QStringList ids = out.split('\n', Qt::SkipEmptyParts);
        if (!ids.isEmpty()) {
            return ids.first().trimmed().toULongLong();
        }
        Pause(100);
    }
    return 0;
}

QList<qulonglong> XSession::Windows() {
    QList<qulonglong> out;
    if (!Running()) {
        return out;
    }
    const QString ids =
        Run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(mApp->processId())});
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
        out << id.trimmed().toULongLong();
    }
    return out;
}

QString XSession::WindowName(qulonglong window) {
    return Run("xdotool", {"getwindowname", QString::number(window)}).trimmed();
}

qulonglong XSession::WaitForWindowNamed(const QString& name, int limitMs) {
    qulonglong found = 0;
    Poll(
        [&] {
            for (const qulonglong w : Windows()) {
                if (WindowName(w) == name) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        limitMs);
    return found;
}

qulonglong XSession::WaitForNewWindow(const QList<qulonglong>& known, int limitMs) {
    qulonglong found = 0;
    Poll(
        [&] {
            for (const qulonglong w : Windows()) {
                if (!known.contains(w)) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        limitMs);
    return found;
}

bool XSession::WaitForWindowGone(qulonglong window, int limitMs) {
    return Poll([&] { return !Windows().contains(window); }, limitMs);
}

bool XSession::WaitForFocus(qulonglong window, int limitMs) {
    return Poll(
        [&] { return Run("xdotool", {"getwindowfocus"}).trimmed().toULongLong() == window; },
        limitMs);
}

bool XSession::WaitForFile(const QString& path, int limitMs) {
    qint64 lastSize = -1;
    bool ended = false;
    const bool settled = Poll(
        [&] {
            // A program that has ended writes nothing more: what is there now is all there is.
            ended = !Running();
            const QFileInfo info(path);
            const qint64 size = info.exists() ? info.size() : -1;
            const bool same = size > 0 && size == lastSize;
            lastSize = size;
            return same || ended;
        },
        limitMs);
    return settled && (!ended || QFileInfo(path).size() > 0);
}

void XSession::FocusDesktop() {
    // "xwininfo: Window id: 0x50d (the root window) (has no name)"
    const QString info = Run("xwininfo", {"-root"});
    const QString id = info.section("Window id:", 1).simplified().section(' ', 0, 0);
    if (!id.isEmpty()) {
        Run("xdotool", {"windowfocus", id});
    }
}

double XSession::Opacity(qulonglong window) {
    // "_NET_WM_WINDOW_OPACITY(CARDINAL) = 3874060501", or "... not found." when none is asked for.
    const QString out =
        Run("xprop", {"-id", QString::number(window), "_NET_WM_WINDOW_OPACITY"}).trimmed();
    if (out.isEmpty()) {
        return -1;
    }
    const int eq = out.indexOf('=');
    if (eq < 0) {
        return out.contains("not found") ? 1.0 : -1;
    }
    bool ok = false;
    const qulonglong v = out.mid(eq + 1).trimmed().toULongLong(&ok);
    return ok ? double(v) / 4294967295.0 : -1;
}

QRect XSession::Geometry(qulonglong window) {
    const QString out = Run("xdotool", {"getwindowgeometry", "--shell", QString::number(window)});
    int x = 0, y = 0, w = -1, h = -1;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList kv = line.split('=');
        if (kv.size() != 2) {
            continue;
        }
        const int v = kv[1].trimmed().toInt();
        if (kv[0] == "X")
            x = v;
        if (kv[0] == "Y")
            y = v;
        if (kv[0] == "WIDTH")
            w = v;
        if (kv[0] == "HEIGHT")
            h = v;
    }
    return w < 0 ? QRect() : QRect(x, y, w, h);
}

QRect XSession::WaitForGeometryChange(qulonglong window, const QRect& before, int limitMs) {
    QElapsedTimer t;
    t.start();
    QRect now = Geometry(window);
    while (now == before && t.elapsed() < limitMs) {
        Pause(50);
        now = Geometry(window);
    }
    return now;
}

QRect XSession::WaitForGeometry(qulonglong window, const QRect& expected, int limitMs) {
    QRect now;
    Poll(
        [&] {
            now = Geometry(window);
            return now == expected;
        },
        limitMs);
    return now;
}

void XSession::MoveTo(int x, int y) {
    Run("xdotool", {"mousemove", "--sync", QString::number(x), QString::number(y)});
}

void XSession::Press(int button) {
    Run("xdotool", {"mousedown", QString::number(button)});
}

void XSession::Release(int button) {
    Run("xdotool", {"mouseup", QString::number(button)});
}

void XSession::DragTo(int button, QPoint from, QPoint to, bool release) {
    MoveTo(from.x(), from.y());
    Press(button);
    const int steps = 10;
    for (int i = 1; i <= steps; ++i) {
        MoveTo(from.x() + (to.x() - from.x()) * i / steps,
               from.y() + (to.y() - from.y()) * i / steps);
        Pause(20);
    }
    if (release) {
        Release(button);
    }
}

void XSession::Key(const QString& keyName) {
    if (mXTest) {
        Run("xdotool", {"key", keyName});
    } else {
        KeyTo(Run("xdotool", {"getwindowfocus"}).trimmed().toULongLong(), keyName);
    }
}

void XSession::KeyTo(qulonglong window, const QString& keyName) {
    // The program hands a key to its window that has the focus, whichever window it was sent to.
    Run("xdotool", {"windowfocus", "--sync", QString::number(window)});
    Run("xdotool", {"key", "--window", QString::number(window), keyName});
}

void XSession::Wheel(int notches, const QString& chord) {
    QStringList args;
    if (!chord.isEmpty()) {
        args << "keydown" << chord;
    }
    args << "click"
         << "--repeat" << QString::number(std::abs(notches)) << "--delay"
         << "30" << (notches > 0 ? "4" : "5");
    if (!chord.isEmpty()) {
        args << "keyup" << chord;
    }
    Run("xdotool", args);
}

void XSession::Type(const QString& text) {
    Run("xdotool", {"type", "--delay", "10", text}, 30000);
}

QImage XSession::Screenshot() {
    const QString file = WorkDir() + "/screen.png";
    QFile::remove(file);
    Run("import", {"-window", "root", file}, 20000);
    return QImage(file);
}

QImage XSession::WindowShot(qulonglong window) {
    const QString file = WorkDir() + "/window.png";
    QFile::remove(file);
    Run("import", {"-window", QString::number(window), file}, 20000);
    return QImage(file);
}

QImage XSession::SettledScreenshot() {
    QImage last;
    return WaitForScreen([&](const QImage& s) {
        const bool settled = s == last;
        last = s;
        return settled;
    });
}

QImage XSession::WaitForScreen(const std::function<bool(const QImage&)>& ok, int limitMs) {
    QImage shot;
    Poll(
        [&] {
            shot = Screenshot();
            return !shot.isNull() && ok(shot);
        },
        limitMs);
    return shot;
}

void XSession::SetBackdrop(const QImage& picture) {
    const QString file = WorkDir() + "/backdrop.png";
    picture.save(file);
    // The tool sets the root window's background and ends; its exit code says nothing useful, so
    // callers wait for the screen to show the picture.
    Run("display", {"-window", "root", file}, 20000);
}

void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

void PrintTo(const QPoint& p, std::ostream* os) {
    *os << p.x() << "," << p.y();
}

void PrintTo(const QSize& s, std::ostream* os) {
    *os << s.width() << "x" << s.height();
}

QImage TestPattern(QSize size, int seed) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            img.setPixel(x, y, qRgb((x * 7 + seed) & 255, (y * 5 + seed * 3) & 255, (x + y) & 255));
        }
    }
    return img;
}
