// Speed of the image window's commands with a 6000 x 4000 24-bit picture shown at its own size
// (the window sized so that its picture control is 6000 x 4000, no border), in one run:
//   1. quick save as PNG: the longest stall of the event loop, seen by a 1 ms timer as the longest
//      gap between its ticks, from before the command until 50 ms after saveEnded; the goal is
//      under 50 ms. The gaps are told apart: the one holding the command call (the interface
//      thread's part: the shown copy is made there before the encode starts on a worker thread),
//      the one holding saveEnded, and the rest. The same for JPEG;
//   2. quick save as JPEG, from the command to saveEnded (no timer watching), beside
//      MFreeImage::SavePictureFile of the same picture alone: as separate benchmarks and as
//      back-to-back pairs; the goal is at most 1.1 times the plain save;
//   3. cmdCrop, cmdMask and cmdGrayPicture beside the sum of the picture operations each is made
//      of: the shown copy (CopyPicture24 + ScalePicture to the shown size) and CopyRegion,
//      FillBlack or GrayPicture. Separate benchmarks and back-to-back pairs; the goal is at most
//      1.5 times the sum. The repaint that follows a command is timed apart (not in the goal).
// Between repetitions the window gets its picture, size and crop rectangle back and is painted,
// outside the timing; the undo history keeps the previous edit's snapshot, which the next edit
// lets go of inside its timing, as it would in use.
//
// Messages go through the modal seam's silent default, which answers at once. Without
// QT_QPA_PLATFORM the run uses Qt's offscreen platform with a 1920 x 1080 screen at 96 dpi (the
// window is larger than the screen: its geometry is set directly). Unless given on the command
// line, every benchmark runs 5 repetitions, interleaved in random order so that load from other
// processes falls on all of them alike; the table gives medians, the load average at the start
// and the end, and for pairs the median of the per-pair ratios.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "WindowBenchSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "dialogs/ModalSeam.h"
#include "image/MFreeImage.h"
#include "image/mdlPhotoShop.h"
#include "settings/mdlOption.h"
#include "window/CropRectWidget.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
const QRect kCropRect(1000, 1000, 4000, 2000);  // window pixels = picture pixels at own size
// How long the event loop is watched after saveEnded, for the repaint the end of a save asks for.
constexpr int kTailMs = 50;

struct Shared {
    QImage picture;
    QString folder;  // the quick-save folder, ending in '/'
    frmResize* window = nullptr;
    QString failure;  // why the set-up failed, empty when it did not
};
Shared& Data() {
    static Shared data;
    return data;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of the calling thread, ms: tells work from time the thread spent waiting for a core.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Notes when the window's picture control receives a paint event. Paint events are sent
// synchronously, so once the event loop returns the paint has finished.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && qobject_cast<PictureViewWidget*>(watched)) {
            painted = true;
        }
        return false;
    }
};
PaintWatch* gPaintWatch = nullptr;

// Runs the event loop until the picture control has painted; false after 10 seconds without.
bool WaitForPaint() {
    QDeadlineTimer deadline(10000);
    while (!gPaintWatch->painted) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The state every timed part starts from: the picture at its own size in a 6000 x 4000 picture
// control, the crop rectangle shown or not, painted, nothing left in the event queue. False when
// the picture control has another size or never painted.
bool Restore(frmResize& w, const QString& picFile, bool showCrop) {
    if (w.Picture().cacheKey() != Data().picture.cacheKey()) {
        w.SetPicture(Data().picture);  // shared, not copied
    }
    w.mPicFile = picFile;
    if (w.geometry() != QRect(0, 0, kWidth, kHeight)) {
        w.setGeometry(0, 0, kWidth, kHeight);
    }
    if (showCrop) {
        w.lblCrop->setGeometry(kCropRect);
        w.lblCrop->show();
    } else {
        w.lblCrop->HideRect();
    }
    gPaintWatch->painted = false;
    w.imgView->update();
    if (!WaitForPaint()) {
        return false;
    }
    QCoreApplication::processEvents();
    return w.imgView->size() == QSize(kWidth, kHeight);
}

bool ReadyOrSkip(benchmark::State& state) {
    if (!Data().failure.isEmpty()) {
        state.SkipWithError(qPrintable(Data().failure));
        return false;
    }
    return true;
}

double Largest(const std::vector<double>& samples) {
    return samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

// ---- 1 and 2: quick save ----

enum Format { kPng, kJpeg };

QString PicFileFor(Format format) {
    return format == kPng ? QStringLiteral("/x/pic.png") : QStringLiteral("/x/pic.jpg");
}

struct SaveRun {
    bool ok = false;
    QString path;
    double wallMs = 0;     // command called -> saveEnded
    double cpuMs = 0;      // the same span, the process's CPU time
    double callMs = 0;     // the command call itself: the interface thread's share
    double callCpuMs = 0;  // the same, CPU time of the interface thread
    // Longest gaps between the timer's ticks (only when watched).
    double longestGapMs = 0;
    double callGapMs = 0;     // the gap holding the command call
    double endGapMs = 0;      // the gap holding saveEnded
    double otherGapMs = 0;    // the longest of the rest
    double otherGapAtMs = 0;  // where that gap ended, ms after the command was called
};

// One quick save of the window from the command to saveEnded. When watched, a 1 ms timer runs
// from 20 ms before the command until kTailMs after saveEnded and its longest gaps are kept.
SaveRun QuickSave(frmResize& w, bool watched) {
    SaveRun run;
    QEventLoop loop;
    Clock::time_point callStart;
    Clock::time_point ended;
    std::clock_t cpuStart = 0;
    std::clock_t cpuEnded = 0;
    bool haveCalled = false;
    bool haveEnded = false;
    QObject::connect(&w, &frmResize::saveEnded, &loop, [&](bool ok, const QString& path) {
        ended = Clock::now();
        cpuEnded = std::clock();
        haveEnded = true;
        run.ok = ok;
        run.path = path;
        if (!watched) {
            loop.quit();
        }
    });
    const auto call = [&] {
        cpuStart = std::clock();
        const double threadCpu = ThreadCpuMs();
        callStart = Clock::now();
        w.cmdQuickSave();
        run.callMs = Ms(Clock::now() - callStart);
        run.callCpuMs = ThreadCpuMs() - threadCpu;
        haveCalled = true;
        if (!w.IsBusy()) {
            loop.quit();  // the save did not start: no saveEnded will come
        }
    };
    QTimer ticks;
    Clock::time_point last;
    if (watched) {
        ticks.setTimerType(Qt::PreciseTimer);
        ticks.setInterval(1);
        QObject::connect(&ticks, &QTimer::timeout, &loop, [&] {
            const Clock::time_point now = Clock::now();
            const double gap = Ms(now - last);
            run.longestGapMs = std::max(run.longestGapMs, gap);
            if (haveCalled && last <= callStart && callStart <= now) {
                run.callGapMs = std::max(run.callGapMs, gap);
            } else if (haveEnded && last <= ended && ended <= now) {
                run.endGapMs = std::max(run.endGapMs, gap);
            } else if (gap > run.otherGapMs) {
                run.otherGapMs = gap;
                run.otherGapAtMs = haveCalled ? Ms(now - callStart) : 0;
            }
            last = now;
            if (haveEnded && Ms(now - ended) >= kTailMs) {
                loop.quit();
            }
        });
        QTimer::singleShot(20, &loop, call);
        last = Clock::now();
        ticks.start();
    } else {
        call();
    }
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);  // a save that never ends
    if (!haveCalled || w.IsBusy()) {
        loop.exec();
    }
    ticks.stop();
    if (haveEnded) {
        run.wallMs = Ms(ended - callStart);
        run.cpuMs = 1000.0 * double(cpuEnded - cpuStart) / CLOCKS_PER_SEC;
    } else {
        run.ok = false;
    }
    return run;
}

// Per save, keyed by format.
std::map<int, std::vector<SaveRun>> gWatchedSaves;

void BM_QuickSaveWatched(benchmark::State& state, Format format) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    frmResize& w = *Data().window;
    for (auto _ : state) {
        if (!Restore(w, PicFileFor(format), false)) {
            state.SkipWithError("the picture control is not 6000 x 4000 or never painted");
            break;
        }
        const SaveRun run = QuickSave(w, true);
        QFile::remove(run.path);
        if (!run.ok) {
            state.SkipWithError("the quick save failed or never ended");
            break;
        }
        gWatchedSaves[format].push_back(run);
        state.SetIterationTime(run.wallMs / 1000.0);
    }
}

void BM_QuickSaveJpeg(benchmark::State& state) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    frmResize& w = *Data().window;
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = Restore(w, PicFileFor(kJpeg), false);
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the picture control is not 6000 x 4000 or never painted");
            break;
        }
        const SaveRun run = QuickSave(w, false);
        state.PauseTiming();
        QFile::remove(run.path);
        state.ResumeTiming();
        if (!run.ok) {
            state.SkipWithError("the quick save failed or never ended");
            break;
        }
    }
}

QString AloneFile() {
    return Data().folder + QStringLiteral("alone.jpg");
}

bool SaveAlone() {
    try {
        return MFreeImage::SavePictureFile(Data().picture, AloneFile());
    } catch (...) {
        return false;
    }
}

void BM_SavePictureFileJpeg(benchmark::State& state) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    for (auto _ : state) {
        const bool ok = SaveAlone();
        state.PauseTiming();
        QFile::remove(AloneFile());
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("SavePictureFile failed");
            break;
        }
    }
}

// Load from other processes comes and goes in phases of seconds; here each iteration saves
// alone and quick-saves back to back, alternating which comes first.
std::vector<double> gSavePairWall;
std::vector<double> gSavePairCpu;

void BM_QuickSaveJpegPairs(benchmark::State& state) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    frmResize& w = *Data().window;
    bool quickFirst = false;
    for (auto _ : state) {
        if (!Restore(w, PicFileFor(kJpeg), false)) {
            state.SkipWithError("the picture control is not 6000 x 4000 or never painted");
            break;
        }
        SaveRun quick;
        Cost alone;
        bool aloneOk = false;
        for (int half = 0; half < 2; ++half) {
            if ((half == 0) == quickFirst) {
                quick = QuickSave(w, false);
                QFile::remove(quick.path);
            } else {
                alone = Measure([&] { aloneOk = SaveAlone(); });
                QFile::remove(AloneFile());
            }
        }
        if (!quick.ok || !aloneOk) {
            state.SkipWithError("a save failed");
            break;
        }
        quickFirst = !quickFirst;
        gSavePairWall.push_back(quick.wallMs / alone.wallMs);
        gSavePairCpu.push_back(quick.cpuMs / alone.cpuMs);
        state.SetIterationTime((quick.wallMs + alone.wallMs) / 1000.0);
    }
}

// ---- 3: crop, mask, grey ----

enum Command { kCrop, kMask, kGray };

// What an edit leaves: the snapshot and the new picture, let go of outside the timing.
struct EngineResult {
    QImage view;
    QImage result;
};

// The picture operations the command is made of, in the order the picture model calls them; the
// intermediate 24-bit copy is let go of inside, as in the model.
EngineResult EngineSum(Command command) {
    const QImage& picture = Data().picture;
    const auto shownCopy = [&] {
        const QImage copy = mdlPhotoShop::CopyPicture24(picture);
        return mdlPhotoShop::ScalePicture(copy, kWidth, kHeight);
    };
    EngineResult out;
    try {
        switch (command) {
            case kCrop:
                out.view = shownCopy();
                out.result = mdlPhotoShop::CopyRegion(out.view, kCropRect.x(), kCropRect.y(),
                                                      kCropRect.width(), kCropRect.height());
                break;
            case kMask:
                out.result = mdlPhotoShop::FillBlack(picture, kCropRect.x(), kCropRect.y(),
                                                     kCropRect.width(), kCropRect.height());
                out.view = shownCopy();
                break;
            case kGray:
                out.result = mdlPhotoShop::GrayPicture(picture);
                out.view = shownCopy();
                break;
        }
    } catch (...) {
        return {};
    }
    return out;
}

bool ArmCommand(frmResize& w, Command command) {
    return Restore(w, QString(), command != kGray);
}

void RunCommand(frmResize& w, Command command) {
    switch (command) {
        case kCrop:
            w.cmdCrop();
            break;
        case kMask:
            w.cmdMask();
            break;
        case kGray:
            w.cmdGrayPicture();
            break;
    }
}

// True when the window's picture is what the command makes (a few pixels are checked).
bool CommandDone(const frmResize& w, Command command) {
    const QImage picture = w.Picture();
    const QImage& src = Data().picture;
    if (picture.cacheKey() == src.cacheKey() || picture.isNull()) {
        return false;
    }
    switch (command) {
        case kCrop:
            return picture.size() == kCropRect.size() &&
                   picture.pixel(10, 20) == src.pixel(kCropRect.topLeft() + QPoint(10, 20));
        case kMask:
            return picture.size() == src.size() &&
                   (picture.pixel(kCropRect.center()) & 0xFFFFFF) == 0 &&
                   picture.pixel(10, 20) == src.pixel(10, 20);
        case kGray: {
            const QRgb p = picture.pixel(1234, 567);
            return picture.size() == src.size() && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p);
        }
    }
    return false;
}

// The repaint after each command, keyed by command (not timed as part of the command).
std::map<int, std::vector<double>> gRepaint;

void BM_Command(benchmark::State& state, Command command) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    frmResize& w = *Data().window;
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = ArmCommand(w, command);
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the picture control is not 6000 x 4000 or never painted");
            break;
        }
        gPaintWatch->painted = false;
        RunCommand(w, command);
        state.PauseTiming();
        const bool done = CommandDone(w, command);
        const Cost repaint = Measure([] { WaitForPaint(); });
        gRepaint[command].push_back(repaint.wallMs);
        state.ResumeTiming();
        if (!done) {
            state.SkipWithError("the command did not change the picture as it should");
            break;
        }
    }
}

void BM_EngineSum(benchmark::State& state, Command command) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    for (auto _ : state) {
        EngineResult r = EngineSum(command);
        state.PauseTiming();
        const bool ok = !r.view.isNull() && !r.result.isNull();
        r = EngineResult();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("a picture operation failed");
            break;
        }
    }
}

std::map<int, std::vector<double>> gCommandPairWall;
std::map<int, std::vector<double>> gCommandPairCpu;

void BM_CommandPairs(benchmark::State& state, Command command) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    frmResize& w = *Data().window;
    bool commandFirst = false;
    for (auto _ : state) {
        if (!ArmCommand(w, command)) {
            state.SkipWithError("the picture control is not 6000 x 4000 or never painted");
            break;
        }
        Cost viaWindow;
        Cost viaEngine;
        EngineResult r;
        for (int half = 0; half < 2; ++half) {
            if ((half == 0) == commandFirst) {
                viaWindow = Measure([&] { RunCommand(w, command); });
            } else {
                viaEngine = Measure([&] { r = EngineSum(command); });
            }
        }
        const bool ok = CommandDone(w, command) && !r.view.isNull() && !r.result.isNull();
        r = EngineResult();
        if (!ok) {
            state.SkipWithError("the command or a picture operation failed");
            break;
        }
        commandFirst = !commandFirst;
        gCommandPairWall[command].push_back(viaWindow.wallMs / viaEngine.wallMs);
        gCommandPairCpu[command].push_back(viaWindow.cpuMs / viaEngine.cpuMs);
        state.SetIterationTime((viaWindow.wallMs + viaEngine.wallMs) / 1000.0);
    }
}

// The shown copy alone (CopyPicture24 + ScalePicture through the window): the larger part of what
// a quick save does on the interface thread.
void BM_ViewCopy(benchmark::State& state) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    frmResize& w = *Data().window;
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = Restore(w, QString(), false);
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the picture control is not 6000 x 4000 or never painted");
            break;
        }
        QImage view = w.GetViewPicture();
        state.PauseTiming();
        const bool ok = view.size() == QSize(kWidth, kHeight);
        view = QImage();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("no shown copy");
            break;
        }
    }
}

// The two operations of the shown copy, alone on the picture, to tell where its time goes.
void BM_ShownCopyPart(benchmark::State& state, bool scale) {
    if (!ReadyOrSkip(state)) {
        return;
    }
    const QImage copy = scale ? mdlPhotoShop::CopyPicture24(Data().picture) : QImage();
    for (auto _ : state) {
        QImage out = scale ? mdlPhotoShop::ScalePicture(copy, kWidth, kHeight)
                           : mdlPhotoShop::CopyPicture24(Data().picture);
        state.PauseTiming();
        const bool ok = !out.isNull();
        out = QImage();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("a picture operation failed");
            break;
        }
    }
}

// ---- report ----

// The console report as usual, and afterwards the figures with their goals.
class CommandsReporter : public FigureReporter {
public:
    explicit CommandsReporter(std::string loadAtStart) : mLoadAtStart(std::move(loadAtStart)) {}

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-52s %9s %9s %9s %18s\n", "window commands, 6000 x 4000 picture", "median",
                    "min", "CPU", "goal");
        std::printf("%-52s %9s %9s %9s\n", "", "ms", "ms", "ms");

        for (const Format format : {kPng, kJpeg}) {
            const std::vector<SaveRun>& runs = gWatchedSaves[format];
            const auto pick = [&runs](double SaveRun::*field) {
                std::vector<double> v;
                for (const SaveRun& r : runs) {
                    v.push_back(r.*field);
                }
                return v;
            };
            const char* name = format == kPng ? "PNG" : "JPEG";
            std::printf("1  quick save %s, %d saves watched by a 1 ms timer:\n", name,
                        int(runs.size()));
            const std::vector<double> longest = pick(&SaveRun::longestGapMs);
            GapLine("   longest event-loop gap (median, worst)", longest, true);
            GapLine("     the gap holding the command call", pick(&SaveRun::callGapMs), false);
            GapLine("     the command call itself (interface thread)", pick(&SaveRun::callMs),
                    false);
            GapLine("     the same, that thread's CPU time", pick(&SaveRun::callCpuMs), false);
            GapLine("     the gap holding saveEnded", pick(&SaveRun::endGapMs), false);
            GapLine("     longest other gap (thread running, paints)", pick(&SaveRun::otherGapMs),
                    false);
            GapLine("       its end, ms after the command (0: before)",
                    pick(&SaveRun::otherGapAtMs), false);
            GapLine("   command -> saveEnded, wall", pick(&SaveRun::wallMs), false);
        }
        const Figure view = Get("BM_ViewCopy");
        Line("   the shown copy alone (GetViewPicture)", view, true, "");
        Line("     of which CopyPicture24", Get("BM_ShownCopyPart/copy"), true, "");
        Line("     and ScalePicture to 6000 x 4000", Get("BM_ShownCopyPart/scale"), true, "");

        const Figure quick = Get("BM_QuickSaveJpeg");
        const Figure alone = Get("BM_SavePictureFileJpeg");
        std::printf("\n");
        Line("2  quick save JPEG, command -> saveEnded", quick,
             Ratio(quick.real, alone.real) <= 1.1, "<= 1.1 x alone");
        Line("   SavePictureFile JPEG alone", alone, true, "");

        std::printf("\n");
        const char* names[] = {"cmdCrop", "cmdMask", "cmdGrayPicture"};
        const char* captures[] = {"crop", "mask", "gray"};
        for (const Command c : {kCrop, kMask, kGray}) {
            const Figure cmd = Get(std::string("BM_Command/") + captures[c]);
            const Figure sum = Get(std::string("BM_EngineSum/") + captures[c]);
            char label[64];
            std::snprintf(label, sizeof label, "3  %s", names[c]);
            Line(label, cmd, Ratio(cmd.real, sum.real) <= 1.5, "<= 1.5 x sum");
            Line("   sum of its picture operations", sum, true, "");
            std::printf("%-52s %9.2f %9s %9s %18s\n", "   repaint after it (not in the goal)",
                        Median(gRepaint[c]), "", "", "");
        }

        std::printf("\n%-52s %9s %9s %s\n", "ratios", "wall", "CPU", "");
        RatioLine("2  quick save / alone, of the medians", Ratio(quick.real, alone.real),
                  Ratio(quick.cpu, alone.cpu), 1.1);
        char label[80];
        std::snprintf(label, sizeof label, "2  the same, median of %d pairs",
                      int(gSavePairWall.size()));
        RatioLine(label, Median(gSavePairWall), Median(gSavePairCpu), 1.1);
        for (const Command c : {kCrop, kMask, kGray}) {
            const Figure cmd = Get(std::string("BM_Command/") + captures[c]);
            const Figure sum = Get(std::string("BM_EngineSum/") + captures[c]);
            std::snprintf(label, sizeof label, "3  %s / sum, of the medians", names[c]);
            RatioLine(label, Ratio(cmd.real, sum.real), Ratio(cmd.cpu, sum.cpu), 1.5);
            std::snprintf(label, sizeof label, "3  %s / sum, median of %d pairs", names[c],
                          int(gCommandPairWall[c].size()));
            RatioLine(label, Median(gCommandPairWall[c]), Median(gCommandPairCpu[c]), 1.5);
        }
        std::printf("\nload average at the start: %s\nload average at the end:   %s\n",
                    mLoadAtStart.c_str(), LoadAverage().c_str());
        std::fflush(stdout);
    }

private:
    static void Line(const char* label, const Figure& f, bool met, const char* goal) {
        PrintLine(52, 9, 18, label, f, met, goal);
    }

    // Median, least and worst of per-save figures; the goal (< 50 ms) applies to the worst.
    static void GapLine(const char* label, const std::vector<double>& v, bool goal) {
        if (v.empty()) {
            std::printf("%-52s %9s\n", label, "no result");
            return;
        }
        std::printf("%-52s %9.2f %9.2f %9s", label, Median(v),
                    *std::min_element(v.begin(), v.end()), "");
        if (goal) {
            std::printf(" %18s %s (worst %.2f)", "< 50 ms", Largest(v) < 50 ? "ok" : "MISSED",
                        Largest(v));
        } else {
            std::printf(" %18s worst %.2f", "", Largest(v));
        }
        std::printf("\n");
    }

    static void RatioLine(const char* label, double wall, double cpu, double goal) {
        std::printf("%-52s %9.3f %9.3f %s\n", label, wall, cpu,
                    wall <= 0 ? "" : (wall <= goal ? "ok" : "MISSED"));
    }

    std::string mLoadAtStart;
};

// Sets the options, makes the picture and shows the window with it at 6000 x 4000.
void Prepare(const QTemporaryDir& dir) {
    Shared& data = Data();
    if (!dir.isValid()) {
        data.failure = QStringLiteral("no temporary folder");
        return;
    }
    // No dialog or message box: the silent default answers at once.
    ModalSeam::Install(nullptr);
    mdlOption::SetDefaultOptions();
    auto& o = mdlOption::Options();
    o.ResizeWhenOpen = false;
    o.DisplayBorder = false;
    data.folder = dir.path() + QLatin1Char('/');
    o.QuickSavePath = data.folder;
    o.SupportFileSave = QStringLiteral("JPEG(*.jpg)|*.jpg|PNG(*.png)|*.png");

    data.picture = VariedPicture(kWidth, kHeight);
    if (data.picture.isNull()) {
        data.failure = QStringLiteral("no memory for the picture");
        return;
    }
    auto* w = new frmResize;
    data.window = w;
    w->SetPicture(data.picture);
    w->setGeometry(0, 0, kWidth, kHeight);
    gPaintWatch->painted = false;
    w->show();
    if (!WaitForPaint()) {
        data.failure = QStringLiteral("the window never painted");
        return;
    }
    if (!Restore(*w, QString(), false)) {
        data.failure = QStringLiteral("the picture control is not 6000 x 4000: %1 x %2")
                           .arg(w->imgView->width())
                           .arg(w->imgView->height());
        return;
    }
    std::printf("picture %d x %d, window %d x %d, picture control %d x %d, border %d\n",
                data.picture.width(), data.picture.height(), w->width(), w->height(),
                w->imgView->width(), w->imgView->height(), int(w->mFormBorder));
}

// Wall-clock time is the figure; the CPU column counts every thread of the process.
void Timed(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
}
// The time is set by the benchmark itself.
void Manual(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseManualTime();
}

}  // namespace

// The time is command -> saveEnded; the gaps are in the table.
BENCHMARK_CAPTURE(BM_QuickSaveWatched, png, kPng)->Apply(Manual)->Iterations(2);
BENCHMARK_CAPTURE(BM_QuickSaveWatched, jpeg, kJpeg)->Apply(Manual)->Iterations(2);
BENCHMARK(BM_QuickSaveJpeg)->Apply(Timed)->Iterations(2);
BENCHMARK(BM_SavePictureFileJpeg)->Apply(Timed)->Iterations(2);
// Its time is the pair's (quick save plus the save alone); the ratios are in the table.
BENCHMARK(BM_QuickSaveJpegPairs)->Apply(Manual)->Iterations(2);
BENCHMARK(BM_ViewCopy)->Apply(Timed)->Iterations(4);
BENCHMARK_CAPTURE(BM_ShownCopyPart, copy, false)->Apply(Timed)->Iterations(4);
BENCHMARK_CAPTURE(BM_ShownCopyPart, scale, true)->Apply(Timed)->Iterations(4);
BENCHMARK_CAPTURE(BM_Command, crop, kCrop)->Apply(Timed)->Iterations(4);
BENCHMARK_CAPTURE(BM_Command, mask, kMask)->Apply(Timed)->Iterations(4);
BENCHMARK_CAPTURE(BM_Command, gray, kGray)->Apply(Timed)->Iterations(4);
BENCHMARK_CAPTURE(BM_EngineSum, crop, kCrop)->Apply(Timed)->Iterations(4);
BENCHMARK_CAPTURE(BM_EngineSum, mask, kMask)->Apply(Timed)->Iterations(4);
BENCHMARK_CAPTURE(BM_EngineSum, gray, kGray)->Apply(Timed)->Iterations(4);
// Its time is the pair's (command plus the operations alone); the ratios are in the table.
BENCHMARK_CAPTURE(BM_CommandPairs, crop, kCrop)->Apply(Manual)->Iterations(4);
BENCHMARK_CAPTURE(BM_CommandPairs, mask, kMask)->Apply(Manual)->Iterations(4);
BENCHMARK_CAPTURE(BM_CommandPairs, gray, kGray)->Apply(Manual)->Iterations(4);

int main(int argc, char** argv) {
    const std::string loadAtStart = LoadAverage();
    // The offscreen platform with a full-HD screen, unless the caller chose a platform. The
    // screen's description lives in the temporary folder, which outlives the application.
    QTemporaryDir dir;
    UseOffscreenFullHd(dir);
    // Qt sees only the program name; every other argument is the benchmark library's.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    PaintWatch watch;
    gPaintWatch = &watch;
    QApplication::instance()->installEventFilter(&watch);

    if (!InitializeWithDefaults(argc, argv, 5)) {
        return 1;
    }
    Prepare(dir);  // failures skip each benchmark
    CommandsReporter reporter(loadAtStart);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    delete Data().window;
    Data().window = nullptr;
    return 0;
}
