// Saving a 12-megapixel photo as WebP, AVIF and JPEG XL at quality 90: Lumora's save
// (MFreeImage::SavePictureFile) against the libraries' own command-line encoders (cwebp,
// heif-enc -A, cjxl) on the same picture, paired, with both file sizes. The tools read the picture
// from a PNG file, which they decode first; Lumora starts from the picture in memory. A tool that
// is not installed skips its benchmark (Debian: webp, libheif-examples, libjxl-tools).

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "PictureSupport.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <vector>

#include "image/MFreeImage.h"

namespace {

// A 4000 x 3000 photo-like picture, smooth gradients and fine grain passed once through JPEG, as
// the window holds it (24 bits, blue first). Made once per run.
const QImage& Photo() {
    static const QImage photo = [] {
        QImage made(4000, 3000, QImage::Format_BGR888);
        FillPhoto(made.bits(), made.bytesPerLine(), made.width(), made.height(), true);
        QTemporaryDir dir;
        const QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
        MFreeImage::SavePictureFile(made, jpeg);
        return MFreeImage::ImageToPicture(MFreeImage::LoadImageFile(jpeg), true);
    }();
    return photo;
}

struct Encoder {
    const char* extension;
    const char* tool;
    QStringList (*arguments)(const QString& in, const QString& out);
};

const Encoder kEncoders[] = {
    {"webp", "cwebp",
     [](const QString& in, const QString& out) {
         return QStringList{"-quiet", "-q", "90", in, "-o", out};
     }},
    {"avif", "heif-enc",
     [](const QString& in, const QString& out) {
         return QStringList{"-A", "-q", "90", "-o", out, in};
     }},
    {"jxl", "cjxl",
     [](const QString& in, const QString& out) {
         return QStringList{"--quiet", "-q", "90", in, out};
     }},
};

// The tool and Lumora in turn, each pair under the same load of the machine; the medians, their
// ratio (Lumora / tool) and both sizes in bytes.
void BM_Save12Mp_AgainstTool(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const Encoder& e = kEncoders[state.range(0)];
    const QString tool = QStandardPaths::findExecutable(QString::fromLatin1(e.tool));
    if (tool.isEmpty()) {
        state.SkipWithError((std::string(e.tool) + " is not installed").c_str());
        return;
    }
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("photo.png"));
    const QString extension = QString::fromLatin1(e.extension);
    const QString theirs = dir.filePath(QStringLiteral("theirs.") + extension);
    const QString ours = dir.filePath(QStringLiteral("ours.") + extension);
    if (!MFreeImage::SavePictureFile(Photo(), png)) {
        state.SkipWithError("the PNG for the tool was not written");
        return;
    }
    std::vector<double> toolMs;
    std::vector<double> lumoraMs;
    std::vector<double> ratio;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const int exitCode = QProcess::execute(tool, e.arguments(png, theirs));
        const auto t1 = Clock::now();
        const bool saved = MFreeImage::SavePictureFile(Photo(), ours, nullptr, {}, 90);
        const auto t2 = Clock::now();
        if (exitCode != 0 || !saved) {
            state.SkipWithError("a save failed");
            return;
        }
        toolMs.push_back(Ms(t0, t1));
        lumoraMs.push_back(Ms(t1, t2));
        ratio.push_back(lumoraMs.back() / toolMs.back());
    }
    state.counters["tool_ms"] = Median(toolMs);
    state.counters["lumora_ms"] = Median(lumoraMs);
    state.counters["ratio"] = Median(ratio);
    state.counters["tool_bytes"] = static_cast<double>(QFileInfo(theirs).size());
    state.counters["lumora_bytes"] = static_cast<double>(QFileInfo(ours).size());
    state.SetLabel(std::string(e.extension) + " vs " + e.tool + ", load " + LoadAverage());
}

BENCHMARK(BM_Save12Mp_AgainstTool)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
