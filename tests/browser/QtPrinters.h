#pragma once

#include <QSize>
#include <QString>
#include <ostream>

// Readable failure messages for the Qt values the browser tests compare.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QSize& s, std::ostream* os) {
    *os << s.width() << " x " << s.height();
}
