#pragma once

#include <QColor>
#include <QWidget>

// A one-pixel rectangle outline drawn over its area (focus frame, crop outline). It never takes
// the mouse: clicks pass to what lies beneath.
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
