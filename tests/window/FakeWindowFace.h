#pragma once

#include <QObject>
#include <QRect>
#include <QStringList>
#include <new>
#include <vector>

#include "window/IImageWindowFace.h"
#include "window/cWindowPlacement.h"

// A stand-in for the image window's widgets, for the core classes that see the window through
// IImageWindowFace. Like the window, it lays the picture out over the window less its band (the
// shown size follows the placement given), and it records what else it is told.
class FakeWindowFace : public IImageWindowFace {
public:
    // The placement whose rectangle the shown size follows; null: shown stays as set.
    const cWindowPlacement* place = nullptr;
    QSize shown{60, 40};
    QRect crop;  // the crop rectangle; empty: none shown
    double ratio = 1.0;
    bool visible = true;
    bool unloaded = false;
    qint32 colour = 0x00123456;  // every pixel's colour
    QString fileName;            // what the file dialogs answer
    bool failRedraw = false;     // PictureChanged throws

    // What it was told.
    std::vector<QRect> placed;
    std::vector<QRect> putBack;
    int layOuts = 0;
    int pictureChanges = 0;
    QStringList tips;
    bool held = false;
    bool waiting = false;
    bool waitingOverCrop = false;
    std::vector<QRect> cropsShown;
    int cropsHidden = 0;
    std::vector<QPointF> pointers;
    int focusFrames = 0;
    int menus = 0;
    std::vector<qint32> keys;  // colour keys cut
    int keyRefreshes = 0;
    std::vector<int> alphas;  // opacities given
    int layersCleared = 0;
    std::vector<int> opacityChanges;
    int shows = 0, hides = 0, closes = 0, suspends = 0, restores = 0;
    std::vector<bool> asked;  // the file dialogs opened: true for save

    QScreen* Screen() const override { return nullptr; }
    double Ratio() const override { return ratio; }
    void PlaceExactly(const QRect& r) override { placed.push_back(r); }
    void PutBack(const QRect& r) override { putBack.push_back(r); }
    void LayOut() override {
        ++layOuts;
        if (place != nullptr) {
            shown = place->PictureRect().size();
        }
    }
    void PictureChanged() override {
        ++pictureChanges;
        if (failRedraw) {
            throw std::bad_alloc();  // no memory to show the new picture
        }
    }
    QSize ShownSize() const override { return shown; }
    QRect CropRectPx() const override { return crop; }
    void HideCropRect() override {
        ++cropsHidden;
        crop = QRect();
    }
    void ShowCropRect(const QRect& r) override {
        cropsShown.push_back(r);
        crop = r;
    }
    void PointerOver(QPointF p) override { pointers.push_back(p); }
    void ShowFocusFrame() override { ++focusFrames; }
    void OpenMenu() override { ++menus; }
    bool ShowTip(const QString& text) override {
        tips << text;
        return true;
    }
    void HideTip() override { tips << QString(); }
    void HoldTip(bool hold) override { held = hold; }
    void ShowWait(bool on, bool overCrop) override {
        waiting = on;
        waitingOverCrop = on && overCrop;
    }
    qint32 SampleColor(QPoint) override { return colour; }
    void ApplyColorKey(qint32 key) override { keys.push_back(key); }
    void RefreshColorKey() override { ++keyRefreshes; }
    void ApplyOpacity(int alpha) override { alphas.push_back(alpha); }
    void ClearLayers() override { ++layersCleared; }
    void OpacityChanged(int percent) override { opacityChanges.push_back(percent); }
    bool IsShown() const override { return visible; }
    void ShowWindow() override {
        ++shows;
        visible = true;
    }
    void HideWindow() override {
        ++hides;
        visible = false;
    }
    void CloseWindow() override { ++closes; }
    bool IsUnloaded() const override { return unloaded; }
    bool SuspendTopMost() override { return ++suspends > 0; }
    bool RestoreTopMost() override { return ++restores > 0; }
    QObject* Owner() override { return &owner; }
    QString AskFileName(bool save) override {
        asked.push_back(save);
        return fileName;
    }

private:
    QObject owner;
};
