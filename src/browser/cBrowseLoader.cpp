#include "browser/cBrowseLoader.h"

#include "base/GuardedWork.h"
#include "browser/BrowseArithmetic.h"
#include "browser/BrowseFolder.h"
#include "decode/cDecodeFront.h"
#include "settings/mdlOption.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

namespace {
// The program's decoder: the shared decode front's background lane.
class FrontDecoder : public IThumbnailDecoder {
public:
    FrontDecoder() {
        QObject::connect(
            &mFront, &cDecodeFront::decoded, &mFront, [this](const cDecodeFront::Result& r) {
                if (onDecoded) {
                    // A thumbnail is only ever shown: in the screen's colours.
                    onDecoded(r.id, r.colour.Converts() ? r.colour.screen : r.picture, r.ownSize);
                }
            });
    }
    qint64 Submit(const QString& file, int maxSide) override {
        // Thumbnails stand the way the pictures open.
        return mFront.Submit(file, cDecodeFront::Lane::Background, maxSide,
                             mdlOption::Options().AutoRotate);
    }
    void Cancel(qint64 id) override { mFront.Cancel(id); }

private:
    cDecodeFront mFront;
};

int DefaultInFlight() {
    // Enough to keep every decode worker busy while results travel back.
    return std::clamp(2 * QThread::idealThreadCount(), 2, 16);
}
}  // namespace

// A listing thread reports to its loader through this; the loader lets go by clearing receiver
// (under the mutex), so a listing that outlives its loader or its load posts nothing.
struct cBrowseLoader::Listing {
    std::mutex mutex;
    cBrowseLoader* receiver = nullptr;
    quint64 serial = 0;
    std::atomic<bool> stop{false};

    // Queues call(receiver) on the receiver's thread; once queued, a deleted receiver drops it.
    template <typename F>
    void Post(F call) {
        std::lock_guard<std::mutex> lock(mutex);
        if (receiver) {
            cBrowseLoader* self = receiver;
            QMetaObject::invokeMethod(
                receiver, [self, call] { call(self); }, Qt::QueuedConnection);
        }
    }
};

cBrowseLoader::cBrowseLoader(std::unique_ptr<IThumbnailDecoder> decoder, int maxInFlight,
                             int maxAhead, QObject* parent)
    : QObject(parent),
      mDecoder(decoder ? std::move(decoder) : std::make_unique<FrontDecoder>()),
      mMaxInFlight(maxInFlight > 0 ? maxInFlight : DefaultInFlight()),
      mMaxAhead(std::max(maxAhead, mMaxInFlight)) {
    mDecoder->onDecoded = [this](qint64 id, const QImage& picture, QSize ownSize) {
        Decoded(id, picture, ownSize);
    };
}

cBrowseLoader::~cBrowseLoader() {
    Cancel();
}

void cBrowseLoader::SetDeviceRatioSource(std::function<double()> source) {
    mRatioSource = std::move(source);
}

void cBrowseLoader::Add(const QStringList& paths) {
    if (paths.isEmpty()) {
        return;
    }
    mSources << paths;
    mLoading = true;
    StartListing();
}

void cBrowseLoader::Cancel() {
    ++mGeneration;
    for (const Slot& slot : mWindow) {
        if (!slot.done) {
            mDecoder->Cancel(slot.id);
        }
    }
    mWindow.clear();
    mFiles.clear();
    mSources.clear();
    if (mListing) {
        std::lock_guard<std::mutex> lock(mListing->mutex);
        mListing->receiver = nullptr;
        mListing->stop = true;
    }
    mListing.reset();
    mInFlight = 0;
    mLoading = false;
}

void cBrowseLoader::StartListing() {
    if (mListing || mSources.isEmpty()) {
        return;
    }
    auto listing = std::make_shared<Listing>();
    listing->receiver = this;
    listing->serial = ++mListingSerial;
    mListing = listing;
    const QStringList batch = std::exchange(mSources, {});
    // Listing touches the file system (a slow or dead mount may hang it): never on this thread.
    // The thread is detached so that nothing ever waits for it; it only posts back.
    std::thread([listing, batch] {
        const quint64 serial = listing->serial;
        for (const QString& path : batch) {
            if (listing->stop) {
                return;
            }
            // One path that cannot be listed does not stop the others.
            QStringList files;
            GuardedWork::Run("listing a folder", [&] { files = BrowseFolder::ExpandPath(path); });
            if (!files.isEmpty()) {
                listing->Post(
                    [serial, files](cBrowseLoader* self) { self->Listed(serial, files); });
            }
        }
        listing->Post([serial](cBrowseLoader* self) { self->ListingEnded(serial); });
    }).detach();
}

void cBrowseLoader::Listed(quint64 serial, const QStringList& files) {
    if (!mListing || mListing->serial != serial) {
        return;  // posted before a Cancel
    }
    mFiles.insert(mFiles.end(), files.begin(), files.end());
    Pump();
}

void cBrowseLoader::ListingEnded(quint64 serial) {
    if (!mListing || mListing->serial != serial) {
        return;
    }
    mListing.reset();
    StartListing();  // paths added while this batch was listed
    Pump();
}

void cBrowseLoader::Decoded(qint64 id, const QImage& picture, QSize ownSize) {
    const auto slot = std::find_if(mWindow.begin(), mWindow.end(),
                                   [id](const Slot& s) { return s.id == id && !s.done; });
    if (slot == mWindow.end()) {
        return;  // cancelled
    }
    slot->done = true;
    --mInFlight;
    slot->thumbnail = BrowseArithmetic::MakeThumbnail(picture, ownSize, slot->ratio);
    if (Flush()) {
        Pump();
    }
}

void cBrowseLoader::Pump() {
    while (mInFlight < mMaxInFlight && static_cast<int>(mWindow.size()) < mMaxAhead &&
           !mFiles.empty()) {
        const QString file = mFiles.front();
        mFiles.pop_front();
        // A file that cannot be submitted (id still 0) is skipped like one that does not decode.
        qint64 id = 0;
        double ratio = 1.0;
        GuardedWork::Run("asking for a thumbnail", [&] {
            ratio = mRatioSource ? mRatioSource() : 1.0;
            ratio = ratio > 0 ? ratio : 1.0;
            id = mDecoder->Submit(file, BrowseArithmetic::ThumbSide(ratio));
        });
        if (id > 0) {
            mWindow.push_back({file, id, ratio, false, {}});
            ++mInFlight;
        }
    }
    FinishIfDone();
}

bool cBrowseLoader::Flush() {
    const quint64 generation = mGeneration;
    while (!mWindow.empty() && mWindow.front().done) {
        const Slot slot = std::move(mWindow.front());
        mWindow.pop_front();
        if (!slot.thumbnail.isNull()) {
            emit itemLoaded(slot.thumbnail, slot.file);
            if (generation != mGeneration) {
                return false;
            }
        }
    }
    return true;
}

void cBrowseLoader::FinishIfDone() {
    if (mLoading && !mListing && mSources.isEmpty() && mFiles.empty() && mWindow.empty()) {
        mLoading = false;
        emit finished();
    }
}
