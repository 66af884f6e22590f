// Memory of many image windows, measured the way a person fills the screen: 20 windows each open
// a 24-megapixel JPEG (the real open: decoded in the worker process), are sized to about
// 1000 x 700 and turned grey once, so each holds one undo snapshot. Then:
//   - the resident size of the process against the bytes of the stored pictures and snapshots
//     (the goal: under 1.2 times their sum), with a breakdown per window: picture, displayed
//     copy, snapshot, caches (the window's backing store), and what the recycled picture memory
//     holds; memory held twice shows as a shared-or-not column and as unaccounted bytes;
//   - after every window has closed and the recycled memory has let go, the resident size
//     against where it started (the goal: within 50 MB).
// Run it from a Release build without sanitizers. Without QT_QPA_PLATFORM it uses Qt's offscreen
// platform with a 1920 x 1080 screen.

#include "BenchSupport.h"
#include "WindowBenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/mdlMain.h"
#include "image/MFreeImage.h"
#include "image/PixelMemory.h"
#include "settings/mdlOption.h"
#include "window/PictureViewWidget.h"
#include "window/cBackup.h"
#include "window/frmResize.h"

namespace {

constexpr int kWindows = 20;
constexpr double kMB = 1024.0 * 1024.0;

// A field of /proc/self/status in bytes ("VmRSS", "RssAnon", ...); 0 when unknown.
double StatusBytes(const char* field) {
    double kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const size_t n = std::strlen(field);
        while (std::fgets(line, sizeof line, f) != nullptr) {
            if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
                kb = std::atof(line + n + 1);
                break;
            }
        }
        std::fclose(f);
    }
    return kb * 1024.0;
}

void PrintResident(const char* when) {
    std::printf("%-34s RSS %8.1f MB (anon %7.1f, file %6.1f, shmem %7.1f)\n", when,
                StatusBytes("VmRSS") / kMB, StatusBytes("RssAnon") / kMB,
                StatusBytes("RssFile") / kMB, StatusBytes("RssShmem") / kMB);
}

// Runs the event loop until `done` holds or 60 seconds pass; false on the timeout.
template <typename Done>
bool SpinUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 60000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(5);
    }
    return true;
}

// Opens one window on `path` and waits until it shows the picture of that size.
frmResize* OpenShown(const QString& path, int index, QSize own) {
    frmResize* window = mdlMain::OpenPictureWindow(path, 15 * index * 10, 15 * index * 10);
    if (window == nullptr) {
        return nullptr;
    }
    QPointer<frmResize> guard(window);
    if (!SpinUntil([&] { return guard.isNull() || guard->Picture().size() == own; }) ||
        guard.isNull()) {
        return nullptr;
    }
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    UseOffscreenFullHd(dir);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    (void)argc;
    mdlOption::SetDefaultOptions();
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }

    // One 24-megapixel JPEG under 20 names: each window reads its own file.
    const QSize own(6000, 4000);
    QStringList files;
    {
        const QString first = dir.filePath(QStringLiteral("p0.jpg"));
        if (!MFreeImage::SavePictureFile(VariedPicture(own.width(), own.height()), first)) {
            std::fprintf(stderr, "the JPEG could not be written\n");
            return 1;
        }
        files << first;
        for (int i = 1; i < kWindows; ++i) {
            files << dir.filePath(QStringLiteral("p%1.jpg").arg(i));
            QFile::copy(first, files.back());
        }
    }
    // One window opened and closed first, so the one-time costs (plugins, fonts, the decode
    // workers) are in the starting figure.
    {
        QPointer<frmResize> warm = OpenShown(files[0], 0, own);
        if (warm.isNull()) {
            std::fprintf(stderr, "the first window did not open\n");
            return 1;
        }
        warm->close();
        SpinUntil([&] { return warm.isNull(); });
        PixelMemory::ReleaseCached();
    }
    const double start = StatusBytes("VmRSS");
    PrintResident("start (after one window came and went)");

    std::vector<QPointer<frmResize>> windows;
    for (int i = 0; i < kWindows; ++i) {
        frmResize* w = OpenShown(files[i], i, own);
        if (w == nullptr) {
            std::fprintf(stderr, "window %d did not open\n", i);
            return 1;
        }
        w->ApplyViewSize(1000, 667);
        w->repaint();
        windows.emplace_back(w);
    }
    PrintResident("20 windows opened, before the edits");
    for (QPointer<frmResize>& w : windows) {
        w->cmdGrayPicture();
        w->repaint();
    }
    for (int i = 0; i < 10; ++i) {  // the paints and deferred work the edits posted
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    PrintResident("20 windows, right after the edits");
    const PixelMemory::CacheState kept = PixelMemory::Cached();

    std::printf("\n%3s %10s %12s %10s %10s %10s %8s %8s\n", "win", "picture", "displayed",
                "snapshot", "backing", "view", "view", "snapshot");
    std::printf("%3s %10s %12s %10s %10s %10s %8s %8s\n", "", "MB", "MB (size)", "MB (size)", "MB",
                "size", "shares", "shares");
    double stored = 0;
    double accounted = 0;
    for (int i = 0; i < kWindows; ++i) {
        frmResize* w = windows[size_t(i)];
        const QImage picture = w->Picture();
        const QImage snapshot = w->Backup().NowPicture();
        const QImage& shown = w->imgView->shownPicture();
        const double backing = 4.0 * w->width() * w->height();  // the window's 32-bit store
        stored += double(picture.sizeInBytes() + snapshot.sizeInBytes());
        accounted +=
            double(picture.sizeInBytes() + snapshot.sizeInBytes() + shown.sizeInBytes()) + backing;
        std::printf(
            "%3d %10.1f %5.1f %6s %4.1f %5s %10.1f %4dx%-5d %8s %8s\n", i + 1,
            double(picture.sizeInBytes()) / kMB, double(shown.sizeInBytes()) / kMB,
            qPrintable(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height())),
            double(snapshot.sizeInBytes()) / kMB,
            qPrintable(QStringLiteral("%1x%2").arg(snapshot.width()).arg(snapshot.height())),
            backing / kMB, w->imgView->width(), w->imgView->height(),
            w->imgView->picture().constBits() == picture.constBits() ? "picture" : "NO",
            snapshot.constBits() == picture.constBits() ? "PICTURE" : "no");
    }
    accounted += double(kept.bytes);
    const double resident = StatusBytes("VmRSS");
    std::printf(
        "\nstored pictures and snapshots: %.1f MB; recycled memory kept: %d buffers, %.1f MB\n",
        stored / kMB, kept.buffers, double(kept.bytes) / kMB);
    std::printf(
        "accounted (pictures, snapshots, displayed copies, backing stores, recycled): %.1f MB\n",
        accounted / kMB);
    std::printf(
        "resident %.1f MB = %.3f x stored (goal < 1.2); above the start: %.1f MB, "
        "unaccounted %.1f MB\n",
        resident / kMB, resident / stored, (resident - start) / kMB,
        (resident - start - accounted) / kMB);
#if defined(__GLIBC__)
    // What the C heap holds free (transient stretches under the mapping size come from it).
    malloc_trim(0);
    std::printf("after the C heap gave back its free memory: resident %.1f MB (%.1f MB less)\n",
                StatusBytes("VmRSS") / kMB, (resident - StatusBytes("VmRSS")) / kMB);
#endif
    PixelMemory::ReleaseCached();
    const double settled = StatusBytes("VmRSS");
    std::printf("after the recycled memory let go: resident %.1f MB = %.3f x stored %s\n",
                settled / kMB, settled / stored, settled < 1.2 * stored ? "ok" : "MISSED");

    // A second round of edits: now the pictures let go of are the program's own mappings, which
    // the recycled memory keeps for a while (at most its bound) before the trimmer returns them.
    for (QPointer<frmResize>& w : windows) {
        w->cmdGrayPicture();
        w->repaint();
    }
    QCoreApplication::processEvents();
    const PixelMemory::CacheState again = PixelMemory::Cached();
    const double burst = StatusBytes("VmRSS");
    std::printf(
        "\nsecond round of edits: resident %.1f MB = %.3f x stored, recycled memory kept: "
        "%d buffers, %.1f MB\n",
        burst / kMB, burst / stored, again.buffers, double(again.bytes) / kMB);
    SpinUntil([] { return PixelMemory::Cached().buffers == 0; });
    std::printf("once the trimmer let go of it: resident %.1f MB = %.3f x stored %s\n",
                StatusBytes("VmRSS") / kMB, StatusBytes("VmRSS") / stored,
                StatusBytes("VmRSS") < 1.2 * stored ? "ok" : "MISSED");

    for (QPointer<frmResize>& w : windows) {
        if (!w.isNull()) {
            w->close();
        }
    }
    SpinUntil([&] {
        for (const QPointer<frmResize>& w : windows) {
            if (!w.isNull()) {
                return false;
            }
        }
        return true;
    });
    PrintResident("\nall closed, recycled memory kept");
    std::printf("recycled memory kept: %d buffers, %.1f MB\n", PixelMemory::Cached().buffers,
                double(PixelMemory::Cached().bytes) / kMB);
    // The trimmer lets the recycled memory go once it has been idle (kIdle), without help.
    QElapsedTimer idle;
    idle.start();
    const bool trimmed = SpinUntil([] { return PixelMemory::Cached().buffers == 0; });
    std::printf("the trimmer let go of it after %.1f s%s\n", double(idle.elapsed()) / 1000,
                trimmed ? "" : " (not: released by hand)");
    PixelMemory::ReleaseCached();
    PrintResident("all closed, recycled memory let go");
    const double end = StatusBytes("VmRSS");
    std::printf("back to %.1f MB above the start (goal within 50 MB) %s\n", (end - start) / kMB,
                end - start <= 50 * kMB ? "ok" : "MISSED");
    std::printf("load average at the end: %s\n", LoadAverage().c_str());
    return 0;
}
