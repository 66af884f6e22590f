#pragma once

#include <QtGlobal>

#include "panel/ITextBox.h"

// Turns a single-line text box into a small number entry: only the digits 0-9 can be typed, the
// up and down arrow keys step the value by one, and dragging the pointer vertically over the box
// with the left button held steps it once per move (up counts up, down or level counts down).
// A step's result is kept between MinValue and MaxValue.
//
// Stepping works on signed 16-bit values: a text whose value lies outside -32768..32767, or a
// step whose result would, leaves the text as it is.
//
// The panel forwards the box's typed characters, key presses and mouse events to the handlers
// below; key codes are the program's own (38 up, 40 down), not Qt's.
class cTextboxAutoCount {
public:
    static constexpr qint16 kKeyCodeUp = 38;
    static constexpr qint16 kKeyCodeDown = 40;

    cTextboxAutoCount() = default;

    // The box to drive. Null is ignored. Not owned: the panel keeps the box alive while this
    // controller is attached to it.
    void setObjectTextBox(ITextBox* box);

    // Bounds of a step's result, stored as given; nothing checks that Min <= Max (a result above
    // the maximum becomes the maximum, otherwise one below the minimum becomes the minimum).
    // 65000 and 0 at creation.
    qint32 MaxValue() const { return mMaxValue; }
    void setMaxValue(qint32 v) { mMaxValue = v; }
    qint32 MinValue() const { return mMinValue; }
    void setMinValue(qint32 v) { mMinValue = v; }

    // A character was typed. keyAscii: its code; set to 0 when the character is to be discarded
    // (anything but the ASCII digits, backspace and the minus sign included).
    void KeyPress(qint32& keyAscii) const;

    // A key went down. keyCode: 38 steps up, 40 steps down, others do nothing; shift: ignored.
    // Nothing happens while the text is not a number or while a step is being written (the
    // busy flag: a change handler that steps again from inside SetText is ignored). The key is
    // not consumed.
    void KeyDown(qint16 keyCode, qint16 shift);

    // A button went down over the box. y: twips relative to the box. Any button.
    void MouseDown(qint16 button, qint16 shift, float x, float y);

    // The pointer moved over the box. With exactly the left button held, one step per event:
    // down (or no vertical change) when y >= the last y, up otherwise. y: twips relative to the
    // box.
    void MouseMove(qint16 button, qint16 shift, float x, float y);

private:
    ITextBox* mObjTextBox = nullptr;
    qint32 mLastY = 0;  // twips
    bool mBusy = false;
    qint32 mMaxValue = 65000;
    qint32 mMinValue = 0;
};
