#include "image/cDecodePool.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "app/NumberedError.h"
#include "image/MFreeImage.h"
#include "image/mdlDecodeWorker.h"
#include "support/TestSupport.h"

using Outcome = cDecodePool::Outcome;
using TestSupport::DataFile;

namespace {

QByteArray RowBytes(const QImage& image) {
    QByteArray bytes;
    const int perRow = (image.width() * image.depth() + 7) / 8;
    for (int y = 0; y < image.height(); ++y) {
        bytes.append(reinterpret_cast<const char*>(image.constScanLine(y)), perRow);
    }
    return bytes;
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(path);
    f.write(bytes);
}

quint32 Crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc ^= static_cast<uchar>(ch);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void AppendBigEndian(QByteArray& bytes, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.append(static_cast<char>((value >> shift) & 0xFF));
    }
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    QByteArray chunk;
    AppendBigEndian(chunk, static_cast<quint32>(data.size()));
    const QByteArray body = QByteArray(type) + data;
    chunk += body;
    AppendBigEndian(chunk, Crc32(body));
    return chunk;
}

// A small, well-formed PNG header declaring width x height pixels, with a few bytes of data.
QByteArray PngDeclaring(quint32 width, quint32 height) {
    QByteArray ihdr;
    AppendBigEndian(ihdr, width);
    AppendBigEndian(ihdr, height);
    ihdr.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) +
           PngChunk("IDAT", QByteArray("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10)) +
           PngChunk("IEND", QByteArray());
}

// A pool of one real worker with a short time limit, so a test sees restarts one by one.
cDecodePool OneWorker(int timeLimitMs = cDecodePool::kTimeLimitMs) {
    return cDecodePool({cDecodePool::WorkerProgram()}, 1, timeLimitMs);
}

TEST(DecodePool, WorkerIsFoundFromTheBuildTree) {
    EXPECT_TRUE(QFileInfo(cDecodePool::WorkerProgram()).isExecutable())
        << qPrintable(cDecodePool::WorkerProgram());
    EXPECT_GE(cDecodePool::Shared().Size(), 1);
}

TEST(DecodePool, WorkerGivesTheSamePictureAsAnInProcessDecode) {
    // Files FreeImage cannot read without damage are left to the tests below: in this process,
    // built with AddressSanitizer, they would stop it.
    const QStringList unsafe = {"bmp_rle8.bmp", "psd_rle.psd"};
    const QStringList files = QDir(DataFile(QString())).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 45);
    for (const QString& file : files) {
        if (unsafe.contains(file)) {
            continue;
        }
        QImage local;
        try {
            local = MFreeImage::ImageToPicture(MFreeImage::LoadImageFile(DataFile(file)), true);
        } catch (const NumberedError&) {
        }
        Outcome outcome = Outcome::Garbled;
        const QImage remote = cDecodePool::Shared().Decode(DataFile(file), &outcome);
        EXPECT_EQ(outcome, local.isNull() ? Outcome::Refused : Outcome::Loaded) << qPrintable(file);
        EXPECT_EQ(remote.format(), local.format()) << qPrintable(file);
        EXPECT_EQ(remote.size(), local.size()) << qPrintable(file);
        EXPECT_EQ(remote.colorTable(), local.colorTable()) << qPrintable(file);
        EXPECT_EQ(remote.dotsPerMeterX(), local.dotsPerMeterX()) << qPrintable(file);
        EXPECT_EQ(RowBytes(remote), RowBytes(local)) << qPrintable(file);
    }
}

TEST(DecodePool, PictureLivesOnTheSharedPagesAndIsPrivateToItsHolder) {
    QImage first = MFreeImage::LoadPictureFile(DataFile("jpg_baseline.jpg"));
    // Built on the worker's pages (mapped, so page-aligned), not copied into a buffer of its own.
    EXPECT_EQ(reinterpret_cast<quintptr>(first.constBits()) % 4096, 0u);
    const QRgb before = first.pixel(3, 3);
    first.setPixel(3, 3, qRgb(1, 2, 3));
    EXPECT_EQ(first.pixel(3, 3), qRgb(1, 2, 3));
    const QImage second = MFreeImage::LoadPictureFile(DataFile("jpg_baseline.jpg"));
    EXPECT_EQ(second.pixel(3, 3), before);
}

TEST(DecodePool, FilesThatBreakTheLibraryFailOnlyTheirOwnLoad) {
    cDecodePool pool = OneWorker();
    Outcome outcome = Outcome::Loaded;
    // FreeImage 3.18 writes outside its buffer on this one: the worker dies.
    EXPECT_TRUE(pool.Decode(DataFile("psd_rle.psd"), &outcome).isNull());
    EXPECT_TRUE(outcome == Outcome::Crashed || outcome == Outcome::Refused);
    EXPECT_TRUE(pool.Decode(DataFile("bmp_rle8.bmp"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Refused);
    EXPECT_FALSE(pool.Decode(DataFile("base.png"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Loaded);
    const cDecodePool::Counters c = pool.counters();
    EXPECT_EQ(c.started, 1 + c.crashed);
    EXPECT_EQ(c.loaded, 1);

    for (const char* file : {"psd_rle.psd", "bmp_rle8.bmp"}) {
        const auto error = [&]() -> int {
            try {
                MFreeImage::LoadPictureFile(DataFile(file));
            } catch (const NumberedError& e) {
                return e.number();
            }
            return 0;
        }();
        EXPECT_EQ(error, 481) << file;
    }
}

TEST(DecodePool, HangingDecoderIsKilledAtTheTimeLimit) {
    // The XBM reader of FreeImage 3.18 loops for ever on a file that ends inside its data.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.xbm"));
    WriteAll(path,
             "#define x_width 16\n#define x_height 16\nstatic char x_bits[] = {\n0x00, 0x01,");
    cDecodePool pool = OneWorker(400);
    Outcome outcome = Outcome::Loaded;
    EXPECT_TRUE(pool.Decode(path, &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::TimedOut);
    EXPECT_FALSE(pool.Decode(DataFile("base.png"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Loaded);
    EXPECT_EQ(pool.counters().started, 2);
    EXPECT_EQ(pool.counters().timedOut, 1);
}

TEST(DecodePool, HugeDeclaredSizesAreRefusedWithoutTakingTheMemory) {
    QTemporaryDir dir;
    cDecodePool pool = OneWorker();
    Outcome outcome = Outcome::Loaded;
    // A few dozen bytes that declare 60000 x 60000: refused from the header alone.
    WriteAll(dir.filePath("huge.png"), PngDeclaring(60000, 60000));
    EXPECT_TRUE(pool.Decode(dir.filePath("huge.png"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Refused);
    // Just over the pixel limit.
    WriteAll(dir.filePath("over.png"), PngDeclaring(16385, 16384));
    EXPECT_TRUE(pool.Decode(dir.filePath("over.png"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Refused);

    // GIF has no header-only reading: 65535 x 65535 meets the worker's memory limit instead.
    QByteArray gif("GIF89a\xFF\xFF\xFF\xFF\x00\x00\x00", 13);
    gif += QByteArray("\x2C\x00\x00\x00\x00\xFF\xFF\xFF\xFF\x00\x02\x02\x44\x01\x00\x3B", 16);
    WriteAll(dir.filePath("huge.gif"), gif);
    EXPECT_TRUE(pool.Decode(dir.filePath("huge.gif"), &outcome).isNull());
    EXPECT_TRUE(outcome == Outcome::Refused || outcome == Outcome::Crashed);
    EXPECT_EQ(pool.counters().timedOut, 0);
}

struct BrokenWorker {
    const char* script;  // run by /bin/sh -c in place of the worker
    Outcome outcome;
};

void PrintTo(const BrokenWorker& w, std::ostream* os) {
    *os << w.script;
}

class BrokenWorkers : public testing::TestWithParam<BrokenWorker> {};

TEST_P(BrokenWorkers, FailTheLoadAndAreReplaced) {
    QString script = QString::fromLatin1(GetParam().script);
    script.replace(QStringLiteral("REPLY_SIZE"), QString::number(sizeof(mdlDecodeWorker::Reply)));
    cDecodePool pool({QStringLiteral("/bin/sh"), QStringLiteral("-c"), script}, 1, 500);
    for (int round = 1; round <= 2; ++round) {
        Outcome outcome = Outcome::Loaded;
        EXPECT_TRUE(pool.Decode(DataFile("base.png"), &outcome).isNull());
        EXPECT_EQ(outcome, GetParam().outcome);
        // Replaced after each failure (and again when found dead while idle).
        EXPECT_GE(pool.counters().started, 1 + round);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, BrokenWorkers,
                         testing::Values(BrokenWorker{"exit 0", Outcome::Crashed},
                                         BrokenWorker{"kill -SEGV $$", Outcome::Crashed},
                                         BrokenWorker{"exec sleep 30", Outcome::TimedOut},
                                         // Echoes the request back: a message of the wrong size.
                                         BrokenWorker{"exec cat <&3 >&3", Outcome::Garbled},
                                         // A reply of the right size that is all zeros.
                                         BrokenWorker{
                                             "head -c REPLY_SIZE /dev/zero >&3; exec sleep 30",
                                             Outcome::Garbled}));

TEST(DecodePool, MissingWorkerProgramFailsTheLoad) {
    cDecodePool pool({QStringLiteral("/nonexistent/lumora-decode")}, 1, 500);
    Outcome outcome = Outcome::Loaded;
    EXPECT_TRUE(pool.Decode(DataFile("base.png"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Crashed);
    EXPECT_EQ(pool.counters().started, 0);
}

TEST(DecodePool, NoWorkerIsAskedForWhatIsNoFile) {
    cDecodePool pool = OneWorker();
    Outcome outcome = Outcome::Loaded;
    EXPECT_TRUE(pool.Decode(QStringLiteral("/dev/zero"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Refused);
    EXPECT_TRUE(pool.Decode(DataFile("no-such-file.png"), &outcome).isNull());
    EXPECT_TRUE(pool.Decode(QDir::tempPath(), &outcome).isNull());
    EXPECT_EQ(pool.counters().refused, 3);
}

TEST(DecodePool, RelativeNamesAreTheCallersFolder) {
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(DataFile(QString())));
    const QImage picture = MFreeImage::LoadPictureFile(QStringLiteral("png_rgb.png"));
    QDir::setCurrent(saved);
    EXPECT_EQ(picture.size(), QSize(64, 48));
}

TEST(DecodePool, ManyThreadsShareThePool) {
    const QStringList files = {"base.png",   "jpg_444.jpg",  "bmp_4.bmp",     "tif_lzw.tif",
                               "gif_il.gif", "png_1bit.png", "ico_multi.ico", "tga_rle.tga"};
    std::vector<QByteArray> expected;
    for (const QString& f : files) {
        expected.push_back(RowBytes(MFreeImage::LoadPictureFile(DataFile(f))));
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 24; ++i) {
                const int k = (i + t) % static_cast<int>(files.size());
                try {
                    if (RowBytes(MFreeImage::LoadPictureFile(DataFile(files[k]))) !=
                        expected[static_cast<size_t>(k)]) {
                        ++wrong;
                    }
                } catch (...) {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
