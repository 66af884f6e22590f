// Thumbnails of 50 JPEGs of 3000 x 2000: every one through cDecodeFront in the Background lane
// (maxSide 98, in the pool's workers), beside bare FreeImage with the size hint on two threads in
// this process, which neither crosses a process nor scales to the side asked for.

#include <FreeImage.h>
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "decode/cDecodeFront.h"
#include "decode/cDecodePool.h"

namespace {

constexpr int kFiles = 50;
constexpr int kThumbnailSide = 98;  // pixels

// 50 JPEGs of 3000 x 2000 with varied content (gradients of different slopes and colours, bands,
// noise of different strength), written once per run.
const QStringList& Jpegs() {
    static QTemporaryDir dir;
    static const QStringList files = [] {
        QStringList names;
        const int width = 3000;
        const int height = 2000;
        FIBITMAP* b = FreeImage_Allocate(width, height, 24);
        for (int f = 0; f < kFiles; ++f) {
            quint32 noise = 12345u + static_cast<quint32>(f) * 7919u;
            const int grainBits = 2 + f % 5;
            const int band = 20 + f * 7;
            for (int y = 0; y < height; ++y) {
                BYTE* px = FreeImage_GetScanLine(b, y);
                for (int x = 0; x < width; ++x, px += 3) {
                    noise = noise * 1664525u + 1013904223u;
                    const int grain = static_cast<int>(noise >> (32 - grainBits));
                    px[FI_RGBA_BLUE] = static_cast<BYTE>((x * (f + 1) / 12 + grain) & 0xFF);
                    px[FI_RGBA_GREEN] = static_cast<BYTE>((y * (50 - f) / 10 + grain) & 0xFF);
                    px[FI_RGBA_RED] =
                        static_cast<BYTE>(((x + y) / band * 37 + f * 5 + grain) & 0xFF);
                }
            }
            const QString file = dir.filePath(QStringLiteral("photo%1.jpg").arg(f));
            const QByteArray name = QFile::encodeName(file);
            FreeImage_Save(FIF_JPEG, b, name.constData(), JPEG_QUALITYGOOD);
            names << file;
        }
        FreeImage_Unload(b);
        return names;
    }();
    return files;
}

// The front delivers on its thread's event loop, which needs an application object.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "lumora_bench";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        new QCoreApplication(argc, argv);  // kept for the rest of the run
    }
}

// Every file decoded by FreeImage with the size hint, on two threads taking files in turn.
void BareTwoThreads(const QStringList& files) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&files, t] {
            for (int i = t; i < files.size(); i += 2) {
                const QByteArray name = QFile::encodeName(files[i]);
                FIBITMAP* b = FreeImage_Load(FIF_JPEG, name.constData(),
                                             JPEG_DEFAULT | (kThumbnailSide << 16));
                benchmark::DoNotOptimize(b);
                FreeImage_Unload(b);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

// Every file through the front, all submitted at once; returns the thumbnails delivered.
int ThroughTheFront(const QStringList& files) {
    cDecodeFront front;
    int delivered = 0;
    QEventLoop loop;
    QObject::connect(&front, &cDecodeFront::decoded, [&](const cDecodeFront::Result& r) {
        delivered += r.picture.isNull() ? 0 : 1;
        if (front.Pending() == 0) {
            loop.quit();
        }
    });
    for (const QString& file : files) {
        front.Submit(file, cDecodeFront::Lane::Background, kThumbnailSide);
    }
    loop.exec();
    return delivered;
}

void Prepare() {
    EnsureApplication();
    Jpegs();
    // Files in the page cache and the pool's workers warm before timing starts.
    BareTwoThreads(Jpegs());
    ThroughTheFront(Jpegs().mid(0, 4));
}

void BM_Thumbnails50_BareFreeImageTwoThreads(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        BareTwoThreads(Jpegs());
    }
}

void BM_Thumbnails50_FrontBackground(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        if (ThroughTheFront(Jpegs()) != kFiles) {
            state.SkipWithError("a thumbnail failed");
            break;
        }
    }
    state.counters["workers"] = cDecodePool::Shared().Size();
}

// Both ways in turn, each pair under the same load of the machine; reports the medians and the
// median ratio (front / bare).
void BM_Thumbnails50_Paired(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Prepare();
    std::vector<double> bare;
    std::vector<double> front;
    std::vector<double> ratio;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        BareTwoThreads(Jpegs());
        const auto t1 = Clock::now();
        const int delivered = ThroughTheFront(Jpegs());
        const auto t2 = Clock::now();
        if (delivered != kFiles) {
            state.SkipWithError("a thumbnail failed");
            break;
        }
        bare.push_back(Ms(t0, t1));
        front.push_back(Ms(t1, t2));
        ratio.push_back(front.back() / bare.back());
    }
    state.counters["bare_ms"] = Median(bare);
    state.counters["front_ms"] = Median(front);
    state.counters["ratio"] = Median(ratio);
}

// The work happens in other processes and threads, so only wall-clock time means anything.
BENCHMARK(BM_Thumbnails50_BareFreeImageTwoThreads)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3);
BENCHMARK(BM_Thumbnails50_FrontBackground)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3);
BENCHMARK(BM_Thumbnails50_Paired)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(15);

}  // namespace
