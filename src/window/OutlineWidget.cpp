#include "window/OutlineWidget.h"

#include <QPainter>

OutlineWidget::OutlineWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
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
    p.setPen(QPen(mColor, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, width() - 1, height() - 1);
}
