#pragma once

#include <QByteArray>
#include <QRect>
#include <QRegion>
#include <optional>
#include <vector>

class QScreen;
class QWidget;

// What Qt's logical geometry cannot say: top-level windows and screens in device pixels of the
// window system. Only X11 answers (through the window's native id); elsewhere every call reports
// that it could not, and callers keep to Qt's logical geometry.
namespace NativeWindow {

// True when the program runs on X11 and this build can talk to it directly.
bool Available();

// Places and sizes the top-level window exactly at r (desktop device pixels). False when the
// window has no native window yet or the platform is not X11.
bool SetDeviceGeometry(QWidget* window, const QRect& r);

// Moves the top-level window's corner exactly to p (desktop device pixels), its size as it is.
bool MoveDevice(QWidget* window, QPoint p);

// The pointer on the desktop in device pixels, as the window system has it.
std::optional<QPoint> PointerDevicePosition();

// The top-level window's rectangle on the desktop in device pixels, as the window system has it.
std::optional<QRect> DeviceGeometry(const QWidget* window);

// The screen's exact rectangle in device pixels (its X11 monitor); an invalid rectangle when it
// cannot be told. Installed at start-up as the screen units' source.
QRect ScreenDeviceGeometry(const QScreen* screen);

// Cuts the window's input and visible shape to the region (window device pixels); an empty
// optional restores the full window. False where the platform is not X11.
bool SetDeviceShape(QWidget* window, const std::optional<QRegion>& region);

// Lets every pointer event pass through the window to what lies below it (an empty input shape),
// or takes them again (the input shape follows the visible one). The visible shape, a colour key
// included, stays as it is, and a later SetDeviceShape keeps the input passing. False where the
// platform is not X11.
bool SetInputThrough(QWidget* window, bool through);

// Asks a tiling window manager to float the top-level window at the size and place the program
// gives it instead of tiling it: the utility window type is added after the types Qt gave the
// window. Window managers that take the first type they know (mutter, KWin) still read Qt's;
// Sway floats a window whose list holds the utility type anywhere. To be called before the window
// maps (each time it shows); adds nothing twice. False where the platform is not X11.
bool AskToFloat(QWidget* window);

// Asks for every plain top-level window, as it shows, to float (AskToFloat); dialogs and tool
// windows carry a type that floats already. Installed once, at start-up.
void FloatEveryWindow();

// When the window holds the keyboard focus, hands it to whatever window is under the pointer.
// False where the platform is not X11.
bool ReleaseKeyboardFocus(QWidget* window);

// The rectangles (frames included, desktop device pixels) of the top-level windows shown now,
// topmost first: the managed windows in the manager's stacking order, or the root's children
// when no manager keeps that list. Empty where the platform is not X11.
std::vector<QRect> TopLevelWindowsTopFirst();

// The colour profile a colour manager has set for the first screen (the root window's
// _ICC_PROFILE, ICC bytes); empty when none is set or the platform is not X11.
QByteArray ScreenColourProfile();

}  // namespace NativeWindow
