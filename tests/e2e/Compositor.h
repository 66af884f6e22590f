#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A session bus of the tests' own (a dbus-daemon in its own process group) that starts nothing on
// demand, and on it, when asked, the stand-in screenshot portal. Both end with the object.
class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    bool ok() const { return !mAddress.isEmpty(); }
    QString Address() const { return mAddress; }
    // Starts the stand-in portal answering as told ("file:PATH", "refuse", ...); true once it
    // holds the portal's name.
    bool StartPortal(const QString& answer);

private:
    QTemporaryDir mDir;
    QProcess mDaemon;
    std::unique_ptr<QProcess> mPortal;
    QString mAddress;
};

// A window manager or Wayland compositor the end-to-end tests start, each in its own runtime folder
// (mode 0700) with its own session bus, and stop with everything it started (Xwayland, helpers):
// it runs in a process group of its own, which ends with it, and dies with the test process.
// Lumora runs on the X display it offers (Xvfb under an X11 window manager, Xwayland under a
// Wayland compositor), through the environment ClientEnv() gives.
class Compositor {
public:
    enum class Kind {
        MutterX11,      // mutter --x11 --replace on an X server the caller runs
        MutterWayland,  // mutter --headless --wayland --virtual-monitor 1280x800, with Xwayland
        KWin,           // kwin_wayland --virtual --xwayland, 1280 x 800
        Weston,         // weston's headless backend with Xwayland, 1280 x 800
    };
    // "mutter-x11", "mutter-wayland", "kwin", "weston": how tests and CTest name them.
    static bool KindFromName(const QString& name, Kind* kind);
    static QString Name(Kind kind);

    // xDisplay: the X server a MutterX11 manages (":N"); the others ignore it.
    explicit Compositor(Kind kind, const QString& xDisplay = QString());
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    // Starts it and waits until it manages X windows (the supporting-window-manager check is on
    // the X root); false after the limit or when it ended, with Error() saying what was seen.
    bool Start(int limitMs = 30000);
    // Ends the process group (TERM, then KILL after a grace) and waits for the compositor.
    void Stop();
    bool Running() const;
    QString Error() const { return mError; }

    Kind kind() const { return mKind; }
    // The X display for clients (":N") and the authority file they need ("" when none).
    QString XDisplay() const { return mXDisplay; }
    QString XAuthority() const { return mXAuthority; }
    // True where XTEST input is safe (weston's Xwayland crashes on it: keys go to the window).
    bool HasXTest() const { return mKind != Kind::Weston; }
    // False where an X client taking the clipboard ends the session: weston (10, headless) crashes
    // in its X window manager's selection bridge, whichever client and whatever type.
    bool HasXClipboard() const { return mKind != Kind::Weston; }
    bool IsWayland() const { return mKind != Kind::MutterX11; }
    QString RuntimeDir() const { return mRuntime; }
    QString BusAddress() const { return mBus.Address(); }
    // What a client of this session is started with: DISPLAY, XAUTHORITY, XDG_RUNTIME_DIR,
    // XDG_SESSION_TYPE (wayland under a Wayland compositor), the session bus.
    QMap<QString, QString> ClientEnv() const;

private:
    QStringList Command() const;
    // Reads the X display (and authority file) from the Xwayland the compositor started, or from
    // its log; true once known.
    bool FindXDisplay();
    // The X root names a supporting window manager check window.
    bool Manages();
    QString XTool(const QString& program, const QStringList& args);

    Kind mKind;
    QTemporaryDir mDir;
    QString mRuntime;
    SessionBus mBus;
    QProcess mProcess;
    QString mLog;
    QString mXDisplay;
    QString mXAuthority;
    QString mError;
};
