// What showing a picture in its own colours costs: a 24-megapixel JPEG in Adobe RGB opened through
// the decode worker (which converts it to the screen's colours), beside the same JPEG without a
// profile, in turn, each pair under the same load of the machine.

#include <FreeImage.h>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "PictureSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <vector>

#include "../tests/support/ColourSupport.h"
#include "decode/cDecodePool.h"

namespace {

// The benchmarks' photo, 6000 x 4000, as a JPEG with iProfile embedded (none when empty).
QString PhotoJpeg(const QString& name, const QByteArray& iProfile) {
    static QTemporaryDir dir;
    const QString file = dir.filePath(name);
    const int width = 6000;
    const int height = 4000;
    FIBITMAP* b = FreeImage_Allocate(width, height, 24);
    FillPhoto(FreeImage_GetScanLine(b, height - 1), -qsizetype(FreeImage_GetPitch(b)), width,
              height, true);
    if (!iProfile.isEmpty()) {
        FreeImage_CreateICCProfile(b, const_cast<char*>(iProfile.constData()),
                                   static_cast<long>(iProfile.size()));
    }
    const QByteArray encoded = QFile::encodeName(file);
    FreeImage_Save(FIF_JPEG, b, encoded.constData(), JPEG_QUALITYGOOD);
    FreeImage_Unload(b);
    return file;
}

// The picture as a window gets it: the values and the copy it shows, every page read once.
quint64 Open(const QString& path) {
    const cDecodePool::Answer a =
        cDecodePool::Shared().Decode(path, cDecodePool::Lane::Interactive, 0, false);
    return TouchPages(a.picture) + TouchPages(a.colour.screen);
}

void BM_Open24MpJpeg_AdobeRgbAgainstNone(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    static const QString plain = PhotoJpeg(QStringLiteral("plain.jpg"), QByteArray());
    static const QString adobe = PhotoJpeg(QStringLiteral("adobe.jpg"), ColourSupport::AdobeRgb());
    const cDecodePool::Answer check =
        cDecodePool::Shared().Decode(adobe, cDecodePool::Lane::Interactive, 0, false);
    if (!check.colour.Converts()) {
        state.SkipWithError("the Adobe RGB JPEG was not converted: its profile was not found");
        return;
    }
    Open(plain);
    std::vector<double> none;
    std::vector<double> converted;
    std::vector<double> extra;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(Open(plain));
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(Open(adobe));
        const auto t2 = Clock::now();
        none.push_back(Ms(t0, t1));
        converted.push_back(Ms(t1, t2));
        extra.push_back(100.0 * (converted.back() - none.back()) / none.back());
    }
    state.counters["no_profile_ms"] = Median(none);
    state.counters["adobe_rgb_ms"] = Median(converted);
    state.counters["extra_percent"] = Median(extra);
}

// The work happens in another process, so only wall-clock time means anything.
BENCHMARK(BM_Open24MpJpeg_AdobeRgbAgainstNone)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(15);

}  // namespace
