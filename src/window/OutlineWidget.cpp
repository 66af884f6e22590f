#include "window/OutlineWidget.h"

#include <QPainter>
#include <QTransform>

#include "window/DevicePlacement.h"

OutlineWidget::OutlineWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    DevicePlacement::CoverWholly(this);
}

void OutlineWidget::setBorderColor(const QColor& color) {
    if (color != mColor) {
        mColor = color;
        update();
    }
}

void OutlineWidget::paintEvent(QPaintEvent*) {
    if (width() < 1 || height() < 1) {
        return;
    }
    QPainter p(this);
    if (DevicePlacement::IsPlaced(this)) {
        // Painted in the parent's device pixels: Qt's logical rectangle for the control ends up
        // to a logical pixel past the exact one, and a one-logical-pixel line drawn on its edge
        // fell 1 or 2 device pixels inside the picture's edge at a scale above 1.
        const double k = DevicePlacement::Ratio(this);
        const QRect r = DevicePlacement::Of(this);
        QTransform toDevice;
        toDevice.translate(-x(), -y());
        toDevice.scale(1.0 / k, 1.0 / k);
        p.setWorldTransform(toDevice);
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), mColor);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), mColor);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), mColor);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), mColor);
        return;
    }
    p.setPen(QPen(mColor, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, width() - 1, height() - 1);
}
