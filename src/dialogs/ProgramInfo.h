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
// without the resources.
QIcon ProgramIcon();

// OpenHelpFile on the program's Help.txt (beside it, or in the installed share folder).
void OpenHelp();

// Opens the help text at path with xdg-open, started through the modal seam and never waited on.
// When xdg-open cannot start or ends with a non-zero status, the text shows in Lumora's own help
// window (frmHelp) instead. A missing file says so in a critical message.
void OpenHelpFile(const QString& path);

}  // namespace ProgramInfo
