#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

#include "window/IImageWindowFace.h"
#include "window/NativeWindow.h"
#include "window/cAnnotation.h"
#include "window/cColorKeyRegion.h"
#include "window/cPictureModel.h"
#include "window/cPictureMouse.h"
#include "window/cWheelGesture.h"
#include "window/cWindowEdits.h"
#include "window/cWindowFiles.h"
#include "window/cWindowKeys.h"
#include "window/cWindowLooks.h"
#include "window/cWindowPlacement.h"
#include "window/cWindowTicks.h"
#include "window/mdlAPI_Form.h"

class QScreen;
class QLabel;
class QTimer;
class PictureViewWidget;
class OutlineWidget;
class CropRectWidget;
class PixelControlAdapter;
class WindowPin;
class frmAnnotateBar;
class QInputMethodEvent;

// The image window: a frameless top-level window whose client area is its picture, stretched over
// the window less a border of mFormBorder pixels. Dragging its edges resizes it, dragging inside
// moves it, a right-button drag draws the crop rectangle. Its position and size are measured in
// twips (Left/Top/Width/Height); everything inside it in pixels. A pixel is a device pixel: the
// window keeps its exact rectangle in device pixels (DeviceGeometry) and paints its picture itself,
// so a picture shown at its own size covers its own pixels at every scale factor.
//
// The window is a face: its widgets, its events and its paint. What it does lives in core classes
// it forwards to, which see it through IImageWindowFace: the picture, its file and its history in
// a cPictureModel, the edits in cWindowEdits, files, clipboard and capture in cWindowFiles, its
// place and size in cWindowPlacement, its opacity and colour key in cWindowLooks, the mouse over
// the picture in cPictureMouse, its keys in cWindowKeys. Saving and screen capture take time:
// meanwhile the window shows the wait and its commands wait (cWindowJobs::Permits, the one rule),
// and a close hides it at once but lets the work finish.
//
// The wheel scales the picture about the pointer by exact levels (see cWheelZoom), Ctrl+wheel
// steps the opacity; Shift+wheel and a wheel turned with a button held do nothing. The notches of
// one turn of the event loop are summed and applied once, so a storm of wheel events is one
// resize (cWheelGesture).
class frmResize : public QWidget, public IColorKeySurface, private IImageWindowFace {
    Q_OBJECT
    // First, so that the members below can refer to them.
    cPictureModel mModel;
    cWindowPlacement mPlacement{*this};
    cWindowFiles mFiles{*this, mModel, mPlacement};
    cWindowEdits mEdits{*this, mModel, mFiles.Jobs(), mPlacement};
    cWindowLooks mLooks{*this};

public:
    explicit frmResize(QWidget* parent = nullptr);
    ~frmResize() override;

    // Members other parts of the program read and write.
    QString& mPicFile = mModel.mPicFile;        // file the picture came from; "" otherwise
    QString& mPicFileExt = mModel.mPicFileExt;  // copied with mPicFile when a window is duplicated
    qint32 mOrgWidth = 0;                       // the picture's own size, pixels
    qint32 mOrgHeight = 0;
    qint32 mNowPointColor = 0;             // 0x00BBGGRR under the mouse; -1 outside the window
    bool& mFormShape = mLooks.mFormShape;  // the colour-key shape is on
    qint16& mTouming = mLooks.mTouming;    // opacity, percent
    qint32& mFormBorder = mPlacement.mFormBorder;  // border band, pixels: 0 or 4

    // The controls.
    QLabel* lblTip = nullptr;
    OutlineWidget* shpFocus = nullptr;
    OutlineWidget* shpCrop = nullptr;
    CropRectWidget* lblCrop = nullptr;
    PictureViewWidget* imgView = nullptr;
    QTimer* timerSystem = nullptr;

    // Public operations.
    void cmdOpenPicture() { mFiles.cmdOpenPicture(); }
    void cmdQuickSave() { mFiles.cmdQuickSave(); }
    void cmdSaveAs() { mFiles.cmdSaveAs(); }
    void cmdUndo() { mEdits.cmdUndo(); }
    // Key D and 标注: the annotation mode on or off (its tool bar below the window).
    void cmdAnnotate();
    void SetAnnotating(bool on);
    bool IsAnnotating() const { return mAnnotation.IsOn(); }
    // The marks drawn on the picture.
    const std::vector<cMark>& Marks() const { return mModel.Marks(); }
    void cmdRedo() { mEdits.cmdRedo(); }
    void cmdClear() { mEdits.cmdClear(); }
    void cmdCopy() { mFiles.cmdCopy(); }
    void cmdPaste() { mFiles.cmdPaste(); }
    void cmdLoadPictureFromScreen() { mFiles.cmdLoadPictureFromScreen(); }
    void cmdCrop() { mEdits.cmdCrop(); }
    void cmdMask() { mEdits.cmdMask(); }
    void cmdGrayPicture() { mEdits.cmdGrayPicture(); }
    void cmdGetOrgWidthHeight();
    void cmdResize_OrgSize() { mEdits.cmdResize_OrgSize(); }
    void cmdShowSize() { mEdits.cmdShowSize(); }
    void cmdSetFormFocusON();
    void cmdSetFormFocusOFF();
    void cmdAutoPosition() { mPlacement.AutoPosition(); }
    void cmdSetFormShape() { mLooks.SetShape(mFormBorder); }
    void cmdResetFormShape() { mLooks.ResetShape(); }
    void cmdSetTouming() { mLooks.SetOpacity(); }
    void cmdSetFormHaveBorder() { mPlacement.SetBorder(true); }
    void cmdSetFormNoBorder() { mPlacement.SetBorder(false); }
    // Starts reading iFileName in the background; the picture replaces this window's when it
    // arrives (openEnded follows). True when the request was accepted (a regular file was named);
    // the newest request wins, and a failure leaves the window as it was.
    bool lnkOpenPicture(const QString& iFileName) { return LoadFromFile(iFileName); }
    // "+90", "-90", "X" or "Y"; false when nothing was turned.
    bool lnkRotate(const QString& iRotate) { return RotateFlip(iRotate); }
    // The size commands: the picture shown at that size, the window kept inside its work area.
    bool lnkViewResize(qint32 iWidth, qint32 iHeight) { return mEdits.ViewResize(iWidth, iHeight); }
    QImage lnkGetCopyPicture() { return GetViewPicture(); }
    bool valHaveBackup() const { return mModel.CanUndo(); }
    // Steps of the history that can be undone now.
    int UndoSteps() const { return mModel.UndoSteps(); }

    // Operations the window's commands are built from.
    bool SetPicture(const QImage& picture) { return mEdits.SetPicture(picture); }
    bool LoadFromFile(const QString& fileName) { return mFiles.LoadFromFile(fileName); }
    QImage GetViewPicture() { return mModel.ViewPicture(ShownSize()); }
    // Picture pixels.
    bool CropRect(qint32 x, qint32 y, qint32 w, qint32 h) { return mEdits.CropRect(x, y, w, h); }
    bool MaskRect(qint32 x, qint32 y, qint32 w, qint32 h) { return mEdits.MaskRect(x, y, w, h); }
    bool ApplyViewSize(qint32 w, qint32 h) { return mPlacement.ApplyViewSize(w, h); }  // pixels
    bool RotateFlip(const QString& iRotate) { return mEdits.RotateFlip(iRotate); }
    // Starts writing the shown picture to exactly fileName (a completed name) off this thread;
    // saveEnded follows. False when there is nothing to save or the window is busy.
    bool SaveToFile(const QString& fileName) { return mFiles.SaveToFile(fileName); }
    bool ShowTip(const QString& text) override;
    int ShowMessage(const QString& text, int style, const QString& title) {
        return mFiles.ShowMessage(text, style, title);
    }
    bool SuspendTopMost() override { return mdlAPI_Form::SetNoTopMost(this); }
    bool RestoreTopMost() override;
    bool MoveByArrowKey(int key, Qt::KeyboardModifiers modifiers);
    // Key T: every click, drag, wheel turn and key passes to what lies below the window until
    // Ctrl+Shift and a left click over it take them back (see WindowPin).
    void cmdSetClickThrough();
    // The window's pin; null until the first T.
    const WindowPin* Pin() const { return mPin; }
    // Fills a window not shown yet with the screen target, as C would (nothing to hide first);
    // captureEnded follows. A capture that brings nothing leaves the window unshown. False when
    // the window is busy or already shown.
    bool CaptureScreenAt(QScreen* target) { return mFiles.CaptureScreenAt(target); }
    // Takes the clipboard's picture (as paste does, without sizing the window); false when the
    // clipboard holds no picture, or a damaged one, and the window stays as it was.
    bool PasteClipboard() { return mFiles.PasteClipboard(); }

    // The picture shown, as stored (its own size).
    QImage Picture() const { return mModel.Picture(); }
    // The picture as the window shows it: in the screen's colours.
    QImage ScreenPicture() const { return mModel.ScreenPicture(); }
    // Takes a copy of another window's picture (24 bits), with its file names, sized to show it
    // as the source shows it inside this window's own band. False when it has no picture to copy.
    bool AdoptPictureOf(const frmResize& source) {
        return mEdits.AdoptPictureOf(source.mModel, source.mPlacement.PictureRect().size());
    }
    // True while a save or a screen capture runs; the window's commands wait for it.
    bool IsBusy() const { return mFiles.Jobs().IsBusy(); }
    // True while a file asked for by lnkOpenPicture is being read.
    bool IsOpening() const { return mFiles.Jobs().IsOpening(); }

    // Position and size in twips, the unit windows are placed in (see cWindowPlacement).
    double LeftTw() const { return mPlacement.LeftTw(); }
    double TopTw() const { return mPlacement.TopTw(); }
    double WidthTw() const { return mPlacement.WidthTw(); }
    double HeightTw() const { return mPlacement.HeightTw(); }
    void SetGeometryTw(qint32 left, qint32 top, qint32 width, qint32 height) {
        mPlacement.SetGeometryTw(left, top, width, height);
    }
    double TwipsPerPixelX() const { return mPlacement.TwipsPerPixelX(); }
    double TwipsPerPixelY() const { return mPlacement.TwipsPerPixelY(); }
    // Moves the window to left/top (twips), keeping its size.
    void MoveTw(double left, double top) { mPlacement.MoveTw(left, top); }
    // The window's rectangle on the desktop in device pixels, and placing it there exactly.
    QRect DeviceGeometry() const { return mPlacement.DeviceGeometry(); }
    void SetDeviceGeometry(const QRect& r) { mPlacement.SetDeviceGeometry(r); }
    // The top-left corner of the window's screen, twips: the screen rules (clamps, fits) measure
    // the window from there.
    QPointF ScreenOriginTw() const { return mPlacement.ScreenOriginTw(); }
    // The picture's shown size, device pixels.
    QSize ShownSize() const override;

    // Sampled colours are 0x00BBGGRR; -1 for a point outside the window (window pixels).
    qint32 SampleColor(QPoint windowPixel) override;

    // True once the window has been closed (it may not be deleted yet).
    bool IsUnloaded() const override { return mUnloaded; }

    // The window's pixels that are not of the colour: the band (unless it is of that colour), the
    // shown picture's other pixels, and whatever control is showing over the picture.
    QRegion KeptRegion(qint32 colour) override;

    // The timer's work, also called by tests with a chosen second of the minute.
    void TimerTick(int secondOfMinute);

signals:
    // A save started by SaveToFile has ended and been reported; path is the file written.
    void saveEnded(bool ok, const QString& path);
    // A screen capture has ended (ok false: the platform gave no picture; nothing changed).
    void captureEnded(bool ok);
    // A file asked for by lnkOpenPicture has been read and shown (ok), or could not be read.
    void openEnded(bool ok, const QString& file);
    // While lnkOpenPicture's file decodes, a reduced picture of it is painted (the window already
    // has its final size); the commands wait for openEnded, which follows.
    void previewShown(const QString& file);
    // The window has closed (it may not be deleted yet); whoever works on it lets go.
    void unloaded();
    // The window changed its own opacity (Ctrl+wheel): mTouming holds it, mFormShape is false.
    void opacityChanged(int percent);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    // The face the core classes see (IImageWindowFace).
    QScreen* Screen() const override { return screen(); }
    double Ratio() const override;
    void PlaceExactly(const QRect& r) override;
    void PutBack(const QRect& r) override { NativeWindow::SetDeviceGeometry(this, r); }
    void LayOut() override;
    void PictureChanged() override;
    QRect CropRectPx() const override;
    void HideCropRect() override;
    void ShowCropRect(const QRect& r) override;
    void PointerOver(QPointF p) override;
    void ShowFocusFrame() override { cmdSetFormFocusON(); }
    void OpenMenu() override;
    void HideTip() override;
    void HoldTip(bool hold) override { mHoldTip = hold; }
    void ShowWait(bool on, bool overCrop) override;
    bool IsShown() const override { return isVisible(); }
    void ShowWindow() override { show(); }
    void HideWindow() override { hide(); }
    void CloseWindow() override { close(); }
    QObject* Owner() override { return this; }
    QString AskFileName(bool save) override;
    void ApplyColorKey(qint32 key) override;
    void RefreshColorKey() override { mdlAPI_Form::RefreshColorKey(this); }
    void ApplyOpacity(int alpha) override { mdlAPI_Form::SetOpacity(this, alpha, false); }
    void ClearLayers() override { mdlAPI_Form::ClearLayered(this); }
    void OpacityChanged(int percent) override { emit opacityChanged(percent); }

    void InstallShortcuts();
    void OnFilesDropped(const QStringList& paths);
    void RunKeyAction(cWindowKeys::Action action);
    // A press, move or release over the picture (its control's, or the window's own where Qt's
    // logical pixels leave the control short of its last device pixels).
    void PictureMouse(QMouseEvent* e);
    // Qt moved or sized the window: see cWindowPlacement::Reconcile.
    void Reconcile();
    // What the window shows besides its picture, for the colour key and the colour under the
    // pointer.
    cColorKeyRegion::Surface Surface() const;
    // The wheel's notches summed since the last turn of the event loop, applied at once.
    void ApplyWheel();
    // The annotation mode (frmResize_Annotate.cpp): a left drag inside the edges, keys while it
    // is on (true: taken), a finished mark made a step of the document, the tool bar's place,
    // and the marks painted over the picture.
    bool AnnotationMouse(QMouseEvent* e);
    bool AnnotationKeyPress(QKeyEvent* e);
    bool AnnotationKeyRelease(QKeyEvent* e);
    void ApplyMarkChange(const cAnnotation::Change& change);
    void PlaceAnnotationBar();
    void UpdateView(const QRect& viewRect);
    // False when it drew nothing (no marks, nothing being drawn): the picture is still to paint.
    bool PaintMarks(QPainter& p, const QRect& view, const QImage& shown);

    cWheelGesture mWheel;
    cColorKeyRegion mKeyRegion;
    cWindowTicks mTicks;
    cWindowKeys mKeys;
    std::unique_ptr<PixelControlAdapter> mImageControl;
    std::unique_ptr<cPictureMouse> mMouse;
    bool mFramePress = false;  // a press on the window itself went to the picture
    bool mPlacing = false;     // PlaceExactly is moving the window
    bool mHoldTip = false;     // the "too large" tip given before the first show stays up
    bool mUnloaded = false;
    WindowPin* mPin = nullptr;  // a child of the window, made at the first T
    cAnnotation mAnnotation;
    frmAnnotateBar* mBar = nullptr;  // made when the mode is first turned on
    bool mAnnotating = false;        // a left drag draws a mark
    int mSwallowRelease = 0;         // the key whose press went to a text being typed
    QImage mMarksShown;              // the shown picture with the marks drawn; null: to make
};
