#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QList>
#include <QTemporaryDir>
#include <QtGlobal>
#include <algorithm>

// What the window benchmarks share.

// Window benchmarks run on the offscreen platform with a full-HD screen at 96 dpi, unless the
// caller chose a platform (child processes inherit the choice). Call before QApplication exists;
// the screen's description lives in dir, which must outlive the application.
inline void UseOffscreenFullHd(const QTemporaryDir& dir) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return;
    }
    QByteArray platform("offscreen");
    QFile screens(dir.filePath(QStringLiteral("screens.json")));
    if (dir.isValid() && screens.open(QIODevice::WriteOnly)) {
        screens.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920,
            "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screens.close();
        platform += ":configfile=" + QFile::encodeName(screens.fileName());
    }
    qputenv("QT_QPA_PLATFORM", platform);
}

// Photograph-like content of w x h pixels, 24 bits: gradients, a fine pattern, soft diagonal
// bands and a little noise, so encoders and stretches see neither a flat picture nor pure noise.
inline QImage VariedPicture(int w, int h) {
    QImage img(w, h, QImage::Format_BGR888);
    if (img.isNull()) {
        return img;
    }
    quint32 state = 2463534242u;
    for (int y = 0; y < h; ++y) {
        uchar* d = img.scanLine(y);
        for (int x = 0; x < w; ++x, d += 3) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = int(state >> 28) - 8;
            const int band = ((x + y) / 37) % 2 == 0 ? 24 : 0;
            d[0] = uchar(std::clamp(((x ^ y) & 0x3F) * 2 + 60 + noise, 0, 255));
            d[1] = uchar(std::clamp(y * 255 / h + band + noise, 0, 255));
            d[2] = uchar(std::clamp(x * 255 / w - band + noise, 0, 255));
        }
    }
    return img;
}

// The picture (24 bits) with 3-3-2 bits of red, green and blue as indices into a 256-colour table.
inline QImage PalettePicture(const QImage& src) {
    QImage out(src.size(), QImage::Format_Indexed8);
    if (out.isNull()) {
        return out;
    }
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i) {
        table << qRgb((i >> 5) * 255 / 7, ((i >> 2) & 7) * 255 / 7, (i & 3) * 255 / 3);
    }
    out.setColorTable(table);
    for (int y = 0; y < src.height(); ++y) {
        const uchar* s = src.constScanLine(y);
        uchar* d = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x, s += 3) {
            d[x] = uchar((s[2] & 0xE0) | ((s[1] >> 3) & 0x1C) | (s[0] >> 6));
        }
    }
    return out;
}
