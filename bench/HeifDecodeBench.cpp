// Opening a 12-megapixel HEIC, AVIF and JPEG XL photo: the program's whole road (the decode worker
// writing straight into shared memory, the picture's pages read once) against the library's own
// decode of the same file in this process to interleaved RGB (libheif's, libjxl's into one
// buffer, neither with threads of its own beyond what it starts itself), paired, with Lumora's
// bitmap decode in this process between them. And a JPEG XL thumbnail of such a photo taken from
// the DC pass against one scaled from the whole frame, paired. The files are written once per run,
// with the encoders' default quality (JPEG XL at distance 1).

#include <FreeImage.h>
#include <benchmark/benchmark.h>
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <libheif/heif.h>

#include "BenchSupport.h"
#include "PictureSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "base/NumberedError.h"
#include "decode/mdlPictureFile.h"
#include "image/MFreeImage.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

QTemporaryDir& Folder() {
    static QTemporaryDir dir;
    return dir;
}

// The photo as HEIC or AVIF at the encoder's default quality; empty, with oError, when libheif
// has no encoder for the format.
QString HeifPhoto(heif_compression_format iFormat, const char* iName, std::string* oError) {
    const QString file = Folder().filePath(QString::fromLatin1(iName));
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_error error = heif_context_get_encoder_for_format(context, iFormat, &encoder);
    if (error.code == heif_error_Ok) {
        error = heif_image_create(kWidth, kHeight, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                                  &image);
    }
    if (error.code == heif_error_Ok) {
        error = heif_image_add_plane(image, heif_channel_interleaved, kWidth, kHeight, 8);
    }
    if (error.code == heif_error_Ok) {
        int stride = 0;
        uint8_t* const top = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        FillPhoto(top, stride, kWidth, kHeight, false);
        error = heif_context_encode_image(context, image, encoder, nullptr, nullptr);
    }
    if (error.code == heif_error_Ok) {
        error = heif_context_write_to_file(context, QFile::encodeName(file).constData());
    }
    if (error.code != heif_error_Ok) {
        *oError = std::string(iName) + ": " + error.message;
    }
    if (image != nullptr) {
        heif_image_release(image);
    }
    if (encoder != nullptr) {
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    return error.code == heif_error_Ok ? file : QString();
}

// The photo as a lossy JPEG XL (distance 1, default effort); empty when the encoder fails.
QString JxlPhoto() {
    const QString file = Folder().filePath(QStringLiteral("12mp.jxl"));
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    FillPhoto(rgb.data(), static_cast<qsizetype>(kWidth) * 3, kWidth, kHeight, false);
    JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = kWidth;
    info.ysize = kHeight;
    info.bits_per_sample = 8;
    info.uses_original_profile = JXL_FALSE;
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(encoder.get(), &colour) != JXL_ENC_SUCCESS ||
        JxlEncoderSetFrameDistance(settings, 1.0f) != JXL_ENC_SUCCESS ||
        JxlEncoderAddImageFrame(settings, &format, rgb.data(), rgb.size()) != JXL_ENC_SUCCESS) {
        return QString();
    }
    JxlEncoderCloseInput(encoder.get());
    std::vector<uint8_t> out(1 << 20);
    size_t used = 0;
    for (;;) {
        uint8_t* next = out.data() + used;
        size_t left = out.size() - used;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &left);
        used = static_cast<size_t>(next - out.data());
        if (status == JXL_ENC_SUCCESS) {
            break;
        }
        if (status != JXL_ENC_NEED_MORE_OUTPUT) {
            return QString();
        }
        out.resize(out.size() * 2);
    }
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(reinterpret_cast<const char*>(out.data()), static_cast<qint64>(used)) !=
            static_cast<qint64>(used)) {
        return QString();
    }
    return file;
}

// libheif alone, as an application using it would: the file read, the primary image decoded to
// interleaved RGB. False when any step fails.
bool LibheifDecode(const QByteArray& iName) {
    heif_context* context = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    bool ok =
        heif_context_read_from_file(context, iName.constData(), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr)
                .code == heif_error_Ok;
    if (image != nullptr) {
        int stride = 0;
        const uint8_t* rows =
            heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
        ok = ok && rows != nullptr;
        benchmark::DoNotOptimize(rows);
        heif_image_release(image);
    }
    if (handle != nullptr) {
        heif_image_handle_release(handle);
    }
    heif_context_free(context);
    return ok;
}

// libjxl alone: the file read, its first frame decoded to interleaved RGB in one buffer.
bool LibjxlDecode(const QString& iPath) {
    QFile file(iPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray data = file.readAll();
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE);
    JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(data.constData()),
                       static_cast<size_t>(data.size()));
    JxlDecoderCloseInput(decoder.get());
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::vector<uint8_t> pixels;
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
            case JXL_DEC_BASIC_INFO:
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
                size_t size = 0;
                JxlDecoderImageOutBufferSize(decoder.get(), &format, &size);
                pixels.resize(size);
                JxlDecoderSetImageOutBuffer(decoder.get(), &format, pixels.data(), size);
                break;
            }
            case JXL_DEC_FULL_IMAGE:
                benchmark::DoNotOptimize(pixels.data());
                return true;
            default:
                return false;
        }
    }
}

// Argument 0: HEIC, 1: AVIF, 2: JPEG XL. The program's road, Lumora's bitmap decode alone in this
// process (no worker) and the library alone, in turn, the first of each round rotating, each
// round under the same load of the machine; the medians and the median ratios to the library.
void BM_HeifJxl12Mp_WorkerVsLibrary(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    static std::string errors[3] = {"", "", "the JPEG XL encoder failed"};
    static const QString files[3] = {HeifPhoto(heif_compression_HEVC, "12mp.heic", &errors[0]),
                                     HeifPhoto(heif_compression_AV1, "12mp.avif", &errors[1]),
                                     JxlPhoto()};
    const auto which = static_cast<size_t>(state.range(0));
    const QString& path = files[which];
    if (path.isEmpty()) {
        state.SkipWithError(("no file: " + errors[which]).c_str());
        return;
    }
    const QByteArray name = QFile::encodeName(path);
    std::vector<double> times[3];  // worker, in process, the library
    std::vector<double> workerRatio;
    std::vector<double> inProcessRatio;
    bool ok = true;
    const auto way = [&](int i) {
        const auto t0 = Clock::now();
        if (i == 0) {
            const QImage picture = mdlPictureFile::LoadPictureFile(path);
            benchmark::DoNotOptimize(TouchPages(picture));
        } else if (i == 1) {
            FIBITMAP* bitmap = MFreeImage::LoadImageFile(path);
            benchmark::DoNotOptimize(FreeImage_GetBits(bitmap));
            FreeImage_Unload(bitmap);
        } else {
            ok = (which == 2 ? LibjxlDecode(path) : LibheifDecode(name)) && ok;
        }
        times[i].push_back(Ms(t0, Clock::now()));
    };
    try {
        mdlPictureFile::LoadPictureFile(path);  // the pool is warm before timing starts
        int round = 0;
        for (auto _ : state) {
            for (int k = 0; k < 3; ++k) {
                way((round + k) % 3);
            }
            ++round;
            if (!ok) {
                state.SkipWithError("the library failed");
                return;
            }
            workerRatio.push_back(times[0].back() / times[2].back());
            inProcessRatio.push_back(times[1].back() / times[2].back());
        }
    } catch (const NumberedError& e) {
        state.SkipWithError(("the file was refused: " + std::to_string(e.number())).c_str());
        return;
    }
    state.counters["worker_ms"] = Median(times[0]);
    state.counters["in_process_ms"] = Median(times[1]);
    state.counters["library_ms"] = Median(times[2]);
    state.counters["worker_ratio"] = Median(workerRatio);
    state.counters["in_process_ratio"] = Median(inProcessRatio);
    state.counters["file_bytes"] = static_cast<double>(QFile(path).size());
    state.SetLabel("load " + LoadAverage());
}

// A 500-pixel thumbnail of the JPEG XL photo in this process, as the worker makes it: from the DC
// pass (500 is 1/8 of the longer side) and, one pixel larger, from the whole frame scaled down,
// in turn, the first of each pair alternating. The medians and their ratio (DC / whole).
void BM_Jxl12Mp_ThumbnailDcVsWhole(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    static const QString path = JxlPhoto();
    if (path.isEmpty()) {
        state.SkipWithError("the JPEG XL encoder failed");
        return;
    }
    std::vector<double> dc;
    std::vector<double> whole;
    std::vector<double> ratio;
    try {
        const int sides[2] = {kWidth / 8, kWidth / 8 + 1};
        int round = 0;
        for (auto _ : state) {
            for (int k = 0; k < 2; ++k) {
                const int maxSide = sides[(round + k) % 2];
                const auto t0 = Clock::now();
                QSize own;
                FIBITMAP* thumbnail = MFreeImage::LoadReducedImageFile(path, maxSide, &own, false);
                benchmark::DoNotOptimize(FreeImage_GetBits(thumbnail));
                FreeImage_Unload(thumbnail);
                (maxSide == sides[0] ? dc : whole).push_back(Ms(t0, Clock::now()));
            }
            ++round;
            ratio.push_back(dc.back() / whole.back());
        }
    } catch (const NumberedError& e) {
        state.SkipWithError(("the file was refused: " + std::to_string(e.number())).c_str());
        return;
    }
    state.counters["dc_ms"] = Median(dc);
    state.counters["whole_ms"] = Median(whole);
    state.counters["ratio"] = Median(ratio);
    state.counters["file_bytes"] = static_cast<double>(QFile(path).size());
    state.SetLabel("load " + LoadAverage());
}

// The work happens partly in another process, so only wall-clock time means anything.
BENCHMARK(BM_HeifJxl12Mp_WorkerVsLibrary)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(4);
BENCHMARK(BM_Jxl12Mp_ThumbnailDcVsWhole)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
