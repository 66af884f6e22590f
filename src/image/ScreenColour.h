#pragma once

#include <QByteArray>
#include <QImage>

// The screen's colour profile, as the program knows it, and the only conversions the program
// itself makes: between sRGB and the screen's profile (the two profiles it ever opens). Pictures
// in a file's own profile are converted by the decode workers, which the profile is handed to.
namespace ScreenColour {

// Sets the screen's profile (ICC bytes; empty for sRGB), once at start, before any worker starts.
// A profile that lcms2 will not open or that is not an RGB one is set aside (sRGB, one warning
// line). Returns whether it was taken.
bool SetProfile(const QByteArray& iProfile);
// Empty for sRGB.
QByteArray Profile();

// An sRGB picture (pasted, or made by the program) as the screen shows it; iPicture itself on an
// sRGB screen.
QImage FromSrgb(const QImage& iPicture);
// A picture in the screen's colours (what a window shows) in sRGB, for the clipboard and for
// formats that carry no profile; iPicture itself on an sRGB screen.
QImage ToSrgb(const QImage& iPicture);

}  // namespace ScreenColour
