#pragma once

#include <QImage>

// Reads one byte of every page of a picture, as showing it would: a picture from the decode
// worker arrives as shared pages this process has yet to map.
inline quint64 TouchPages(const QImage& picture) {
    quint64 sum = 0;
    const uchar* bytes = picture.constBits();
    const qsizetype size = picture.sizeInBytes();
    for (qsizetype i = 0; i < size; i += 4096) {
        sum += bytes[i];
    }
    return sum;
}
