#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "window/WindowServices.h"

class frmResize;

// The program's start and the one place that creates image windows outside the browser.
// Window positions are in twips.
namespace mdlMain {

// The process entry: builds the application, reads the options and the command line, opens the
// first window and runs the event loop. Returns the process exit code.
int Main(int argc, char** argv);

// What Main does after the options are read: one picture window, an empty window, or an empty
// window with the browser, by the parsed command line.
void Start();
// The command-line actions: a new window holding the screen under the pointer (--capture), or
// the clipboard's picture (--paste; false, after saying so, when it holds none).
void StartCapture();
bool StartPaste();
// --select: a region or a window of the frozen screens, pinned where it was; false, after saying
// so, when no screen could be frozen.
bool StartSelect();

// Creates an image window, opens path in it (an empty path keeps the placeholder) and shows it
// at left/top (twips) when both are above 0. A file that cannot be opened leaves no window.
// Returns the window shown, or null.
frmResize* OpenPictureWindow(const QString& path, qint32 left, qint32 top);

// Duplicates a window's picture into a new window 200 twips down and right (cascade), shown at
// the size the source shows it, inside the new window's own band.
frmResize* CopyPictureWindow(frmResize* source);

// Called while an image window unloads: with no other image window left, the command panel and
// the crop-menu host go too, so the process can end.
void CloseMenusIfLastWindow();

// The close-all confirmation, modeless.
void ShowCloseAll();

// Waits the given seconds while the user interface keeps running. timeOfDay returns seconds since
// midnight and pump runs the event queue once; both default to the real ones.
void WaitSeconds(float seconds, const std::function<float()>& timeOfDay = {},
                 const std::function<void()>& pump = {});

// Number of loaded image windows.
int ImageWindowCount();

// What opens from an image window (see WindowServices): the browser, the command panel and the
// crop menu. Tests install recorders.
using Openers = WindowServices::Openers;
Openers& WindowOpeners();

// Fills in the window services with the shell's own: new windows, the crop menu, closing the
// shared menus with the last window. Done once at start; tests call it again after replacing them.
void InstallWindowServices();

void ShowBrowser(const QStringList& files, frmResize* owner);
void ShowCommandPanel(frmResize* owner);
void ShowCropMenu(frmResize* owner);

}  // namespace mdlMain
