#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QWheelEvent>
#include <QWidget>

// A wheel turn as the window system delivers it: sent to the widget under the global point
// (pixels), delta in eighths of a degree (120 a notch, positive away from the user).
inline void SendWheel(QWidget* under, QPoint global, int delta,
                      Qt::KeyboardModifiers keys = Qt::NoModifier,
                      Qt::MouseButtons buttons = Qt::NoButton) {
    QWheelEvent e(under->mapFromGlobal(QPointF(global)), QPointF(global), QPoint(),
                  QPoint(0, delta), buttons, keys, Qt::NoScrollPhase, false);
    QApplication::sendEvent(under, &e);
}

// Lets the window act on the wheel turns sent so far: the work they queued for the next turn
// of the event loop runs now.
inline void EndEventLoopTurn(QObject* window) {
    QCoreApplication::sendPostedEvents(window, QEvent::MetaCall);
}
