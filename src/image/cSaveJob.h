#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include "image/SaveFailure.h"

// Writes a picture file off the user-interface thread (MFreeImage::SavePictureFile on a worker
// thread), so that encoding a large picture never freezes a window.
//
// The save thread never touches the job: its result travels through a small object of its own
// that outlives the save. So the job's parent may be deleted while a save runs (the job goes with
// it and nothing is emitted); the save still ends with the file complete, or untouched when it
// fails. Every error, exceptions included, is a failed save (finished(false, why)). The picture is
// shared, not copied: QImage's copy-on-write keeps the thread's pixels as they were when the
// caller changes its picture.
class cSaveJob : public QObject {
    Q_OBJECT
public:
    // Starts writing iPicture to exactly iFileName (pass the name MFreeImage::CompletedFileName
    // gives, so nothing is appended), with iProfile embedded and at iQuality as
    // MFreeImage::SavePictureFile says. finished is emitted once, queued to the thread that called
    // Start, even when the save fails at once; the job deletes itself after emitting it.
    static cSaveJob* Start(const QImage& iPicture, const QString& iFileName,
                           QObject* iParent = nullptr, const QByteArray& iProfile = {},
                           int iQuality = 90);

    // Saves started and not finished yet, process-wide.
    static int Running();
    // True while a save of exactly that name runs: the file may not exist yet, but the name is
    // taken all the same.
    static bool IsWriting(const QString& iFileName);
    // Blocks until no save runs. Only for the moment the process ends (close-all).
    static void WaitForAll();

signals:
    // why: None when ok; otherwise what stopped the save (an unknown format is NoFormat).
    void finished(bool ok, SaveFailure why);

private:
    explicit cSaveJob(QObject* iParent);
    // On the job's own thread: emits finished and schedules the job's deletion.
    void Finish(SaveFailure why);
};
