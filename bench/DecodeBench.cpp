// Loading a 24-megapixel JPEG through the decode worker, beside decoding it in this process.
// Both produce the same QImage and then read one byte of every page of it, as showing the
// picture would: the worker's picture arrives as shared pages that this process has yet to map.

#include <FreeImage.h>
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include "BenchSupport.h"
#include "PictureSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "decode/cDecodePool.h"
#include "decode/mdlPictureFile.h"
#include "image/MFreeImage.h"

namespace {

// The benchmarks' photo, 6000 x 4000, as a JPEG written once per run.
const QString& BigJpeg() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("24mp.jpg"));
        const int width = 6000;
        const int height = 4000;
        FIBITMAP* b = FreeImage_Allocate(width, height, 24);
        FillPhoto(FreeImage_GetScanLine(b, height - 1), -qsizetype(FreeImage_GetPitch(b)), width,
                  height, true);
        const QByteArray name = QFile::encodeName(file);
        FreeImage_Save(FIF_JPEG, b, name.constData(), JPEG_QUALITYGOOD);
        FreeImage_Unload(b);
        return file;
    }();
    return path;
}

void BM_Decode24MpJpeg_InProcess(benchmark::State& state) {
    const QString& path = BigJpeg();
    for (auto _ : state) {
        const QImage picture = MFreeImage::ImageToPicture(MFreeImage::LoadImageFile(path), true);
        benchmark::DoNotOptimize(TouchPages(picture));
    }
}

void BM_Decode24MpJpeg_Worker(benchmark::State& state) {
    const QString& path = BigJpeg();
    mdlPictureFile::LoadPictureFile(path);  // the pool is warm before timing starts
    for (auto _ : state) {
        const QImage picture = mdlPictureFile::LoadPictureFile(path);
        benchmark::DoNotOptimize(TouchPages(picture));
    }
}

// Both ways in turn, each pair under the same load of the machine; reports the medians and the
// median ratio (worker / in process).
void BM_Decode24MpJpeg_Paired(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const QString& path = BigJpeg();
    mdlPictureFile::LoadPictureFile(path);
    std::vector<double> local;
    std::vector<double> worker;
    std::vector<double> ratio;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        {
            const QImage picture =
                MFreeImage::ImageToPicture(MFreeImage::LoadImageFile(path), true);
            benchmark::DoNotOptimize(TouchPages(picture));
        }
        const auto t1 = Clock::now();
        {
            const QImage picture = mdlPictureFile::LoadPictureFile(path);
            benchmark::DoNotOptimize(TouchPages(picture));
        }
        const auto t2 = Clock::now();
        local.push_back(Ms(t0, t1));
        worker.push_back(Ms(t1, t2));
        ratio.push_back(worker.back() / local.back());
    }
    state.counters["in_process_ms"] = Median(local);
    state.counters["worker_ms"] = Median(worker);
    state.counters["ratio"] = Median(ratio);
}

// The program's whole road (worker, shared memory, the picture's pages read once) against
// libjpeg-turbo's own tjDecompress2 of the same file, already in memory, into a new buffer in this
// process, in turn. Reports both medians and the median ratio; worker_only_ms leaves out reading
// the pages. tjDecompress2 runs with its defaults (accurate DCT, smoothed upsampling) and, for
// ratio_fast, with the fast DCT and plain upsampling the program's road uses.
void BM_Decode24MpJpeg_WorkerVsTurbo(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const QString& path = BigJpeg();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no JPEG");
        return;
    }
    const QByteArray jpeg = file.readAll();
    tjhandle turbo = tjInitDecompress();
    int width = 0;
    int height = 0;
    int sampling = 0;
    int colours = 0;
    if (turbo == nullptr ||
        tjDecompressHeader3(turbo, reinterpret_cast<const uchar*>(jpeg.constData()),
                            static_cast<unsigned long>(jpeg.size()), &width, &height, &sampling,
                            &colours) != 0) {
        state.SkipWithError("libjpeg-turbo cannot read the JPEG");
        if (turbo != nullptr) {
            tjDestroy(turbo);
        }
        return;
    }
    const size_t pitch = static_cast<size_t>(width) * 3;
    mdlPictureFile::LoadPictureFile(path);
    std::vector<double> codec;
    std::vector<double> worker;
    std::vector<double> workerOnly;
    std::vector<double> ratio;
    std::vector<double> codecFast;
    std::vector<double> ratioFast;
    // Into a new buffer, as a new picture would be; false when libjpeg-turbo fails.
    const auto turboDecode = [&](int flags) {
        std::unique_ptr<uchar[]> rows(new uchar[pitch * static_cast<size_t>(height)]);
        const bool ok = tjDecompress2(turbo, reinterpret_cast<const uchar*>(jpeg.constData()),
                                      static_cast<unsigned long>(jpeg.size()), rows.get(), width,
                                      static_cast<int>(pitch), height, TJPF_BGR, flags) == 0;
        benchmark::DoNotOptimize(rows[0]);
        return ok;
    };
    for (auto _ : state) {
        const auto tf = Clock::now();
        const bool fastOk = turboDecode(TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE);
        const auto t0 = Clock::now();
        if (!fastOk || !turboDecode(0)) {
            state.SkipWithError("tjDecompress2 failed");
            break;
        }
        const auto t1 = Clock::now();
        {
            const QImage picture = mdlPictureFile::LoadPictureFile(path);
            const auto t2 = Clock::now();
            benchmark::DoNotOptimize(TouchPages(picture));
            workerOnly.push_back(Ms(t1, t2));
        }
        const auto t3 = Clock::now();
        codec.push_back(Ms(t0, t1));
        worker.push_back(Ms(t1, t3));
        ratio.push_back(worker.back() / codec.back());
        codecFast.push_back(Ms(tf, t0));
        ratioFast.push_back(worker.back() / codecFast.back());
    }
    tjDestroy(turbo);
    state.counters["tjDecompress2_ms"] = Median(codec);
    state.counters["worker_ms"] = Median(worker);
    state.counters["worker_only_ms"] = Median(workerOnly);
    state.counters["ratio"] = Median(ratio);
    state.counters["tjDecompress2_fast_ms"] = Median(codecFast);
    state.counters["ratio_fast"] = Median(ratioFast);
}

// The work happens in another process, so only wall-clock time means anything.
BENCHMARK(BM_Decode24MpJpeg_InProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Decode24MpJpeg_Worker)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Decode24MpJpeg_Paired)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);
BENCHMARK(BM_Decode24MpJpeg_WorkerVsTurbo)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(30);

}  // namespace
