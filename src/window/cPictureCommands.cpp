#include "window/cPictureCommands.h"

#include <utility>

#include "window/UndoBudget.h"
#include "window/cPictureModel.h"

namespace {
QString KindText(cPictureCommand::Kind kind) {
    switch (kind) {
        case cPictureCommand::Kind::Crop:
            return QStringLiteral("剪裁");
        case cPictureCommand::Kind::Mask:
            return QStringLiteral("打马赛克");
        case cPictureCommand::Kind::Grey:
            return QStringLiteral("灰度化");
        case cPictureCommand::Kind::Rotate:
            return QStringLiteral("旋转");
        case cPictureCommand::Kind::Size:
            return QStringLiteral("尺寸");
        case cPictureCommand::Kind::Paste:
            return QStringLiteral("粘贴");
        case cPictureCommand::Kind::Capture:
            return QStringLiteral("拷贝屏幕");
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
