#pragma once

#include <QEventLoopLocker>
#include <QtGlobal>
#include <memory>

// What one image window has running that takes time, and what waits on it.
//
// A save or a screen capture makes the window busy: its commands wait until the work ends, and a
// close meanwhile hides the window at once and unloads it only once the work has ended and been
// reported. An open (a file read in the background) runs beside them; the newest one asked for
// wins. An open of a large picture may ask for a reduced one beside it, shown while the full one
// decodes: once it is shown the window is busy too (its commands would otherwise act on a picture
// it no longer shows) until the full picture arrives or fails; a close then closes at once. While
// any of them runs the process lives on, even when its last window is closed.
//
// Request ids are the decoder's; 0 stands for none.
class cWindowJobs {
public:
    // The window's commands, as far as the busy rule tells them apart.
    enum class Command {
        OpenFile,    // a file read in the background (a drop of one file goes through Drop)
        OpenDialog,  // asks for a file to open
        Save,        // writes to a name given
        QuickSave,
        SaveAs,
        Copy,
        Paste,
        Capture,  // the screen under the window
        Clear,
        Crop,
        Mask,
        Grey,
        Turn,  // turns and flips
        Undo,
        Redo,
        StartAnnotating,  // ending it always runs
        Mouse,            // presses and drags over the picture
        Wheel,            // zoom and opacity steps
        Drop,
        Resize,  // the size commands, which run even then
    };
    // Whether command may run now. A command that may not is dropped, not queued: the window
    // stays as it was. The one place that says which commands wait for what.
    bool Permits(Command command) const;

    // A save or capture runs, or a reduced picture is on show.
    bool IsBusy() const { return mBusy || mPreviewShown; }
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

    // The open still running and its reduced picture's request, to be cancelled when a newer one
    // starts; 0 when none runs.
    qint64 OpenRequest() const { return mOpenRequest; }
    qint64 PreviewRequest() const { return mPreviewRequest; }
    // An open was asked of the decoder as request, and its reduced picture as preview (0: none);
    // the process lives until it ends (a window still waiting for its picture may be hidden).
    void OpenStarted(qint64 request, qint64 preview = 0);
    // A reduced picture arrived: true when it is the running open's and the first to come (the
    // caller shows it; the window is busy from now until the open ends). A late one is ignored.
    bool PreviewArrived(qint64 preview);
    // A decoded result arrived. newest: it answers the open now running, which has ended; other
    // results (of opens overtaken) are ignored. previewShown: that open's reduced picture is on
    // show, to be replaced (or, on a failure, taken away). keepAlive holds the process until the
    // caller has shown or closed the window.
    struct Arrival {
        bool newest = false;
        bool previewShown = false;
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
    qint64 mPreviewRequest = 0;  // the running open's reduced picture, until it arrives
    bool mPreviewShown = false;  // a reduced picture stands in for the running open's
    std::unique_ptr<QEventLoopLocker> mOpenLock;
};
