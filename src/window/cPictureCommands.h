#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QUndoCommand>

#include "image/PictureColour.h"
#include "marks/cMark.h"

class cPictureModel;

// What the window does after an edit, an undo or a redo.
struct PictureEdit {
    bool done = false;  // false: nothing changed, the window stays as it is
    QPoint shiftPx;     // move the window by this, pixels
    QSize viewSize;     // when valid: show the picture at this size (the window's ApplyViewSize)
    bool keepInside = false;  // then keep the window inside its screen's work area
};

// Everything of a picture a step may change besides the window: its own values at their own size,
// their colours (profile and screen copy), the file names and the marks drawn on it.
struct PictureState {
    QImage picture;
    PictureColour colour;
    QString file;
    QString fileExt;
    std::vector<cMark> marks;

    // The pixel bytes held (the values and the screen copy).
    qint64 Bytes() const;
};

// One step in a window's history. A step holds the other side of itself: before it is done, what
// it makes; once done, what it replaced. Undo and redo swap that with the document, so each gives
// back exactly what was there, and a step holds one snapshot at a time.
//
// Besides the picture, a step that changes the window's shown size (pixels) puts that size back,
// the size the window had when the step was undone or redone; a crop also moves the window back
// and forth by its shift. A step whose snapshot was dropped for memory (Forget) does nothing.
//
// The base class holds no pixels (a size command); steps with pixels, and later marks, derive and
// override Exchange, HeldBytes and Release. Every held byte is counted in UndoBudget.
class cPictureCommand : public QUndoCommand {
public:
    enum class Kind { Crop, Mask, Grey, Rotate, Size, Paste, Capture, Marks };

    // shown: the shown size the step leaves (invalid: the window sizes itself the first time).
    cPictureCommand(cPictureModel& model, Kind kind, QSize shown, bool changesSize,
                    QPoint shift = {});
    ~cPictureCommand() override;
    cPictureCommand(const cPictureCommand&) = delete;
    cPictureCommand& operator=(const cPictureCommand&) = delete;

    Kind kind() const { return mKind; }
    void undo() override;
    void redo() override;
    // What the window does after the last undo or redo.
    const PictureEdit& Outcome() const { return mOutcome; }

    // Snapshot bytes held.
    qint64 Bytes() const { return mCounted; }
    // Lets go of the snapshot: the step can no longer be undone or redone.
    void Forget();
    bool Forgotten() const { return mForgotten; }

protected:
    // Swaps what the step holds with the document.
    virtual void Exchange() {}
    virtual qint64 HeldBytes() const { return 0; }
    virtual void Release() {}
    cPictureModel& Model() { return mModel; }
    // Brings the budget's count in line with HeldBytes; subclasses call it once they hold theirs.
    void Recount();

private:
    void Step(bool forward);

    cPictureModel& mModel;
    const Kind mKind;
    QSize mShown;
    const bool mChangesSize;
    const QPoint mShift;
    PictureEdit mOutcome;
    qint64 mCounted = 0;
    bool mForgotten = false;
};

// A step that changes the picture's pixels, colours or file names: crop, black mask, grey,
// rotate or flip, paste, capture. Made holding the state it brings.
class cSnapshotCommand : public cPictureCommand {
public:
    cSnapshotCommand(cPictureModel& model, Kind kind, PictureState after, QSize shown,
                     bool changesSize, QPoint shift = {});

protected:
    void Exchange() override;
    qint64 HeldBytes() const override { return mHeld.Bytes(); }
    void Release() override { mHeld = PictureState(); }

private:
    PictureState mHeld;
};

// A step that changes the marks alone (one drawn, moved, resized or removed): holds the other set
// of marks, no pixels.
class cMarksCommand : public cPictureCommand {
public:
    cMarksCommand(cPictureModel& model, std::vector<cMark> after, QSize shown);

protected:
    void Exchange() override;
    void Release() override { mHeld.clear(); }

private:
    std::vector<cMark> mHeld;
};
