// How long the interface stops when another program pastes a copied 8 MP picture (3264 x 2448,
// 24 bits, shown at its own size), on X11 (an X server is needed, e.g. Xvfb; so is xclip). The
// copy (frmResize::cmdCopy) encodes its PNG on a worker thread; another program's paste is served
// on the interface thread, inside Qt's X11 clipboard handling. Per repetition, two cases back to
// back (alternating which comes first):
//   a. after the encode: the copy, then the event loop runs until the global thread pool is idle
//      (the encode has ended) and 200 ms more, then `xclip -o -selection clipboard -t image/png`;
//   b. mid-encode: xclip is started right after the copy, so the paste waits for the encode.
// A 1 ms timer watches the event loop throughout; a stall is the longest gap between its ticks.
// Reported: the cmdCopy call (wall and interface-thread CPU) and the gap holding it, the encode
// (copy to idle pool, case a) and the longest gap meanwhile, the longest gap from xclip's start to
// its end (and the interface thread's CPU time then: in case b mostly waiting, not working),
// xclip's wall time and the PNG it received. xclip writes to a file, so this program reads no pipe
// meanwhile. Medians of 5 repetitions (or as many as the first argument says), with the load
// average at the start and the end. A plain executable, run on a display of its own:
//   DISPLAY=:95 build/bench/lumora_clipboard_bench [repetitions]

#include "BenchSupport.h"
#include "WindowBenchSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "dialogs/ModalSeam.h"
#include "image/cPngClipboardData.h"
#include "settings/mdlOption.h"
#include "window/frmResize.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 3264;
constexpr int kHeight = 2448;
constexpr int kSettleMs = 100;       // event loop time before the copy
constexpr int kAfterEncodeMs = 200;  // case a: event loop time between the idle pool and xclip
constexpr int kTimeoutMs = 60000;    // a run that never ends

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of the calling thread, ms: tells work from time spent waiting for a core or a reply.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Ticks every millisecond and keeps the longest gap since the last Open; a gap is counted only
// from the moment the window was opened, so work done just before it is not charged to it.
class Heartbeat {
public:
    Heartbeat() {
        mTimer.setTimerType(Qt::PreciseTimer);
        mTimer.setInterval(1);
        QObject::connect(&mTimer, &QTimer::timeout, [this] { Beat(); });
        mLast = Clock::now();
        mTimer.start();
    }
    void Open() {
        mOpened = Clock::now();
        mLongest = 0;
    }
    // The longest gap since Open, including the one still running.
    double Close() {
        Beat();
        return mLongest;
    }
    Clock::time_point Last() const { return mLast; }

private:
    void Beat() {
        const Clock::time_point now = Clock::now();
        mLongest = std::max(mLongest, Ms(now - std::max(mLast, mOpened)));
        mLast = now;
    }
    QTimer mTimer;
    Clock::time_point mLast;
    Clock::time_point mOpened;
    double mLongest = 0;
};

struct Run {
    bool ok = false;
    QString failure;
    double copyCallMs = 0;    // the cmdCopy call
    double copyCpuMs = 0;     // the same, CPU time of the interface thread
    double copyGapMs = 0;     // the heartbeat gap holding it
    double encodeMs = -1;     // case a: copy to idle pool
    double encodeGapMs = -1;  // case a: the longest gap after the copy's until the pool was idle
    double pasteGapMs = 0;    // the longest gap from xclip's start to its end
    double pasteCpuMs = 0;    // the interface thread's CPU time over the same span
    double xclipMs = 0;       // xclip's wall time
    double pngBytes = 0;      // the PNG xclip received
};

// One copy and one paste by xclip, mid-encode or after it.
Run CopyAndPaste(frmResize& w, Heartbeat& beat, bool midEncode, const QString& outFile) {
    Run run;
    QEventLoop loop;
    QProcess xclip;
    xclip.setStandardOutputFile(outFile, QIODevice::Truncate);
    Clock::time_point xclipStart;
    double xclipStartCpu = 0;
    QObject::connect(&xclip, &QProcess::finished, &loop,
                     [&](int code, QProcess::ExitStatus status) {
                         run.pasteGapMs = beat.Close();
                         run.pasteCpuMs = ThreadCpuMs() - xclipStartCpu;
                         run.xclipMs = Ms(Clock::now() - xclipStart);
                         run.ok = status == QProcess::NormalExit && code == 0;
                         if (!run.ok) {
                             run.failure = QStringLiteral("xclip failed: ") +
                                           QString::fromLocal8Bit(xclip.readAllStandardError());
                         }
                         loop.quit();
                     });
    QObject::connect(&xclip, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            run.failure = QStringLiteral("xclip did not start (is it installed?)");
            loop.quit();
        }
    });
    const auto paste = [&] {
        xclipStart = Clock::now();
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                              QStringLiteral("clipboard"), QStringLiteral("-t"),
                                              QStringLiteral("image/png")});
        beat.Open();  // starting the process is this program's own work
        xclipStartCpu = ThreadCpuMs();
    };
    QTimer poll;
    Clock::time_point copied;
    QTimer::singleShot(kSettleMs, &loop, [&] {
        const Clock::time_point before = beat.Last();
        const double startCpu = ThreadCpuMs();
        const Clock::time_point start = Clock::now();
        w.cmdCopy();
        copied = Clock::now();
        run.copyCallMs = Ms(copied - start);
        run.copyCpuMs = ThreadCpuMs() - startCpu;
        beat.Open();
        run.copyGapMs = Ms(copied - before);
        if (midEncode) {
            paste();
            return;
        }
        // The encode is the only work on the global pool here: idle means it has ended.
        poll.setInterval(2);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (QThreadPool::globalInstance()->activeThreadCount() != 0) {
                return;
            }
            poll.stop();
            run.encodeMs = Ms(Clock::now() - copied);
            run.encodeGapMs = beat.Close();
            QTimer::singleShot(kAfterEncodeMs, &loop, paste);
        });
        poll.start();
    });
    QTimer::singleShot(kTimeoutMs, &loop, [&] {
        run.failure = QStringLiteral("no end within a minute");
        loop.quit();
    });
    loop.exec();
    if (xclip.state() != QProcess::NotRunning) {
        xclip.kill();
        xclip.waitForFinished();
        run.ok = false;
    }
    QFile png(outFile);
    if (run.ok && png.open(QIODevice::ReadOnly)) {
        run.pngBytes = double(png.size());
        if (png.read(8) != QByteArray("\x89PNG\r\n\x1a\n", 8)) {
            run.ok = false;
            run.failure = QStringLiteral("xclip's output is not a PNG");
        }
    }
    return run;
}

double MedianOf(const std::vector<Run>& runs, double Run::*field) {
    std::vector<double> values;
    for (const Run& r : runs) {
        values.push_back(r.*field);
    }
    return Median(values);
}

void PrintRun(const char* name, const Run& r) {
    std::printf(
        "%-11s copy %6.2f ms (cpu %5.2f, gap %6.2f)  encode %7.1f ms (gap %5.2f)  paste gap "
        "%7.2f ms (cpu %6.2f)  xclip %7.1f ms  png %.0f bytes\n",
        name, r.copyCallMs, r.copyCpuMs, r.copyGapMs, r.encodeMs, r.encodeGapMs, r.pasteGapMs,
        r.pasteCpuMs, r.xclipMs, r.pngBytes);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string loadAtStart = LoadAverage();
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "lumora_clipboard_bench: needs an X display (e.g. Xvfb) and xclip\n");
        return 2;
    }
    // The figures are those of Qt's X11 clipboard.
    qputenv("QT_QPA_PLATFORM", "xcb");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "lumora_clipboard_bench: no temporary folder\n");
        return 1;
    }
    ModalSeam::Install(nullptr);
    mdlOption::SetDefaultOptions();
    mdlOption::Options().ResizeWhenOpen = false;
    mdlOption::Options().DisplayBorder = false;

    const QImage picture = VariedPicture(kWidth, kHeight);
    frmResize w;
    w.SetPicture(picture);
    // At its own size although the screen is smaller: the copy is then the picture itself.
    w.SetDeviceGeometry(QRect(0, 0, kWidth + 2 * w.mFormBorder, kHeight + 2 * w.mFormBorder));
    w.show();
    QDeadlineTimer shown(1500);  // mapped and painted
    while (!shown.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (w.GetViewPicture().size() != picture.size()) {
        std::fprintf(stderr, "lumora_clipboard_bench: the window shows %d x %d, not %d x %d\n",
                     w.ShownSize().width(), w.ShownSize().height(), kWidth, kHeight);
        return 1;
    }
    const auto encode = Measure([&] { (void)cPngClipboardData::EncodePng(picture); });
    std::printf("picture %d x %d shown at its own size; PNG encode alone %.1f ms (this thread)\n",
                kWidth, kHeight, encode.wallMs);

    Heartbeat beat;
    std::vector<Run> after;
    std::vector<Run> mid;
    const QString outFile = dir.filePath(QStringLiteral("paste.png"));
    for (int i = 0; i < repetitions; ++i) {
        for (int half = 0; half < 2; ++half) {
            const bool midEncode = (half == 0) == (i % 2 == 1);
            const Run run = CopyAndPaste(w, beat, midEncode, outFile);
            if (!run.ok) {
                std::fprintf(
                    stderr, "lumora_clipboard_bench: %s\n",
                    qUtf8Printable(run.failure.isEmpty() ? QStringLiteral("failed") : run.failure));
                return 1;
            }
            PrintRun(midEncode ? "mid-encode" : "after", run);
            (midEncode ? mid : after).push_back(run);
        }
    }

    std::printf("\nmedians of %d, ms (load average at start: %s; at end: %s)\n", repetitions,
                loadAtStart.c_str(), LoadAverage().c_str());
    std::printf("%-11s %8s %8s %8s %8s %8s %9s %9s %8s %9s\n", "paste", "copy", "copy cpu",
                "copy gap", "encode", "enc. gap", "paste gap", "paste cpu", "xclip", "png bytes");
    for (const auto& [name, runs] : {std::pair{"after", &after}, std::pair{"mid-encode", &mid}}) {
        const bool a = runs == &after;
        std::printf("%-11s %8.2f %8.2f %8.2f %8.1f %8.2f %9.2f %9.2f %8.1f %9.0f\n", name,
                    MedianOf(*runs, &Run::copyCallMs), MedianOf(*runs, &Run::copyCpuMs),
                    MedianOf(*runs, &Run::copyGapMs), a ? MedianOf(*runs, &Run::encodeMs) : 0.0,
                    a ? MedianOf(*runs, &Run::encodeGapMs) : 0.0, MedianOf(*runs, &Run::pasteGapMs),
                    MedianOf(*runs, &Run::pasteCpuMs), MedianOf(*runs, &Run::xclipMs),
                    MedianOf(*runs, &Run::pngBytes));
    }
    return 0;
}
