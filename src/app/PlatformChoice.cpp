#include "app/PlatformChoice.h"

#include <cmath>

#include <QList>
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

namespace {
bool Unusable(const QByteArray& number) {
    bool ok = false;
    const double v = number.trimmed().toDouble(&ok);
    return ok && !(std::isfinite(v) && v > 0 && v <= 16);
}
}  // namespace

bool UnusableScale(const QByteArray& scaleFactor, const QByteArray& screenScaleFactors) {
    if (Unusable(scaleFactor)) {
        return true;
    }
    for (const QByteArray& entry : screenScaleFactors.split(';')) {
        const int named = entry.indexOf('=');
        if (Unusable(named >= 0 ? entry.mid(named + 1) : entry)) {
            return true;
        }
    }
    return false;
}

void Apply() {
    if (UnusableScale(qgetenv("QT_SCALE_FACTOR"), qgetenv("QT_SCREEN_SCALE_FACTORS"))) {
        // Qt would scale by it and make windows of no size or of wrapped-around sizes.
        qWarning("Lumora: ignoring an unusable QT_SCALE_FACTOR or QT_SCREEN_SCALE_FACTORS");
        qunsetenv("QT_SCALE_FACTOR");
        qunsetenv("QT_SCREEN_SCALE_FACTORS");
    }
    const QByteArray platform =
        PlatformFor({qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"),
                     qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY")});
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
}

}  // namespace PlatformChoice
