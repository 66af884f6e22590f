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

// The benchmarks' one photo-like picture: a sky gradient, hills and sensor grain (values 0..63,
// so a codec's default quality keeps it), iWidth x iHeight pixels of 3 bytes, red first or, with
// iBlueFirst, blue first, top row at iTop and each next one iStride bytes on (negative for
// bottom-up rows).
inline void FillPhoto(uchar* iTop, qsizetype iStride, int iWidth, int iHeight, bool iBlueFirst) {
    const int red = iBlueFirst ? 2 : 0;
    const int blue = iBlueFirst ? 0 : 2;
    quint32 noise = 12345;
    for (int y = 0; y < iHeight; ++y) {
        uchar* px = iTop + iStride * y;
        const int sky = y * 200 / iHeight;
        for (int x = 0; x < iWidth; ++x, px += 3) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 26);
            const int hills = ((x / 3 + y / 2) % 400 < 200 ? x : iWidth - x) * 120 / iWidth;
            px[red] = static_cast<uchar>(qBound(0, 60 + hills / 2 + grain, 255));
            px[1] = static_cast<uchar>(qBound(0, 30 + hills + sky / 2 + grain, 255));
            px[blue] = static_cast<uchar>(qBound(0, 40 + sky + grain, 255));
        }
    }
}
