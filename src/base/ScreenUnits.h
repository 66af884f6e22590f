#pragma once

#include <QtGlobal>

// Twips (1/1440 inch) per logical pixel of the primary screen: 15 at 96 dpi. Windows are placed
// and sized in twips; everything inside a window is in pixels. These are the only place the
// program asks for the ratio.
namespace ScreenUnits {

double TwipsPerPixelX();  // twips per pixel, horizontally
double TwipsPerPixelY();  // twips per pixel, vertically

// The primary screen's size in twips (its logical pixels times the ratio); 0 without a screen.
double ScreenWidthTwips();
double ScreenHeightTwips();

// Tests pin the ratio (and the screen size, in pixels) so arithmetic is checked at known values;
// a value of 0 or less returns to what the screen says.
void OverrideForTesting(double twipsPerPixelX, double twipsPerPixelY, int screenWidthPx = 0,
                        int screenHeightPx = 0);

}  // namespace ScreenUnits
