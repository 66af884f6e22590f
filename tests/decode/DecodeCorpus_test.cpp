// The regression corpus: every test picture damaged in a few thousand deterministic ways (bit
// flips, overwrites, truncation, huge declared sizes), each loaded through LoadPictureFile in this
// one process. Each must end as a picture or as error 481; this process must survive them all and
// stay small. HEIF, AVIF and JPEG XL get a hundred mutants each more, aimed at their boxes and
// headers (tests/fuzz/DecodeMutants.h; scripts/fuzz runs thousands).

#include <gtest/gtest.h>
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>

#include "decode/mdlPictureFile.h"
#include "fuzz/DecodeMutants.h"
#include "support/TestSupport.h"

namespace {

using namespace DecodeMutants;

constexpr int kMutationsPerFile = 96;
constexpr int kMutantsPerContainerFormat = 100;

// Peak memory of this process besides the pictures it holds; every load happens in a worker, so
// it stays small.
constexpr long kCeilingMegabytes = 512;

// What libjxl reads of a codestream's headers; all zero when it cannot.
JxlBasicInfo BasicInfo(const QByteArray& bytes) {
    JxlBasicInfo info{};
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(decoder.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(bytes.constData()),
                           static_cast<size_t>(bytes.size())) != JXL_DEC_SUCCESS) {
        return info;
    }
    JxlDecoderCloseInput(decoder.get());
    if (JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
        JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) {
        info = JxlBasicInfo{};
    }
    return info;
}

void Report(const char* what, const Tally& t) {
    std::printf(
        "%s: %d damaged files: %d loaded, %d refused (%lld worker crashes, %lld worker "
        "timeouts, %lld garbled answers); largest picture %lld MB; peak memory of this process %ld "
        "MB\n",
        what, t.total, t.pictures(), t.refused(), static_cast<long long>(t.crashes),
        static_cast<long long>(t.timeouts), static_cast<long long>(t.garbled),
        static_cast<long long>(t.largestPicture >> 20), t.peakMegabytes);
    for (const auto& [format, counts] : t.byFormat) {
        std::printf("  %s: %d loaded, %d refused\n", qPrintable(format), counts.first,
                    counts.second);
    }
    for (const QString& suspect : t.suspects) {
        std::printf("  suspect %s\n", qPrintable(suspect));
    }
}

void ExpectEveryOneEnded(const Tally& t) {
    EXPECT_TRUE(t.failures.isEmpty()) << qPrintable(t.failures.join('\n'));
    EXPECT_EQ(t.pictures() + t.refused(), t.total);
    EXPECT_EQ(t.garbled, 0);
    EXPECT_LT(t.PeakBesidesPictures(), kCeilingMegabytes);
}

// A printed format and index must give the same bytes again, and the indices must differ.
TEST(DecodeCorpus, MutatorsAreDeterministic) {
    for (const Format& format : Formats()) {
        const std::vector<Original> files = TestFiles(format.extensions);
        ASSERT_FALSE(files.empty()) << format.name;
        const Original& file = files.front();
        QSet<QByteArray> distinct;
        for (int i = 0; i < 32; ++i) {
            const QByteArray mutant = format.mutate(file.bytes, file.name, i);
            EXPECT_EQ(mutant, format.mutate(file.bytes, file.name, i)) << format.name << i;
            distinct.insert(mutant);
        }
        EXPECT_GE(distinct.size(), 28) << format.name;
    }
    const QByteArray original = QByteArray(200, 'a') + QByteArray(200, 'b');
    EXPECT_EQ(Mutate(original, "x.bmp", 3), Mutate(original, "x.bmp", 3));
    EXPECT_NE(Mutate(original, "x.bmp", 0), Mutate(original, "y.bmp", 0));
}

// The aimed mutations are only worth their run when they find their fields in the real files:
// the item boxes in every whole HEIF and AVIF, the frame and scan headers in every JPEG; for
// JPEG XL, a codestream put in the container still loads as the very same picture, and a
// rewritten size header is read by libjxl as the size written with every other header field as it
// was.
TEST(DecodeCorpus, AimedMutationsFindTheirFields) {
    for (const Original& file : TestFiles({"heic", "avif"})) {
        if (file.name.contains("cut")) {
            continue;
        }
        const std::vector<Box> boxes = Boxes(file.bytes);
        QStringList types;
        for (const Box& box : boxes) {
            types << QString::fromLatin1(box.type);
        }
        for (const char* type :
             {"ftyp", "meta", "pitm", "iloc", "iinf", "infe", "ipco", "ispe", "ipma", "mdat"}) {
            EXPECT_TRUE(types.contains(type)) << qPrintable(file.name) << " " << type;
        }
        std::vector<quint64> ids;
        const std::vector<Field> fields = ItemFields(file.bytes, boxes, ids);
        EXPECT_GE(fields.size(), 10u) << qPrintable(file.name);
        EXPECT_NE(std::find(ids.begin(), ids.end(), 1u), ids.end()) << qPrintable(file.name);
    }
    for (const Original& file : TestFiles({"jpg"})) {
        const std::vector<Segment> segments = Segments(file.bytes);
        const auto has = [&](int lo, int hi) {
            return std::any_of(segments.begin(), segments.end(),
                               [&](const Segment& s) { return s.marker >= lo && s.marker <= hi; });
        };
        EXPECT_TRUE(has(0xC0, 0xC2) && has(0xDA, 0xDA) && has(0xC4, 0xC4) && has(0xDB, 0xDB))
            << qPrintable(file.name);
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto load = [&](const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            return QImage();
        }
        f.close();
        try {
            return mdlPictureFile::LoadPictureFile(path, false);
        } catch (const NumberedError&) {
            return QImage();
        }
    };
    int checked = 0;
    for (const Original& file : TestFiles({"jxl"})) {
        const QImage picture = load(file.name, file.bytes);
        const JxlBasicInfo own = BasicInfo(file.bytes);
        if (picture.isNull() || own.xsize == 0) {
            continue;  // the cut and huge ones
        }
        ++checked;
        for (const QByteArray& same : {JxlContainer(file.bytes, 1), JxlContainer(file.bytes, 3)}) {
            EXPECT_TRUE(TestSupport::SamePixels(load("again-" + file.name, same), picture))
                << qPrintable(file.name);
        }
        const quint32 sizes[][2] = {{65535, 600}, {1u << 30, 1}, {64, 49}, {9, 8}};
        for (const auto& size : sizes) {
            const JxlBasicInfo info = BasicInfo(WithJxlSize(file.bytes, size[0], size[1]));
            EXPECT_EQ(info.xsize, size[0]) << qPrintable(file.name);
            EXPECT_EQ(info.ysize, size[1]) << qPrintable(file.name);
            EXPECT_EQ(info.bits_per_sample, own.bits_per_sample) << qPrintable(file.name);
            EXPECT_EQ(info.alpha_bits, own.alpha_bits) << qPrintable(file.name);
            EXPECT_EQ(info.orientation, own.orientation) << qPrintable(file.name);
            EXPECT_EQ(info.have_animation, own.have_animation) << qPrintable(file.name);
        }
    }
    EXPECT_GE(checked, 3);
}

TEST(DecodeCorpus, EveryDamagedFileEndsAsAPictureOrError481) {
    const std::vector<Original> files = TestFiles({});
    // Every format the program reads is here.
    QStringList extensions;
    for (const Original& file : files) {
        extensions << file.name.section('.', -1).toLower();
    }
    for (const char* extension :
         {"bmp", "gif", "ico", "jpg", "pcx", "png", "psd", "tga", "tif", "heic", "avif", "jxl"}) {
        ASSERT_TRUE(extensions.contains(extension)) << extension;
    }
    std::vector<Job> jobs;
    for (const Original& file : files) {
        for (int i = 0; i < kMutationsPerFile; ++i) {
            jobs.push_back({file.name.section('.', -1).toLower(), &file, i, &Mutate});
        }
    }
    const Tally tally = LoadAll(jobs);
    Report("corpus", tally);
    ExpectEveryOneEnded(tally);
}

TEST(DecodeCorpus, EveryAimedHeifAvifJxlMutantEndsAsAPictureOrError481) {
    std::vector<std::vector<Original>> files;
    files.reserve(Formats().size());  // the jobs point into it
    std::vector<Job> jobs;
    for (const Format& format : Formats()) {
        if (QByteArray(format.name) == "jpeg") {
            continue;  // its files are in the corpus above; scripts/fuzz aims at them
        }
        files.push_back(TestFiles(format.extensions));
        ASSERT_FALSE(files.back().empty()) << format.name;
        AddJobs(jobs, format, files.back(), 0, kMutantsPerContainerFormat);
    }
    const Tally tally = LoadAll(jobs);
    Report("aimed", tally);
    ExpectEveryOneEnded(tally);
    for (const auto& [format, counts] : tally.byFormat) {
        EXPECT_EQ(counts.first + counts.second, kMutantsPerContainerFormat) << qPrintable(format);
    }
}

}  // namespace
