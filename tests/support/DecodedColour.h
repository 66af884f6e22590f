#pragma once

#include <QByteArray>
#include <QImage>

#include "image/ColourProfile.h"
#include "image/PictureColour.h"
#include "support/ColourSupport.h"

namespace ColourSupport {

// The colours of a picture whose values are in `profile`, as the decode worker hands them over:
// the profile, the screen copy on an sRGB screen and the grey ramp.
inline PictureColour ColourOf(const QImage& values, const QByteArray& profile) {
    const auto toScreen = cColourTransform::Between(profile, QByteArray());
    PictureColour colour;
    colour.profile = profile;
    colour.screen = toScreen->Picture(values);
    colour.greyRamp = toScreen->GreyRamp();
    return colour;
}

}  // namespace ColourSupport
