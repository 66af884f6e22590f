#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <optional>

#include "image/PictureColour.h"
#include "window/cPictureCommands.h"

// The document of one image window: the picture at its own size, the file it came from, and the
// history of what was done to it (a QUndoStack of cPictureCommands). The window only shows it and
// moves as each edit, undo or redo says.
//
// Every edit is all or nothing: the result is computed first, and only when there is one does it
// become a step and replace the picture. A failed edit (no picture, nothing to keep, no memory)
// leaves picture, file and history as they were and reports done = false. Undo puts back exactly
// what a step replaced: the picture's own values and size, its colours, its file names, and the
// shown size when the step changed it; redo does the step again, exactly. The snapshots of every
// window's history share one budget (UndoBudget).
//
// The picture keeps its own values and the profile they are in; the window shows its screen copy
// (the same picture in the screen's colours, made by the decode worker), which every edit changes
// in step with the values: geometry alike, black as black, grey through the grey ramp.
//
// Sizes and rectangles are pixels. "Shown" is the size at which the window shows the picture,
// which may differ from its own size. Uses the pixel operations, so it belongs to the
// user-interface thread.
class cPictureModel {
public:
    // What the window does after an edit.
    using Edit = PictureEdit;

    cPictureModel();
    ~cPictureModel();
    cPictureModel(const cPictureModel&) = delete;
    cPictureModel& operator=(const cPictureModel&) = delete;

    // Full path of the file the picture came from; "" when it came from elsewhere.
    QString mPicFile;
    // Copied with mPicFile when a window is duplicated.
    QString mPicFileExt;

    // The picture of a window with nothing to show: the program's placeholder.
    static QImage Placeholder();

    // The picture at its own size; null for none.
    const QImage& Picture() const { return mPicture; }
    // The picture as the screen shows it, at its own size (the picture itself when its colours
    // need no conversion).
    const QImage& ScreenPicture() const {
        return mColour.screen.isNull() ? mPicture : mColour.screen;
    }
    // The marks drawn on the picture, in its own pixels (see MarkGeometry), in placing order.
    const std::vector<cMark>& Marks() const { return mMarks; }
    // The marks become iMarks, as one step of the history.
    Edit SetMarks(std::vector<cMark> iMarks, QSize iShown);
    // For the marks' steps: swaps the marks with io.
    void ExchangeMarks(std::vector<cMark>& io) { std::swap(mMarks, io); }
    // The marks in the screen's colours (as they are drawn over the screen copy).
    std::vector<cMark> MarksOnScreen() const;
    // What leaves the window (a save, a copy): the picture as shown, or its screen copy as shown,
    // with the marks drawn at that size, in the values' profile or the screen's.
    QImage MarkedView(QSize iShown) const;
    QImage MarkedScreenView(QSize iShown) const;

    // The profile the picture's values are in; empty for sRGB.
    const QByteArray& Profile() const { return mColour.profile; }
    // The decoder could not use the file's profile: the picture is shown as sRGB.
    bool ProfileRefused() const { return mColour.refused; }

    // The history: steps that can be undone now, whether there is one, whether a step can be
    // redone; ClearHistory empties it.
    int UndoSteps() const;
    bool CanUndo() const;
    bool CanRedo() const;
    void ClearHistory();
    // Undoes or redoes the newest step; iShown is the window's shown size now (what a redo or
    // undo of the other way brings back). done = false when there is nothing to undo or redo.
    Edit Undo(QSize iShown);
    Edit Redo(QSize iShown);

    // A picture from elsewhere (sRGB): the file name goes, the history stays.
    void SetPicture(const QImage& iPicture);
    // Replaces the picture and nothing else (the file name and the history stay).
    void ReplacePicture(const QImage& iPicture);
    // A picture read from iFileName becomes the model's, with that file name; the history empties.
    // False (and nothing changed) for no picture.
    // iColour: what the decoder said about its colours.
    bool Loaded(const QString& iFileName, const QImage& iPicture,
                const PictureColour& iColour = PictureColour());

    // The placeholder replaces the picture and the history empties; the file name stays for
    // later quick saves.
    void Clear();
    // Takes a 24-bit copy of source's picture, with its file names; the history stays. False (and
    // nothing changed) when source has no picture or it cannot be copied.
    bool AdoptCopyOf(const cPictureModel& source);

    // Edits of the picture's own pixels that are not recorded; false, and nothing changed, when
    // they cannot be done. KeepRegion makes the picture r's pixels (black where r passes the
    // picture's edge; a side not positive keeps nothing). BlackenRegion paints r black; r must lie
    // on the picture (a side not positive blackens nothing).
    bool KeepRegion(const QRect& r);
    bool BlackenRegion(const QRect& r);

    // The picture as shown: a 24-bit picture of exactly iShown's pixels. A 24-bit picture shown
    // at its own size is handed out shared (Qt copies it before any write), so a save costs no
    // copy. Null when there is no picture or it cannot be made.
    QImage ViewPicture(QSize iShown) const;
    // The screen copy as shown, made the same way.
    QImage ScreenView(QSize iShown) const;

    // Cuts the picture down to iRect (pixels of the shown picture; its left and top also name the
    // window's offset, less iBorder, by which the kept part stays where it was on screen). The
    // rectangle is clipped to the shown picture; nothing left does nothing. Its undo moves the
    // window back by exactly the shift it applied.
    Edit Crop(QSize iShown, QRect iRect, qint32 iBorder);
    // Paints iRect (pixels of the shown picture) black on the picture at its own size, scaled by
    // own ÷ shown and clipped to the picture.
    Edit Mask(QSize iShown, QRect iRect);
    // Turns the whole picture grey at its own size.
    Edit Gray(QSize iShown);
    // Rotates or flips: "+90", "-90", "X" (upside down), "Y" (left to right).
    // viewSize is the shown size turned with the picture when iKeepScale.
    Edit Rotate(QSize iShown, const QString& iRotate, bool iKeepScale);
    // A size command: the picture is to be shown at iNew instead of iShown (a step when they
    // differ). viewSize is iNew; the window then keeps inside its work area.
    Edit Resize(QSize iShown, QSize iNew);

    // A pasted or captured picture, a step whose undo brings back the picture, the file name and
    // the shown size of before. Paste forgets the file name, a capture keeps it. A pasted
    // picture is sRGB; a captured one is in the screen's colours (its profile the screen's).
    // False (nothing changed) for no picture. The window sizes itself after them.
    bool Paste(const QImage& iPicture, QSize iShown);
    bool Capture(const QImage& iPicture, QSize iShown);

    // For the steps: swaps the picture, its colours and file names with io; and the window's
    // shown size at the undo or redo running.
    void ExchangeState(PictureState& io);
    QSize ShownNow() const { return mShownNow; }

private:
    // The state after iOperation on the values and, when there is one, on the screen copy; both
    // change or neither (none then). iOnScreen: another operation for the screen copy, given the
    // values' result (grey), else iOperation.
    std::optional<PictureState> Changed(
        const std::function<QImage(const QImage&)>& iOperation,
        const std::function<QImage(const QImage&)>& iOnScreen = nullptr) const;
    // The current state with another picture and screen copy.
    PictureState With(const QImage& iPicture, const QImage& iScreen) const;
    // Does step (taking it) on the history; what the window does.
    Edit Push(cPictureCommand* step, QSize iShown);
    // The colours of an sRGB picture from elsewhere.
    static PictureColour SrgbColour(const QImage& iPicture);

    QImage mPicture;
    PictureColour mColour;
    std::vector<cMark> mMarks;
    QUndoStack mHistory;
    QSize mShownNow;  // the window's shown size while a step runs
};
