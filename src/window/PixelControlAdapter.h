#pragma once

#include <QWidget>

#include "window/DevicePlacement.h"
#include "window/IControlGeometry.h"

// Lets a controller move, size and set the cursor of one control, in device pixels of its window.
class PixelControlAdapter final : public IPointerControl {
public:
    explicit PixelControlAdapter(QWidget* w) : mWidget(w) {}
    float LeftPx() const override { return static_cast<float>(DevicePlacement::Of(mWidget).x()); }
    float TopPx() const override { return static_cast<float>(DevicePlacement::Of(mWidget).y()); }
    float WidthPx() const override {
        return static_cast<float>(DevicePlacement::Of(mWidget).width());
    }
    float HeightPx() const override {
        return static_cast<float>(DevicePlacement::Of(mWidget).height());
    }
    void SetGeometryPx(qint32 left, qint32 top, qint32 width, qint32 height) override {
        DevicePlacement::Set(mWidget, QRect(left, top, width, height));
    }
    void SetCursorShape(Qt::CursorShape shape) override {
        if (mWidget->cursor().shape() != shape) {
            mWidget->setCursor(shape);
        }
    }

private:
    QWidget* mWidget;
};
