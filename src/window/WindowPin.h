#pragma once

#include <QObject>
#include <QPointF>

#include "window/cClickThrough.h"

class frmResize;
class QWidget;

// The click-through pin of one image window (key T): while pinned, the window lets every click,
// drag and wheel turn pass to what lies below it (an empty input shape; its visible shape, colour
// key and opacity stay as they are), takes no keyboard focus, and shows a dashed outline one
// device pixel wide around its edge. Holding Ctrl+Shift with the pointer over it makes it take the
// mouse again while they are held; a left click then ends the pin. The states are cClickThrough's;
// this object applies them to the window. A child of the window, made at the first T.
class WindowPin : public QObject {
public:
    explicit WindowPin(frmResize* window);
    ~WindowPin() override;

    const cClickThrough& State() const { return mState; }

    // Key T: the window becomes click-through (nothing when it already is).
    void Pin();
    // One poll of the keyboard's modifiers and the pointer (desktop device pixels).
    void Poll(Qt::KeyboardModifiers keys, QPointF pointer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Gives the window the input, focus, outline and polling of the current state.
    void Apply();
    bool TakeMouse(QEvent* event);

    frmResize* mWindow;
    QWidget* mOutline;
    cClickThrough mState;
    bool mInputThrough = false;  // the window's input shape is empty now
};
