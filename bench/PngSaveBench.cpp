// Saving a 24-megapixel photo as PNG: Lumora's encoder (libdeflate) against the library's own PNG
// writer (zlib) on the same picture, paired, with both file sizes; and the encoder's levels, for
// the one it uses.

#include <FreeImage.h>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "PictureSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <vector>

#include "image/MFreeImage.h"
#include "image/PngEncoder.h"

namespace {

// A 6000 x 4000 photo-like picture: smooth gradients and fine grain, passed once through JPEG so
// it carries a camera file's blocks and ringing. Made once per run; never freed.
FIBITMAP* Photo() {
    static FIBITMAP* const photo = [] {
        const int width = 6000;
        const int height = 4000;
        FIBITMAP* b = FreeImage_Allocate(width, height, 24);
        FillPhoto(FreeImage_GetScanLine(b, height - 1), -qsizetype(FreeImage_GetPitch(b)), width,
                  height, true);
        FIMEMORY* jpeg = FreeImage_OpenMemory();
        FreeImage_SaveToMemory(FIF_JPEG, b, jpeg, JPEG_QUALITYGOOD);
        FreeImage_Unload(b);
        FreeImage_SeekMemory(jpeg, 0, SEEK_SET);
        FIBITMAP* decoded = FreeImage_LoadFromMemory(FIF_JPEG, jpeg, 0);
        FreeImage_CloseMemory(jpeg);
        return decoded;
    }();
    return photo;
}

// Both writers in turn, each pair under the same load of the machine, to files in a temporary
// folder; the medians, their ratio (Lumora / library) and both sizes in bytes.
void BM_SavePng24Mp_Paired(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.png"));
    const QByteArray theirs = QFile::encodeName(dir.filePath(QStringLiteral("theirs.png")));
    FIBITMAP* photo = Photo();
    std::vector<double> library;
    std::vector<double> lumora;
    std::vector<double> ratio;
    for (auto _ : state) {
        FIBITMAP* copy = FreeImage_Clone(photo);  // SaveImageFile frees what it is given
        const auto t0 = Clock::now();
        const bool savedTheirs = FreeImage_Save(FIF_PNG, photo, theirs.constData(), PNG_DEFAULT);
        const auto t1 = Clock::now();
        const bool savedOurs = MFreeImage::SaveImageFile(copy, ours);
        const auto t2 = Clock::now();
        if (!savedTheirs || !savedOurs) {
            state.SkipWithError("a save failed");
            return;
        }
        library.push_back(Ms(t0, t1));
        lumora.push_back(Ms(t1, t2));
        ratio.push_back(lumora.back() / library.back());
    }
    state.counters["library_ms"] = Median(library);
    state.counters["lumora_ms"] = Median(lumora);
    state.counters["ratio"] = Median(ratio);
    state.counters["library_bytes"] =
        static_cast<double>(QFileInfo(QString::fromUtf8(theirs)).size());
    state.counters["lumora_bytes"] = static_cast<double>(QFileInfo(ours).size());
    state.SetLabel("load " + LoadAverage());
}

// The encoder alone at one libdeflate level: time and size.
void BM_EncodePng24Mp_Level(benchmark::State& state) {
    FIBITMAP* photo = Photo();
    PngEncoder::Source source;
    source.width = static_cast<int>(FreeImage_GetWidth(photo));
    source.height = static_cast<int>(FreeImage_GetHeight(photo));
    source.layout = PngEncoder::Layout::Bgr24;
    source.topRow = FreeImage_GetScanLine(photo, source.height - 1);
    source.stride = -static_cast<std::ptrdiff_t>(FreeImage_GetPitch(photo));
    qsizetype size = 0;
    for (auto _ : state) {
        size = PngEncoder::Encode(source, static_cast<int>(state.range(0))).size();
    }
    state.counters["bytes"] = static_cast<double>(size);
    state.SetLabel("load " + LoadAverage());
}

BENCHMARK(BM_SavePng24Mp_Paired)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EncodePng24Mp_Level)
    ->DenseRange(4, 8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
