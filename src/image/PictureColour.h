#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>

// What comes with a decoded picture about its colours. The picture itself keeps the file's own
// values; this says what they mean and how they look on this screen.
struct PictureColour {
    // The ICC profile the values are in: what a save writes back. Empty: sRGB.
    QByteArray profile;
    // The picture in the screen's colours (same size and layout as the values); null when the
    // values already are (sRGB on an sRGB screen, or a profile that could not be used).
    QImage screen;
    // A neutral value v (0..255, the same in every channel) as the screen shows it: 256 colours,
    // or empty when v shows as v. Lets a grey or black edit follow on the screen copy exactly.
    QList<QRgb> greyRamp;
    // The eight mark colours (sRGB, see MarkColours) as the values' profile has them: what a mark
    // drawn into the values is drawn in. Empty when they are the same.
    QList<QRgb> markColours;
    // The file's profile could not be used: shown as sRGB (the profile is still kept for saving).
    bool refused = false;

    bool Converts() const { return !screen.isNull(); }
};
