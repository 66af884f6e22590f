// Speed of the thumbnail browser and of an image window that waits on a file, in one run, with
// JPEGs of 3000 x 2000 (photograph-like, each a little different) written once into a temporary
// folder:
//   1. 50 JPEGs: frmBrowse::ShowBrowse of their folder until the load has ended (IsLoading()
//      false, 50 items, in name order), beside bare FreeImage decoding the same files with the
//      JPEG size hint (98) on two threads, in the same iteration; the goal is at most 1.2 times
//      the bare time. Also ShowBrowse until the first page (8 thumbnails) is in its cells and
//      until its eighth cell has painted; the goal is 150 ms.
//   2. 500 JPEGs (the 50 copied under 500 names): the largest gap between the ticks of a 10 ms
//      timer over the whole load (goal 50 ms), and the growth of VmRSS from before ShowBrowse to
//      the end of the load (goal under 50 MB). Measured as the first load of a fresh child
//      process (memory freed by earlier work in a process stays resident in its allocator and
//      would hide growth), and again in this process after the other loads.
//   3. A file that hangs its decode worker until the pool's 10 s limit (a cut XBM, on which
//      FreeImage loops for ever), opened in an image window with lnkOpenPicture: a thread posts an
//      arrow key to the window every 10 ms until openEnded; the largest gap between the window's
//      handling of them and the largest delay from post to handling, both with a 50 ms goal; every
//      press must move the window.
//   4. Opening a 24 MP JPEG in a window against its decode: not here, lumora_window_bench has it
//      (BM_OpenDecodePairs).
//   5. When vipsthumbnail is on the PATH: `vipsthumbnail -s 256` over the 50 files as two
//      processes of 25 files each, in the same iterations as 1, for comparison.
//
// Without QT_QPA_PLATFORM the run uses Qt's offscreen platform with a 1920 x 1080 screen at
// 96 dpi. Each benchmark runs 3 repetitions unless told otherwise, interleaved in random order, and
// the ways of doing 1 and 5 take turns going first within an iteration, so load from other
// processes falls on all of them alike. The table at the end gives medians over every sample and
// the load average at the start and the end.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "WindowBenchSupport.h"

#include <FreeImage.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QInputDevice>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser/cBrowseLoader.h"
#include "browser/frmBrowse.h"
#include "decode/cDecodePool.h"
#include "image/MFreeImage.h"
#include "settings/mdlOption.h"
#include "window/frmResize.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 3000;
constexpr int kHeight = 2000;
constexpr int kSmallSet = 50;
constexpr int kLargeSet = 500;
constexpr int kHintSide = 98;  // the browser's largest thumbnail side
constexpr int kPageCells = 8;
constexpr int kTickMs = 10;
constexpr int kVipsSide = 256;
constexpr int kLoadLimitMs = 120000;  // a load that takes longer has failed
// Makes the program a child that loads the 500 JPEGs once, as a freshly started program does.
constexpr char kFreshFlag[] = "--fresh-large-load";

constexpr double kGoalRatio = 1.2;
constexpr double kGoalFirstPageMs = 150;
constexpr double kGoalGapMs = 50;
constexpr double kGoalGrowthMb = 50;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The process's resident memory, kB, from /proc/self/status; 0 when it cannot be read.
long VmRssKb() {
    long kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f) != nullptr) {
            if (std::strncmp(line, "VmRSS:", 6) == 0) {
                kb = std::strtol(line + 6, nullptr, 10);
                break;
            }
        }
        std::fclose(f);
    }
    return kb;
}

struct Shared {
    QString smallFolder;  // the 50 JPEGs
    QStringList smallFiles;
    QString largeFolder;  // the same 50 under 500 names
    QStringList largeFiles;
    QString hostile;  // hangs its worker
    QString vips;     // vipsthumbnail, empty when there is none
    QString vipsOut;  // where vipsthumbnail writes
    QString failure;  // why the set-up failed, empty when it did not
};
Shared& Data() {
    static Shared data;
    return data;
}

// Every sample of every figure, by name.
std::map<std::string, std::vector<double>> gSamples;

void Add(const std::string& figure, double value) {
    gSamples[figure].push_back(value);
}

void QuietAboutOffscreen(QtMsgType type, const QMessageLogContext& context,
                         const QString& message) {
    // What the offscreen platform cannot do is no fault of the program.
    if (message.contains(QLatin1String("does not support raise()")) ||
        message.contains(QLatin1String("does not support activateWindow()")) ||
        message.contains(QLatin1String("does not support propagateSizeHints()"))) {
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

// Lets everything queued run (deferred deletes, paints of what changed).
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Runs the event loop for about ms milliseconds.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Calls a function for events that reach the objects it is installed on.
class EventWatch : public QObject {
public:
    std::function<void(QObject*, QEvent*)> onEvent;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (onEvent) {
            onEvent(watched, event);
        }
        return false;
    }
};

// ---- set-up ----

bool Prepare(const QTemporaryDir& dir) {
    Shared& data = Data();
    if (!dir.isValid()) {
        data.failure = QStringLiteral("no temporary folder");
        return false;
    }
    const auto started = Clock::now();
    data.smallFolder = dir.filePath(QStringLiteral("fifty"));
    data.largeFolder = dir.filePath(QStringLiteral("five-hundred"));
    data.vipsOut = dir.filePath(QStringLiteral("vips-out"));
    for (const QString& folder : {data.smallFolder, data.largeFolder, data.vipsOut}) {
        QDir().mkpath(folder);
    }
    try {
        for (int f = 0; f < kSmallSet; ++f) {
            // A different size gives a different noise and pattern alignment; swapping red and
            // blue in every other file changes the colours as well.
            QImage picture =
                VariedPicture(kWidth + 7 * f, kHeight + 5 * f).copy(0, 0, kWidth, kHeight);
            if (f % 2 == 1) {
                picture = picture.rgbSwapped();
            }
            const QString file =
                data.smallFolder + QStringLiteral("/photo_%1.jpg").arg(f + 1, 3, 10, QChar('0'));
            if (picture.isNull() || !MFreeImage::SavePictureFile(picture, file)) {
                data.failure = QStringLiteral("a JPEG could not be written");
                return false;
            }
            data.smallFiles << file;
        }
    } catch (const std::exception& e) {
        data.failure = QString::fromUtf8(e.what());
        return false;
    }
    for (int i = 0; i < kLargeSet; ++i) {
        const QString file =
            data.largeFolder + QStringLiteral("/photo_%1.jpg").arg(i + 1, 3, 10, QChar('0'));
        if (!QFile::copy(data.smallFiles[i % kSmallSet], file)) {
            data.failure = QStringLiteral("a JPEG could not be copied");
            return false;
        }
        data.largeFiles << file;
    }
    // FreeImage 3.18's XBM reader loops for ever on a file that ends inside its data.
    data.hostile = dir.filePath(QStringLiteral("cut.xbm"));
    QFile hostile(data.hostile);
    if (!hostile.open(QIODevice::WriteOnly) ||
        hostile.write("#define x_width 16\n#define x_height 16\nstatic char x_bits[] = {\n"
                      "0x00, 0x01,") < 0) {
        data.failure = QStringLiteral("the hostile file could not be written");
        return false;
    }
    hostile.close();
    data.vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    qint64 bytes = 0;
    for (const QString& file : data.smallFiles) {
        bytes += QFileInfo(file).size();
    }
    std::printf("%d JPEGs of %d x %d (%.1f MB together) and %d copies written in %.1f s\n",
                kSmallSet, kWidth, kHeight, double(bytes) / 1e6, kLargeSet,
                Ms(Clock::now() - started) / 1000);
    return true;
}

bool ReadyOrSkip(benchmark::State& state) {
    if (!Data().failure.isEmpty()) {
        state.SkipWithError(qPrintable(Data().failure));
        return false;
    }
    return true;
}

// ---- the ways of making thumbnails ----

// The least work thumbnails need: FreeImage decodes every file with the size hint (1/8 scale for
// these), two threads taking the files in turn, no process, transport or scaling around it.
// Returns wall-clock ms, or a negative number when a file did not decode. DecodeFrontBench.cpp
// measures the same in lumora_bench, out of reach of this program; the two must stay alike.
double BareTwoThreadsMs(const QStringList& files) {
    std::vector<QByteArray> names;
    for (const QString& file : files) {
        names.push_back(QFile::encodeName(file));
    }
    std::atomic<int> failed{0};
    const auto started = Clock::now();
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 2; ++t) {
        threads.emplace_back([&names, &failed, t] {
            for (size_t i = t; i < names.size(); i += 2) {
                FIBITMAP* bitmap = FreeImage_Load(FIF_JPEG, names[i].constData(),
                                                  JPEG_DEFAULT | (kHintSide << 16));
                if (bitmap == nullptr) {
                    ++failed;
                }
                benchmark::DoNotOptimize(bitmap);
                FreeImage_Unload(bitmap);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const double ms = Ms(Clock::now() - started);
    return failed == 0 ? ms : -1;
}

// `vipsthumbnail -s 256` as two processes, each with every other file. Wall-clock ms, negative
// when a process failed.
double VipsTwoProcessesMs(const QStringList& files) {
    QStringList halves[2];
    for (int i = 0; i < files.size(); ++i) {
        halves[i % 2] << files[i];
    }
    const QStringList options = {QStringLiteral("-s"), QString::number(kVipsSide),
                                 QStringLiteral("-o"), Data().vipsOut + QStringLiteral("/%s.jpg")};
    const auto started = Clock::now();
    QProcess processes[2];
    for (int p = 0; p < 2; ++p) {
        processes[p].setProcessChannelMode(QProcess::ForwardedChannels);
        processes[p].start(Data().vips, options + halves[p]);
    }
    bool ok = true;
    for (QProcess& process : processes) {
        ok = process.waitForFinished(kLoadLimitMs) &&
             process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && ok;
    }
    const double ms = Ms(Clock::now() - started);
    return ok ? ms : -1;
}

// One load of the shared browser, from ShowBrowse to the end of the load.
struct BrowserLoad {
    QString failure;           // empty when the load ended as it should
    double allMs = 0;          // ShowBrowse until the loader's finished
    double firstCellsMs = -1;  // ... until the first page's 8 thumbnails are in their cells
    double firstPaintMs = -1;  // ... until the eighth cell has painted its thumbnail
    double largestGapMs = 0;   // between ticks of a 10 ms timer, ShowBrowse to the end
    double growthMb = 0;       // VmRSS at the end less before ShowBrowse
    double peakGrowthMb = 0;   // the highest VmRSS seen at a tick less before ShowBrowse
    double afterUnloadMb = 0;  // VmRSS once the browser has closed less before ShowBrowse
    double thumbnailsMb = 0;   // the pixels of the items' thumbnails
};

BrowserLoad LoadInBrowser(const QString& folder, const QStringList& expected) {
    BrowserLoad out;
    frmBrowse* browser = frmBrowse::Shared();
    auto* loader = browser->findChild<cBrowseLoader*>();
    if (loader == nullptr) {
        out.failure = QStringLiteral("the browser has no loader");
        return out;
    }
    QLabel* lastCell = browser->imgBrowse[kPageCells - 1];
    QEventLoop loop;
    Clock::time_point started;
    Clock::time_point ended;
    Clock::time_point lastTick;
    bool finished = false;
    bool paintSeen = false;
    long peakKb = 0;
    // Connected after the browser's own handlers, so these run once the browser has acted.
    QObject::connect(loader, &cBrowseLoader::itemLoaded, &loop, [&] {
        if (out.firstCellsMs < 0 && browser->CellItem(kPageCells - 1) != 0) {
            out.firstCellsMs = Ms(Clock::now() - started);
        }
    });
    QObject::connect(loader, &cBrowseLoader::finished, &loop, [&] {
        ended = Clock::now();
        finished = true;
        loop.quit();
    });
    // Paint events are sent synchronously: the call queued from the eighth cell's paint runs
    // once the whole paint pass has ended.
    EventWatch paint;
    paint.onEvent = [&](QObject*, QEvent* event) {
        if (event->type() == QEvent::Paint && !paintSeen && out.firstCellsMs >= 0) {
            paintSeen = true;
            QMetaObject::invokeMethod(
                &loop, [&] { out.firstPaintMs = Ms(Clock::now() - started); },
                Qt::QueuedConnection);
        }
    };
    lastCell->installEventFilter(&paint);
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const auto now = Clock::now();
        out.largestGapMs = std::max(out.largestGapMs, Ms(now - lastTick));
        lastTick = now;
        peakKb = std::max(peakKb, VmRssKb());
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);

    Settle();
    const long beforeKb = VmRssKb();
    peakKb = beforeKb;
    started = Clock::now();
    lastTick = started;
    tick.start();
    limit.start(kLoadLimitMs);
    if (browser->ShowBrowse({folder}, nullptr)) {
        loop.exec();
    }
    tick.stop();
    const long endKb = VmRssKb();
    if (finished) {
        out.allMs = Ms(ended - started);
        out.largestGapMs = std::max(out.largestGapMs, Ms(ended - lastTick));
    }
    // The eighth cell's paint may come after the end of a short load.
    for (int i = 0; i < 100 && out.firstPaintMs < 0 && out.firstCellsMs >= 0; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    lastCell->removeEventFilter(&paint);

    const cBrowseList& items = browser->Items();
    if (!finished) {
        out.failure = QStringLiteral("the load did not end");
    } else if (browser->IsLoading() || items.Count() != expected.size()) {
        out.failure = QStringLiteral("the load ended with %1 items of %2, IsLoading %3")
                          .arg(items.Count())
                          .arg(expected.size())
                          .arg(browser->IsLoading());
    } else if (items.Item(1).Picture.size() != QSize(98, 65)) {
        out.failure = QStringLiteral("a thumbnail of %1 x %2")
                          .arg(items.Item(1).Picture.width())
                          .arg(items.Item(1).Picture.height());
    } else if (out.firstPaintMs < 0) {
        out.failure = QStringLiteral("the first page never painted");
    } else {
        for (int n = 1; n <= items.Count(); ++n) {
            if (QFileInfo(items.Item(n).FileName).fileName() !=
                QFileInfo(expected[n - 1]).fileName()) {
                out.failure = QStringLiteral("item %1 is %2").arg(n).arg(items.Item(n).FileName);
                break;
            }
        }
    }
    for (int n = 1; n <= items.Count(); ++n) {
        out.thumbnailsMb += double(items.Item(n).Picture.sizeInBytes()) / (1024 * 1024);
    }
    out.growthMb = double(endKb - beforeKb) / 1024;
    out.peakGrowthMb = double(std::max(peakKb, endKb) - beforeKb) / 1024;
    browser->Unload();
    Settle();
    out.afterUnloadMb = double(VmRssKb() - beforeKb) / 1024;
    return out;
}

// ---- 1 and 5: 50 JPEGs ----

// Each iteration makes the 50 thumbnails every way, the first way taking turns, and records each.
void BM_Browse50Paired(benchmark::State& state) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    enum Way { kBare, kBrowser, kVips };
    std::vector<Way> ways = {kBare, kBrowser};
    if (!Data().vips.isEmpty()) {
        ways.push_back(kVips);
    }
    static size_t turn = 0;  // over the repetitions too
    for (auto _ : state) {
        double bare = 0;
        double vips = 0;
        BrowserLoad load;
        const size_t first = turn++ % ways.size();
        for (size_t w = 0; w < ways.size(); ++w) {
            switch (ways[(first + w) % ways.size()]) {
                case kBare:
                    bare = BareTwoThreadsMs(Data().smallFiles);
                    break;
                case kBrowser:
                    load = LoadInBrowser(Data().smallFolder, Data().smallFiles);
                    break;
                case kVips:
                    vips = VipsTwoProcessesMs(Data().smallFiles);
                    break;
            }
        }
        if (bare < 0 || !load.failure.isEmpty() || vips < 0) {
            state.SkipWithError(bare < 0   ? "bare FreeImage could not decode a file"
                                : vips < 0 ? "vipsthumbnail failed"
                                           : qPrintable(load.failure));
            break;
        }
        Add("bare", bare);
        Add("browser50", load.allMs);
        Add("ratio", load.allMs / bare);
        Add("firstCells", load.firstCellsMs);
        Add("firstPaint", load.firstPaintMs);
        Add("gap50", load.largestGapMs);
        if (!Data().vips.isEmpty()) {
            Add("vips", vips);
            Add("vipsRatio", vips / bare);
        }
        state.SetIterationTime(load.allMs / 1000);
    }
}

// ---- 2: 500 JPEGs ----

void BM_Browse500(benchmark::State& state) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    for (auto _ : state) {
        const BrowserLoad load = LoadInBrowser(Data().largeFolder, Data().largeFiles);
        if (!load.failure.isEmpty()) {
            state.SkipWithError(qPrintable(load.failure));
            break;
        }
        Add("browser500", load.allMs);
        Add("gap500", load.largestGapMs);
        Add("growth500", load.growthMb);
        Add("peak500", load.peakGrowthMb);
        Add("unload500", load.afterUnloadMb);
        state.SetIterationTime(load.allMs / 1000);
    }
}

// The same load as the first thing a fresh process does: memory that earlier work freed and the
// allocator kept cannot hide the growth there. One child per iteration.
void BM_Browse500FreshProcess(benchmark::State& state) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kFreshFlag), Data().largeFolder});
        const bool ended = child.waitForFinished(2 * kLoadLimitMs);
        const QStringList words = QString::fromUtf8(child.readAllStandardOutput())
                                      .section(QStringLiteral("fresh-load "), 1)
                                      .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!ended || child.exitCode() != 0 || words.size() < 5) {
            state.SkipWithError("the child's load failed");
            break;
        }
        Add("fresh500", words[0].toDouble());
        Add("freshGap500", words[1].toDouble());
        Add("freshGrowth500", words[2].toDouble());
        Add("freshPeak500", words[3].toDouble());
        Add("freshPixels500", words[4].trimmed().toDouble());
        state.SetIterationTime(words[0].toDouble() / 1000);
    }
}

// The child's part: the browser built, then the load measured, as LoadInBrowser does.
int FreshLargeLoadOnly(const QString& folder) {
    mdlOption::SetDefaultOptions();
    QStringList expected;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        expected << QDir(folder).filePath(name);
    }
    frmBrowse::Shared();
    const BrowserLoad load = LoadInBrowser(folder, expected);
    if (!load.failure.isEmpty()) {
        std::fprintf(stderr, "fresh load: %s\n", qPrintable(load.failure));
        return 1;
    }
    std::printf("fresh-load %.3f %.3f %.3f %.3f %.3f\n", load.allMs, load.largestGapMs,
                load.growthMb, load.peakGrowthMb, load.thumbnailsMb);
    return 0;
}

// ---- 3: a window waiting on a hostile file ----

// Posts an arrow key (press and release) to a window every 10 ms from a thread of its own, so
// that a stall of the window's thread shows as a late handling, not as a late post.
class KeySender {
public:
    explicit KeySender(QWidget* target) : mTarget(target) {
        // The first key event makes the application's keyboard device, a child of the
        // application: that must happen on the application's thread.
        QInputDevice::primaryKeyboard();
    }
    ~KeySender() { Stop(); }
    void Start() {
        mThread = std::thread([this] { Run(); });
    }
    void Stop() {
        mStop = true;
        if (mThread.joinable()) {
            mThread.join();
        }
    }
    std::vector<Clock::time_point> Posted() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mPosted;
    }

private:
    void Run() {
        auto next = Clock::now();
        for (int i = 0; !mStop; ++i) {
            // Right and left in turn: the window moves every time and stays where it was put.
            const int key = i % 2 == 0 ? Qt::Key_Right : Qt::Key_Left;
            {
                std::lock_guard<std::mutex> lock(mMutex);
                mPosted.push_back(Clock::now());
            }
            QCoreApplication::postEvent(mTarget,
                                        new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
            QCoreApplication::postEvent(mTarget,
                                        new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
            next = std::max(next + std::chrono::milliseconds(kTickMs), Clock::now());
            std::this_thread::sleep_until(next);
        }
    }

    QWidget* const mTarget;
    std::thread mThread;
    std::atomic<bool> mStop{false};
    std::mutex mMutex;
    std::vector<Clock::time_point> mPosted;
};

void BM_HostileOpen(benchmark::State& state) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    for (auto _ : state) {
        auto* window = new frmResize;
        window->MoveTw(12000, 8000);  // 800, 533 pixels: room to move either way
        window->show();
        RunFor(100);
        const QImage pictureBefore = window->Picture();

        // The window's handling of each press, in the order posted: where it stood before.
        std::vector<Clock::time_point> handled;
        std::vector<QPoint> before;
        EventWatch keys;
        keys.onEvent = [&](QObject*, QEvent* event) {
            if (event->type() == QEvent::KeyPress) {
                handled.push_back(Clock::now());
                before.push_back(window->pos());
            }
        };
        window->installEventFilter(&keys);

        QEventLoop loop;
        bool ended = false;
        bool endedOk = true;
        Clock::time_point endedAt;
        QObject::connect(window, &frmResize::openEnded, &loop, [&](bool ok, const QString&) {
            ended = true;
            endedOk = ok;
            endedAt = Clock::now();
            loop.quit();
        });
        QTimer::singleShot(3 * cDecodePool::kTimeLimitMs, &loop, &QEventLoop::quit);

        KeySender sender(window);
        sender.Start();
        RunFor(50);  // the presses already flow when the open starts
        const auto openedAt = Clock::now();
        const bool accepted = window->lnkOpenPicture(Data().hostile);
        if (accepted) {
            loop.exec();
        }
        sender.Stop();
        Settle();  // the presses still queued
        const QPoint last = window->pos();
        window->removeEventFilter(&keys);
        const std::vector<Clock::time_point> posted = sender.Posted();
        const bool pictureKept = window->Picture() == pictureBefore;
        window->close();
        delete window;
        Settle();

        if (!accepted || !ended || endedOk || !pictureKept) {
            state.SkipWithError(!accepted ? "lnkOpenPicture refused the file"
                                : !ended  ? "openEnded never came"
                                : endedOk ? "the hostile file opened"
                                          : "the failed open changed the picture");
            break;
        }
        // Presses handled during the wait: the gaps between them and to the wait's ends, the
        // delay of each from its post, and whether each moved the window.
        double largestGap = 0;
        double largestDelay = 0;
        int during = 0;
        int moved = 0;
        auto previous = openedAt;
        for (size_t k = 0; k < handled.size() && k < posted.size(); ++k) {
            if (handled[k] < openedAt || posted[k] > endedAt) {
                continue;
            }
            ++during;
            largestGap = std::max(largestGap, Ms(handled[k] - previous));
            largestDelay = std::max(largestDelay, Ms(handled[k] - posted[k]));
            previous = handled[k];
            const QPoint after = k + 1 < before.size() ? before[k + 1] : last;
            moved += after != before[k] ? 1 : 0;
        }
        largestGap = std::max(largestGap, Ms(endedAt - previous));
        const double waitMs = Ms(endedAt - openedAt);
        Add("hostileWait", waitMs);
        Add("hostileGap", largestGap);
        Add("hostileDelay", largestDelay);
        Add("hostilePresses", during);
        Add("hostileMoved", during > 0 ? 100.0 * moved / during : 0);
        state.SetIterationTime(waitMs / 1000);
    }
}

// ---- the table ----

// One figure: its median, least and greatest sample, and against its goal when it has one.
// met: compares the median with the goal.
void Line(const char* label, const std::string& figure, const char* unit, const char* goal = "",
          const std::function<bool(double)>& met = {}) {
    const std::vector<double>& values = gSamples[figure];
    if (values.empty()) {
        std::printf("%-56s %4s %9s\n", label, "", "no result");
        return;
    }
    const double median = Median(values);
    std::printf("%-56s %4d %9.2f %9.2f %9.2f %-5s %-12s %s\n", label, int(values.size()), median,
                *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()), unit, goal,
                met ? (met(median) ? "ok" : "MISSED") : "");
}

void PrintTable() {
    std::printf("\n%-56s %4s %9s %9s %9s %-5s %-12s\n", "figure", "n", "median", "min", "max",
                "unit", "goal");
    Line("1  bare FreeImage, hint 98, 2 threads, 50 JPEGs", "bare", "ms");
    Line("1  browser: ShowBrowse to 50 loaded", "browser50", "ms");
    Line("1  browser / bare, per pair", "ratio", "x", "<= 1.2",
         [](double v) { return v <= kGoalRatio; });
    Line("1  ShowBrowse to 8 thumbnails in their cells", "firstCells", "ms");
    Line("1  ShowBrowse to the first page painted", "firstPaint", "ms", "<= 150 ms",
         [](double v) { return v <= kGoalFirstPageMs; });
    Line("1  largest gap of a 10 ms timer, 50 JPEGs", "gap50", "ms");
    if (Data().vips.isEmpty()) {
        std::printf("%-56s %4s %9s\n", "5  vipsthumbnail -s 256, 2 processes", "", "not installed");
    } else {
        Line("5  vipsthumbnail -s 256, 2 processes, 50 JPEGs", "vips", "ms");
        Line("5  vipsthumbnail / bare, per pair", "vipsRatio", "x");
    }
    Line("2  fresh process: ShowBrowse to 500 loaded", "fresh500", "ms");
    Line("2  fresh process: largest gap of a 10 ms timer", "freshGap500", "ms", "<= 50 ms",
         [](double v) { return v <= kGoalGapMs; });
    Line("2  fresh process: VmRSS growth, ShowBrowse to end", "freshGrowth500", "MB", "< 50 MB",
         [](double v) { return v < kGoalGrowthMb; });
    Line("2  fresh process: VmRSS growth, highest seen", "freshPeak500", "MB");
    Line("2  fresh process: the thumbnails' own pixels", "freshPixels500", "MB");
    Line("2  this process, again: ShowBrowse to 500 loaded", "browser500", "ms");
    Line("2  this process: largest gap of a 10 ms timer", "gap500", "ms", "<= 50 ms",
         [](double v) { return v <= kGoalGapMs; });
    Line("2  this process: VmRSS growth, ShowBrowse to end", "growth500", "MB");
    Line("2  this process: VmRSS growth, highest seen", "peak500", "MB");
    Line("2  this process: VmRSS after closing, less before", "unload500", "MB");
    Line("3  hostile file: lnkOpenPicture to openEnded(false)", "hostileWait", "ms");
    Line("3  largest gap between arrow-key handlings", "hostileGap", "ms", "<= 50 ms",
         [](double v) { return v <= kGoalGapMs; });
    Line("3  largest delay, arrow key posted to handled", "hostileDelay", "ms", "<= 50 ms",
         [](double v) { return v <= kGoalGapMs; });
    Line("3  arrow presses handled during the wait", "hostilePresses", "");
    Line("3  of them moving the window", "hostileMoved", "%", "100 %",
         [](double v) { return v >= 100; });
}

}  // namespace

// Wall-clock time is the figure: the decoding happens in worker processes and other threads.
BENCHMARK(BM_Browse50Paired)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Browse500)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Browse500FreshProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileOpen)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    const std::string loadAtStart = LoadAverage();
    const bool freshChild = argc > 2 && std::strcmp(argv[1], kFreshFlag) == 0;
    // The offscreen platform with a full-HD screen, unless the caller chose a platform. The
    // screen's description and the pictures live in the temporary folder, which outlives the
    // application.
    QTemporaryDir dir;
    UseOffscreenFullHd(dir);
    // Qt sees only the program name; every other argument is the benchmark library's.
    int qtArgc = 1;
    qInstallMessageHandler(QuietAboutOffscreen);
    QApplication app(qtArgc, argv);
    if (freshChild) {
        return FreshLargeLoadOnly(QString::fromLocal8Bit(argv[2]));
    }
    if (!InitializeWithDefaults(argc, argv, 3)) {
        return 1;
    }
    mdlOption::SetDefaultOptions();
    if (Prepare(dir)) {  // failures skip each benchmark
        // Files in the page cache, the decode workers started and the browser built before any
        // timing.
        BareTwoThreadsMs(Data().smallFiles);
        const BrowserLoad warm = LoadInBrowser(Data().smallFolder, Data().smallFiles);
        if (!warm.failure.isEmpty()) {
            std::fprintf(stderr, "warm-up load: %s\n", qPrintable(warm.failure));
        }
        for (const QString& file : Data().largeFiles) {
            QFile f(file);
            if (f.open(QIODevice::ReadOnly)) {
                while (!f.read(1 << 20).isEmpty()) {
                }
            }
        }
    }
    std::printf("platform %s, %d decode workers, vipsthumbnail %s\n",
                qPrintable(QGuiApplication::platformName()), cDecodePool::Shared().Size(),
                Data().vips.isEmpty() ? "not found" : qPrintable(Data().vips));
    benchmark::RunSpecifiedBenchmarks();
    PrintTable();
    std::printf("\nload average at the start: %s\nload average at the end:   %s\n",
                loadAtStart.c_str(), LoadAverage().c_str());
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
