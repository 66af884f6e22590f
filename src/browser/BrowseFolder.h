#pragma once

#include <QString>
#include <QStringList>

// How the browser turns the paths it is given into the files it tries, in the order it shows them.
// Paths use '/'. Nothing here opens a file, so nothing here can wait on one (a FIFO, a device).
namespace BrowseFolder {

// Natural name order, as file managers sort: runs of ASCII digits compare by their value
// ("2.jpg" before "10.jpg"), other characters without regard to letter case. Names equal by
// those rules are ordered by fewer leading zeros first, then by plain code units, so the order is
// total and the same on every run. Negative, 0 or positive like QString::compare.
int NaturalCompare(const QString& a, const QString& b);
inline bool NaturalLess(const QString& a, const QString& b) {
    return NaturalCompare(a, b) < 0;
}

// True when path can be handed to a decoder without risk of a wait: a regular file (or a link to
// one) that this process may read. Folders, FIFOs, devices, sockets, broken or looping links and
// unreadable files are not.
bool IsPlainReadableFile(const QString& path);

// The plain readable files directly inside folder (hidden ones included, subfolders not entered),
// as full paths in natural name order. Empty for a folder that cannot be read.
QStringList ListFolderFiles(const QString& folder);

// What one path given to the browser stands for: a folder its files (as above), a plain readable
// file itself, anything else nothing.
QStringList ExpandPath(const QString& path);

}  // namespace BrowseFolder
