#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

// "帮助": the help text in a read-only window of Lumora's own, for when the desktop cannot show
// it. Modeless and on top; one shared instance, deleted when closed; Esc closes it. Its size is in
// logical pixels, from the font: it looks the same size at every screen scale factor.
class frmHelp : public QDialog {
    Q_OBJECT
public:
    // Reads the text file at path without the user-interface thread waiting on it, then shows it
    // in the shared window (brought forward and refilled when already open). A file that cannot
    // be read says so in the critical message of SayMissing.
    static void ShowHelpFile(const QString& path);

    // The critical message for a help file that is not there.
    static void SayMissing(const QString& path);

    // The open window, or null.
    static frmHelp* Current();

    QPlainTextEdit* txtHelp = nullptr;

private:
    frmHelp();
    // Shows text (lines ended by '\n') from its top.
    void ShowText(const QString& text);
};
