#pragma once

#include <QString>

class QObject;

// The build's version record and the hidden version box.
namespace mdlKestrin_Version {

inline constexpr int kMajor = 3;
inline constexpr int kMinor = 0;

QString GetDevNumber();

// Title of the version box.
QString VersionBoxTitle();

// Four lines, CREATE / MODIFY / VER / DEV, each ending in CR LF.
QString GetVersionText();

// The version box: an information message over owner (may be null).
void ShowVersionInfo(QObject* owner = nullptr);

}  // namespace mdlKestrin_Version
