#include "image/cSaveJob.h"

#include <QMetaObject>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "image/MFreeImage.h"

namespace {

// Saves started and not yet reported, process-wide. Never destroyed: a save thread may still
// report while the process ends.
struct RunningSaves {
    std::mutex lock;
    std::condition_variable none;
    int count = 0;
    QStringList targets;  // the files being written, one entry per running save
};

RunningSaves& Saves() {
    static RunningSaves* const saves = new RunningSaves;
    return *saves;
}

// Carries a save's result from its thread to the thread that started the job. It lives on the
// starting thread, belongs to no parent and deletes itself only after the result has arrived, so
// the save thread always posts to a live object, whatever became of the job meanwhile.
class ResultRelay : public QObject {
public:
    explicit ResultRelay(std::function<void(bool)> deliver) : mDeliver(std::move(deliver)) {}

    // From any thread, once: runs the delivery on the relay's thread, then deletes the relay.
    void Post(bool ok) {
        QMetaObject::invokeMethod(
            this,
            [this, ok] {
                mDeliver(ok);
                deleteLater();
            },
            Qt::QueuedConnection);
    }

private:
    std::function<void(bool)> mDeliver;
};

// The last thing a save does. Posted and counted down under the lock: whoever sees the result
// arrive sees a count without this save, and WaitForAll returns only once no save thread has
// anything left to post.
void Report(ResultRelay* relay, bool ok, const QString& target) noexcept {
    RunningSaves& saves = Saves();
    std::lock_guard<std::mutex> lock(saves.lock);
    saves.targets.removeOne(target);
    try {
        relay->Post(ok);
    } catch (...) {
        // No memory for the event: the job stays silent rather than end the process.
    }
    if (--saves.count == 0) {
        saves.none.notify_all();
    }
}

}  // namespace

cSaveJob::cSaveJob(QObject* iParent) : QObject(iParent) {}

cSaveJob* cSaveJob::Start(const QImage& iPicture, const QString& iFileName, QObject* iParent) {
    auto* job = new cSaveJob(iParent);
    // The job is reached only through a guarded pointer, read on this thread.
    auto* relay = new ResultRelay([guard = QPointer<cSaveJob>(job)](bool ok) {
        if (guard) {
            guard->Finish(ok);
        }
    });
    {
        RunningSaves& saves = Saves();
        std::lock_guard<std::mutex> lock(saves.lock);
        ++saves.count;
        saves.targets << iFileName;
    }
    try {
        std::thread([relay, picture = iPicture, name = iFileName]() mutable {
            bool ok = false;
            try {
                ok = MFreeImage::SavePictureFile(picture, name);
            } catch (...) {
                // NumberedError (unknown format, no picture), memory refused, anything else.
                ok = false;
            }
            // The pixels are let go before the save counts as ended, so nothing of it is left
            // running once WaitForAll returns.
            picture = QImage();
            Report(relay, ok, name);
        }).detach();
    } catch (...) {
        // No thread to be had: the save fails, reported the same queued way.
        Report(relay, false, iFileName);
    }
    return job;
}

void cSaveJob::Finish(bool ok) {
    const QPointer<cSaveJob> self(this);
    emit finished(ok);
    // A receiver may have deleted the job already.
    if (self) {
        deleteLater();
    }
}

bool cSaveJob::IsWriting(const QString& iFileName) {
    RunningSaves& saves = Saves();
    std::lock_guard<std::mutex> lock(saves.lock);
    return saves.targets.contains(iFileName);
}

int cSaveJob::Running() {
    RunningSaves& saves = Saves();
    std::lock_guard<std::mutex> lock(saves.lock);
    return saves.count;
}

void cSaveJob::WaitForAll() {
    RunningSaves& saves = Saves();
    std::unique_lock<std::mutex> lock(saves.lock);
    saves.none.wait(lock, [&saves] { return saves.count == 0; });
}
