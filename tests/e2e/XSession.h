#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>

// A virtual X display with the real program on it, driven the way a person drives it: pointer
// moves, button presses and keys go through the X server (xdotool), the screen is read back with
// a screenshot.
class XSession {
public:
    XSession();
    ~XSession();
    bool ok() const { return mDisplay >= 0; }
    QString display() const { return QStringLiteral(":%1").arg(mDisplay); }

    // Starts the program with arguments, in a fresh working folder, with options file absent.
    bool StartLumora(const QStringList& args);
    // Waits (polling, with a generous limit) for the program to end; its exit code or -1.
    int WaitForExit(int limitMs = 15000);
    bool Running() const;

    // The first visible top-level window of the program, or 0 after the limit.
    qulonglong FindWindow(int limitMs = 15000);
    // The window's rectangle on the screen (pixels), or a null rect.
    QRect Geometry(qulonglong window);
    // Polls until the window's geometry differs from before (or the limit passes).
    QRect WaitForGeometryChange(qulonglong window, const QRect& before, int limitMs = 5000);

    // Real input.
    void MoveTo(int x, int y);
    void Press(int button);
    void Release(int button);
    // A drag made of small steps, as a hand makes it.
    void DragTo(int button, QPoint from, QPoint to, bool release = true);
    void Key(const QString& keyName);

    QImage Screenshot();

    // Runs a tool with DISPLAY set; its standard output.
    QString Run(const QString& program, const QStringList& args, int limitMs = 10000);

private:
    int mDisplay = -1;
    std::unique_ptr<QProcess> mXvfb;
    std::unique_ptr<QProcess> mApp;
    QString mWorkDir;
};
