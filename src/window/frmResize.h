#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

#include "base/cWheelSteps.h"
#include "decode/cDecodeFront.h"
#include "window/IControlGeometry.h"
#include "window/cPictureModel.h"
#include "window/cWheelZoom.h"
#include "window/mdlAPI_Form.h"

class QEventLoopLocker;
class cScreenshotPortal;
class QScreen;
class QLabel;
class QTimer;
class PictureViewWidget;
class OutlineWidget;
class ClassLumora;
class CropRectWidget;
class PixelControlAdapter;
class WindowPin;

// The image window: a frameless top-level window whose client area is its picture, stretched over
// the window less a border of mFormBorder pixels. Dragging its edges resizes it, dragging inside
// moves it, a right-button drag draws the crop rectangle. Its position and size are measured in
// twips (Left/Top/Width/Height); everything inside it in pixels. A pixel is a device pixel: the
// window keeps its exact rectangle in device pixels (DeviceGeometry) and paints its picture itself,
// so a picture shown at its own size covers its own pixels at every scale factor.
//
// The picture, its file and its history live in a cPictureModel; the window shows it and moves as
// each edit says. Saving and screen capture take time: meanwhile the window shows the wait and
// ignores its commands (IsBusy), and a close hides it at once but lets the work finish.
//
// The wheel scales the picture about the pointer by exact levels (see cWheelZoom), Ctrl+wheel
// steps the opacity; Shift+wheel and a wheel turned with a button held do nothing. The notches of
// one turn of the event loop are summed and applied once, so a storm of wheel events is one
// resize.
class frmResize : public QWidget, public ITwipsWindow, public IColorKeySurface {
    Q_OBJECT
    // First, so that the members below can refer to it.
    cPictureModel mModel;

public:
    explicit frmResize(QWidget* parent = nullptr);
    ~frmResize() override;

    // Members other parts of the program read and write.
    QString& mPicFile = mModel.mPicFile;  // file the picture came from; "" otherwise
    QString mPicFileExt;                  // copied with mPicFile when a window is duplicated
    qint32 mOrgWidth = 0;                 // the picture's own size, pixels
    qint32 mOrgHeight = 0;
    qint32 mNowPointColor = 0;  // 0x00BBGGRR under the mouse; -1 outside the window
    bool mFormShape = false;    // the colour-key shape is on
    qint16 mTouming = 100;      // opacity, percent
    qint32 mFormBorder = 0;     // border band, pixels: 0 or 4

    // The controls.
    QLabel* lblTip = nullptr;
    OutlineWidget* shpFocus = nullptr;
    OutlineWidget* shpCrop = nullptr;
    CropRectWidget* lblCrop = nullptr;
    PictureViewWidget* imgView = nullptr;
    QTimer* timerSystem = nullptr;

    // Public operations.
    void cmdOpenPicture();
    void cmdQuickSave();
    void cmdSaveAs();
    void cmdUndo();
    void cmdClear();
    void cmdCopy();
    void cmdPaste();
    void cmdLoadPictureFromScreen();
    void cmdCrop();
    void cmdMask();
    void cmdGrayPicture();
    void cmdGetOrgWidthHeight();
    void cmdResize_OrgSize();
    void cmdShowSize();
    void cmdSetFormFocusON();
    void cmdSetFormFocusOFF();
    void cmdAutoPosition();
    void cmdSetFormShape();
    void cmdResetFormShape();
    void cmdSetTouming();
    void cmdSetFormHaveBorder();
    void cmdSetFormNoBorder();
    // Starts reading iFileName in the background; the picture replaces this window's when it
    // arrives (openEnded follows). True when the request was accepted (a regular file was named);
    // the newest request wins, and a failure leaves the window as it was.
    bool lnkOpenPicture(const QString& iFileName);
    // "+90", "-90", "X" or "Y"; false when nothing was turned.
    bool lnkRotate(const QString& iRotate);
    bool lnkViewResize(qint32 iWidth, qint32 iHeight);  // pixels
    QImage lnkGetCopyPicture();
    bool valHaveBackup() const;

    // Operations the window's commands are built from.
    bool SetPicture(const QImage& picture);
    bool LoadFromFile(const QString& fileName);
    QImage GetViewPicture();
    bool CropRect(qint32 x, qint32 y, qint32 w, qint32 h);  // picture pixels
    bool MaskRect(qint32 x, qint32 y, qint32 w, qint32 h);  // picture pixels
    bool ApplyViewSize(qint32 w, qint32 h);                 // pixels
    bool RotateFlip(const QString& iRotate);
    // Starts writing the shown picture to exactly fileName (a completed name) off this thread;
    // saveEnded follows. False when there is nothing to save or the window is busy.
    bool SaveToFile(const QString& fileName);
    bool ShowTip(const QString& text);
    int ShowMessage(const QString& text, int style, const QString& title);
    bool SuspendTopMost();
    bool RestoreTopMost();
    bool MoveByArrowKey(int key, Qt::KeyboardModifiers modifiers);
    // Key T: every click, drag, wheel turn and key passes to what lies below the window until
    // Ctrl+Shift and a left click over it take them back (see WindowPin).
    void cmdSetClickThrough();
    // The window's pin; null until the first T.
    const WindowPin* Pin() const { return mPin; }
    // Fills a window not shown yet with the screen target, as C would (nothing to hide first);
    // captureEnded follows. A capture that brings nothing leaves the window unshown. False when
    // the window is busy or already shown.
    bool CaptureScreenAt(QScreen* target);
    // Takes the clipboard's picture (as paste does, without sizing the window); false when the
    // clipboard holds no picture, or a damaged one, and the window stays as it was.
    bool PasteClipboard();

    // The picture shown, as stored (its own size).
    QImage Picture() const;
    // Undo history of the window.
    cBackup& Backup() { return mModel.History(); }
    // Takes a copy of another window's picture (24 bits), with its file names. False when it has
    // no picture to copy.
    bool AdoptPictureOf(const frmResize& source);
    // True while a save or a screen capture runs; the window's commands wait for it.
    bool IsBusy() const { return mBusy; }
    // True while a file asked for by lnkOpenPicture is being read.
    bool IsOpening() const { return mOpenRequest != 0; }

    // Position and size in twips, the unit windows are placed in.
    double LeftTw() const override;
    double TopTw() const override;
    double WidthTw() const override;
    double HeightTw() const override;
    void SetGeometryTw(qint32 left, qint32 top, qint32 width, qint32 height) override;
    double TwipsPerPixelX() const override;
    double TwipsPerPixelY() const override;
    // Moves the window to left/top (twips), keeping its size.
    void MoveTw(double left, double top);
    // The window's rectangle on the desktop in device pixels, and placing it there exactly.
    QRect DeviceGeometry() const { return mDevice; }
    void SetDeviceGeometry(const QRect& r);
    // The top-left corner of the window's screen, twips: the screen rules (clamps, fits) measure
    // the window from there.
    QPointF ScreenOriginTw() const;
    // The picture's shown size, device pixels.
    QSize ShownSize() const;

    // Sampled colours are 0x00BBGGRR; -1 for a point outside the window (window pixels).
    qint32 SampleColor(QPoint windowPixel);

    // True once the window has been closed (it may not be deleted yet).
    bool IsUnloaded() const { return mUnloaded; }

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

private:
    void Layout();
    void OnFilesDropped(const QStringList& paths);
    void RunLetterCommand(int key);
    void InstallShortcuts();
    // A press, move or release over the picture (its control's, or the window's own where Qt's
    // logical pixels leave the control short of its last device pixels).
    void PictureMouse(QMouseEvent* e);
    void PictureMouseDown(QMouseEvent* e);
    void PictureMouseMove(QMouseEvent* e);
    void PictureMouseUp(QMouseEvent* e);
    void ShowCropRect(const QRect& r);
    // Shows the model's picture after it changed.
    void PictureChanged();
    // Shows the result of an edit and moves and sizes the window as it says.
    void ApplyEdit(const cPictureModel::Edit& edit);
    // The crop rectangle, device pixels of the window.
    QRect CropRectPx() const;
    // Qt moved or sized the window (a window manager, a screen change, its own rounding): keeps
    // the device rectangle, or takes the new one when the change was not a rounding of it.
    void Reconcile();
    // Brings the window back onto a screen when the one it was on has gone.
    void KeepOnAScreen();
    // Sizes the window to the picture's own size after a load (open, drop, paste) and, when that
    // made it grow, moves it just enough to stay inside its screen's work area where it fits.
    void GrowToOwnSize();
    // The wait of a save or capture: the tip, the cursor, and the process kept alive.
    void BeginBusy(const QString& tip);
    void EndBusy();
    void EndSave(bool ok, const QString& path);
    // Capture: the grab (or the portal's request) for the screen, the portal's file read through
    // the decoder, and the end: the window covers the screen with its picture, or is as it was.
    void GrabScreen(QScreen* target);
    void ReadPortalShot(const QString& path);
    void FinishPortalShot(const cDecodeFront::Result& result);
    void AbandonCapture();
    void FinishCapture(QScreen* target, const QImage& picture);
    // The window's decoder, made on first use.
    cDecodeFront* Decoder();
    void FinishOpen(const cDecodeFront::Result& result);
    // The colour-key shape follows what the window shows; refreshed once per event-loop turn.
    void ShapeChanged();
    // The wheel's notches summed since the last turn of the event loop, applied at once.
    void ApplyWheel();
    void WheelZoom(int notches, QPointF pointer);  // pointer: desktop device pixels
    void WheelOpacity(int notches);

    QRect mDevice;                    // the window on the desktop, device pixels
    std::array<QRect, 8> mRequested;  // the last places asked of the window system
    size_t mNextRequested = 0;
    QPointF mDragTwips;        // twips per pixel while a drag runs (null: none runs)
    bool mFramePress = false;  // a press on the window itself went to the picture
    bool mPlacing = false;     // SetDeviceGeometry is moving the window
    double mLastRatio = 1.0;   // the device ratio the controls were last placed for
    std::unique_ptr<PixelControlAdapter> mImageControl;
    std::unique_ptr<ClassLumora> mResizer;
    std::unique_ptr<QEventLoopLocker> mBusyLock;
    cDecodeFront* mDecoder = nullptr;
    cScreenshotPortal* mPortal = nullptr;         // made on the first capture through the portal
    QPointer<QScreen> mCaptureScreen;             // the screen a portal capture is for
    QString mCaptureFile;                         // the portal's file being read
    qint64 mCaptureRequest = 0;                   // its decode; 0 when none runs
    bool mQuietRefusal = false;                   // a capture into a never-shown window
    qint64 mOpenRequest = 0;                      // the newest open asked for; 0 when none runs
    std::unique_ptr<QEventLoopLocker> mOpenLock;  // held while an open runs
    bool mHoldTip = false;  // the "too large" tip given before the first show stays up
    bool mBusy = false;
    bool mCloseWhenIdle = false;  // closed while busy: unload once the work ends
    int mPressedKey = 0;          // the last key pressed while this window had the keyboard
    bool mPressedPlain = false;   // ... without Ctrl, Alt or Meta
    qint32 mRightDownX = 0;       // pixels, relative to the picture
    qint32 mRightDownY = 0;
    qint16 mTipTicks = 0;
    qint16 mIdleTicks = 0;
    bool mUnloaded = false;
    bool mShapeRefreshPending = false;
    // Kept pixels of the shown picture for a key colour, made once per picture, size and key.
    QRegion mKeptPicture;
    qint64 mKeptPictureImage = 0;
    qint32 mKeptPictureKey = -2;
    // Wheel notches waiting for ApplyWheel (away from the user positive), and where the pointer
    // was at the last of them (screen pixels).
    cWheelSteps mZoomWheel;
    cWheelSteps mOpacityWheel;
    qint64 mPendingZoom = 0;
    qint64 mPendingOpacity = 0;
    QPointF mWheelPointer;
    bool mWheelPending = false;
    cWheelZoom mZoom;           // the wheel's level and the size it counts from
    WindowPin* mPin = nullptr;  // a child of the window, made at the first T
};
