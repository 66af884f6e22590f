#include "dialogs/ClickableLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

ClickableLabel::ClickableLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    // Drawn like a link, so it reads as something to click.
    QPalette linkColour = palette();
    linkColour.setColor(QPalette::WindowText, linkColour.color(QPalette::Link));
    setPalette(linkColour);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
}

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
    mPressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    // Like a button: the click counts only when the press began here and ends here.
    const bool click = mPressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    mPressed = false;
    event->accept();
    if (click) {
        emit clicked();
    }
}

void ClickableLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            emit clicked();
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}
