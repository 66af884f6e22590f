// Colour profiles: what a file's description means, and how its values show on an sRGB screen.

#include "image/ColourProfile.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include "support/ColourSupport.h"

namespace {

using ColourSupport::AdobeRgb;

struct Row {
    const char* what;
    std::function<ColourDescription()> description;
    QRgb in;
    QRgb shown;   // on an sRGB screen, each channel within one step
    bool isSrgb;  // no profile is made for it
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << r.what;
}

ColourDescription Nclx(quint16 primaries, quint16 transfer) {
    ColourDescription d;
    d.primaries = primaries;
    d.transfer = transfer;
    d.matrix = 6;
    return d;
}

ColourDescription Png(bool srgb, quint32 gamma, bool chrm) {
    ColourDescription d;
    d.srgbChunk = srgb;
    d.gamma = gamma;
    if (chrm) {
        d.hasChromaticities = true;
        const quint32 adobe[8] = {31270, 32900, 64000, 33000, 21000, 71000, 15000, 6000};
        std::copy(std::begin(adobe), std::end(adobe), d.chromaticities);
    }
    return d;
}

class Descriptions : public testing::TestWithParam<Row> {};

TEST_P(Descriptions, ShowAsTheirMakerMeant) {
    const QByteArray profile = ColourProfile::FromDescription(GetParam().description());
    const auto transform = cColourTransform::Between(profile, QByteArray());
    const QRgb shown = transform->Colours({GetParam().in}).front();
    using Channel = int (*)(QRgb);
    for (const Channel channel : {Channel(qRed), Channel(qGreen), Channel(qBlue)}) {
        EXPECT_NEAR(channel(shown), channel(GetParam().shown), 1)
            << std::hex << shown << " expected " << GetParam().shown;
    }
    EXPECT_EQ(profile.isEmpty(), GetParam().isSrgb);
}

INSTANTIATE_TEST_SUITE_P(
    Colour, Descriptions,
    testing::Values(Row{"nothing said", [] { return ColourDescription(); }, qRgb(120, 180, 60),
                        qRgb(120, 180, 60), true},
                    Row{"an embedded Adobe RGB profile",
                        [] {
                            ColourDescription d;
                            d.icc = AdobeRgb();
                            return d;
                        },
                        qRgb(120, 180, 60), qRgb(81, 181, 42), false},
                    Row{"nclx BT.709 with the sRGB curve", [] { return Nclx(1, 13); },
                        qRgb(120, 180, 60), qRgb(120, 180, 60), true},
                    Row{"nclx BT.709 with BT.709's own curve", [] { return Nclx(1, 1); },
                        qRgb(120, 180, 60), qRgb(120, 180, 60), true},
                    Row{"nclx Display P3: its red is beyond sRGB's", [] { return Nclx(12, 13); },
                        qRgb(255, 0, 0), qRgb(255, 0, 0), false},
                    Row{"nclx Display P3, a colour inside sRGB", [] { return Nclx(12, 13); },
                        qRgb(120, 180, 60), qRgb(100, 182, 25), false},
                    Row{"nclx BT.2020 with PQ: reference white a little below white",
                        [] { return Nclx(9, 16); }, qRgb(148, 148, 148), qRgb(245, 245, 245),
                        false},
                    Row{"nclx BT.2020 with HLG: black stays black", [] { return Nclx(9, 18); },
                        qRgb(0, 0, 0), qRgb(0, 0, 0), false},
                    Row{"PNG sRGB chunk", [] { return Png(true, 100000, false); },
                        qRgb(120, 180, 60), qRgb(120, 180, 60), true},
                    Row{"PNG gAMA 1/2.2 alone is sRGB", [] { return Png(false, 45455, false); },
                        qRgb(120, 180, 60), qRgb(120, 180, 60), true},
                    Row{"PNG linear gAMA", [] { return Png(false, 100000, false); },
                        qRgb(50, 50, 50), qRgb(122, 122, 122), false},
                    Row{"PNG gAMA 1/2.2 with Adobe RGB's cHRM",
                        [] { return Png(false, 45455, true); }, qRgb(120, 180, 60),
                        qRgb(81, 181, 42), false}));

TEST(ColourTransform, UnusableProfilesAreRefusedAndChangeNothing) {
    QByteArray cut = AdobeRgb();
    cut.truncate(cut.size() / 2);
    for (const QByteArray& bad : {QByteArray("not a profile at all"), cut, ColourSupport::Cmyk()}) {
        const auto t = cColourTransform::Between(bad, QByteArray());
        EXPECT_EQ(t->kind(), cColourTransform::Kind::Refused);
        QImage picture(3, 2, QImage::Format_BGR888);
        picture.fill(qRgb(120, 180, 60));
        EXPECT_EQ(t->Picture(picture).cacheKey(), picture.cacheKey());
        EXPECT_TRUE(t->GreyRamp().isEmpty());
    }
    EXPECT_EQ(cColourTransform::Between(ColourProfile::Srgb(), QByteArray())->kind(),
              cColourTransform::Kind::Identity);
}

// Every layout a decoder hands over converts to the same colours; alpha and palette indices stay.
TEST(ColourTransform, ConvertsEveryPictureLayoutAlike) {
    const auto t = cColourTransform::Between(AdobeRgb(), QByteArray());
    ASSERT_TRUE(t->Converts());
    const QRgb expected = qRgb(81, 181, 42);
    const auto near = [&](QRgb c) {
        return std::abs(qRed(c) - qRed(expected)) <= 1 &&
               std::abs(qGreen(c) - qGreen(expected)) <= 1 &&
               std::abs(qBlue(c) - qBlue(expected)) <= 1;
    };
    // Large enough to be converted on two threads.
    for (const QImage::Format format :
         {QImage::Format_BGR888, QImage::Format_RGB32, QImage::Format_ARGB32,
          QImage::Format_Indexed8, QImage::Format_RGB888}) {
        QImage picture(1100, 1000,
                       format == QImage::Format_Indexed8 ? QImage::Format_BGR888 : format);
        picture.fill(QColor::fromRgba(qRgba(120, 180, 60, 200)));
        if (format == QImage::Format_Indexed8) {
            picture = picture.convertToFormat(format);
        }
        const QImage shown = t->Picture(picture);
        ASSERT_FALSE(shown.isNull()) << format;
        EXPECT_EQ(shown.size(), picture.size());
        for (const QPoint p : {QPoint(0, 0), QPoint(1099, 999), QPoint(500, 499)}) {
            EXPECT_TRUE(near(shown.pixel(p))) << format << " " << std::hex << shown.pixel(p);
        }
        if (format == QImage::Format_ARGB32) {
            EXPECT_EQ(qAlpha(shown.pixel(7, 7)), 200);
        }
        if (format == QImage::Format_Indexed8) {
            EXPECT_EQ(shown.format(), QImage::Format_Indexed8);
            EXPECT_EQ(shown.pixelIndex(3, 3), picture.pixelIndex(3, 3));
        }
    }
    // A grey edit on the values shows through the ramp exactly as converting it would.
    QImage grey(4, 2, QImage::Format_BGR888);
    grey.fill(qRgb(90, 90, 90));
    const QImage ramped = ColourProfile::ThroughGreyRamp(grey, t->GreyRamp());
    EXPECT_EQ(ramped.pixel(3, 1), t->Picture(grey).pixel(3, 1));
}

}  // namespace
