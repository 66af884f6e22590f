#pragma once

#include <QImage>
#include <QObject>
#include <QString>

// Writes a picture file off the user-interface thread (MFreeImage::SavePictureFile on a worker
// thread), so that encoding a large picture never freezes a window.
class cSaveJob : public QObject {
    Q_OBJECT
public:
    // Starts writing iPicture to exactly iFileName (pass the name MFreeImage::CompletedFileName
    // gives, so nothing is appended). finished is emitted once, queued to the thread that called
    // Start, even when the save fails at once; the job deletes itself after emitting it.
    static cSaveJob* Start(const QImage& iPicture, const QString& iFileName,
                           QObject* iParent = nullptr);

    // Saves started and not finished yet, process-wide.
    static int Running();
    // Blocks until no save runs. Only for the moment the process ends (close-all).
    static void WaitForAll();

signals:
    void finished(bool ok);

private:
    explicit cSaveJob(QObject* iParent);
};
