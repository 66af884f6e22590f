#pragma once

#include <QLabel>
#include <memory>

#include "window/WindowArithmetic.h"

class ClassCropResize;
class ITwipsWindow;
class OutlineWidget;
class PixelControlAdapter;

// The crop rectangle of an image window: a transparent label with a one-pixel frame, and the
// blinking outline one pixel inside it (a sibling drawn over it). Left-button drags on the label
// move and resize it (ClassCropResize); a right-button release over it asks for the crop menu.
// Geometry is in device pixels of the window's client area.
class CropRectWidget : public QLabel {
    Q_OBJECT
public:
    // Both controls become children of iWindow, which also measures the drags (twips).
    CropRectWidget(QWidget* iWindow, ITwipsWindow* iTwips);
    ~CropRectWidget() override;

    // The outline drawn inside the label.
    OutlineWidget* Outline() const { return mOutline; }

    // Shows the rectangle at r; the outline only when r is wider and taller than 2 pixels.
    void ShowRect(const QRect& r);
    // Hides the label and the outline.
    void HideRect();
    // Moves the shown rectangle one arrow-key step, inside the window's client area (iWindowPx,
    // device pixels) less the border at the top, right and bottom.
    void MoveByArrow(WindowArithmetic::Arrow iKey, int iStep, int iBorder, QSize iWindowPx);
    // The outline's colour for the second of the minute: black, white, blue in turn.
    void Blink(int iSecondOfMinute);
    // Stops reacting to the mouse (the window is closing).
    void Detach();

signals:
    // A right-button release over the rectangle.
    void menuRequested();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // Hands a press or move to the drag controller.
    void Forward(QMouseEvent* e);

    ITwipsWindow* mTwips;
    OutlineWidget* mOutline;
    std::unique_ptr<PixelControlAdapter> mLabelControl;
    std::unique_ptr<PixelControlAdapter> mOutlineControl;
    std::unique_ptr<ClassCropResize> mCropper;
};
