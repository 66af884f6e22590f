#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

#include "decode/DecodeReply.h"

// One decode worker process (lumora-decode, see DecodeProtocol.h) and the socket the program
// speaks to it on: started, asked for one file at a time, stopped. A handle owns its process and
// socket until Stop; moving it hands them over.
//
// A worker ends with the thread that started it (see mdlDecodeWorker::TieToParent): start it on a
// thread that lives as long as the worker may.
//
// Stopping never waits: a worker stuck in an uninterruptible read (a network file system whose
// server is gone) cannot die at once, and the caller may be the GUI thread. A killed worker that
// has not gone yet is kept on a process-wide list and reaped the moment it goes, by a thread that
// waits for it alone (where no thread can be had, without waiting at the next Start or
// ReapUnreaped): no crashed worker stays a zombie while the program runs.
//
// Threading: a handle is used by one thread at a time (its owner guards it); the process-wide list
// guards itself. Where there are no worker processes (other than Linux), none ever starts.
class cWorkerProcess {
public:
    // What came of one exchange.
    struct Result {
        DecodeOutcome outcome = DecodeOutcome::Crashed;
        QImage picture;        // null unless Loaded
        QSize ownSize;         // the own size a picture reply named
        PictureColour colour;  // what a picture reply said about its colours
        bool last = false;     // the worker ends after this reply (it has used its CPU time)
    };

    cWorkerProcess() = default;  // no process
    cWorkerProcess(cWorkerProcess&& other) noexcept;
    // Only onto a handle without a process, which would otherwise be lost unstopped.
    cWorkerProcess& operator=(cWorkerProcess&& other) noexcept;
    cWorkerProcess(const cWorkerProcess&) = delete;
    cWorkerProcess& operator=(const cWorkerProcess&) = delete;
    ~cWorkerProcess() = default;  // its owner stops it, with the signal it chose

    // Starts iCommand (the worker program and its arguments) with its end of a new socket on
    // DecodeProtocol::kSocketFd, the standard streams on /dev/null and this process named in
    // DecodeProtocol::kParentVariable. Reaps the killed workers that have gone first. A handle
    // without a process when it cannot start (said once per process as a warning).
    static cWorkerProcess Start(const QStringList& iCommand);

    bool Running() const { return mPid > 0; }
    qint64 Pid() const { return mPid; }  // -1 without a process

    // True when an idle worker's socket has nothing to say: no reply pending, not closed.
    bool IsQuiet() const;

    // For an idle worker: true when it has died on its own, which is then reaped and the handle
    // left without a process. Never waits.
    bool HasEnded();

    // Sends the worker iSignal (SIGKILL, or what a test gives), closes its socket and leaves the
    // handle without a process. Reaps the worker when it has gone, else keeps it on the
    // process-wide list until it is reaped as it goes.
    void Stop(int iSignal);

    // Asks the worker for the file named iName (QFile::encodeName bytes) and waits for its reply:
    // at most iTimeLimitMs (then TimedOut), and until iInterrupt (an eventfd) is written to and
    // iCancelled says the request is over (then Cancelled; a stray wake-up is read and ignored).
    // Crashed when the worker is gone; otherwise what DecodeReply::ReadReply makes of the reply.
    // iRoughly asks for a reduced picture only as far as the decoder reduces cheaply
    // (DecodeProtocol::kRoughly).
    Result Exchange(const QByteArray& iName, int iMaxSide, bool iUpright, int iInterrupt,
                    int iTimeLimitMs, const std::function<bool()>& iCancelled,
                    bool iRoughly = false);

    // Reaps every killed worker on the process-wide list that has gone and that no thread waits
    // for, without waiting.
    static void ReapUnreaped();
    // Killed workers, of every pool, that have not been reaped yet.
    static QList<qint64> Unreaped();

    // The worker program: $LUMORA_DECODE_WORKER when set, else ProgramFor the running executable's
    // folder.
    static QString Program();
    // The worker for an executable in exeFolder: chosen when not empty, else lumora-decode beside
    // the executable (a build tree or a portable copy), else the installed one in
    // <exeFolder>/../libexec/lumora/. With neither there, the one beside (named when it fails to
    // start). isExecutable defaults to the real file system.
    static QString ProgramFor(const QString& chosen, const QString& exeFolder,
                              const std::function<bool(const QString&)>& isExecutable = {});

private:
    qint64 mPid = -1;
    int mSocket = -1;
};
