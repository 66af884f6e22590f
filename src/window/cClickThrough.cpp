#include "window/cClickThrough.h"

bool cClickThrough::Pin() {
    if (mState != State::Off) {
        return false;
    }
    mState = State::Through;
    return true;
}

bool cClickThrough::Poll(Qt::KeyboardModifiers keys, bool pointerOver) {
    const Qt::KeyboardModifiers chord =
        keys & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool reclaim = pointerOver && chord == (Qt::ControlModifier | Qt::ShiftModifier);
    const State before = mState;
    if (mState == State::Through && reclaim) {
        mState = State::Held;
    } else if (mState == State::Held && !reclaim) {
        mState = State::Through;
    }
    return mState != before;
}

bool cClickThrough::Press(Qt::MouseButton button) {
    if (mState == State::Off && !mTakenClick) {
        return false;
    }
    if (mState == State::Held && button == Qt::LeftButton) {
        mState = State::Off;
    }
    mTakenClick = true;
    return true;
}

bool cClickThrough::Release(Qt::MouseButtons buttons) {
    const bool taken = mTakenClick;
    if (buttons == Qt::NoButton) {
        mTakenClick = false;
    }
    return taken;
}
