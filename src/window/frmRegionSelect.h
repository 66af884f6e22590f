#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <vector>

#include "window/cRegionSelection.h"

class QScreen;
class QWidget;
class RegionOverlay;

// A selection on the frozen screens (X11): every screen is grabbed at its device resolution and
// covered by a full-screen overlay showing that still picture, dimmed outside the selection, with
// the window under the pointer outlined before any drag, the selection's size beside it and a
// magnifier with the pointer's colour. Enter or a double click pins the selection in a new image
// window at exactly its place; Ctrl+C copies it and ends; Esc ends; C copies the colour text.
// What is selected is cRegionSelection's; this holds the windows and the frozen pictures.
class frmRegionSelect : public QObject {
    Q_OBJECT
public:
    explicit frmRegionSelect(QObject* parent = nullptr);
    ~frmRegionSelect() override;

    // Freezes the screens and shows the overlays. False, with nothing shown, when no screen gave
    // a picture.
    bool Start();

    // Shift+C on an image window: the window hides, the screens repaint without it, the selection
    // runs, and the window shows again as it was however the selection ends.
    static void From(QWidget* window);

signals:
    // The selection has ended (the overlays go right after): pinned when a new window holds it.
    void ended(bool pinned);

private:
    friend class RegionOverlay;
    struct Frozen {
        QPointer<QScreen> screen;
        QRect device;  // the screen on the desktop, device pixels
        QImage picture;
        QPointer<RegionOverlay> overlay;
    };

    // From the overlays, in desktop device pixels.
    void Pressed(QPoint p);
    void Moved(QPoint p);
    void Released(QPoint p);
    void KeyPressed(int key, Qt::KeyboardModifiers keys);
    void Pin();

    QRect Target() const;  // the selection, or before any the window under the pointer
    QImage PictureOf(const QRect& r) const;
    QRgb ColourAt(QPoint p) const;
    void Repaint();
    void ScreenGone(QScreen* screen);
    void End(bool pinned);

    std::vector<Frozen> mScreens;
    cRegionSelection mSelection{{}};
    QPoint mPointer;
    bool mEnded = false;
};
