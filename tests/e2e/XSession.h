#pragma once

#include <QImage>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <ostream>

class Compositor;

// A virtual X display with the real program on it, driven the way a person drives it: pointer
// moves, button presses and keys go through the X server (xdotool), the screen is read back with
// a screenshot.
//
// When the test program runs with LUMORA_E2E_WM naming a window manager or compositor
// ("mutter-x11", "mutter-wayland", "kwin", "weston"), it is started once for the whole program
// (on an Xvfb of 1280 x 800 for mutter-x11) and stopped at its end, and every session of the
// default screen is a session on its X display instead of a bare X server of its own.
class XSession {
public:
    // A part of the X screen that the program sees as a screen of its own (a RandR monitor).
    // Rectangles are X (device) pixels; the name is what QT_SCREEN_SCALE_FACTORS=name=factor
    // refers to.
    struct Monitor {
        QString name;
        QRect rect;
    };

    // A display of 1280 x 800 pixels seen as one screen.
    XSession();
    // A display of the given size in pixels; with monitors, the program sees those screens
    // instead of one (the first is the program's first screen, where a new window opens). ok() is
    // false when they could not be set up.
    explicit XSession(QSize screen, const QList<Monitor>& monitors = {});
    // A session on the X display the running compositor offers; the program starts with the
    // compositor's client environment.
    explicit XSession(const Compositor& desktop);
    ~XSession();
    // The compositor every default session runs under (LUMORA_E2E_WM), or null on a bare X server.
    static const Compositor* SharedDesktop();
    bool ok() const { return mDisplay >= 0; }
    QString display() const { return QStringLiteral(":%1").arg(mDisplay); }
    // The X screen's size in pixels.
    QSize ScreenSize() const { return mScreenSize; }

    // An environment variable for every program started from now on (QT_SCALE_FACTOR,
    // QT_SCREEN_SCALE_FACTORS, ...). Qt's scaling variables of the test's own environment are
    // never passed on: a program sees only the scaling a test asks for.
    void SetProgramEnv(const QString& name, const QString& value) { mProgramEnv[name] = value; }

    // Starts the program with arguments, in the session's working folder, which holds the
    // program's copy: the first start finds no options file there; a later one (after the earlier
    // program has ended, or it is ended first) runs the same copy and finds what the earlier wrote.
    // The copy finds this build's decode worker through LUMORA_DECODE_WORKER.
    bool StartLumora(const QStringList& args);
    // Starts an installed program where it is, as a desktop starts it: no decode worker named, so
    // it finds its own; HOME and the configuration folder in the session's working folder.
    bool StartInstalled(const QString& exe, const QStringList& args);
    // The folder the program runs in and keeps Option.ini in.
    QString ProgramFolder() { return WorkDir(); }
    // Waits (polling, with a generous limit) for the program to end; its exit code or -1.
    int WaitForExit(int limitMs = 15000);
    bool Running() const;

    // The first visible top-level window of the program, or 0 after the limit.
    qulonglong FindWindow(int limitMs = 15000);
    // Every visible top-level window of the program now: image windows, menus, dialogs, boxes.
    QList<qulonglong> Windows();
    // The window's title ("" when it has none or is gone).
    QString WindowName(qulonglong window);
    // Polls until a visible window of the program has exactly this title; 0 after the limit.
    qulonglong WaitForWindowNamed(const QString& name, int limitMs = 10000);
    // Polls until a visible window of the program that is not in known appears; 0 after the limit.
    qulonglong WaitForNewWindow(const QList<qulonglong>& known, int limitMs = 10000);
    // Polls until the window is no longer a visible window of the program.
    bool WaitForWindowGone(qulonglong window, int limitMs = 10000);
    // Polls until the window holds the keyboard focus.
    bool WaitForFocus(qulonglong window, int limitMs = 5000);
    // Gives the keyboard focus to the root window, as a click on the desktop does under a window
    // manager: the program's windows lose it.
    void FocusDesktop();
    // The opacity the window asks the compositor for (_NET_WM_WINDOW_OPACITY, 0..1); 1 when it
    // asks for none, -1 when the window cannot be read.
    double Opacity(qulonglong window);
    // The window's rectangle on the screen (pixels), or a null rect.
    QRect Geometry(qulonglong window);
    // Polls until the window's geometry differs from before (or the limit passes).
    QRect WaitForGeometryChange(qulonglong window, const QRect& before, int limitMs = 5000);
    // Polls until the window's geometry is expected (or the limit passes); the last one seen. After
    // a drag: the window follows the pointer, so the first change seen may be a step of the drag.
    QRect WaitForGeometry(qulonglong window, const QRect& expected, int limitMs = 5000);

    // Polls until the file exists, is not empty and its size stays the same between polls; false
    // after the limit, or at once when the program has ended without writing it.
    bool WaitForFile(const QString& path, int limitMs = 15000);
    // Polls until done() holds, checking every 50 ms; false after the limit.
    static bool Poll(const std::function<bool()>& done, int limitMs);

    // Real input.
    void MoveTo(int x, int y);
    void Press(int button);
    void Release(int button);
    // A drag made of small steps, as a hand makes it.
    void DragTo(int button, QPoint from, QPoint to, bool release = true);
    // The key, through XTEST where the X server takes it, otherwise sent to the focused window.
    void Key(const QString& keyName);
    // The key sent to the window itself (no XTEST): what a compositor's Xwayland always takes.
    void KeyTo(qulonglong window, const QString& keyName);
    // Turns the wheel by notches where the pointer is (positive away from the user: button 4,
    // negative towards: button 5), with the keys of chord ("ctrl", "shift"; none when empty) held.
    void Wheel(int notches, const QString& chord = QString());
    // Types the text key by key into whatever has the keyboard focus.
    void Type(const QString& text);

    // The whole X screen. (A rootless Xwayland holds no picture of the screen: WindowShot there.)
    QImage Screenshot();
    // The screen once two looks in a row agree: a window manager may still be animating a window
    // in, or painting its background.
    QImage SettledScreenshot();
    // What the window itself holds, its own pixels, as the X server has them.
    QImage WindowShot(qulonglong window);
    // Polls screenshots until ok() holds for one: that one, or the last taken after the limit.
    QImage WaitForScreen(const std::function<bool(const QImage&)>& ok, int limitMs = 10000);
    // Paints the picture as the screen's background, behind every window.
    void SetBackdrop(const QImage& picture);

    // Runs a tool with DISPLAY set; its standard output.
    QString Run(const QString& program, const QStringList& args, int limitMs = 10000);

private:
    // Makes this a session on the compositor's X display.
    void Attach(const Compositor& desktop);
    // Starts Xvfb on a free display number with a screen of mScreenSize.
    void StartServer();
    // Replaces the X screen's single monitor with these; false when the server did not take them.
    bool SetMonitors(const QList<Monitor>& monitors);
    // The session's own folder: the program's copy, its settings, screenshots.
    QString WorkDir();
    // Starts exe with the session's display and folders; builtWorker names this build's decode
    // worker, otherwise none is named.
    bool Launch(const QString& exe, const QStringList& args, bool builtWorker);

    int mDisplay = -1;
    QSize mScreenSize;
    QMap<QString, QString> mProgramEnv;
    // For the X tools too: the display's authority file.
    QMap<QString, QString> mToolEnv;
    bool mXTest = true;
    std::unique_ptr<QProcess> mXvfb;
    std::unique_ptr<QProcess> mApp;
    QString mWorkDir;
};

// How GoogleTest prints these in a failure: "x,y wxh", "x,y" and "wxh" instead of their bytes.
// Declared here, where every end-to-end test sees them, so that each prints them the same way.
void PrintTo(const QRect& r, std::ostream* os);
void PrintTo(const QPoint& p, std::ostream* os);
void PrintTo(const QSize& s, std::ostream* os);

// A picture whose every pixel is its own, so a shifted or scaled copy shows.
QImage TestPattern(QSize size, int seed);
