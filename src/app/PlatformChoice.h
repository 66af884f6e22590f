#pragma once

#include <QByteArray>

// Which Qt platform the program runs on. Its windows place themselves, stay on top and move by
// geometry, which a native Wayland session does not allow a program: there it runs through the
// session's X server (XWayland) unless the user chose a platform.
namespace PlatformChoice {

// The environment this decision reads.
struct Environment {
    QByteArray qtPlatform;      // QT_QPA_PLATFORM
    QByteArray sessionType;     // XDG_SESSION_TYPE
    QByteArray waylandDisplay;  // WAYLAND_DISPLAY
    QByteArray display;         // DISPLAY
};

// "xcb" when no platform is chosen and a Wayland session has an X server; empty to leave the
// choice to Qt (a platform chosen by the user, an X11 session, Wayland without an X server).
QByteArray PlatformFor(const Environment& env);

// True for a scale factor setting Qt would take but cannot draw with: QT_SCALE_FACTOR, or any
// entry of QT_SCREEN_SCALE_FACTORS ("1;2" or "A=1;B=2"), that is a number at or below 0, above
// 16, or not finite. (A value Qt cannot read at all, it ignores by itself.)
bool UnusableScale(const QByteArray& scaleFactor, const QByteArray& screenScaleFactors);

// Sets QT_QPA_PLATFORM by PlatformFor this process's environment, and drops scale factor settings
// that are UnusableScale (with a warning), so the program starts at the scale Qt finds itself.
// Called before the application object is made, which reads them.
void Apply();

}  // namespace PlatformChoice
