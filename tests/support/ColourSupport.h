#pragma once

#include <lcms2.h>

#include <QByteArray>

// Profiles the tests build themselves with lcms2.
namespace ColourSupport {

inline QByteArray Saved(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Adobe RGB (1998): its primaries, D65 white and a gamma of 563/256.
inline QByteArray AdobeRgb() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    const QByteArray bytes = Saved(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(gamma);
    return bytes;
}

// A CMYK profile (an abstract ink limit is enough to be one): no RGB picture is in it.
inline QByteArray Cmyk() {
    return Saved(cmsCreateInkLimitingDeviceLink(cmsSigCmykData, 300));
}

}  // namespace ColourSupport
