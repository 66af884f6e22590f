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

// Sets QT_QPA_PLATFORM by PlatformFor this process's environment. Called before the application
// object is made, which reads it.
void Apply();

}  // namespace PlatformChoice
