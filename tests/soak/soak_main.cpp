// The random-action soak: lumora_soak [actions] [seed]. Runs the real windows in this process on
// the offscreen platform, performs actions drawn from a seeded stream (the seed is printed; the
// same seed replays the same actions) and checks after each one what must always hold. Exits 1
// with the seed, the action's number and the action when something does not.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "settings/frmOption.h"
#include "settings/mdlOption.h"
#include "soak/SoakActions.h"
#include "soak/SoakInvariants.h"
#include "soak/SoakWorld.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace {
quint64 gSeed = 0;
long gIndex = -1;
// A plain buffer: the leak check reports after static objects are gone.
char gNote[1024] = "";

void Report(const char* what) {
    std::fprintf(stderr, "\nSOAK FAILED: seed %llu, action %ld: %s\n  %s\n",
                 static_cast<unsigned long long>(gSeed), gIndex, gNote, what);
    std::fprintf(stderr, "  replay: lumora_soak %ld %llu\n", gIndex + 1,
                 static_cast<unsigned long long>(gSeed));
    std::fflush(stderr);
}

// The offscreen platform says, for every raise and keyboard grab, that it cannot: noise here.
void Messages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (!text.startsWith(QLatin1String("This plugin does not support"))) {
        std::fprintf(stderr, "%s%s\n", type == QtWarningMsg ? "warning: " : "", qPrintable(text));
    }
}

#if defined(__SANITIZE_ADDRESS__)
void ReportDeath() {
    Report("the process died (see the report above)");
}
#endif
}  // namespace

int main(int argc, char** argv) {
    const long actions = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 2000;
    gSeed = argc > 2
                ? std::strtoull(argv[2], nullptr, 10)
                : static_cast<quint64>(std::chrono::system_clock::now().time_since_epoch().count());
    const bool trace = qEnvironmentVariableIsSet("LUMORA_SOAK_TRACE");
    std::printf("soak: %ld actions, seed %llu\n", actions, static_cast<unsigned long long>(gSeed));
    std::fflush(stdout);
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(ReportDeath);
#endif

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#if defined(LUMORA_SOAK_DECODE_WORKER)
    if (qEnvironmentVariableIsEmpty("LUMORA_DECODE_WORKER")) {
        qputenv("LUMORA_DECODE_WORKER", LUMORA_SOAK_DECODE_WORKER);
    }
#endif
    SoakWorld world;
    QString error;
    if (!world.Prepare(QStringLiteral(LUMORA_TEST_DATA), &error)) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(error));
        return 2;
    }
    qInstallMessageHandler(Messages);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    mdlOption::SetDefaultOptions();
    frmOption::setOptionFileForTesting(world.OptionFile);

    SoakRandom rng(gSeed);
    SoakSeam seam(rng, world);
    SoakWindows windows;
    SoakInvariants invariants;
    invariants.Watch({QStringLiteral(LUMORA_TEST_DATA), QCoreApplication::applicationDirPath()});
    SoakContext ctx{rng, world, seam, windows, QString()};

    QElapsedTimer clock;
    clock.start();
    int mostWindows = 0;
    for (gIndex = 0; gIndex < actions; ++gIndex) {
        ctx.note.clear();
        SoakActions::PerformOne(ctx);
        qstrncpy(gNote, ctx.note.toUtf8().constData(), sizeof gNote);
        if (trace) {
            std::printf("%ld: %s\n", gIndex, gNote);
            std::fflush(stdout);
        }
        // Mostly the soak waits for the work an action started; now and then the next action
        // comes while it runs, as when a person does not wait for a save. Those interleavings
        // depend on timing and may not replay exactly.
        const bool quiet = !(rng.Chance(25) && gIndex % 10 != 9);
        if (!quiet) {
            QCoreApplication::processEvents();
        } else if (!SoakActions::WaitForQuiet(60000)) {
            Report("the work it started did not end within a minute");
            return 1;
        }
        if (SoakActions::CloseAllConfirmed()) {
            SoakActions::AfterCloseAll();
            SoakActions::WaitForQuiet(60000);
        }
        windows.Scan();
        mostWindows = qMax(mostWindows, static_cast<int>(windows.Live().size()));
        const QString wrong = invariants.Check(windows, world.Root(), quiet);
        if (!wrong.isEmpty()) {
            Report(qPrintable(wrong));
            return 1;
        }
        if (gIndex % 100 == 99) {
            world.Tidy();
        }
    }
    std::printf("soak: %ld actions passed, seed %llu, %.1f s, %d messages, at most %d windows\n",
                actions, static_cast<unsigned long long>(gSeed), clock.elapsed() / 1000.0,
                seam.messages, mostWindows);
    qstrncpy(gNote, "after the last action (windows closing, process ending)", sizeof gNote);
    // Everything goes before the application does, as when the last window closes.
    SoakActions::AfterCloseAll();
    SoakActions::WaitForQuiet(60000);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        top->deleteLater();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
