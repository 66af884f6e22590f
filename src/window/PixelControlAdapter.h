#pragma once

#include <QWidget>
#include <algorithm>

#include "window/IControlGeometry.h"

// Lets a controller move, size and set the cursor of one control, in pixels of its window.
class PixelControlAdapter final : public IPointerControl {
public:
    explicit PixelControlAdapter(QWidget* w) : mWidget(w) {}
    float LeftPx() const override { return static_cast<float>(mWidget->x()); }
    float TopPx() const override { return static_cast<float>(mWidget->y()); }
    float WidthPx() const override { return static_cast<float>(mWidget->width()); }
    float HeightPx() const override { return static_cast<float>(mWidget->height()); }
    void SetGeometryPx(qint32 left, qint32 top, qint32 width, qint32 height) override {
        mWidget->setGeometry(left, top, std::max(0, width), std::max(0, height));
    }
    void SetCursorShape(Qt::CursorShape shape) override {
        if (mWidget->cursor().shape() != shape) {
            mWidget->setCursor(shape);
        }
    }

private:
    QWidget* mWidget;
};
