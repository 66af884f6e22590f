#include "browser/BrowseFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

#include "base/mdlKestrin_File.h"

namespace BrowseFolder {
namespace {
bool IsAsciiDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// The end of the digit run that starts at i.
qsizetype DigitRunEnd(const QString& s, qsizetype i) {
    while (i < s.size() && IsAsciiDigit(s.at(i))) {
        ++i;
    }
    return i;
}
}  // namespace

int NaturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    int zerosTieBreak = 0;  // first difference in leading zeros, used only when all else is equal
    while (i < a.size() && j < b.size()) {
        if (IsAsciiDigit(a.at(i)) && IsAsciiDigit(b.at(j))) {
            const qsizetype endA = DigitRunEnd(a, i);
            const qsizetype endB = DigitRunEnd(b, j);
            qsizetype startA = i;
            qsizetype startB = j;
            while (startA + 1 < endA && a.at(startA) == QLatin1Char('0')) {
                ++startA;
            }
            while (startB + 1 < endB && b.at(startB) == QLatin1Char('0')) {
                ++startB;
            }
            // Without leading zeros, a longer run is a larger number; any length of digits works.
            const qsizetype lenA = endA - startA;
            const qsizetype lenB = endB - startB;
            if (lenA != lenB) {
                return lenA < lenB ? -1 : 1;
            }
            for (qsizetype k = 0; k < lenA; ++k) {
                const ushort da = a.at(startA + k).unicode();
                const ushort db = b.at(startB + k).unicode();
                if (da != db) {
                    return da < db ? -1 : 1;
                }
            }
            if (zerosTieBreak == 0 && (startA - i) != (startB - j)) {
                zerosTieBreak = (startA - i) < (startB - j) ? -1 : 1;
            }
            i = endA;
            j = endB;
            continue;
        }
        const QChar ca = a.at(i).toCaseFolded();
        const QChar cb = b.at(j).toCaseFolded();
        if (ca != cb) {
            return ca.unicode() < cb.unicode() ? -1 : 1;
        }
        ++i;
        ++j;
    }
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    if (aLeft != bLeft) {
        return aLeft ? 1 : -1;  // a name that is a prefix of the other comes first
    }
    if (zerosTieBreak != 0) {
        return zerosTieBreak;
    }
    const int plain = QString::compare(a, b, Qt::CaseSensitive);
    return plain < 0 ? -1 : (plain > 0 ? 1 : 0);
}

bool IsPlainReadableFile(const QString& path) {
    // Only a stat (links followed), never an open: a FIFO or a device cannot block here.
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

QStringList ListFolderFiles(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString path = it.next();
        if (IsPlainReadableFile(path)) {
            names << it.fileName();
        }
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    const QString base = mdlKestrin_File::WithSlash(folder);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names) {
        paths << base + name;
    }
    return paths;
}

QStringList ExpandPath(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    if (QFileInfo(path).isDir()) {
        return ListFolderFiles(path);
    }
    return IsPlainReadableFile(path) ? QStringList{path} : QStringList{};
}

}  // namespace BrowseFolder
