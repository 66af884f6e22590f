#pragma once

#include <QPoint>
#include <QString>

#include "soak/SoakInvariants.h"
#include "soak/SoakWorld.h"

class QWidget;
class frmResize;

// What every action works with: the random stream, the temporary tree, the scripted dialogs and
// the windows in a stable order. An action first says what it will do (Note), then does it as a
// person would: through mouse and key events, the panel's dispatcher and the dialogs' controls.
struct SoakContext {
    SoakRandom& rng;
    SoakWorld& world;
    SoakSeam& seam;
    SoakWindows& windows;
    QString note;  // what the running action does, for the failure report

    void Note(const QString& what) { note = what; }
    // A loaded window chosen by the stream, or null when there is none.
    frmResize* AnyWindow();
    // A point of w's picture: near an edge or a corner, or inside.
    QPoint AnyPointOf(QWidget* w);
};

namespace SoakActions {

// Draws one action from the stream and performs it; ctx.note says which.
void PerformOne(SoakContext& ctx);

// Waits, letting the event loop run, until no window is opening, saving or capturing and no save
// runs; deleted windows are gone afterwards. False when capMs passed first.
bool WaitForQuiet(int capMs);

// Called when close-all was confirmed: the process would have ended, so every window goes and the
// soak starts again from one empty window.
void AfterCloseAll();
bool CloseAllConfirmed();

// The actions, by what they work on (SoakActions_Window.cpp, SoakActions_Panels.cpp).
void OpenInWindow(SoakContext& ctx);
void OpenNewWindow(SoakContext& ctx);
void DragPicture(SoakContext& ctx);
void DrawCrop(SoakContext& ctx);
void DragCrop(SoakContext& ctx);
void CropMenu(SoakContext& ctx);
void PressKey(SoakContext& ctx);
void Wheel(SoakContext& ctx);
void Clipboard(SoakContext& ctx);
void DropOnWindow(SoakContext& ctx);
void CloseWindow(SoakContext& ctx);
void TimerTick(SoakContext& ctx);
void SaveIntoRemovedFolder(SoakContext& ctx);

void PanelCommand(SoakContext& ctx);
void PanelSize(SoakContext& ctx);
void PanelGestures(SoakContext& ctx);
void PanelAppearance(SoakContext& ctx);
void Options(SoakContext& ctx);
void Browser(SoakContext& ctx);
void CloseAllDialog(SoakContext& ctx);

}  // namespace SoakActions
