#pragma once

#include <QRect>

#include "base/InputMasks.h"
#include "window/IControlGeometry.h"

// Stand-ins for the image window's controls: they hold a geometry and record what the
// controllers ask of them.
namespace ControlFakes {

// Mouse button masks as the controllers take them.
constexpr qint16 kNone = 0;
constexpr qint16 kLeft = InputMasks::kLeftButton;
constexpr qint16 kRight = InputMasks::kRightButton;

class FakeControl : public IPointerControl {
public:
    FakeControl(float left, float top, float width, float height)
        : left(left), top(top), width(width), height(height) {}

    float LeftPx() const override { return left; }
    float TopPx() const override { return top; }
    float WidthPx() const override { return width; }
    float HeightPx() const override { return height; }
    void SetGeometryPx(qint32 l, qint32 t, qint32 w, qint32 h) override {
        left = static_cast<float>(l);
        top = static_cast<float>(t);
        width = static_cast<float>(w);
        height = static_cast<float>(h);
        ++geometryCalls;
    }
    void SetCursorShape(Qt::CursorShape shape) override {
        cursor = shape;
        ++cursorCalls;
    }

    QRect Rect() const {
        return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                     static_cast<int>(height));
    }

    float left, top, width, height;
    Qt::CursorShape cursor = Qt::BlankCursor;  // never set by a controller
    int cursorCalls = 0;
    int geometryCalls = 0;
};

class FakeWindow : public ITwipsWindow {
public:
    FakeWindow(double left, double top, double width, double height, double tx = 15, double ty = 15)
        : left(left), top(top), width(width), height(height), tx(tx), ty(ty) {}

    double LeftTw() const override { return left; }
    double TopTw() const override { return top; }
    double WidthTw() const override { return width; }
    double HeightTw() const override { return height; }
    void SetGeometryTw(qint32 l, qint32 t, qint32 w, qint32 h) override {
        left = l;
        top = t;
        width = w;
        height = h;
        ++geometryCalls;
    }
    double TwipsPerPixelX() const override { return tx; }
    double TwipsPerPixelY() const override { return ty; }

    QRect Rect() const {
        return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                     static_cast<int>(height));
    }

    double left, top, width, height, tx, ty;
    int geometryCalls = 0;
};

}  // namespace ControlFakes
