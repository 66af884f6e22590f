#include "image/ColourProfile.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "image/PixelMemory.h"

namespace {

// lcms2 reports what it refuses through a global handler; the callers report refusals themselves.
void Silent(cmsContext, cmsUInt32Number, const char*) {}

void QuietLcms() {
    static std::once_flag once;
    std::call_once(once, [] { cmsSetLogErrorHandler(Silent); });
}

struct ProfileCloser {
    void operator()(void* p) const {
        if (p != nullptr) {
            cmsCloseProfile(p);
        }
    }
};
using ProfilePtr = std::unique_ptr<void, ProfileCloser>;

ProfilePtr Open(const QByteArray& icc) {
    QuietLcms();
    if (icc.isEmpty()) {
        return ProfilePtr(cmsCreate_sRGBProfile());
    }
    return ProfilePtr(
        cmsOpenProfileFromMem(icc.constData(), static_cast<cmsUInt32Number>(icc.size())));
}

QByteArray Save(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (profile == nullptr || !cmsSaveProfileToMem(profile, nullptr, &size) || size == 0) {
        return QByteArray();
    }
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) {
        return QByteArray();
    }
    return bytes;
}

struct Primaries {
    cmsCIExyY white;
    cmsCIExyYTRIPLE rgb;
};

constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};
constexpr Primaries kBt709{kD65, {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}}};

// nclx colour primaries (ITU-T H.273 table 2) this program knows; BT.709's for the rest.
Primaries PrimariesOf(quint16 code) {
    switch (code) {
        case 5:  // BT.470 BG, BT.601 625 lines
            return {kD65, {{0.64, 0.33, 1.0}, {0.29, 0.60, 1.0}, {0.15, 0.06, 1.0}}};
        case 6:  // BT.601 525 lines
        case 7:
            return {kD65, {{0.630, 0.340, 1.0}, {0.310, 0.595, 1.0}, {0.155, 0.070, 1.0}}};
        case 9:  // BT.2020
            return {kD65, {{0.708, 0.292, 1.0}, {0.170, 0.797, 1.0}, {0.131, 0.046, 1.0}}};
        case 11:  // DCI-P3, its own white
            return {{0.314, 0.351, 1.0},
                    {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}};
        case 12:  // Display P3
            return {kD65, {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}};
        default:
            return kBt709;
    }
}

bool IsSrgbPrimaries(quint16 code) {
    return code == 0 || code == 1 || code == 2;
}

bool IsSrgbTransfer(quint16 code) {
    // BT.709's curve is the sRGB one in all but the darkest steps; pictures say either.
    return code == 0 || code == 1 || code == 2 || code == 6 || code == 13 || code == 14 ||
           code == 15;
}

// Scene-referred HDR light (1 = reference white) brought into SDR's 0..1: straight up to 0.75,
// then a knee that reaches 1 only at infinity.
double Knee(double x) {
    constexpr double kKnee = 0.75;
    if (x <= kKnee) {
        return std::max(0.0, x);
    }
    return kKnee + (1.0 - kKnee) * (1.0 - std::exp(-(x - kKnee) / (1.0 - kKnee)));
}

// The decoding of one nclx transfer characteristic: encoded value -> linear light (0..1).
double Linear(quint16 transfer, double v) {
    switch (transfer) {
        case 4:
            return std::pow(v, 2.2);
        case 5:
            return std::pow(v, 2.8);
        case 8:
            return v;
        case 16: {  // PQ (SMPTE ST 2084): absolute, 10000 cd/m2 at 1; reference white 203 cd/m2
            constexpr double m1 = 2610.0 / 16384.0, m2 = 2523.0 / 4096.0 * 128.0;
            constexpr double c1 = 3424.0 / 4096.0, c2 = 2413.0 / 4096.0 * 32.0,
                             c3 = 2392.0 / 4096.0 * 32.0;
            const double p = std::pow(v, 1.0 / m2);
            const double nits = 10000.0 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1.0 / m1);
            return Knee(nits / 203.0);
        }
        case 18: {  // HLG (BT.2100): scene light, system gamma 1.2 on a 1000 cd/m2 display
            constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
            const double e = v <= 0.5 ? v * v / 3.0 : (std::exp((v - c) / a) + b) / 12.0;
            return Knee(std::pow(e, 1.2) * 1000.0 / 203.0);
        }
        default:  // sRGB
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    }
}

QByteArray RgbProfile(const Primaries& primaries, const std::function<double(double)>& curve) {
    constexpr int kEntries = 4096;
    std::vector<cmsFloat32Number> table(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        table[static_cast<size_t>(i)] =
            static_cast<cmsFloat32Number>(curve(static_cast<double>(i) / (kEntries - 1)));
    }
    cmsToneCurve* tone = cmsBuildTabulatedToneCurveFloat(nullptr, kEntries, table.data());
    if (tone == nullptr) {
        return QByteArray();
    }
    cmsToneCurve* curves[3] = {tone, tone, tone};
    const ProfilePtr profile(cmsCreateRGBProfile(&primaries.white, &primaries.rgb, curves));
    cmsFreeToneCurve(tone);
    return Save(profile.get());
}

QByteArray FromNclx(const ColourDescription& d) {
    if (IsSrgbPrimaries(d.primaries) && IsSrgbTransfer(d.transfer)) {
        return QByteArray();
    }
    const quint16 transfer = IsSrgbTransfer(d.transfer) ? 13 : d.transfer;
    return RgbProfile(PrimariesOf(d.primaries),
                      [transfer](double v) { return Linear(transfer, v); });
}

QByteArray FromPngChunks(const ColourDescription& d) {
    if (d.srgbChunk) {
        return QByteArray();
    }
    Primaries primaries = kBt709;
    bool srgbPrimaries = true;
    if (d.hasChromaticities) {
        const auto at = [&d](int i) { return d.chromaticities[i] / 100000.0; };
        primaries = {{at(0), at(1), 1.0},
                     {{at(2), at(3), 1.0}, {at(4), at(5), 1.0}, {at(6), at(7), 1.0}}};
        const double srgb[8] = {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
        for (int i = 0; i < 8; ++i) {
            srgbPrimaries = srgbPrimaries && std::abs(at(i) - srgb[i]) < 0.01;
        }
    }
    // A file gamma of about 1/2.2 is how most PNG writers say "sRGB".
    const bool srgbCurve = d.gamma == 0 || (d.gamma >= 44000 && d.gamma <= 46500);
    if (srgbPrimaries && srgbCurve) {
        return QByteArray();
    }
    if (d.gamma == 0) {
        return RgbProfile(primaries, [](double v) { return Linear(13, v); });
    }
    const double exponent = 100000.0 / d.gamma;
    return RgbProfile(primaries, [exponent](double v) { return std::pow(v, exponent); });
}

}  // namespace

namespace ColourProfile {

QByteArray Srgb() {
    static const QByteArray bytes = [] {
        QuietLcms();
        const ProfilePtr srgb(cmsCreate_sRGBProfile());
        return Save(srgb.get());
    }();
    return bytes;
}

QByteArray FromDescription(const ColourDescription& iDescription) {
    QuietLcms();
    if (!iDescription.icc.isEmpty()) {
        return iDescription.icc;
    }
    if (iDescription.primaries != 0 || iDescription.transfer != 0) {
        return FromNclx(iDescription);
    }
    if (iDescription.srgbChunk || iDescription.gamma != 0 || iDescription.hasChromaticities) {
        return FromPngChunks(iDescription);
    }
    return QByteArray();
}

QImage ThroughGreyRamp(const QImage& iGrey, const QList<QRgb>& iRamp) {
    if (iRamp.size() != 256 || iGrey.isNull()) {
        return QImage();
    }
    const QImage grey = iGrey.format() == QImage::Format_BGR888
                            ? iGrey
                            : iGrey.convertToFormat(QImage::Format_BGR888);
    const int width = grey.width();
    QImage out = PixelMemory::NewImage(width, grey.height(), grey.bytesPerLine(),
                                       QImage::Format_BGR888, qsizetype(width) * 3);
    if (grey.isNull() || out.isNull()) {
        return QImage();
    }
    uchar table[256][3];
    for (int v = 0; v < 256; ++v) {
        table[v][0] = static_cast<uchar>(qBlue(iRamp[v]));
        table[v][1] = static_cast<uchar>(qGreen(iRamp[v]));
        table[v][2] = static_cast<uchar>(qRed(iRamp[v]));
    }
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* src = grey.constScanLine(y);
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < width; ++x, src += 3, dst += 3) {
            const uchar* c = table[src[1]];
            dst[0] = c[0];
            dst[1] = c[1];
            dst[2] = c[2];
        }
    }
    return out;
}

}  // namespace ColourProfile

// ---- cColourTransform ----

cColourTransform::~cColourTransform() {
    if (mTransform3 != nullptr) {
        cmsDeleteTransform(mTransform3);
    }
    if (mTransform4 != nullptr) {
        cmsDeleteTransform(mTransform4);
    }
}

std::shared_ptr<const cColourTransform> cColourTransform::Between(const QByteArray& iFrom,
                                                                  const QByteArray& iTo) {
    struct Entry {
        QByteArray from;
        QByteArray to;
        std::shared_ptr<const cColourTransform> transform;
    };
    static std::mutex mutex;
    static std::vector<Entry> recent;  // the most recent last
    constexpr size_t kKept = 8;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = recent.begin(); it != recent.end(); ++it) {
            if (it->from == iFrom && it->to == iTo) {
                Entry entry = *it;
                recent.erase(it);
                recent.push_back(entry);
                return entry.transform;
            }
        }
    }
    // Built outside the lock: a large profile takes a while, and other pairs need not wait.
    std::shared_ptr<const cColourTransform> built = Build(iFrom, iTo);
    std::lock_guard<std::mutex> lock(mutex);
    recent.push_back({iFrom, iTo, built});
    if (recent.size() > kKept) {
        recent.erase(recent.begin());
    }
    return built;
}

std::shared_ptr<const cColourTransform> cColourTransform::Build(const QByteArray& iFrom,
                                                                const QByteArray& iTo) {
    std::shared_ptr<cColourTransform> t(new cColourTransform());
    if (iFrom == iTo) {
        return t;  // Identity
    }
    t->mKind = Kind::Refused;
    const ProfilePtr from = Open(iFrom);
    const ProfilePtr to = Open(iTo);
    if (!from || !to || cmsGetColorSpace(to.get()) != cmsSigRgbData) {
        return t;
    }
    const cmsColorSpaceSignature space = cmsGetColorSpace(from.get());
    if (space != cmsSigRgbData && space != cmsSigGrayData) {
        return t;
    }
    t->mGreyInput = space == cmsSigGrayData;
    constexpr cmsUInt32Number kFlags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE;
    t->mTransform3 = cmsCreateTransform(from.get(), t->mGreyInput ? TYPE_GRAY_8 : TYPE_BGR_8,
                                        to.get(), TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC, kFlags);
    if (!t->mGreyInput) {
        t->mTransform4 =
            cmsCreateTransform(from.get(), TYPE_BGRA_8, to.get(), TYPE_BGRA_8,
                               INTENT_RELATIVE_COLORIMETRIC, kFlags | cmsFLAGS_COPY_ALPHA);
    }
    if (t->mTransform3 == nullptr || (!t->mGreyInput && t->mTransform4 == nullptr)) {
        return t;
    }
    // A profile that changes nothing (an sRGB file on an sRGB screen) costs nothing to show.
    t->mKind = Kind::Converts;
    constexpr int kSteps = 9;
    std::vector<uchar> grid;
    for (int b = 0; b < kSteps; ++b) {
        for (int g = 0; g < kSteps; ++g) {
            for (int r = 0; r < kSteps; ++r) {
                for (int c : {b, g, r}) {
                    grid.push_back(static_cast<uchar>(std::min(255, c * 32)));
                }
            }
        }
    }
    std::vector<uchar> out(grid.size());
    t->Rows(grid.data(), 0, out.data(), 0, kSteps * kSteps * kSteps, 1, 3);
    bool same = true;
    for (size_t i = 0; i < grid.size() && same; ++i) {
        same = std::abs(int(grid[i]) - int(out[i])) <= 1;
    }
    if (same) {
        t->mKind = Kind::Identity;
    }
    return t;
}

void cColourTransform::Rows(const uchar* iSource, qsizetype iSourceStride, uchar* oTarget,
                            qsizetype iTargetStride, int iWidth, int iHeight,
                            int iBytesPerPixel) const {
    if (mKind != Kind::Converts || iWidth <= 0 || iHeight <= 0) {
        return;
    }
    if (!mGreyInput) {
        cmsDoTransformLineStride(iBytesPerPixel == 4 ? mTransform4 : mTransform3, iSource, oTarget,
                                 static_cast<cmsUInt32Number>(iWidth),
                                 static_cast<cmsUInt32Number>(iHeight),
                                 static_cast<cmsUInt32Number>(iSourceStride),
                                 static_cast<cmsUInt32Number>(iTargetStride), 0, 0);
        return;
    }
    // A grey profile reads one value a pixel: the green byte of a grey picture's pixels.
    std::vector<uchar> grey(static_cast<size_t>(iWidth));
    std::vector<uchar> rgb(static_cast<size_t>(iWidth) * 3);
    for (int y = 0; y < iHeight; ++y) {
        const uchar* src = iSource + iSourceStride * y;
        uchar* dst = oTarget + iTargetStride * y;
        for (int x = 0; x < iWidth; ++x) {
            grey[static_cast<size_t>(x)] = src[x * iBytesPerPixel + 1];
        }
        cmsDoTransform(mTransform3, grey.data(), rgb.data(), static_cast<cmsUInt32Number>(iWidth));
        for (int x = 0; x < iWidth; ++x) {
            std::copy_n(&rgb[static_cast<size_t>(x) * 3], 3, dst + x * iBytesPerPixel);
            if (iBytesPerPixel == 4) {
                dst[x * 4 + 3] = src[x * 4 + 3];
            }
        }
    }
}

QList<QRgb> cColourTransform::Colours(const QList<QRgb>& iColours) const {
    QList<QRgb> out = iColours;
    if (mKind == Kind::Converts && !out.isEmpty()) {
        // QRgb lies in memory as blue, green, red, alpha on the little-endian machines Qt
        // keeps its 32-bit pictures the same way on.
        static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
        Rows(reinterpret_cast<const uchar*>(iColours.constData()), 0,
             reinterpret_cast<uchar*>(out.data()), 0, static_cast<int>(out.size()), 1, 4);
    }
    return out;
}

QList<QRgb> cColourTransform::GreyRamp() const {
    if (mKind != Kind::Converts) {
        return {};
    }
    QList<QRgb> ramp(256);
    for (int v = 0; v < 256; ++v) {
        ramp[v] = qRgb(v, v, v);
    }
    return Colours(ramp);
}

QImage cColourTransform::Picture(const QImage& iPicture) const {
    if (mKind != Kind::Converts || iPicture.isNull()) {
        return iPicture;
    }
    const QImage::Format format = iPicture.format();
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
        format == QImage::Format_Indexed8) {
        QImage copy = iPicture;
        copy.setColorTable(Colours(iPicture.colorTable()));
        return copy;
    }
    QImage source = iPicture;
    if (format != QImage::Format_BGR888 && format != QImage::Format_RGB32 &&
        format != QImage::Format_ARGB32) {
        source = iPicture.convertToFormat(iPicture.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                     : QImage::Format_BGR888);
        if (source.isNull()) {
            return QImage();
        }
    }
    const int bytesPerPixel = source.format() == QImage::Format_BGR888 ? 3 : 4;
    QImage out = PixelMemory::NewImage(source.width(), source.height(), source.bytesPerLine(),
                                       source.format(), qsizetype(source.width()) * bytesPerPixel);
    if (out.isNull()) {
        return QImage();
    }
    out.setDotsPerMeterX(source.dotsPerMeterX());
    out.setDotsPerMeterY(source.dotsPerMeterY());
    const auto convert = [&](int first, int count) {
        Rows(source.constScanLine(first), source.bytesPerLine(), out.scanLine(first),
             out.bytesPerLine(), source.width(), count, bytesPerPixel);
    };
    // A large picture takes a second core: a 24-megapixel photo converts in half the time.
    const int height = source.height();
    if (qint64(source.width()) * height < (qint64(1) << 20)) {
        convert(0, height);
        return out;
    }
    const int half = height / 2;
    std::thread other([&] { convert(half, height - half); });
    convert(0, half);
    other.join();
    return out;
}
