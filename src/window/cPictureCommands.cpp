#include "window/cPictureCommands.h"

#include <utility>

#include "window/UndoBudget.h"
#include "window/cPictureModel.h"

namespace {
// Names for a debugger or a log; never shown.
QString KindText(cPictureCommand::Kind kind) {
    switch (kind) {
        case cPictureCommand::Kind::Crop:
            return QStringLiteral("crop");
        case cPictureCommand::Kind::Mask:
            return QStringLiteral("mask");
        case cPictureCommand::Kind::Grey:
            return QStringLiteral("grey");
        case cPictureCommand::Kind::Rotate:
            return QStringLiteral("rotate");
        case cPictureCommand::Kind::Size:
            return QStringLiteral("size");
        case cPictureCommand::Kind::Paste:
            return QStringLiteral("paste");
        case cPictureCommand::Kind::Capture:
            return QStringLiteral("capture");
        case cPictureCommand::Kind::Marks:
            return QStringLiteral("marks");
    }
    return QString();
}
}  // namespace

qint64 PictureState::Bytes() const {
    return static_cast<qint64>(picture.sizeInBytes()) +
           static_cast<qint64>(colour.screen.sizeInBytes());
}

cPictureCommand::cPictureCommand(cPictureModel& model, Kind kind, QSize shown, bool changesSize,
                                 QPoint shift)
    : QUndoCommand(KindText(kind)),
      mModel(model),
      mKind(kind),
      mShown(shown),
      mChangesSize(changesSize),
      mShift(shift) {}

cPictureCommand::~cPictureCommand() {
    UndoBudget::Add(-mCounted);
}

void cPictureCommand::Recount() {
    const qint64 held = mForgotten ? 0 : HeldBytes();
    UndoBudget::Add(held - mCounted);
    mCounted = held;
}

void cPictureCommand::Forget() {
    mForgotten = true;
    Release();
    Recount();
}

void cPictureCommand::undo() {
    Step(false);
}

void cPictureCommand::redo() {
    Step(true);
}

void cPictureCommand::Step(bool forward) {
    mOutcome = PictureEdit();
    if (mForgotten) {
        return;  // nothing left to put back: the document stays whole
    }
    Exchange();
    Recount();
    // The window's size the other way round is the one it has now.
    const QSize was = std::exchange(mShown, mModel.ShownNow());
    mOutcome.done = true;
    mOutcome.shiftPx = forward ? mShift : -mShift;
    if (mChangesSize && was.isValid()) {
        mOutcome.viewSize = was;
    }
    mOutcome.keepInside = mKind == Kind::Size;
}

cSnapshotCommand::cSnapshotCommand(cPictureModel& model, Kind kind, PictureState after, QSize shown,
                                   bool changesSize, QPoint shift)
    : cPictureCommand(model, kind, shown, changesSize, shift), mHeld(std::move(after)) {
    Recount();
}

void cSnapshotCommand::Exchange() {
    Model().ExchangeState(mHeld);
}

cMarksCommand::cMarksCommand(cPictureModel& model, std::vector<cMark> after, QSize shown)
    : cPictureCommand(model, Kind::Marks, shown, false), mHeld(std::move(after)) {}

void cMarksCommand::Exchange() {
    Model().ExchangeMarks(mHeld);
}
