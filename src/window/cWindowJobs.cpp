#include "window/cWindowJobs.h"

#include <iterator>
#include <utility>

namespace {

using Command = cWindowJobs::Command;

// What each command waits for: a save or capture (its result would be overtaken, or it would act
// on a picture about to be replaced), and a reduced picture on show (it would act on a picture the
// model does not hold). An open only overtakes the reduced picture's open, so it may run then.
struct Rule {
    Command command;
    bool waitsForWork;
    bool waitsForPreview;
};
constexpr Rule kRules[] = {
    {Command::OpenFile, true, false}, {Command::OpenDialog, true, true},
    {Command::Save, true, true},      {Command::QuickSave, true, true},
    {Command::SaveAs, true, true},    {Command::Copy, true, true},
    {Command::Paste, true, true},     {Command::Capture, true, true},
    {Command::Clear, true, true},     {Command::Crop, true, true},
    {Command::Mask, true, true},      {Command::Grey, true, true},
    {Command::Turn, true, true},      {Command::Undo, true, true},
    {Command::Redo, true, true},      {Command::StartAnnotating, true, true},
    {Command::Mouse, true, true},     {Command::Wheel, true, true},
    {Command::Drop, true, true},      {Command::Resize, false, false},
};
static_assert(std::size(kRules) == static_cast<size_t>(Command::Resize) + 1,
              "every command has its rule");

}  // namespace

bool cWindowJobs::Permits(Command command) const {
    for (const Rule& rule : kRules) {
        if (rule.command == command) {
            return !(rule.waitsForWork && mBusy) && !(rule.waitsForPreview && mPreviewShown);
        }
    }
    return !IsBusy();  // not reached: every command has its rule
}

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
