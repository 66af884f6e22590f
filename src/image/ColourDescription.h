#pragma once

#include <QByteArray>
#include <QtGlobal>

// How a picture file describes its colours, as its decoder found it: bytes and numbers only,
// nothing opened or checked. The decode worker turns it into a profile (ColourProfile); the
// program itself never parses what a file says here.
struct ColourDescription {
    // An embedded ICC profile exactly as the file stores it (JPEG APP2 chunks joined, PNG iCCP
    // inflated, TIFF, WebP ICCP, HEIF colr prof/rICC, JPEG XL's profile of the decoded pixels).
    // Empty: the file has none.
    QByteArray icc;

    // HEIF/AVIF nclx code points (ITU-T H.273): 0 when not given. Only primaries and transfer
    // matter here: the decoder has already applied the matrix.
    quint16 primaries = 0;
    quint16 transfer = 0;
    quint16 matrix = 0;
    bool fullRange = true;

    // PNG: an sRGB chunk; gAMA as stored (gamma x 100000, 0 = none); cHRM as stored (white x, y,
    // red x, y, green x, y, blue x, y, each x 100000), valid when hasChromaticities.
    bool srgbChunk = false;
    quint32 gamma = 0;
    bool hasChromaticities = false;
    quint32 chromaticities[8] = {};

    bool IsEmpty() const {
        return icc.isEmpty() && primaries == 0 && transfer == 0 && !srgbChunk && gamma == 0 &&
               !hasChromaticities;
    }
};
