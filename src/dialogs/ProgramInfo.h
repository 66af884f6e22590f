#pragma once

#include <QIcon>
#include <QString>

// Fixed facts about the program that several windows show: the two web addresses and the icon.
namespace ProgramInfo {

// The maker's home page, opened from the About box.
inline constexpr char kHomePage[] = "https://lumora.example.org/";

// The picture engine's project site, named in the About box's licence notice.
inline constexpr char kFreeImageSite[] = "https://freeimage.sourceforge.io/";

// The program icon from the built-in resources, at 48, 96 and 256 pixels; a null icon in a build
// without the resources (the core tests).
QIcon ProgramIcon();

// Opens Help.txt, beside the program, with the desktop's text viewer (through the modal seam); a
// missing file says so in a critical message.
void OpenHelp();

}  // namespace ProgramInfo
