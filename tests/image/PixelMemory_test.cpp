#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>

#include "image/PixelMemory.h"

namespace {

TEST(PixelMemory, LargePicturesAreHugePageAlignedAndZero) {
    const QImage big = PixelMemory::NewImage(1000, 1000, 3000, QImage::Format_BGR888);
    ASSERT_FALSE(big.isNull());
#if defined(__linux__)
    EXPECT_EQ(reinterpret_cast<quintptr>(big.constBits()) % (2u << 20), 0u);
#endif
    const QImage small = PixelMemory::NewImage(3, 2, 12, QImage::Format_BGR888);
    ASSERT_FALSE(small.isNull());
    for (const QImage* img : {&big, &small}) {
        const QByteArray bytes(reinterpret_cast<const char*>(img->constBits()),
                               int(img->sizeInBytes()));
        EXPECT_EQ(bytes.count('\0'), bytes.size());
    }
    EXPECT_TRUE(PixelMemory::NewImage(0, 5, 12, QImage::Format_BGR888).isNull());
    EXPECT_TRUE(PixelMemory::NewImage(3, 2, 10, QImage::Format_BGR888).isNull());
}

}  // namespace
