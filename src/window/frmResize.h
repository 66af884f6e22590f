#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "window/IControlGeometry.h"
#include "window/mdlAPI_Form.h"

class QLabel;
class QTimer;
class PictureViewWidget;
class OutlineWidget;
class ClassLumora;
class ClassCropResize;
class cBackup;
class ControlAdapter;

// The image window: a frameless top-level window whose client area is its picture, stretched over
// the window less a border of mFormBorder pixels. Dragging its edges resizes it, dragging inside
// moves it, a right-button drag draws the crop rectangle. Its position and size are measured in
// twips (Left/Top/Width/Height); everything inside it in pixels.
class frmResize : public QWidget, public ITwipsWindow, public IColorKeySurface {
    Q_OBJECT
public:
    explicit frmResize(QWidget* parent = nullptr);
    ~frmResize() override;

    // Members other parts of the program read and write.
    QString mPicFile;      // file the picture came from; "" otherwise
    QString mPicFileExt;   // copied with mPicFile when a window is duplicated
    qint32 mOrgWidth = 0;  // the picture's own size, pixels
    qint32 mOrgHeight = 0;
    qint32 mNowPointColor = 0;  // 0x00BBGGRR under the mouse; -1 outside the window
    bool mFormShape = false;    // the colour-key shape is on
    qint16 mTouming = 100;      // opacity, percent
    qint32 mFormBorder = 0;     // border band, pixels: 0 or 4

    // The controls.
    QLabel* lblTip = nullptr;
    OutlineWidget* shpFocus = nullptr;
    OutlineWidget* shpCrop = nullptr;
    QLabel* lblCrop = nullptr;
    PictureViewWidget* imgView = nullptr;
    QTimer* timerSystem = nullptr;

    // Public operations.
    void cmdGetOrgWidthHeight();
    void cmdShowSize();
    void cmdSetFormFocusON();
    void cmdSetFormFocusOFF();
    void cmdAutoPosition();
    void cmdSetFormShape();
    void cmdResetFormShape();
    void cmdSetTouming();
    void cmdSetFormHaveBorder();
    void cmdSetFormNoBorder();
    bool lnkOpenPicture(const QString& iFileName);
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
    bool ShowTip(const QString& text);
    int ShowMessage(const QString& text, int style, const QString& title);
    bool SuspendTopMost();
    bool RestoreTopMost();
    bool MoveByArrowKey(int key, Qt::KeyboardModifiers modifiers);

    // The picture shown, as stored (its own size).
    QImage Picture() const;
    // Undo history of the window.
    cBackup& Backup() { return *mBackup; }

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

    // Sampled colours are 0x00BBGGRR; -1 for a point outside the window (window pixels).
    qint32 SampleColor(QPoint windowPixel);

    // True once the window has been closed (it may not be deleted yet).
    bool IsUnloaded() const { return mUnloaded; }

    // The window's pixels that are not of the colour: the band (unless it is of that colour), the
    // shown picture's other pixels, and whatever control is showing over the picture.
    QRegion KeptRegion(qint32 colour) override;

    // The timer's work, also called by tests with a chosen second of the minute.
    void TimerTick(int secondOfMinute);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void OnFilesDropped(const QStringList& paths);
    void PictureMouseDown(QMouseEvent* e);
    void PictureMouseMove(QMouseEvent* e);
    void PictureMouseUp(QMouseEvent* e);
    void ShowCropRect(const QRect& r);
    void PictureChanged();
    // Shows what operation makes of the picture; the picture stays as it was when the operation
    // fails or gives no picture.
    bool ReplacePicture(const std::function<QImage(const QImage&)>& operation);
    // The colour-key shape follows what the window shows; refreshed once per event-loop turn.
    void ShapeChanged();

    std::unique_ptr<ControlAdapter> mImageControl;
    std::unique_ptr<ControlAdapter> mCropControl;
    std::unique_ptr<ControlAdapter> mCropOutline;
    std::unique_ptr<ClassLumora> mResizer;
    std::unique_ptr<ClassCropResize> mCropper;
    std::unique_ptr<cBackup> mBackup;
    qint32 mRightDownX = 0;  // pixels, relative to the picture
    qint32 mRightDownY = 0;
    qint16 mTipTicks = 0;
    qint16 mIdleTicks = 0;
    bool mUnloaded = false;
    bool mShapeRefreshPending = false;
    // Kept pixels of the shown picture for a key colour, made once per picture, size and key.
    QRegion mKeptPicture;
    qint64 mKeptPictureImage = 0;
    qint32 mKeptPictureKey = -2;
};
