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

void cWindowJobs::OpenStarted(qint64 request) {
    mOpenRequest = request;
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
    arrival.newest = true;
    arrival.keepAlive = std::move(mOpenLock);
    return arrival;
}

bool cWindowJobs::Close() {
    mOpenRequest = 0;
    mOpenLock.reset();
    if (mBusy) {
        mCloseWhenIdle = true;
    }
    return mBusy;
}
