// Indexed-colour PSD files show their own palette, through the decode worker as a window asks.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "decode/mdlPictureFile.h"

namespace {

constexpr int kWidth = 5;
constexpr int kHeight = 3;

// The colour of palette entry i in the files written here: none of them grey.
QRgb PaletteColour(int i) {
    return qRgb(i, 255 - i, (i * 7) % 256);
}

// The index of pixel (x, y): every row and column differs.
uchar IndexAt(int x, int y) {
    return static_cast<uchar>(40 * y + 9 * x + 3);
}

void Append(QByteArray& bytes, quint32 value, int size) {
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
        bytes.append(static_cast<char>((value >> shift) & 0xFF));
    }
}

// A one-channel, 8-bit, uncompressed PSD file of colour mode `mode` (1 greyscale, 2 indexed),
// with the palette above as its colour mode data when it has one.
QByteArray PsdFile(int mode, bool palette) {
    QByteArray bytes("8BPS");
    Append(bytes, 1, 2);  // version
    bytes.append(6, '\0');
    Append(bytes, 1, 2);  // channels
    Append(bytes, kHeight, 4);
    Append(bytes, kWidth, 4);
    Append(bytes, 8, 2);  // bits per channel
    Append(bytes, static_cast<quint32>(mode), 2);
    Append(bytes, palette ? 768 : 0, 4);
    if (palette) {
        for (const int shift : {16, 8, 0}) {  // all reds, then greens, then blues
            for (int i = 0; i < 256; ++i) {
                bytes.append(static_cast<char>((PaletteColour(i) >> shift) & 0xFF));
            }
        }
    }
    Append(bytes, 0, 4);  // image resources
    Append(bytes, 0, 4);  // layers and masks
    Append(bytes, 0, 2);  // raw pixels, row by row
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            bytes.append(static_cast<char>(IndexAt(x, y)));
        }
    }
    return bytes;
}

struct PsdCase {
    const char* what;
    int mode;
    bool palette;
    QRgb (*colour)(int index);
};
void PrintTo(const PsdCase& c, std::ostream* os) {
    *os << c.what;
}

class PsdColours : public testing::TestWithParam<PsdCase> {};

TEST_P(PsdColours, AreTheFilesOwn) {
    const PsdCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("made.psd"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(PsdFile(c.mode, c.palette));
    file.close();

    const QImage picture = mdlPictureFile::LoadPictureFile(path);
    ASSERT_EQ(picture.size(), QSize(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            EXPECT_EQ(picture.pixel(x, y), c.colour(IndexAt(x, y))) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, PsdColours,
                         testing::Values(PsdCase{"indexed", 2, true, PaletteColour},
                                         PsdCase{"greyscale", 1, false,
                                                 [](int i) { return qRgb(i, i, i); }}));

}  // namespace
