#pragma once

#include <QKeySequence>
#include <Qt>
#include <optional>
#include <utility>
#include <vector>

#include "window/WindowArithmetic.h"

// What the image window's keys do. Keys act on their release, and only when this window saw the
// press: Esc that closes a dialog or a menu lets go over the window, and must not close it too.
// A letter command also needs a press without Ctrl, Alt or Meta: a person often lets Ctrl go
// before the letter, and Ctrl+C must never capture the screen. Arrow keys act on their press.
//
// Beside the letters the window takes the desktop's usual keys as shortcuts (Shortcuts): a press
// a shortcut takes never reaches Pressed, so Ctrl+C can never also count as the capture key C.
class cWindowKeys {
public:
    enum class Action {
        None,          // taken, nothing to do
        PassOn,        // not the window's: let the widget's default handling have it
        Close,         // Esc, Delete
        CommandPanel,  // the menu key
        NewWindow,     // N
        Open,          // O
        QuickSave,     // S
        SaveAs,        // A
        Capture,       // C
        Select,        // Shift+C: a region of the frozen screens
        Pin,           // T
        Annotate,      // D
        VersionInfo,   // Ctrl+Alt+Shift+F12
        Copy,          // the shortcuts' own: Ctrl+C
        Paste,         // Ctrl+V
        Undo,          // Ctrl+Z
        Redo,          // Ctrl+Shift+Z, Ctrl+Y
        Help,          // F1
    };

    // The shortcuts and what they do.
    static const std::vector<std::pair<QKeySequence, Action>>& Shortcuts();

    // A key went down over the window (auto-repeats change nothing).
    void Pressed(int key, Qt::KeyboardModifiers keys, bool autoRepeat);
    // A key came up: what it does. An auto-repeated release does nothing.
    Action Released(int key, Qt::KeyboardModifiers keys, bool autoRepeat);

    // The arrow a key moves by (none for other keys), and its step in pixels: 10 with Ctrl alone,
    // otherwise 1.
    static std::optional<WindowArithmetic::Arrow> ArrowOf(int key);
    static int ArrowStep(Qt::KeyboardModifiers keys);

private:
    int mPressed = 0;     // the last key pressed while the window had the keyboard
    bool mPlain = false;  // ... without Ctrl, Alt or Meta
    bool mShift = false;  // ... with Shift (let go first or not)
};
