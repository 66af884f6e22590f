// Speed of the pixel operations on a 6000 x 4000 24-bit picture (72 MB), each result allocated
// as in the program (a released result's memory is recycled for the next), beside warm memcpys
// in the same run: of the picture's bytes, and of the 4000 x 2000 crop's bytes. After the run a
// table gives each operation's median time and its ratio to its memcpy's median, in wall time
// (what the targets are judged on) and in CPU time.
//
// Unless given on the command line, every benchmark runs 7 repetitions, interleaved in random
// order so that load from other processes falls on all of them alike.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "image/mdlPhotoShop.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// Noise-like colours: every byte differs from its neighbours, and about one pixel in a hundred
// is a grey tie, as in photographs.
const QImage& Source() {
    static const QImage picture = [] {
        QImage img(kWidth, kHeight, QImage::Format_BGR888);
        quint32 state = 2463534242u;
        for (int y = 0; y < kHeight; ++y) {
            uchar* row = img.scanLine(y);
            for (int i = 0; i < img.bytesPerLine(); ++i) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                row[i] = uchar(state >> 24);
            }
        }
        return img;
    }();
    return picture;
}

void Keep(const QImage& result) {
    if (result.isNull()) {
        std::fprintf(stderr, "operation gave no picture\n");
        std::abort();
    }
    benchmark::DoNotOptimize(result.constBits());
}

void BM_Memcpy(benchmark::State& state) {
    const QImage& src = Source();
    const size_t bytes = size_t(src.sizeInBytes());
    static std::vector<uchar> target(bytes, 1);  // allocated and touched once: a warm copy
    for (auto _ : state) {
        std::memcpy(target.data(), src.constBits(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(bytes));
}

// The crop's result bytes (4000 x 2000 at 24 bits), copied into memory touched before.
void BM_MemcpyCrop(benchmark::State& state) {
    const QImage& src = Source();
    const size_t bytes = size_t(mdlPhotoShop::RowBytes(4000)) * 2000;
    static std::vector<uchar> target(bytes, 1);
    for (auto _ : state) {
        std::memcpy(target.data(), src.constBits(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(bytes));
}

void BM_CopyPicture24(benchmark::State& state) {
    for (auto _ : state) {
        Keep(mdlPhotoShop::CopyPicture24(Source()));
    }
}

void BM_FlipX(benchmark::State& state) {
    const QString axis = QStringLiteral("X");
    for (auto _ : state) {
        Keep(mdlPhotoShop::FlipPicture(Source(), axis));
    }
}

void BM_FlipY(benchmark::State& state) {
    const QString axis = QStringLiteral("Y");
    for (auto _ : state) {
        Keep(mdlPhotoShop::FlipPicture(Source(), axis));
    }
}

void BM_FillBlack(benchmark::State& state) {
    for (auto _ : state) {
        Keep(mdlPhotoShop::FillBlack(Source(), 1000, 1000, 4000, 2000));
    }
}

void BM_GrayPicture(benchmark::State& state) {
    for (auto _ : state) {
        Keep(mdlPhotoShop::GrayPicture(Source()));
    }
}

void BM_Rotate(benchmark::State& state) {
    const auto angle = qint16(state.range(0));
    for (auto _ : state) {
        Keep(mdlPhotoShop::RotatePicture(Source(), angle));
    }
}

void BM_CopyRegion(benchmark::State& state) {
    for (auto _ : state) {
        Keep(mdlPhotoShop::CopyRegion(Source(), 1000, 1000, 4000, 2000));
    }
}

void BM_ScalePicture(benchmark::State& state) {
    for (auto _ : state) {
        Keep(mdlPhotoShop::ScalePicture(Source(), 4500, 3000));
    }
}

void BM_ScalePictureUp(benchmark::State& state) {
    for (auto _ : state) {
        Keep(mdlPhotoShop::ScalePicture(Source(), 7500, 5000));
    }
}

// Each row: benchmark name, what the table calls it, the ratio to its memcpy it must stay under
// (0: none), and that memcpy (the whole picture's unless named).
struct Row {
    const char* name;
    const char* label;
    double limit;
    const char* base = "BM_Memcpy";
};
const Row kRows[] = {
    {"BM_Memcpy", "memcpy 72 MB (warm)", 0},
    {"BM_MemcpyCrop", "memcpy 24 MB (warm)", 0, "BM_MemcpyCrop"},
    {"BM_CopyPicture24", "CopyPicture24", 3.5},
    {"BM_FlipX", "FlipPicture \"X\"", 3.5},
    {"BM_FillBlack", "FillBlack 4000x2000", 3.5},
    {"BM_FlipY", "FlipPicture \"Y\"", 4.5},
    {"BM_GrayPicture", "GrayPicture", 7},
    {"BM_Rotate/90", "RotatePicture 90", 8},
    {"BM_Rotate/-90", "RotatePicture -90", 8},
    {"BM_CopyRegion", "CopyRegion 4000x2000", 1.5, "BM_MemcpyCrop"},
    {"BM_ScalePicture", "ScalePicture 4500x3000", 4},
    {"BM_ScalePictureUp", "ScalePicture 7500x5000", 0},
};

// The console report as usual, and afterwards the table: median wall time per operation and its
// ratio to the memcpy's median (what the targets are judged on), the fastest repetition and its
// ratio to the fastest memcpy (the figure for a quiet machine), and the CPU-time median and its
// ratio (when other processes take the CPU, wall time grows while CPU time does not).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            std::string name = run.run_name.str();
            const size_t suffix = name.find("/real_time");
            if (suffix != std::string::npos) {
                name.erase(suffix);
            }
            Samples& s = mSamples[name];
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                s.real.push_back(ToMs(run.GetAdjustedRealTime(), run.time_unit));
                s.cpu.push_back(ToMs(run.GetAdjustedCPUTime(), run.time_unit));
            } else if (run.aggregate_name == "median") {  // when only aggregates are reported
                s.realMedian = ToMs(run.GetAdjustedRealTime(), run.time_unit);
                s.cpuMedian = ToMs(run.GetAdjustedCPUTime(), run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-24s %9s %8s %8s %8s %9s %8s %12s\n", "operation (6000x4000)", "median ms",
                    "min ms", "x memcpy", "min/min", "cpu ms", "x memcpy", "target");
        for (const Row& row : kRows) {
            const Summary s = Summarise(row.name);
            if (s.real <= 0) {
                continue;
            }
            const Summary base = Summarise(row.base);
            const double ratio = base.real > 0 ? s.real / base.real : 0;
            const double leastRatio = base.least > 0 ? s.least / base.least : 0;
            const double cpuRatio = base.cpu > 0 ? s.cpu / base.cpu : 0;
            char target[32] = "";
            if (row.limit > 0) {
                std::snprintf(target, sizeof target, "%.1f %s", row.limit,
                              ratio <= row.limit ? "ok" : "MISSED");
            }
            std::printf("%-24s %9.2f %8.2f %8.2f %8.2f %9.2f %8.2f %12s\n", row.label, s.real,
                        s.least, ratio, leastRatio, s.cpu, cpuRatio, target);
        }
        std::printf("ratios are to the warm memcpy of the same bytes (the crop's: 24 MB)\n");
        std::printf("load average at the end: %s\n", LoadAverage().c_str());
        std::fflush(stdout);
    }

private:
    struct Samples {
        std::vector<double> real;
        std::vector<double> cpu;
        double realMedian = 0;
        double cpuMedian = 0;
    };
    struct Summary {
        double real;
        double least;
        double cpu;
    };

    Summary Summarise(const std::string& name) {
        const Samples& s = mSamples[name];
        if (s.real.empty()) {
            return {s.realMedian, s.realMedian, s.cpuMedian};
        }
        return {Median(s.real), *std::min_element(s.real.begin(), s.real.end()), Median(s.cpu)};
    }

    std::map<std::string, Samples> mSamples;
};

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemcpyCrop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyPicture24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlipX)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlipY)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillBlack)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrayPicture)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Rotate)->Arg(90)->Arg(-90)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyRegion)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScalePicture)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScalePictureUp)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (!InitializeWithDefaults(argc, argv, 7)) {
        return 1;
    }
    Source();  // build the picture before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
