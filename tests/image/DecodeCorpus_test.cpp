// The regression corpus: every test picture damaged in a few thousand deterministic ways (bit
// flips, overwrites, truncation, huge declared sizes), each loaded through LoadPictureFile in this
// one process. Each must end as a picture or as error 481; this process must survive them all and
// stay small.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "base/NumberedError.h"
#include "image/MFreeImage.h"
#include "image/cDecodePool.h"
#include "image/mdlPictureFile.h"
#include "support/TestSupport.h"

namespace {

constexpr int kMutationsPerFile = 96;

// splitmix64: the same sequence on every machine and every run.
class Random {
public:
    explicit Random(quint64 seed) : mState(seed) {}
    quint64 Next() {
        quint64 z = (mState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<quint64>(n)); }
    // An offset, half the time inside the first 256 bytes where the headers are.
    int Offset(int size) { return Below(Next() % 2 == 0 ? qMin(size, 256) : size); }

private:
    quint64 mState;
};

quint64 Fnv1a(const QByteArray& text) {
    quint64 h = 0xCBF29CE484222325ull;
    for (const char c : text) {
        h = (h ^ static_cast<uchar>(c)) * 0x100000001B3ull;
    }
    return h;
}

quint32 Crc32(const char* data, int size) {
    quint32 crc = 0xFFFFFFFFu;
    for (int i = 0; i < size; ++i) {
        crc ^= static_cast<uchar>(data[i]);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void Put16(QByteArray& b, int at, quint32 v, bool bigEndian) {
    if (at < 0 || at + 2 > b.size()) {
        return;
    }
    b[at + (bigEndian ? 0 : 1)] = static_cast<char>((v >> 8) & 0xFF);
    b[at + (bigEndian ? 1 : 0)] = static_cast<char>(v & 0xFF);
}

void Put32(QByteArray& b, int at, quint32 v, bool bigEndian) {
    if (at < 0 || at + 4 > b.size()) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        b[at + i] = static_cast<char>((v >> shift) & 0xFF);
    }
}

quint32 Get16(const QByteArray& b, int at, bool bigEndian) {
    if (at < 0 || at + 2 > b.size()) {
        return 0;
    }
    const auto hi = static_cast<uchar>(b[at + (bigEndian ? 0 : 1)]);
    const auto lo = static_cast<uchar>(b[at + (bigEndian ? 1 : 0)]);
    return (quint32(hi) << 8) | lo;
}

quint32 Get32(const QByteArray& b, int at, bool bigEndian) {
    return bigEndian ? (Get16(b, at, true) << 16) | Get16(b, at + 2, true)
                     : (Get16(b, at + 2, false) << 16) | Get16(b, at, false);
}

// Sizes a decoder should never be asked to allocate, and some it just might.
quint32 HugeValue(Random& r, quint32 max) {
    const quint32 values[] = {max, max - 1, 60000, 40000, 32768, 20000, 16385, 0x7FFFFFFF};
    return qMin(max, values[r.Below(8)]);
}

// Writes huge width and height where the format keeps them; false when it knows no place.
bool DeclareHugeSize(QByteArray& b, const QString& extension, Random& r) {
    const quint32 w = HugeValue(r, 0xFFFFFFFFu);
    const quint32 h = HugeValue(r, 0xFFFFFFFFu);
    if (extension == "bmp") {
        Put32(b, 18, w, false);
        Put32(b, 22, r.Below(2) ? h : 0u - qMin(h, 0x7FFFFFFFu), false);
    } else if (extension == "png") {
        // Width and height in IHDR, with its checksum made right again so the reader believes it.
        Put32(b, 16, w, true);
        Put32(b, 20, h, true);
        if (b.size() >= 33) {
            Put32(b, 29, Crc32(b.constData() + 12, 17), true);
        }
    } else if (extension == "gif") {
        Put16(b, 6, qMin(w, 0xFFFFu), false);
        Put16(b, 8, qMin(h, 0xFFFFu), false);
        const int at = b.indexOf('\x2C', 13);
        Put16(b, at + 5, qMin(w, 0xFFFFu), false);
        Put16(b, at + 7, qMin(h, 0xFFFFu), false);
    } else if (extension == "tga") {
        Put16(b, 12, qMin(w, 0xFFFFu), false);
        Put16(b, 14, qMin(h, 0xFFFFu), false);
    } else if (extension == "pcx") {
        Put16(b, 8, qMin(w, 0xFFFFu), false);
        Put16(b, 10, qMin(h, 0xFFFFu), false);
        if (r.Below(2)) {
            Put16(b, 66, qMin(w, 0xFFFFu), false);
        }
    } else if (extension == "psd") {
        Put32(b, 14, h, true);
        Put32(b, 18, w, true);
    } else if (extension == "jpg") {
        for (int i = 2; i + 9 < b.size(); ++i) {
            const auto m = static_cast<uchar>(b[i + 1]);
            if (static_cast<uchar>(b[i]) == 0xFF && m >= 0xC0 && m <= 0xC2) {
                Put16(b, i + 5, qMin(h, 0xFFFFu), true);
                Put16(b, i + 7, qMin(w, 0xFFFFu), true);
                break;
            }
        }
    } else if (extension == "tif") {
        // ImageWidth (256) and ImageLength (257) in the first directory.
        const bool big = b.startsWith("MM");
        const int ifd = static_cast<int>(Get32(b, 4, big));
        const int entries = static_cast<int>(Get16(b, ifd, big));
        for (int e = 0; e < entries && e < 64; ++e) {
            const int at = ifd + 2 + 12 * e;
            const quint32 tag = Get16(b, at, big);
            if (tag == 256 || tag == 257) {
                const quint32 v = tag == 256 ? w : h;
                if (Get16(b, at + 2, big) == 3) {
                    Put16(b, at + 8, qMin(v, 0xFFFFu), big);
                } else {
                    Put32(b, at + 8, v, big);
                }
            }
        }
    } else if (extension == "ico") {
        // The first image's own header: a bitmap header (40) or a PNG.
        const int at = static_cast<int>(Get32(b, 6 + 12, false));
        if (Get32(b, at, false) == 40) {
            Put32(b, at + 4, w, false);
            Put32(b, at + 8, h, false);
        } else {
            Put32(b, at + 16, w, true);
            Put32(b, at + 20, h, true);
        }
    } else {
        return false;
    }
    return true;
}

QByteArray Mutate(const QByteArray& original, const QString& name, int index) {
    Random r(Fnv1a(name.toUtf8()) ^ (quint64(index) * 0xA24BAED4963EE407ull));
    QByteArray b = original;
    const int size = static_cast<int>(b.size());
    switch (index % 4) {
        case 0: {  // bit flips
            const int flips = 1 + r.Below(8);
            for (int i = 0; i < flips; ++i) {
                const int at = r.Offset(size);
                b[at] = static_cast<char>(b[at] ^ (1 << r.Below(8)));
            }
            break;
        }
        case 1: {  // overwrites: random bytes, or the values that break length fields
            const int runs = 1 + r.Below(3);
            for (int i = 0; i < runs; ++i) {
                const int at = r.Offset(size);
                const int length = 1 + r.Below(16);
                const char special[] = {'\x00', '\xFF', '\x7F', '\x80'};
                const int kind = r.Below(5);
                for (int k = at; k < qMin(size, at + length); ++k) {
                    b[k] = kind < 4 ? special[kind] : static_cast<char>(r.Next());
                }
            }
            break;
        }
        case 2:  // truncation, anywhere from nothing to one byte short
            b.truncate(r.Below(size));
            break;
        default: {
            const QString extension = name.section('.', -1).toLower();
            if (!DeclareHugeSize(b, extension, r)) {
                for (int i = 0; i < 4; ++i) {
                    const int at = r.Offset(size) & ~3;
                    Put32(b, at, 0xFFFFFFFFu, false);
                }
            }
            if (r.Below(2) != 0) {
                b.truncate(qMax(64, size / 2));
            }
            break;
        }
    }
    return b;
}

TEST(DecodeCorpus, MutatorIsDeterministic) {
    const QByteArray original = QByteArray(200, 'a') + QByteArray(200, 'b');
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Mutate(original, "x.bmp", i), Mutate(original, "x.bmp", i));
    }
    EXPECT_NE(Mutate(original, "x.bmp", 0), Mutate(original, "y.bmp", 0));
}

TEST(DecodeCorpus, EveryDamagedFileEndsAsAPictureOrError481) {
    const QDir data(TestSupport::DataFile(QString()));
    const QStringList names = data.entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(names.size(), 72);
    std::vector<std::pair<QString, QByteArray>> originals;
    for (const QString& name : names) {
        QFile f(data.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        originals.emplace_back(name, f.readAll());
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    const cDecodePool::Counters before = cDecodePool::Shared().counters();
    const int total = static_cast<int>(originals.size()) * kMutationsPerFile;
    std::atomic<int> next{0};
    std::atomic<int> pictures{0};
    std::atomic<int> refused{0};
    std::mutex failuresLock;
    QStringList failures;
    auto work = [&] {
        for (int job = next++; job < total; job = next++) {
            const auto& [name, bytes] = originals[static_cast<size_t>(job / kMutationsPerFile)];
            const int index = job % kMutationsPerFile;
            // The extension stays: it chooses the decoder.
            const QString path = dir.filePath(QStringLiteral("%1-%2").arg(index).arg(name));
            {
                QFile f(path);
                if (!f.open(QIODevice::WriteOnly)) {
                    continue;
                }
                f.write(Mutate(bytes, name, index));
            }
            QString failure;
            try {
                // Upright, as the program opens pictures: damaged EXIF blocks are read too.
                const QImage picture = mdlPictureFile::LoadPictureFile(path, true);
                if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0 ||
                    qint64(picture.width()) * picture.height() > MFreeImage::kMaxPicturePixels) {
                    failure = QStringLiteral("a bad picture");
                } else {
                    ++pictures;
                }
            } catch (const NumberedError& e) {
                if (e.number() == 481 && e.source() == QStringLiteral("MFreeImage")) {
                    ++refused;
                } else {
                    failure = QStringLiteral("error %1").arg(e.number());
                }
            } catch (...) {
                failure = QStringLiteral("a foreign exception");
            }
            if (!failure.isEmpty()) {
                std::lock_guard<std::mutex> lock(failuresLock);
                failures << QStringLiteral("%1 #%2: %3").arg(name).arg(index).arg(failure);
            }
            QFile::remove(path);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < cDecodePool::Shared().Size(); ++t) {
        threads.emplace_back(work);
    }
    for (std::thread& t : threads) {
        t.join();
    }

    EXPECT_TRUE(failures.isEmpty()) << qPrintable(failures.join('\n'));
    EXPECT_EQ(pictures + refused, total);
    const cDecodePool::Counters after = cDecodePool::Shared().counters();
    const qint64 crashes = after.crashed - before.crashed;
    const qint64 timeouts = after.timedOut - before.timedOut;
    const qint64 garbled = after.garbled - before.garbled;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peakMegabytes = usage.ru_maxrss / 1024;
    std::printf(
        "corpus: %d damaged files: %d loaded, %d refused (of which %lld worker crashes, %lld "
        "worker timeouts, %lld garbled answers); peak memory of this process %ld MB\n",
        total, pictures.load(), refused.load(), static_cast<long long>(crashes),
        static_cast<long long>(timeouts), static_cast<long long>(garbled), peakMegabytes);
    EXPECT_EQ(garbled, 0);
    EXPECT_LT(peakMegabytes, 512);
}

}  // namespace
