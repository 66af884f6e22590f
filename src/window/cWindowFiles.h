#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <optional>

#include "decode/cDecodeFront.h"
#include "image/SaveFailure.h"
#include "window/cWindowJobs.h"

class IImageWindowFace;
class QFileInfo;
class QScreen;
class cPictureModel;
class cScreenCapture;
class cWindowPlacement;

// The image window's work that takes time or goes outside it: opening files (read in the
// background; the newest request wins; a large photo first shows a reduced copy of itself, decoded
// at the size it will be shown, while the full picture decodes), saving (written off this thread),
// the clipboard and screen capture. A save or a capture makes the window busy (cWindowJobs): the
// face shows the wait, the window's commands wait for it, and a close hides the window at once but
// lets the work end and be reported. Modal windows go through the dialogs' seam, over the face's
// owner, with the window out of the topmost band meanwhile.
class cWindowFiles : public QObject {
    Q_OBJECT
public:
    cWindowFiles(IImageWindowFace& face, cPictureModel& model, cWindowPlacement& place);
    ~cWindowFiles() override;

    const cWindowJobs& Jobs() const { return mJobs; }

    // Starts reading fileName in the background (a regular file only); previewShown may come
    // first, openEnded follows. False while a save or capture runs, or the window is closed.
    bool LoadFromFile(const QString& fileName);
    void cmdOpenPicture();
    void cmdQuickSave();
    void cmdSaveAs();
    // Starts writing the shown picture to exactly fileName; saveEnded follows. False when there is
    // nothing to save or the window is busy.
    bool SaveToFile(const QString& fileName);
    void cmdCopy();
    void cmdPaste();
    bool PasteClipboard();
    // The screen under the window's centre, after the window has gone from it.
    void cmdLoadPictureFromScreen();
    // Fills a window not shown yet with target; it stays unshown when nothing is captured.
    bool CaptureScreenAt(QScreen* target);
    // Where the decode front's results arrive: an open's picture, or the reduced one shown while
    // it decodes. Public so that a test can hold results back and hand them on in its own order.
    void Decoded(const cDecodeFront::Result& result);
    // Suspends the topmost band around a message box over the window.
    int ShowMessage(const QString& text, int style, const QString& title);
    // The window is being closed: true when work runs and the window must only hide (it closes
    // again once the work has ended). Opens still running are given up either way.
    bool Close();

signals:
    void saveEnded(bool ok, const QString& path);
    void captureEnded(bool ok);
    void openEnded(bool ok, const QString& file);
    // A reduced picture of the file being opened is to be painted in the picture's stead (the
    // window already has the size the full picture will have). The window is busy until
    // openEnded: on a failure the model's picture is shown again (PictureChanged).
    void previewShown(const QImage& reduced, const QString& file);

private:
    bool BeginBusy(const QString& tip, bool quiet = false);
    void EndBusy();
    void EndSave(bool ok, SaveFailure why, const QString& path);
    // The longer side of the reduced picture to ask for beside the full one; 0 for none.
    int PreviewSide(const QFileInfo& file) const;
    void FinishPreview(const cDecodeFront::Result& result);
    void FinishOpen(const cDecodeFront::Result& result);
    void FinishCapture(QScreen* target, const QImage& picture);
    // After a load: the window shows a picture of own pixels at that size and, when that made it
    // grow, stays inside its screen's work area where it fits.
    void GrowTo(QSize own);
    cDecodeFront* Decoder();

    IImageWindowFace& mFace;
    cPictureModel& mModel;
    cWindowPlacement& mPlace;
    cWindowJobs mJobs;
    cDecodeFront* mDecoder = nullptr;  // made at the first open
    cScreenCapture* mCapture;
    // While a reduced picture is shown: the window's place before it came, and the own size it
    // was grown to (invalid: not grown).
    std::optional<QRect> mBeforePreview;
    QSize mGrownTo;
};
