#pragma once

#include <QtGlobal>

// The mouse-button and modifier masks the window controllers and the number box take, one
// definition for all of them: buttons 1 left, 2 right, 4 middle; modifiers 1 Shift, 2 Ctrl, 4 Alt.
namespace InputMasks {

inline constexpr qint16 kLeftButton = 1;
inline constexpr qint16 kRightButton = 2;
inline constexpr qint16 kMiddleButton = 4;

inline constexpr qint16 kShift = 1;
inline constexpr qint16 kCtrl = 2;
inline constexpr qint16 kAlt = 4;

inline qint16 ButtonMask(Qt::MouseButtons b) {
    return static_cast<qint16>(((b & Qt::LeftButton) ? kLeftButton : 0) |
                               ((b & Qt::RightButton) ? kRightButton : 0) |
                               ((b & Qt::MiddleButton) ? kMiddleButton : 0));
}

inline qint16 ShiftMask(Qt::KeyboardModifiers k) {
    return static_cast<qint16>(((k & Qt::ShiftModifier) ? kShift : 0) |
                               ((k & Qt::ControlModifier) ? kCtrl : 0) |
                               ((k & Qt::AltModifier) ? kAlt : 0));
}

}  // namespace InputMasks
