#pragma once

#include <Qt>

// Whether an image window lets the mouse pass to what lies below it, and how it is taken back.
//
// Off: an ordinary window. Through: every click, drag and wheel turn (and the keyboard) goes to
// what is below. Held: Ctrl and Shift are held with the pointer over the window, which takes the
// mouse again while they stay held; a left click then turns click-through off for good and does
// nothing else. Ctrl+Shift because window managers take Alt and Super with the mouse.
//
// The window polls the keyboard's modifiers and the pointer while it is not Off, and forwards
// each button press, move and release it gets; this class says what they do.
class cClickThrough {
public:
    enum class State { Off, Through, Held };

    State state() const { return mState; }

    // The key that pins the window: an ordinary window becomes click-through. True when the state
    // changed.
    bool Pin();

    // One poll: the keyboard's modifiers and whether the pointer is over the window. Through
    // becomes Held when exactly Ctrl and Shift (of Ctrl, Shift, Alt and Meta) are held over the
    // window, Held goes back to Through when they are not or the pointer has left. True when the
    // state changed.
    bool Poll(Qt::KeyboardModifiers keys, bool pointerOver);

    // A button pressed over the window. True when the press, and the moves and release of its
    // click, belong to the pin and nothing else may act on them: every press while the window is
    // not Off. A left press while Held turns click-through off.
    bool Press(Qt::MouseButton button);
    // A move, or a release (buttons: those still held afterwards). True when it belongs to a click
    // the pin took; the click ends with its last button.
    bool Move() const { return mTakenClick; }
    bool Release(Qt::MouseButtons buttons);

    // Input passes to what is below (the window's input shape is empty).
    bool PassesInput() const { return mState == State::Through; }
    // The outline that tells a person why the window does not react.
    bool ShowsOutline() const { return mState == State::Through; }
    // The keyboard and the pointer need polling.
    bool NeedsPolling() const { return mState != State::Off; }
    // The window may take the keyboard focus.
    bool TakesFocus() const { return mState == State::Off; }

private:
    State mState = State::Off;
    bool mTakenClick = false;  // a click the pin took is still in progress
};
