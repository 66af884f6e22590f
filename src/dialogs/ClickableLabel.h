#pragma once

#include <QLabel>

// A label that acts like a link: a left click released over it, or Space or Enter while it has
// the keyboard focus, emits clicked(). It looks like a link, shows the hand cursor and takes
// the focus by Tab.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickableLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool mPressed = false;  // a left press started on this label
};
