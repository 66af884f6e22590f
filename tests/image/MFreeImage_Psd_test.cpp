// An indexed-colour PSD file shows its own palette, through the decode worker as a window asks.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "decode/mdlPictureFile.h"

namespace {

// Palette entry i, never grey; and the index of pixel (x, y), every row and column different.
QRgb PaletteColour(int i) {
    return qRgb(i, 255 - i, (i * 7) % 256);
}
int IndexAt(int x, int y) {
    return 40 * y + 9 * x + 3;
}

void Append(QByteArray& bytes, quint32 value, int size) {
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
        bytes.append(static_cast<char>((value >> shift) & 0xFF));
    }
}

TEST(PsdFile, IndexedColoursComeFromItsPalette) {
    const int width = 5;
    const int height = 3;
    // Version 1, one channel of 8 bits, colour mode 2 (indexed), uncompressed.
    QByteArray bytes("8BPS");
    Append(bytes, 1, 2);
    bytes.append(6, '\0');
    for (const auto& [value, size] : {std::pair{1, 2}, {height, 4}, {width, 4}, {8, 2}, {2, 2}}) {
        Append(bytes, static_cast<quint32>(value), size);
    }
    Append(bytes, 768, 4);  // the colour mode data: all reds, then greens, then blues
    for (const int shift : {16, 8, 0}) {
        for (int i = 0; i < 256; ++i) {
            bytes.append(static_cast<char>((PaletteColour(i) >> shift) & 0xFF));
        }
    }
    Append(bytes, 0, 4);  // no image resources
    Append(bytes, 0, 4);  // no layers
    Append(bytes, 0, 2);  // raw rows
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bytes.append(static_cast<char>(IndexAt(x, y)));
        }
    }
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("made.psd")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    const QImage picture = mdlPictureFile::LoadPictureFile(file.fileName());
    ASSERT_EQ(picture.size(), QSize(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            EXPECT_EQ(picture.pixel(x, y), PaletteColour(IndexAt(x, y))) << x << "," << y;
        }
    }
}

}  // namespace
