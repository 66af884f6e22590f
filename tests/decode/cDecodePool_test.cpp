#include "decode/cDecodePool.h"

#include <FreeImage.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <future>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "base/NumberedError.h"
#include "decode/DecodeProtocol.h"
#include "decode/DecodeTestSupport.h"
#include "decode/cWorkerProcess.h"
#include "decode/mdlPictureFile.h"
#include "image/MFreeImage.h"
#include "support/TestSupport.h"

using Outcome = cDecodePool::Outcome;
using TestSupport::DataFile;

namespace {

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

// A pool of one real worker, so a test sees restarts one by one. Only a test that expects
// TimedOut gives a short time limit: on a loaded machine anything else may take a while.
cDecodePool OneWorker(int timeLimitMs = cDecodePool::kTimeLimitMs) {
    return cDecodePool({cWorkerProcess::Program()}, 1, timeLimitMs);
}

TEST(DecodePool, WorkerNamedByTheTestEnvironmentRuns) {
    EXPECT_TRUE(QFileInfo(cWorkerProcess::Program()).isExecutable())
        << qPrintable(cWorkerProcess::Program());
    EXPECT_GE(cDecodePool::Shared().Size(), 1);
}

TEST(DecodePool, WorkerGivesTheSamePictureAsAnInProcessDecode) {
    // Files FreeImage cannot read without damage are left to the tests below: in this process,
    // built with AddressSanitizer, they would stop it.
    const QStringList unsafe = {"bmp_rle8.bmp", "psd_rle.psd"};
    const QStringList files = QDir(DataFile(QString())).entryList(QDir::Files);
    ASSERT_GE(files.size(), 77);  // every test file there
    for (const QString& file : files) {
        if (unsafe.contains(file)) {
            continue;
        }
        QImage local;
        try {
            local =
                MFreeImage::ImageToPicture(MFreeImage::LoadImageFile(DataFile(file), true), true);
        } catch (const NumberedError&) {
        }
        // Upright on both sides: the request carries it to the worker (the photos with an EXIF
        // orientation differ otherwise).
        Outcome outcome = Outcome::Garbled;
        const QImage remote = cDecodePool::Shared().Decode(DataFile(file), &outcome, true);
        EXPECT_EQ(outcome, local.isNull() ? Outcome::Refused : Outcome::Loaded) << qPrintable(file);
        EXPECT_EQ(remote.format(), local.format()) << qPrintable(file);
        EXPECT_EQ(remote.size(), local.size()) << qPrintable(file);
        // The worker's table as the file has it, padded with black to 256 for Indexed8 (a 4-bit
        // file has 16 colours).
        QList<QRgb> table = local.colorTable();
        if (local.format() == QImage::Format_Indexed8) {
            table.resize(256, qRgb(0, 0, 0));
        }
        EXPECT_EQ(remote.colorTable(), table) << qPrintable(file);
        EXPECT_EQ(remote.dotsPerMeterX(), local.dotsPerMeterX()) << qPrintable(file);
        EXPECT_EQ(TestSupport::RowBytes(remote), TestSupport::RowBytes(local)) << qPrintable(file);
    }
}

TEST(DecodePool, PictureLivesOnTheSharedPagesAndIsPrivateToItsHolder) {
    QImage first = mdlPictureFile::LoadPictureFile(DataFile("jpg_baseline.jpg"));
    // Built on the worker's pages (mapped, so page-aligned), not copied into a buffer of its own.
    EXPECT_EQ(reinterpret_cast<quintptr>(first.constBits()) % 4096, 0u);
    const QRgb before = first.pixel(3, 3);
    first.setPixel(3, 3, qRgb(1, 2, 3));
    EXPECT_EQ(first.pixel(3, 3), qRgb(1, 2, 3));
    const QImage second = mdlPictureFile::LoadPictureFile(DataFile("jpg_baseline.jpg"));
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
                mdlPictureFile::LoadPictureFile(DataFile(file));
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
    const QList<qint64> before = pool.IdleWorkers();
    Outcome outcome = Outcome::Loaded;
    EXPECT_TRUE(pool.Decode(path, &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::TimedOut);
    // Replaced at once by a new worker, which is running.
    EXPECT_EQ(pool.counters().started, 2);
    EXPECT_EQ(pool.counters().timedOut, 1);
    const QList<qint64> after = pool.IdleWorkers();
    ASSERT_EQ(after.size(), 1);
    EXPECT_FALSE(before.contains(after.front()));
    EXPECT_EQ(::kill(static_cast<pid_t>(after.front()), 0), 0);
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
    // Short only where the outcome is a time-out; any other answer must not race the limit.
    int timeLimitMs = cDecodePool::kTimeLimitMs;
};

void PrintTo(const BrokenWorker& w, std::ostream* os) {
    *os << w.script;
}

class BrokenWorkers : public testing::TestWithParam<BrokenWorker> {};

TEST_P(BrokenWorkers, FailTheLoadAndAreReplaced) {
    QString script = QString::fromLatin1(GetParam().script);
    script.replace(QStringLiteral("REPLY_SIZE"), QString::number(sizeof(DecodeProtocol::Reply)));
    cDecodePool pool({QStringLiteral("/bin/sh"), QStringLiteral("-c"), script}, 1,
                     GetParam().timeLimitMs);
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
                                         BrokenWorker{"exec sleep 30", Outcome::TimedOut, 500},
                                         // Echoes the request back: a message of the wrong size.
                                         BrokenWorker{"exec cat <&3 >&3", Outcome::Garbled},
                                         // A reply of the right size that is all zeros.
                                         BrokenWorker{
                                             "head -c REPLY_SIZE /dev/zero >&3; exec sleep 30",
                                             Outcome::Garbled}));

QStringList gWarnings;

void KeepWarning(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg) {
        gWarnings << message;
    }
}

TEST(DecodePool, WorkerThatCannotStartFailsTheLoadWithOneWarning) {
    QTemporaryDir dir;
    const QString notExecutable = dir.filePath(QStringLiteral("lumora-decode"));
    WriteAll(notExecutable, "#!/bin/sh\n");
    ASSERT_TRUE(QFile::setPermissions(notExecutable, QFile::ReadOwner | QFile::WriteOwner));
    const QString missing = QStringLiteral("/nonexistent/lumora-decode");

    // The first failure of this process is the one said; later ones are not repeated.
    gWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(KeepWarning);
    for (const QString& program : {notExecutable, missing}) {
        cDecodePool pool({program}, 2, cDecodePool::kTimeLimitMs);
        for (int round = 0; round < 2; ++round) {
            Outcome outcome = Outcome::Loaded;
            EXPECT_TRUE(pool.Decode(DataFile("base.png"), &outcome).isNull());
            EXPECT_EQ(outcome, Outcome::Crashed);
        }
        EXPECT_EQ(pool.counters().started, 0);
    }
    qInstallMessageHandler(previous);
    ASSERT_EQ(gWarnings.size(), 1) << qPrintable(gWarnings.join('\n'));
    EXPECT_TRUE(gWarnings.front().contains(notExecutable)) << qPrintable(gWarnings.front());
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

TEST(DecodePool, ACompletionThatThrowsFailsOnlyItself) {
    cDecodePool pool = OneWorker();
    std::atomic<int> thrown{0};
    std::promise<void> threw;
    std::future<void> first = threw.get_future();
    pool.Submit(cDecodePool::NewTicket(), DataFile("png_rgb.png"), cDecodePool::Lane::Interactive,
                0, false, [&thrown, &threw](qint64, const cDecodePool::Answer&) {
                    if (++thrown == 1) {
                        threw.set_value();
                    }
                    throw std::bad_alloc();
                });
    // The pool's thread lived on: the next request is answered, and the first one ends too
    // (a second helper may answer the second request before it).
    EXPECT_EQ(pool.Decode(DataFile("png_rgb.png")).size(), QSize(64, 48));
    ASSERT_EQ(first.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(thrown.load(), 1);
}

TEST(DecodePool, RelativeNamesAreTheCallersFolder) {
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(DataFile(QString())));
    const QImage picture = mdlPictureFile::LoadPictureFile(QStringLiteral("png_rgb.png"));
    QDir::setCurrent(saved);
    EXPECT_EQ(picture.size(), QSize(64, 48));
}

TEST(DecodePool, ManyThreadsShareThePool) {
    const QStringList files = {"base.png",   "jpg_444.jpg",  "bmp_4.bmp",     "tif_lzw.tif",
                               "gif_il.gif", "png_1bit.png", "ico_multi.ico", "tga_rle.tga"};
    std::vector<QByteArray> expected;
    for (const QString& f : files) {
        expected.push_back(TestSupport::RowBytes(mdlPictureFile::LoadPictureFile(DataFile(f))));
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 24; ++i) {
                const int k = (i + t) % static_cast<int>(files.size());
                try {
                    if (TestSupport::RowBytes(mdlPictureFile::LoadPictureFile(
                            DataFile(files[k]))) != expected[static_cast<size_t>(k)]) {
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

// ---- Stopped workers are reaped without waiting -----------------------------------------------

// Kills the given workers at the end of a test, whatever happened in it: those that are still
// running children of this process (a reaped one's number may belong to another process by now).
struct KillOnExit {
    QList<qint64> pids;
    ~KillOnExit() {
        for (const qint64 pid : pids) {
            if (::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG) == 0) {
                ::kill(static_cast<pid_t>(pid), SIGKILL);
            }
        }
    }
};

// True once pid has ended and waits to be reaped.
bool BecomesZombie(qint64 pid) {
    return DecodeTestSupport::WaitForEnd(pid) == DecodeTestSupport::Ending::Zombie;
}

// True when pid is no child of this process any more: reaped.
bool IsReaped(qint64 pid) {
    errno = 0;
    return ::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG) < 0 && errno == ECHILD;
}

TEST(DecodePool, StoppingNeverWaitsForAWorkerThatCannotDieAtOnce) {
    // A worker in an uninterruptible read (a network file system whose server is gone) outlives
    // its SIGKILL for as long as the read lasts. Here a harmless stop signal stands in for that:
    // stopping it must return all the same (a waiting stop would hang this test).
    KillOnExit cleanup;
    cDecodePool pool(
        {QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("exec sleep 600")}, 1,
        300);
    pool.setStopSignal(SIGCONT);
    const QList<qint64> stuck = pool.IdleWorkers();
    ASSERT_EQ(stuck.size(), 1);
    cleanup.pids = stuck;
    Outcome outcome = Outcome::Loaded;
    EXPECT_TRUE(pool.Decode(DataFile("base.png"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::TimedOut);
    // Stopped without waiting and replaced; the stuck one is kept to be reaped later.
    cleanup.pids += pool.IdleWorkers();
    EXPECT_EQ(pool.counters().started, 2);
    EXPECT_TRUE(cWorkerProcess::Unreaped().contains(stuck.front()));
    EXPECT_FALSE(IsReaped(stuck.front()));

    // Once it has died at last, it is reaped as it goes, with nothing else asked of the pool.
    ::kill(static_cast<pid_t>(stuck.front()), SIGKILL);
    EXPECT_TRUE(DecodeTestSupport::BecomesGone(stuck.front()));
}

TEST(DecodePool, AWorkerThatCrashedIsReapedAtOnce) {
    // This worker reads the request, lets go of its socket (a crash, to the pool) and lingers, so
    // it is still there when the pool kills it: it may not stay a zombie until the next load.
    KillOnExit cleanup;
    cDecodePool pool({QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                      QStringLiteral("head -c 1 <&3 >/dev/null; exec 3<&-; exec sleep 600")},
                     1, cDecodePool::kTimeLimitMs);
    const QList<qint64> crashing = pool.IdleWorkers();
    ASSERT_EQ(crashing.size(), 1);
    cleanup.pids = crashing;
    Outcome outcome = Outcome::Loaded;
    EXPECT_TRUE(pool.Decode(DataFile("base.png"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Crashed);
    cleanup.pids += pool.IdleWorkers();
    EXPECT_TRUE(DecodeTestSupport::BecomesGone(crashing.front()));
}

TEST(DecodePool, IdleWorkerThatDiedIsReapedWhenAnyWorkerIsHandedOut) {
    cDecodePool pool({cWorkerProcess::Program()}, 2, cDecodePool::kTimeLimitMs);
    const QList<qint64> idle = pool.IdleWorkers();
    ASSERT_EQ(idle.size(), 2);
    // The second slot's worker dies while idle; the next load takes the first slot.
    ::kill(static_cast<pid_t>(idle[1]), SIGKILL);
    ASSERT_TRUE(BecomesZombie(idle[1]));
    Outcome outcome = Outcome::Refused;
    EXPECT_FALSE(pool.Decode(DataFile("base.png"), &outcome).isNull());
    EXPECT_EQ(outcome, Outcome::Loaded);
    EXPECT_TRUE(IsReaped(idle[1]));
    EXPECT_EQ(pool.IdleWorkers(), QList<qint64>{idle[0]});
    // The emptied slot starts a new worker when two loads need both.
    std::vector<std::thread> loads;
    std::atomic<int> loaded{0};
    for (int i = 0; i < 2; ++i) {
        loads.emplace_back([&] {
            for (int k = 0; k < 8; ++k) {
                loaded += pool.Decode(DataFile("jpg_444.jpg")).isNull() ? 0 : 1;
            }
        });
    }
    for (std::thread& t : loads) {
        t.join();
    }
    EXPECT_EQ(loaded.load(), 16);
    EXPECT_EQ(pool.counters().crashed, 0);
}

}  // namespace
