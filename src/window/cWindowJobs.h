#pragma once

#include <QEventLoopLocker>
#include <QtGlobal>
#include <memory>

// What one image window has running that takes time, and what waits on it.
//
// A save or a screen capture makes the window busy: its commands wait until the work ends, and a
// close meanwhile hides the window at once and unloads it only once the work has ended and been
// reported. An open (a file read in the background) runs beside them; the newest one asked for
// wins. While any of them runs the process lives on, even when its last window is closed.
//
// Request ids are the decoder's; 0 stands for none.
class cWindowJobs {
public:
    bool IsBusy() const { return mBusy; }
    bool IsOpening() const { return mOpenRequest != 0; }
    // Closed while busy: the window unloads once the work ends.
    bool ClosingWhenIdle() const { return mCloseWhenIdle; }

    // A save or a capture starts. quiet: a capture into a window never shown, which stays unshown
    // when it brings no picture. False, and nothing changes, when one runs already.
    bool Begin(bool quiet = false);
    // The save or capture has ended. closeNow: the window was closed meanwhile and must close now;
    // keepAlive holds the process until the caller lets go of it, after that close.
    struct Ending {
        bool closeNow = false;
        std::unique_ptr<QEventLoopLocker> keepAlive;
    };
    Ending End();

    // How a capture ends. A capture is kept (its picture taken) unless the window was closed
    // meanwhile; the window then shows, unless it was closed or the capture was a quiet one that
    // brought nothing. Called once per capture, before End.
    bool KeepsCapture() const { return !mCloseWhenIdle; }
    bool ShowsCaptureEnd(bool captured);

    // The open still running, to be cancelled when a newer one starts; 0 when none runs.
    qint64 OpenRequest() const { return mOpenRequest; }
    // An open was asked of the decoder as request; the process lives until it ends (a window
    // still waiting for its picture may be hidden).
    void OpenStarted(qint64 request);
    // A decoded result arrived. newest: it answers the open now running, which has ended; other
    // results (of opens overtaken) are ignored. keepAlive holds the process until the caller has
    // shown or closed the window.
    struct Arrival {
        bool newest = false;
        std::unique_ptr<QEventLoopLocker> keepAlive;
    };
    Arrival OpenArrived(qint64 request);

    // The window is being closed. True when a save or capture runs: the window hides now and
    // unloads when it ends. Either way no open is waited for any more (the caller cancels them).
    bool Close();

private:
    bool mBusy = false;
    bool mQuiet = false;          // the capture running is a quiet one
    bool mCloseWhenIdle = false;  // closed while busy
    std::unique_ptr<QEventLoopLocker> mBusyLock;
    qint64 mOpenRequest = 0;
    std::unique_ptr<QEventLoopLocker> mOpenLock;
};
