#pragma once

#include <QString>

// What the number box controller (cTextboxAutoCount) sees of a single-line text box. The command
// panel implements it on its line edits; the controller does not own the box.
class ITextBox {
public:
    virtual ~ITextBox() = default;

    virtual QString Text() const = 0;
    // Replaces the whole text. The box raises its ordinary change notification from inside this
    // call, so a consumer may act on (and even step) the new value before it returns.
    virtual void SetText(const QString& text) = 0;
};
