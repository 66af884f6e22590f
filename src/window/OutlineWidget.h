#pragma once

#include <QColor>
#include <QWidget>

// A one-pixel rectangle outline drawn over its area (focus frame, crop outline). It never takes
// the mouse: clicks pass to what lies beneath. Placed in device pixels (DevicePlacement), the
// outline is one device pixel on the outermost pixels of that exact rectangle, at every scale;
// otherwise it is one logical pixel on the widget's edge.
class OutlineWidget : public QWidget {
public:
    explicit OutlineWidget(QWidget* parent = nullptr);

    QColor borderColor() const { return mColor; }
    void setBorderColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor mColor = Qt::black;
};
