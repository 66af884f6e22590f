#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

#include "image/PictureColour.h"
#include "window/cBackup.h"

// The picture of one image window and what is done to it: the picture at its own size, the file
// it came from, and the undo history. The window only shows it and moves as each edit says.
//
// Every edit is all or nothing: the result is computed first, and only when there is one is the
// history recorded and the picture replaced. A failed edit (no picture, nothing to keep, no
// memory) leaves picture, file and history as they were and reports done = false.
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
    struct Edit {
        bool done = false;  // false: nothing changed, the window stays as it is
        QPoint shiftPx;     // move the window by this, pixels
        QSize viewSize;  // when valid: show the picture at this size (the window's ApplyViewSize)
    };

    cPictureModel();

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
    // The profile the picture's values are in; empty for sRGB.
    const QByteArray& Profile() const { return mColour.profile; }
    // The decoder could not use the file's profile: the picture is shown as sRGB.
    bool ProfileRefused() const { return mColour.refused; }
    cBackup& History() { return mHistory; }
    const cBackup& History() const { return mHistory; }

    // A picture from elsewhere (sRGB): the file name goes, the history stays.
    void SetPicture(const QImage& iPicture);
    // Replaces the picture and nothing else (the file name and the history stay).
    void ReplacePicture(const QImage& iPicture);
    // A picture read from iFileName becomes the model's, with that file name; the history stays.
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
    // at its own size is handed out shared (Qt copies it before any write), so a save or a
    // snapshot costs no copy. Null when there is no picture or it cannot be made.
    QImage ViewPicture(QSize iShown) const;
    // The screen copy as shown, made the same way.
    QImage ScreenView(QSize iShown) const;

    // Cuts the picture down to iRect (pixels of the shown picture; its left and top also name the
    // window's offset, less iBorder, by which the kept part stays where it was on screen). The
    // rectangle is clipped to the shown picture; nothing left does nothing. Recorded as "CROP"
    // with the shift it applied, so that undo moves the window back by exactly that.
    Edit Crop(QSize iShown, QRect iRect, qint32 iBorder);
    // Paints iRect (pixels of the shown picture) black on the picture at its own size, scaled by
    // own ÷ shown and clipped to the picture. Recorded as "MASK" with iRect's left and top.
    Edit Mask(QSize iShown, QRect iRect);
    // Turns the whole picture grey at its own size. Recorded as "GRAD" with iAnchor (the crop
    // rectangle's left and top, pixels).
    Edit Gray(QSize iShown, QPoint iAnchor);
    // Rotates or flips: "+90", "-90", "X" (upside down), "Y" (left to right). Not recorded.
    // viewSize is the shown size turned with the picture when iKeepScale.
    Edit Rotate(QSize iShown, const QString& iRotate, bool iKeepScale);
    // Puts the newest snapshot back; its file name goes. An undone crop shifts the window back.
    // viewSize is the snapshot's size when iFitToOwnSize.
    Edit Undo(bool iFitToOwnSize);

    // A pasted or captured picture starts a new history. Paste forgets the file name, a capture
    // keeps it. A pasted picture is sRGB; a captured one is in the screen's colours (its profile
    // the screen's). False (nothing changed) for no picture.
    bool Paste(const QImage& iPicture);
    bool Capture(const QImage& iPicture);

private:
    // Records the shown picture before an edit; false when it cannot be made.
    bool Record(QSize iShown, const QString& iKind, QPoint iAnchor);
    // Runs iOperation on the values and, when there is one, on the screen copy; both change or
    // neither. iOnScreen: another operation for the screen copy, given the values' result (grey),
    // else iOperation. iBefore runs once both results are there, before they are taken; false
    // from it leaves everything as it was.
    bool Both(const std::function<QImage(const QImage&)>& iOperation,
              const std::function<QImage(const QImage&)>& iOnScreen = nullptr,
              const std::function<bool()>& iBefore = nullptr);
    // The colours of an sRGB picture from elsewhere.
    static PictureColour SrgbColour(const QImage& iPicture);

    QImage mPicture;
    PictureColour mColour;
    cBackup mHistory;
    // The colours of the picture in the history (its screen copy at the size it was recorded).
    PictureColour mHistoryColour;
};
