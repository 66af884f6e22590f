#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class frmResize;

// What an image window asks of the rest of the program without knowing it: the application
// shell fills these in at start (and tests install recorders). A service left empty does nothing.
namespace WindowServices {

// What opens from an image window: the thumbnail browser (with files or folders, in order), the
// command panel and the crop menu.
struct Openers {
    std::function<void(const QStringList&, frmResize*)> browser;
    std::function<void(frmResize*)> commandPanel;
    std::function<void(frmResize*)> cropMenu;
};
Openers& WindowOpeners();

// The shell's side: a new window (path, left and top in twips, as OpenPictureWindow takes them),
// the call an unloading window makes so that the shared panels go with the last window, and what
// the command panel asks of the shell.
struct Shell {
    std::function<frmResize*(const QString&, qint32, qint32)> openPictureWindow;
    std::function<void()> closeMenusIfLastWindow;
    // The duplicate of a window (cascaded), and the close-all question.
    std::function<frmResize*(frmResize*)> copyPictureWindow;
    std::function<void()> showCloseAll;
};
Shell& ShellServices();

}  // namespace WindowServices
