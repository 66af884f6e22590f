#include "app/PlatformChoice.h"

#include <QtGlobal>

namespace PlatformChoice {

QByteArray PlatformFor(const Environment& env) {
    if (!env.qtPlatform.trimmed().isEmpty() || env.display.isEmpty()) {
        return QByteArray();
    }
    const bool wayland =
        env.sessionType.trimmed().toLower() == "wayland" || !env.waylandDisplay.isEmpty();
    return wayland ? QByteArrayLiteral("xcb") : QByteArray();
}

void Apply() {
    const QByteArray platform =
        PlatformFor({qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"),
                     qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY")});
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
}

}  // namespace PlatformChoice
