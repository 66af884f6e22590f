#pragma once

#include <QObject>
#include <QString>

// Every modal interaction of the program (message boxes, file and folder dialogs, starting another
// program) goes through this one seam. The running program installs the widget implementation;
// tests install scripted answers, so no test ever waits on a modal window.
namespace ModalSeam {

// Message box styles, by their numbers.
enum MessageStyle : int { Critical = 16, Information = 64 };

class Handler {
public:
    virtual ~Handler() = default;
    // Shows a modal message box over owner (may be null); returns the button pressed (1 = OK).
    virtual int Message(QObject* owner, const QString& text, int style, const QString& title) = 0;
    // Opens a document or address with the desktop's default program; true when it was handed on.
    virtual bool OpenExternal(const QString& pathOrUrl) = 0;
};

// The handler in force; without one installed, messages answer OK at once and nothing opens.
Handler& Current();

// Installs a handler (not owned); null returns to the silent default.
void Install(Handler* handler);

inline int ShowMessage(QObject* owner, const QString& text, int style, const QString& title) {
    return Current().Message(owner, text, style, title);
}

}  // namespace ModalSeam
