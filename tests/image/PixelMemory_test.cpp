#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <atomic>
#include <cstring>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <thread>
#include <vector>

#include "image/MFreeImage.h"
#include "image/PixelMemory.h"
#include "image/mdlPhotoShop.h"
#include "support/TestSupport.h"

namespace {

using std::chrono::milliseconds;
using TestSupport::PatternImage;

constexpr qsizetype kHuge = qsizetype(2) << 20;

QByteArray AllBytes(const QImage& img) {
    return QByteArray(reinterpret_cast<const char*>(img.constBits()), int(img.sizeInBytes()));
}

// A large picture whose memory the caller fills itself (nothing cleared on reuse).
QImage Raw(qsizetype bytes) {
    constexpr qsizetype kLine = 4096;
    return PixelMemory::NewImage(int(kLine / 4), int((bytes + kLine - 1) / kLine), kLine,
                                 QImage::Format_RGB32, kLine);
}

// Every test runs on a clock of its own, starting with nothing kept.
class RecycledMemory : public testing::Test {
protected:
    void SetUp() override {
        PixelMemory::SetClock(
            [this] { return std::chrono::steady_clock::time_point(milliseconds(mNow.load())); });
        PixelMemory::ReleaseCached();
    }
    void TearDown() override {
        PixelMemory::SetClock(nullptr);
        PixelMemory::ReleaseCached();
    }
    void Advance(milliseconds by) { mNow += by.count(); }

    // Fills the cache with kMaxCachedBuffers mappings of the length a picture of `bytes` gets,
    // every byte 0xAB; gives their addresses.
    std::set<const uchar*> Poison(qsizetype bytes) {
        PixelMemory::ReleaseCached();
        const qsizetype length = (bytes + kHuge - 1) / kHuge * kHuge;
        std::vector<QImage> held;
        std::set<const uchar*> addresses;
        for (int i = 0; i < PixelMemory::kMaxCachedBuffers; ++i) {
            held.push_back(Raw(length));
            std::memset(held.back().bits(), 0xAB, size_t(held.back().sizeInBytes()));
            addresses.insert(held.back().constBits());
        }
        return addresses;
    }

    std::atomic<qint64> mNow{1000000};
};

TEST_F(RecycledMemory, LargePicturesAreHugePageAlignedAndZero) {
    const QImage big = PixelMemory::NewImage(1000, 1000, 3000, QImage::Format_BGR888);
    ASSERT_FALSE(big.isNull());
#if defined(__linux__)
    EXPECT_EQ(reinterpret_cast<quintptr>(big.constBits()) % kHuge, 0u);
#endif
    const QImage small = PixelMemory::NewImage(3, 2, 12, QImage::Format_BGR888);
    ASSERT_FALSE(small.isNull());
    for (const QImage* img : {&big, &small}) {
        EXPECT_EQ(AllBytes(*img).count('\0'), img->sizeInBytes());
    }
    EXPECT_TRUE(PixelMemory::NewImage(0, 5, 12, QImage::Format_BGR888).isNull());
    EXPECT_TRUE(PixelMemory::NewImage(3, 2, 10, QImage::Format_BGR888).isNull());
    EXPECT_TRUE(PixelMemory::NewImage(3, 2, 12, QImage::Format_BGR888, 13).isNull());
}

#if defined(__linux__)
TEST_F(RecycledMemory, ReusesTheBestFitAndKeepsAHandfulWithinTheByteBound) {
    const uchar* at = nullptr;
    {
        const QImage a = Raw(3 * kHuge);
        const QImage b = Raw(5 * kHuge);
        at = a.constBits();
    }
    EXPECT_EQ(PixelMemory::Cached().buffers, 2);
    EXPECT_EQ(PixelMemory::Cached().bytes, 8 * kHuge);
    {
        // Rounded up to 3 huge pages: the 3-page mapping fits best.
        const QImage c = Raw(2 * kHuge + 1);
        EXPECT_EQ(c.constBits(), at);
        // Nothing kept is large enough: a fresh mapping.
        const QImage d = Raw(9 * kHuge);
        EXPECT_EQ(PixelMemory::Cached().buffers, 1);
        // A longer mapping gives its tail back and the picture holds only what it needs.
        const QImage e = Raw(kHuge);
        EXPECT_EQ(PixelMemory::Cached().buffers, 0);
    }
    EXPECT_EQ(PixelMemory::Cached().bytes, (3 + 9 + 1) * kHuge);

    {
        std::vector<QImage> many;
        for (int i = 0; i < PixelMemory::kMaxCachedBuffers + 3; ++i) {
            many.push_back(Raw(kHuge));
        }
    }
    EXPECT_EQ(PixelMemory::Cached().buffers, PixelMemory::kMaxCachedBuffers);

    // Left untouched, these mappings cost address space only.
    PixelMemory::ReleaseCached();
    {
        const QImage big1 = Raw(100 << 20);
        const QImage big2 = Raw(100 << 20);
        const QImage big3 = Raw(100 << 20);
        const QImage tooBig = Raw(PixelMemory::kMaxCachedBytes + 1);
    }
    EXPECT_EQ(PixelMemory::Cached().buffers, 2);
    EXPECT_LE(PixelMemory::Cached().bytes, PixelMemory::kMaxCachedBytes);
}

TEST_F(RecycledMemory, IdleBuffersGoBackOnTheNextUseOrTrim) {
    { const QImage a = Raw(kHuge); }
    Advance(PixelMemory::kIdle - milliseconds(1));
    { const QImage b = Raw(2 * kHuge); }  // too large for the kept one, which is not idle yet
    PixelMemory::TrimIdle();
    EXPECT_EQ(PixelMemory::Cached().buffers, 2);
    Advance(milliseconds(1));
    PixelMemory::TrimIdle();
    EXPECT_EQ(PixelMemory::Cached().buffers, 1);
    Advance(PixelMemory::kIdle);
    { const QImage d = Raw(8 * kHuge); }  // the allocation lets the idle one go before it looks
    EXPECT_EQ(PixelMemory::Cached().buffers, 1);
    EXPECT_EQ(PixelMemory::Cached().bytes, 8 * kHuge);
}

TEST_F(RecycledMemory, PicturesMadeAndReleasedOnManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&failures, t] {
            QImage carried;
            for (int i = 0; i < 40; ++i) {
                QImage img = PixelMemory::NewImage(1024, 512 * (1 + (i + t) % 3), 4096,
                                                   QImage::Format_RGB32);
                if (img.isNull() || AllBytes(img).count('\0') != img.sizeInBytes()) {
                    ++failures;
                }
                std::memset(img.bits(), 0x5A, size_t(img.sizeInBytes()));
                carried = img;  // the previous one is released here
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_LE(PixelMemory::Cached().buffers, PixelMemory::kMaxCachedBuffers);
    EXPECT_LE(PixelMemory::Cached().bytes, PixelMemory::kMaxCachedBytes);
}

// ---- operations on recycled memory: the same bytes as on fresh memory ----

// Sources large enough that every result is mapped; 1501 pixels leave one byte of padding in a
// 24-bit row and three in an 8-bit one.
constexpr int kW = 1501;
constexpr int kH = 1400;

QImage DirtySource(QImage::Format format) {
    QImage img = PatternImage(kW, kH, format);
    const qsizetype used = qsizetype(img.depth() / 8) * kW;
    for (int y = 0; y < kH; ++y) {
        std::memset(img.scanLine(y) + used, 0xCD, size_t(img.bytesPerLine() - used));
    }
    return img;
}

QImage FromBitmap(const QImage& picture, int depth) {
    FIBITMAP* bitmap = MFreeImage::PictureToImage(picture);
    if (depth != 24) {
        bitmap = MFreeImage::ConvertImageDepth(bitmap, depth, true);
    }
    return MFreeImage::ImageToPicture(bitmap, true);
}

struct RecycledCase {
    const char* name;
    QImage::Format source;
    std::function<QImage(const QImage&)> run;
};

void PrintTo(const RecycledCase& c, std::ostream* os) {
    *os << c.name;
}

const RecycledCase kRecycledCases[] = {
    {"Copy24", QImage::Format_BGR888, mdlPhotoShop::CopyPicture24},
    {"Copy32", QImage::Format_RGB32, mdlPhotoShop::CopyPicture24},
    {"Scale24", QImage::Format_BGR888,
     [](const QImage& p) { return mdlPhotoShop::ScalePicture(p, kW + 2, kH - 3); }},
    {"Scale32", QImage::Format_RGB32,
     [](const QImage& p) { return mdlPhotoShop::ScalePicture(p, kW + 2, kH + 5); }},
    {"ScaleIndexed", QImage::Format_Indexed8,
     [](const QImage& p) { return mdlPhotoShop::ScalePicture(p, kW - 2, kH); }},
    {"CropInside", QImage::Format_BGR888,
     [](const QImage& p) { return mdlPhotoShop::CopyRegion(p, 7, 5, kW - 20, kH - 9); }},
    {"CropOverhanging", QImage::Format_RGB32,
     [](const QImage& p) { return mdlPhotoShop::CopyRegion(p, -9, 11, kW, kH); }},
    {"CropOverhangingLeftTop", QImage::Format_BGR888,
     [](const QImage& p) { return mdlPhotoShop::CopyRegion(p, -3, -4, kW, kH); }},
    {"CropOutside", QImage::Format_BGR888,
     [](const QImage& p) { return mdlPhotoShop::CopyRegion(p, kW, 0, kW, kH); }},
    {"Rotate90", QImage::Format_BGR888,
     [](const QImage& p) { return mdlPhotoShop::RotatePicture(p, 90); }},
    {"RotateMinus90From32", QImage::Format_RGB32,
     [](const QImage& p) { return mdlPhotoShop::RotatePicture(p, -90); }},
    {"Rotate180From32", QImage::Format_RGB32,
     [](const QImage& p) { return mdlPhotoShop::RotatePicture(p, 180); }},
    {"FlipX", QImage::Format_BGR888,
     [](const QImage& p) { return mdlPhotoShop::FlipPicture(p, QStringLiteral("X")); }},
    {"FlipYFrom32", QImage::Format_RGB32,
     [](const QImage& p) { return mdlPhotoShop::FlipPicture(p, QStringLiteral("Y")); }},
    {"FillBlackShared", QImage::Format_BGR888,
     [](const QImage& p) { return mdlPhotoShop::FillBlack(p, 3, 4, 100, 200); }},
    {"FillBlackConverted", QImage::Format_RGB32,
     [](const QImage& p) { return mdlPhotoShop::FillBlack(p, 3, 4, 100, 200); }},
    {"Gray", QImage::Format_BGR888, mdlPhotoShop::GrayPicture},
    {"GrayFromIndexed", QImage::Format_Indexed8, mdlPhotoShop::GrayPicture},
    {"Bitmap24", QImage::Format_BGR888, [](const QImage& p) { return FromBitmap(p, 24); }},
    {"Bitmap8", QImage::Format_BGR888, [](const QImage& p) { return FromBitmap(p, 8); }},
    {"Bitmap4", QImage::Format_BGR888, [](const QImage& p) { return FromBitmap(p, 4); }},
};

class RecycledOperation : public RecycledMemory,
                          public testing::WithParamInterface<RecycledCase> {};

TEST_P(RecycledOperation, GivesTheBytesItGivesOnFreshMemory) {
    const RecycledCase& c = GetParam();
    const QImage source = DirtySource(c.source);
    PixelMemory::ReleaseCached();
    QImage fresh = c.run(source);
    ASSERT_FALSE(fresh.isNull());
    ASSERT_GE(fresh.sizeInBytes(), PixelMemory::kLargeBytes);
    const QByteArray expected = AllBytes(fresh);
    const qsizetype bytes = fresh.sizeInBytes();
    fresh = QImage();

    const std::set<const uchar*> poisoned = Poison(bytes);
    const QImage reused = c.run(source);
    ASSERT_FALSE(reused.isNull());
    EXPECT_EQ(poisoned.count(reused.constBits()), 1u) << "the result is on recycled memory";
    EXPECT_TRUE(AllBytes(reused) == expected);
    for (int y = 0; y < reused.height(); ++y) {
        const qsizetype used = (qsizetype(reused.depth()) * reused.width() + 7) / 8;
        const uchar* row = reused.constScanLine(y);
        for (qsizetype i = used; i < reused.bytesPerLine(); ++i) {
            ASSERT_EQ(row[i], 0) << "padding, row " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, RecycledOperation, testing::ValuesIn(kRecycledCases),
                         [](const testing::TestParamInfo<RecycledCase>& i) {
                             return std::string(i.param.name);
                         });
#endif

}  // namespace
