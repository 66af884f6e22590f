#include "image/ScreenColour.h"

#include <QtDebug>
#include <mutex>

#include "image/ColourProfile.h"

namespace ScreenColour {

namespace {
std::mutex gMutex;
QByteArray gProfile;
}  // namespace

bool SetProfile(const QByteArray& iProfile) {
    if (!iProfile.isEmpty() && cColourTransform::Between(QByteArray(), iProfile)->kind() ==
                                   cColourTransform::Kind::Refused) {
        qWarning("Lumora: the screen's colour profile cannot be used; pictures are shown as sRGB");
        std::lock_guard<std::mutex> lock(gMutex);
        gProfile.clear();
        return false;
    }
    std::lock_guard<std::mutex> lock(gMutex);
    gProfile = iProfile;
    return true;
}

QByteArray Profile() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gProfile;
}

QImage FromSrgb(const QImage& iPicture) {
    const QByteArray screen = Profile();
    if (screen.isEmpty()) {
        return iPicture;
    }
    return cColourTransform::Between(QByteArray(), screen)->Picture(iPicture);
}

QImage ToSrgb(const QImage& iPicture) {
    const QByteArray screen = Profile();
    if (screen.isEmpty()) {
        return iPicture;
    }
    return cColourTransform::Between(screen, QByteArray())->Picture(iPicture);
}

}  // namespace ScreenColour
