#include "window/cWindowJobs.h"

#include <utility>

bool cWindowJobs::Begin(bool quiet) {
    if (mBusy) {
        return false;
    }
    mBusy = true;
    mQuiet = quiet;
    mBusyLock = std::make_unique<QEventLoopLocker>();
    return true;
}

cWindowJobs::Ending cWindowJobs::End() {
    Ending ending;
    if (!mBusy) {
        return ending;
    }
    mBusy = false;
    mQuiet = false;
    ending.closeNow = std::exchange(mCloseWhenIdle, false);
    ending.keepAlive = std::move(mBusyLock);
    return ending;
}

bool cWindowJobs::ShowsCaptureEnd(bool captured) {
    const bool quiet = std::exchange(mQuiet, false);
    return !mCloseWhenIdle && (captured || !quiet);
}

void cWindowJobs::OpenStarted(qint64 request, qint64 preview) {
    mOpenRequest = request;
    mPreviewRequest = preview;
    if (!mOpenLock) {
        mOpenLock = std::make_unique<QEventLoopLocker>();
    }
}

cWindowJobs::Arrival cWindowJobs::OpenArrived(qint64 request) {
    Arrival arrival;
    if (request == 0 || request != mOpenRequest) {
        return arrival;
    }
    mOpenRequest = 0;
    mPreviewRequest = 0;
    arrival.newest = true;
    arrival.previewShown = std::exchange(mPreviewShown, false);
    arrival.keepAlive = std::move(mOpenLock);
    return arrival;
}

bool cWindowJobs::PreviewArrived(qint64 preview) {
    if (preview == 0 || preview != mPreviewRequest || mOpenRequest == 0) {
        return false;
    }
    mPreviewRequest = 0;
    mPreviewShown = true;
    return true;
}

bool cWindowJobs::Close() {
    mOpenRequest = 0;
    mPreviewRequest = 0;
    mPreviewShown = false;
    mOpenLock.reset();
    if (mBusy) {
        mCloseWhenIdle = true;
    }
    return mBusy;
}
