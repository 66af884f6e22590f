#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include "window/cPictureModel.h"

class IImageWindowFace;
class cWindowJobs;
class cWindowPlacement;

// The image window's edits: each asks the picture model and then shows what it says, moving and
// sizing the window as the edit tells (cPictureModel::Edit). An edit that cannot be done, or is
// asked for while the window is busy (a save or capture runs), leaves picture, history and window
// as they were. Sizes are pixels; the crop rectangle and the shown size are the face's. Uses the
// pixel operations, so it belongs to the user-interface thread.
class cWindowEdits {
public:
    cWindowEdits(IImageWindowFace& face, cPictureModel& model, const cWindowJobs& jobs,
                 cWindowPlacement& place)
        : mFace(face), mModel(model), mJobs(jobs), mPlace(place) {}

    // A picture from elsewhere; shown at its own size with the option ResizeWhenOpen.
    bool SetPicture(const QImage& picture);
    // A 24-bit copy of another window's picture, with its file names, shown at the size the
    // other window shows it (shown, pixels; at least one a side) inside this window's own band:
    // the window is sized for that, its corner kept. False, nothing changed, when there is no
    // picture to copy.
    bool AdoptPictureOf(const cPictureModel& source, QSize shown);
    // The tip says the picture's shown size.
    void cmdShowSize();
    // A size command: the picture shown at w x h pixels (shrunk to fit the screen), the window then
    // moved back inside its screen's work area. A step of the history when the size changes.
    bool ViewResize(qint32 w, qint32 h);
    // The picture at its own size, as ViewResize, and the tip says the size.
    void cmdResize_OrgSize();
    // The placeholder, at its own size; the file name stays for later quick saves.
    void cmdClear();
    // Cuts the picture down to, or paints black, a rectangle of its own pixels; not recorded.
    bool CropRect(qint32 x, qint32 y, qint32 w, qint32 h);
    bool MaskRect(qint32 x, qint32 y, qint32 w, qint32 h);
    // "+90", "-90", "X" or "Y"; the shown size turns with the picture with the option
    // ResizeWhenRotate. The window then puts its right and bottom edges back on its screen, and
    // stays inside its work area.
    bool RotateFlip(const QString& iRotate);
    // Undo puts the newest step back, redo does the newest undone step again: the picture, its
    // file name, and the window's shown size and place where the step changed them.
    void cmdUndo();
    void cmdRedo();
    // Crop, mask and grey act on the crop rectangle as shown.
    void cmdCrop();
    void cmdMask();
    void cmdGrayPicture();

private:
    // Shows the result of an edit and moves and sizes the window as it says.
    void ApplyEdit(const cPictureModel::Edit& edit);

    IImageWindowFace& mFace;
    cPictureModel& mModel;
    const cWindowJobs& mJobs;
    cWindowPlacement& mPlace;
};
