// HEIF, AVIF and JPEG XL files, whole and reduced, through the decode worker and in this process.
// The pictures are four flat quadrants, written below as their colours top left, top right,
// bottom left, bottom right (R red, G green, B blue, Y yellow). The *_quad and *_alpha files are
// 64 x 48, lossless; the alpha files are opaque in the top half and at alpha 127 in the bottom
// one. HEIF and AVIF store YCbCr, so their colours may be a step or two off. The *_cut files are
// truncated copies. Made once with libheif's and libjxl's encoders:
// - avif_turn.avif: RGBY with irot and imir (orientation 5, a transpose), lossless;
// - heif_thumb.heic: 128 x 96 RGBY, lossy, with irot (a quarter clockwise) and two thumbnails of
//   other layouts turned alike, 64 x 48 YBGR and 96 x 72 GRYB, which show which one was decoded;
// - jxl_turn.jxl: 320 x 240 RGBY, lossy (distance 1, so it has a DC pass), orientation 6;
// - jxl_anim.jxl: two frames, RGBY then black, lossless;
// - jxl_huge.jxl: a 65 x 65 grey picture whose size header was rewritten to 600000 x 512.
// Copies of heif_quad and avif_quad whose ispe boxes declare a huge size are made here.

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSize>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdlib>

#include "base/NumberedError.h"
#include "decode/cDecodePool.h"
#include "decode/mdlPictureFile.h"
#include "image/MFreeImage.h"
#include "support/TestSupport.h"

namespace {

struct Case {
    const char* file;
    QSize stored;  // the full picture as the file stores it; empty: refused with 481
    bool turns;    // upright, it is the stored picture turned a quarter
    const char* storedLayout;
    const char* uprightLayout;
    bool alpha;                  // a 32-bit picture with the bottom half at alpha 127
    int tolerance;               // per channel
    int maxSide;                 // for the reduced decodes (divides the sizes evenly)
    const char* reducedStored;   // the reduced picture's layout (a thumbnail's own), as stored
    const char* reducedUpright;  // and upright
    QSize declared = {};         // given: a copy whose every ispe box declares this size
};

const QSize kQuad(64, 48);

const Case kCases[] = {
    {"heif_quad.heic", kQuad, false, "RGBY", "RGBY", false, 3, 32, "RGBY", "RGBY"},
    {"heif_alpha.heic", kQuad, false, "RGBY", "RGBY", true, 3, 32, "RGBY", "RGBY"},
    {"heif_cut.heic", {}, false, "", "", false, 0, 32, "", ""},
    {"avif_quad.avif", kQuad, false, "RGBY", "RGBY", false, 3, 32, "RGBY", "RGBY"},
    {"avif_alpha.avif", kQuad, false, "RGBY", "RGBY", true, 3, 32, "RGBY", "RGBY"},
    {"avif_cut.avif", {}, false, "", "", false, 0, 32, "", ""},
    {"avif_turn.avif", kQuad, true, "RGBY", "RBGY", false, 3, 32, "RGBY", "RBGY"},
    // Thumbnails: the smallest whose longer side is at least maxSide, else the primary.
    {"heif_thumb.heic", {128, 96}, true, "RGBY", "BRYG", false, 24, 40, "YBGR", "GYRB"},
    {"heif_thumb.heic", {128, 96}, true, "RGBY", "BRYG", false, 24, 80, "GRYB", "YGBR"},
    {"heif_thumb.heic", {128, 96}, true, "RGBY", "BRYG", false, 24, 100, "RGBY", "BRYG"},
    // Past the pixel limit. libheif reads the first and would decode its 64 x 48 stream; the
    // second is past libheif's own limit too.
    {"heif_quad.heic", {}, false, "", "", false, 0, 32, "", "", {20000, 16000}},
    {"avif_quad.avif", {}, false, "", "", false, 0, 32, "", "", {65535, 65535}},
    {"jxl_quad.jxl", kQuad, false, "RGBY", "RGBY", false, 0, 32, "RGBY", "RGBY"},
    {"jxl_alpha.jxl", kQuad, false, "RGBY", "RGBY", true, 0, 32, "RGBY", "RGBY"},
    {"jxl_cut.jxl", {}, false, "", "", false, 0, 32, "", ""},
    {"jxl_anim.jxl", kQuad, false, "RGBY", "RGBY", false, 0, 32, "RGBY", "RGBY"},
    // maxSide 1/8 of the longer side: reduced from the DC pass.
    {"jxl_turn.jxl", {320, 240}, true, "RGBY", "BRYG", false, 24, 40, "RGBY", "BRYG"},
    {"jxl_huge.jxl", {}, false, "", "", false, 0, 32, "", ""},
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.file << " to " << c.maxSide;
    if (!c.declared.isEmpty()) {
        *os << ", declaring " << c.declared.width() << " x " << c.declared.height();
    }
}

// A copy of iPath in iDir whose every ispe box declares iSize; empty when it cannot be written.
QString WithIspe(const QString& iPath, QSize iSize, const QTemporaryDir& iDir) {
    QFile in(iPath);
    if (!in.open(QIODevice::ReadOnly)) {
        return QString();
    }
    QByteArray bytes = in.readAll();
    // After the type: version and flags, then width and height, big-endian.
    for (qsizetype at = bytes.indexOf("ispe"); at >= 0 && at + 16 <= bytes.size();
         at = bytes.indexOf("ispe", at + 4)) {
        qToBigEndian(static_cast<quint32>(iSize.width()), bytes.data() + at + 8);
        qToBigEndian(static_cast<quint32>(iSize.height()), bytes.data() + at + 12);
    }
    const QString path = iDir.filePath(QFileInfo(iPath).fileName());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        return QString();
    }
    return path;
}

QRgb Colour(char letter) {
    switch (letter) {
        case 'R':
            return qRgb(255, 0, 0);
        case 'G':
            return qRgb(0, 255, 0);
        case 'B':
            return qRgb(0, 0, 255);
        default:
            return qRgb(255, 255, 0);
    }
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance &&
           std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

// The layout's colours at the centre of each quadrant of a picture of any size.
void ExpectLayout(const QImage& picture, const char* layout, const Case& c, int tolerance,
                  const char* what) {
    const int w = picture.width();
    const int h = picture.height();
    const int spots[4][2] = {
        {w / 4, h / 4}, {w * 3 / 4, h / 4}, {w / 4, h * 3 / 4}, {w * 3 / 4, h * 3 / 4}};
    for (int i = 0; i < 4; ++i) {
        const QRgb colour = Colour(layout[i]);
        const QRgb wanted =
            qRgba(qRed(colour), qGreen(colour), qBlue(colour), c.alpha && i >= 2 ? 127 : 255);
        const QRgb got = picture.pixel(spots[i][0], spots[i][1]);
        EXPECT_TRUE(Near(got, wanted, tolerance))
            << c.file << ", " << what << ", quadrant " << i << ": " << std::hex << got;
    }
}

// The full picture brought to maxSide on its longer side.
QSize Reduced(QSize full, int maxSide) {
    const int longer = qMax(full.width(), full.height());
    return QSize(full.width() * maxSide / longer, full.height() * maxSide / longer);
}

class HeifJxl : public ::testing::TestWithParam<Case> {};

TEST_P(HeifJxl, DecodesReducesOrRefuses) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    const QString original = TestSupport::DataFile(QString::fromLatin1(c.file));
    const QString path = c.declared.isEmpty() ? original : WithIspe(original, c.declared, dir);
    ASSERT_FALSE(path.isEmpty());
    const bool refused = c.stored.isEmpty();
    const QSize upright = c.turns ? c.stored.transposed() : c.stored;

    // Whole, in the worker, as a window opens it: upright and as stored.
    for (const bool turn : {true, false}) {
        int error = 0;
        QImage picture;
        try {
            picture = mdlPictureFile::LoadPictureFile(path, turn);
        } catch (const NumberedError& e) {
            error = e.number();
        }
        if (refused) {
            EXPECT_EQ(error, 481) << c.file;
            EXPECT_TRUE(picture.isNull()) << c.file;
            continue;
        }
        ASSERT_EQ(error, 0) << c.file;
        ASSERT_EQ(picture.size(), turn ? upright : c.stored) << c.file << " upright " << turn;
        EXPECT_EQ(picture.hasAlphaChannel(), c.alpha) << c.file;
        ExpectLayout(picture, turn ? c.uprightLayout : c.storedLayout, c, c.tolerance,
                     turn ? "upright" : "stored");
    }

    // Reduced for a thumbnail: upright in the worker, as the browser asks, and as stored in this
    // process. The own size is the full picture's either way.
    const cDecodePool::Answer thumbnail =
        cDecodePool::Shared().Decode(path, cDecodePool::Lane::Interactive, c.maxSide, true);
    QSize own;
    int error = 0;
    QImage small;
    try {
        small = MFreeImage::ImageToPicture(
            MFreeImage::LoadReducedImageFile(path, c.maxSide, &own, false), true);
    } catch (const NumberedError& e) {
        error = e.number();
    }
    if (refused) {
        EXPECT_EQ(thumbnail.outcome, cDecodePool::Outcome::Refused) << c.file;
        EXPECT_EQ(error, 481) << c.file;
        return;
    }
    ASSERT_EQ(thumbnail.outcome, cDecodePool::Outcome::Loaded) << c.file;
    EXPECT_EQ(thumbnail.ownSize, upright) << c.file;
    ASSERT_EQ(thumbnail.picture.size(), Reduced(upright, c.maxSide)) << c.file;
    ExpectLayout(thumbnail.picture, c.reducedUpright, c, c.tolerance + 4, "reduced upright");

    ASSERT_EQ(error, 0) << c.file;
    EXPECT_EQ(own, c.stored) << c.file;
    ASSERT_EQ(small.size(), Reduced(c.stored, c.maxSide)) << c.file;
    ExpectLayout(small, c.reducedStored, c, c.tolerance + 4, "reduced as stored");
}

INSTANTIATE_TEST_SUITE_P(Files, HeifJxl, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return QString::fromLatin1(info.param.file)
                                        .replace(QLatin1Char('.'), QLatin1Char('_'))
                                        .toStdString() +
                                    "_" + std::to_string(info.param.maxSide) +
                                    (info.param.declared.isEmpty() ? "" : "_huge");
                         });

}  // namespace
