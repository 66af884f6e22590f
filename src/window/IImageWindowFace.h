#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtGlobal>

class QObject;
class QScreen;

// What the image window's logic (cWindowPlacement, cWindowEdits, cWindowFiles, cWindowLooks,
// cPictureMouse) asks of the window it runs in: the widget side, which places the native window,
// shows the picture and the controls over it, and opens the dialogs. The logic holds the rules;
// the face does as it is told. Places are device pixels. The window implements it on its widgets,
// tests on a fake.
class IImageWindowFace {
public:
    virtual ~IImageWindowFace() = default;

    // The screen the window is on (null: the primary one), and its device pixels per logical
    // pixel.
    virtual QScreen* Screen() const = 0;
    virtual double Ratio() const = 0;
    // Asks the window system for exactly r (desktop device pixels), through Qt and then directly;
    // PutBack asks it directly again, where Qt's logical pixels moved the window a little.
    virtual void PlaceExactly(const QRect& r) = 0;
    virtual void PutBack(const QRect& r) = 0;
    // Places the controls again for the window's size and ratio.
    virtual void LayOut() = 0;

    // The model's picture changed: show it.
    virtual void PictureChanged() = 0;
    // The picture's shown size, and the crop rectangle (device pixels of the window).
    virtual QSize ShownSize() const = 0;
    virtual QRect CropRectPx() const = 0;
    virtual void HideCropRect() = 0;
    virtual void ShowCropRect(const QRect& r) = 0;
    // The pointer is over the picture at p (device pixels of the picture): the window takes the
    // colour there and counts it as activity.
    virtual void PointerOver(QPointF p) = 0;
    virtual void ShowFocusFrame() = 0;
    // The right button came up over the picture: the crop rectangle's menu while one is shown,
    // the command panel otherwise.
    virtual void OpenMenu() = 0;
    virtual bool ShowTip(const QString& text) = 0;
    virtual void HideTip() = 0;
    // hold: the tip just shown stays over the window's next layout (the first, when it shows)
    // instead of the size the layout would put there.
    virtual void HoldTip(bool hold) = 0;
    // The wait shows over the picture, and with overCrop over the crop rectangle too.
    virtual void ShowWait(bool on, bool overCrop) = 0;

    // How the window shows on the desktop (see cWindowLooks): the colour of its pixel p
    // (0x00BBGGRR, window device pixels), a colour key cut with the controls over the picture
    // hidden, the cut made again, an opacity (alpha 0..255), none of them; and the opacity the
    // window changed by itself.
    virtual qint32 SampleColor(QPoint p) = 0;
    virtual void ApplyColorKey(qint32 key) = 0;
    virtual void RefreshColorKey() = 0;
    virtual void ApplyOpacity(int alpha) = 0;
    virtual void ClearLayers() = 0;
    virtual void OpacityChanged(int percent) = 0;

    // The window itself.
    virtual bool IsShown() const = 0;
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    virtual void CloseWindow() = 0;
    virtual bool IsUnloaded() const = 0;
    // Out of the band above other windows while a modal window is up, and back.
    virtual bool SuspendTopMost() = 0;
    virtual bool RestoreTopMost() = 0;

    // The owner of the window's modal windows and queued work, and its file dialogs (save, or
    // open): the name chosen, "" when cancelled.
    virtual QObject* Owner() = 0;
    virtual QString AskFileName(bool save) = 0;
};
