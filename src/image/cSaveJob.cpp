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
    explicit ResultRelay(std::function<void(SaveFailure)> deliver) : mDeliver(std::move(deliver)) {}

    // From any thread, once: runs the delivery on the relay's thread, then deletes the relay.
    void Post(SaveFailure why) {
        QMetaObject::invokeMethod(
            this,
            [this, why] {
                mDeliver(why);
                deleteLater();
            },
            Qt::QueuedConnection);
    }

private:
    std::function<void(SaveFailure)> mDeliver;
};

// The last thing a save does. Posted and counted down under the lock: whoever sees the result
// arrive sees a count without this save, and WaitForAll returns only once no save thread has
// anything left to post.
void Report(ResultRelay* relay, SaveFailure why, const QString& target) noexcept {
    RunningSaves& saves = Saves();
    std::lock_guard<std::mutex> lock(saves.lock);
    saves.targets.removeOne(target);
    try {
        relay->Post(why);
    } catch (...) {
        // No memory for the event: the job stays silent rather than end the process.
    }
    if (--saves.count == 0) {
        saves.none.notify_all();
    }
}

}  // namespace

cSaveJob::cSaveJob(QObject* iParent) : QObject(iParent) {}

cSaveJob* cSaveJob::Start(const QImage& iPicture, const QString& iFileName, QObject* iParent,
                          const QByteArray& iProfile, int iQuality) {
    auto* job = new cSaveJob(iParent);
    // The job is reached only through a guarded pointer, read on this thread.
    auto* relay = new ResultRelay([guard = QPointer<cSaveJob>(job)](SaveFailure why) {
        if (guard) {
            guard->Finish(why);
        }
    });
    {
        RunningSaves& saves = Saves();
        std::lock_guard<std::mutex> lock(saves.lock);
        ++saves.count;
        saves.targets << iFileName;
    }
    try {
        std::thread([relay, picture = iPicture, name = iFileName, profile = iProfile,
                     quality = iQuality]() mutable {
            SaveFailure why = SaveFailure::NotEncoded;
            try {
                if (MFreeImage::SavePictureFile(picture, name, &why, profile, quality)) {
                    why = SaveFailure::None;
                } else if (why == SaveFailure::None) {
                    why = SaveFailure::NotWritten;
                }
            } catch (...) {
                // NumberedError (unknown format, no picture: why says which), memory refused.
                if (why == SaveFailure::None) {
                    why = SaveFailure::NotEncoded;
                }
            }
            // The pixels are let go before the save counts as ended, so nothing of it is left
            // running once WaitForAll returns.
            picture = QImage();
            Report(relay, why, name);
        }).detach();
    } catch (...) {
        // No thread to be had: the save fails, reported the same queued way.
        Report(relay, SaveFailure::NotWritten, iFileName);
    }
    return job;
}

void cSaveJob::Finish(SaveFailure why) {
    const QPointer<cSaveJob> self(this);
    emit finished(why == SaveFailure::None, why);
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
