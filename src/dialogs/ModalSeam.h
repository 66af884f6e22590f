#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

#include "dialogs/FileFilter.h"

// Every modal interaction of the program (message boxes, questions, file and folder dialogs,
// starting another program) goes through this one seam. The running program installs the widget
// implementation; tests install scripted answers, so no test ever waits on a modal window.
namespace ModalSeam {

// Message box styles, by their numbers.
enum MessageStyle : int { Critical = 16, Information = 64 };

// What an open or save dialog offers. Paths use '/'.
struct FileDialogRequest {
    QString title;                 // window title; "" = the dialog's own
    QList<FileFilter> filters;     // file types in the order offered; none = every file
    int filterIndex = 0;           // 0-based, the file type in force when the dialog opens
    QString fileName;              // in the file-name box at the start; a folder in it wins
    QString initialFolder;         // folder shown at the start; "" = the current folder
    QString defaultSuffix;         // without dot; added to a chosen name that has no '.'
    bool mustExist = false;        // open: only an existing file can be chosen
    bool multiSelect = false;      // open: several files can be selected (the first one counts)
    bool overwritePrompt = false;  // save: ask before replacing an existing file
};

// How a program started through the seam ended.
enum class ProgramEnd {
    Succeeded,   // ran and ended with exit status 0
    NotStarted,  // could not be started (missing, not executable)
    Failed,      // ended with a non-zero exit status, or crashed
};

struct FileDialogAnswer {
    bool chosen = false;  // false when cancelled
    QString path;         // full path of the chosen file (the first of several), suffix added
    int filterIndex = 0;  // 0-based, the file type in force when the file was chosen
};

class Handler {
public:
    virtual ~Handler() = default;
    // Shows a modal message box over owner (may be null); returns the button pressed (1 = OK).
    virtual int Message(QObject* owner, const QString& text, int style, const QString& title) = 0;
    // Opens a document or address with the desktop's default program; true when it was handed on.
    virtual bool OpenExternal(const QString& pathOrUrl) = 0;
    // Starts program with arguments and never waits for it. whenEnded is called once, later, from
    // the event loop, when the program has ended or could not start; a program that never ends
    // never calls it.
    virtual void StartProgram(const QString& program, const QStringList& arguments,
                              std::function<void(ProgramEnd)> whenEnded) = 0;
    // Modal open and save dialogs over owner (may be null).
    virtual FileDialogAnswer OpenFile(QObject* owner, const FileDialogRequest& request) = 0;
    virtual FileDialogAnswer SaveFile(QObject* owner, const FileDialogRequest& request) = 0;
    // Modal folder picker over owner; the chosen folder, "" when cancelled.
    virtual QString Folder(QObject* owner, const QString& prompt) = 0;
    // Modal yes/no question over owner; true for yes.
    virtual bool Question(QObject* owner, const QString& text, const QString& title) = 0;
};

// The handler in force; without one installed, messages answer OK at once, questions no,
// dialogs are cancelled and nothing opens or starts (nor reports that it ended).
Handler& Current();

// Installs a handler (not owned); null returns to the silent default.
void Install(Handler* handler);

inline int ShowMessage(QObject* owner, const QString& text, int style, const QString& title) {
    return Current().Message(owner, text, style, title);
}
inline void StartProgram(const QString& program, const QStringList& arguments,
                         std::function<void(ProgramEnd)> whenEnded) {
    Current().StartProgram(program, arguments, std::move(whenEnded));
}
inline FileDialogAnswer ShowOpenFile(QObject* owner, const FileDialogRequest& request) {
    return Current().OpenFile(owner, request);
}
inline FileDialogAnswer ShowSaveFile(QObject* owner, const FileDialogRequest& request) {
    return Current().SaveFile(owner, request);
}
inline QString PickFolder(QObject* owner, const QString& prompt) {
    return Current().Folder(owner, prompt);
}
inline bool AskQuestion(QObject* owner, const QString& text, const QString& title) {
    return Current().Question(owner, text, title);
}

}  // namespace ModalSeam
