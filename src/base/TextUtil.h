#pragma once

#include <QString>

namespace TextUtil {

// Removes leading and trailing space characters (code 32 only). Tabs and other white space are
// ordinary characters in the program's command lines, paths and option lines.
inline QString TrimSpaces(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin) == QLatin1Char(' ')) {
        ++begin;
    }
    while (end > begin && s.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    return s.mid(begin, end - begin);
}

// A size as the program shows it everywhere (tip, panel, size list): "800 * 600", pixels.
inline QString SizeText(qint32 w, qint32 h) {
    return QStringLiteral("%1 * %2").arg(w).arg(h);
}

}  // namespace TextUtil
