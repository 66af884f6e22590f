#pragma once

#include <QImage>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>

#include "image/PictureColour.h"

// The one way the program decodes picture files without waiting for them: a file is submitted,
// and its picture arrives later as the signal decoded, queued on the thread that owns the front.
// Decoding happens in the process-wide cDecodePool (guarded worker processes on Linux, this
// process elsewhere), in two lanes: Interactive (an image window opening a file) is served before
// Background (thumbnails), and never waits behind background work.
//
// A picture keeps the file's depth (as mdlPictureFile::LoadPictureFile gives it) unless it was
// scaled down, which makes it 8-bit grey, 24 or 32 bits. Request ids are the shared pool's tickets
// (cDecodePool::WorkerOf names the worker of one).
//
// Threading: a front belongs to the thread that created it (a QObject's thread affinity); call it
// from that thread. Results of one front never reach another; deleting a front cancels its
// requests and is safe while they run.
class cDecodeFront : public QObject {
    Q_OBJECT
public:
    enum class Lane { Interactive, Background };
    struct Result {
        qint64 id = 0;   // the request's id
        QString file;    // as submitted
        QImage picture;  // null when the file could not be decoded
        QSize ownSize;   // the file's own size in pixels (full picture); invalid when it failed
        // The picture's colours: its profile, and the picture as the screen shows it. A reduced
        // picture (maxSide) is shown as it comes: use colour.screen when it is not null.
        PictureColour colour;
    };
    explicit cDecodeFront(QObject* parent = nullptr);  // uses the process-wide pool
    ~cDecodeFront() override;                          // cancels every request of this front
    // Submits a file. maxSide > 0 asks for a picture no larger than maxSide pixels on its longer
    // side (scaled down keeping its aspect, never up). upright asks for a JPEG whose EXIF
    // orientation says it was taken turned or mirrored to come upright, its own size the upright
    // one (callers pass the AutoRotate option); without it the picture is as the file stores it.
    // roughly, with maxSide, takes the reduction only as far as the decoder makes it cheaply (the
    // picture may then be larger than maxSide): a quick first look at a large picture.
    // Returns the request id (> 0). Never blocks the calling thread.
    qint64 Submit(const QString& file, Lane lane, int maxSide = 0, bool upright = false,
                  bool roughly = false);
    void Cancel(qint64 id);  // no result will come for it
    void CancelAll();
    int Pending() const;  // requests submitted and neither delivered nor cancelled

signals:
    // Queued on the thread that owns the front; exactly once per request not cancelled.
    void decoded(const cDecodeFront::Result& result);

private:
    void Deliver(const Result& result);

    // Requests submitted and neither delivered nor cancelled (their ids are the pool's tickets).
    QSet<qint64> mPending;
};
Q_DECLARE_METATYPE(cDecodeFront::Result)
