// Drawing on a pin: one pointer move of a pen stroke over a 24-megapixel picture shown at
// 1920 x 1280 device pixels, from the move event to the painted frame — the window handles the
// move (the stroke's new piece) and paints what the move touched, as a backing store's partial
// repaint would (QWidget::render of that rectangle). Goal: p99 at most 4 ms. The figures are the
// median and the 99th percentile over the moves of each repetition.
//
// Without QT_QPA_PLATFORM the run uses Qt's offscreen platform with a 1920 x 1080 screen.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "WindowBenchSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "settings/mdlOption.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

namespace {

void BM_PenMoveToPaintedFrame(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    static const QImage picture = VariedPicture(6000, 4000);
    auto* window = new frmResize;
    window->SetPicture(picture);
    window->SetDeviceGeometry(QRect(0, 0, 1920, 1280));
    window->show();
    window->cmdAnnotate();
    QWidget* view = window->imgView;
    QKeyEvent pen(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
    QApplication::sendEvent(window, &pen);  // the pen
    QImage target(window->size(), QImage::Format_RGB32);
    window->render(&target);
    const QPointF start(900, 600);
    QMouseEvent press(QEvent::MouseButtonPress, start, view->mapToGlobal(start), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    std::vector<double> moves;
    int step = 0;
    for (auto _ : state) {
        ++step;
        const QPointF at(900 + 400 * std::cos(step / 40.0), 600 + 300 * std::sin(step / 55.0));
        const auto t0 = Clock::now();
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        // What a move touches: the new piece, its width and antialiasing (see UpdateView).
        const QRect touched = QRect(at.toPoint() - QPoint(24, 24), QSize(48, 48));
        window->render(&target, touched.topLeft(), QRegion(touched));
        moves.push_back(Ms(t0, Clock::now()));
    }
    QMouseEvent release(QEvent::MouseButtonRelease, start, view->mapToGlobal(start), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &release);
    if (window->Marks().size() != 1 || window->Marks()[0].points.size() < 100) {
        state.SkipWithError("the moves drew no stroke");
    }
    std::sort(moves.begin(), moves.end());
    state.counters["median_ms"] = Median(moves);
    state.counters["p99_ms"] = moves.empty() ? 0.0 : moves[moves.size() * 99 / 100];
    delete window;
}

BENCHMARK(BM_PenMoveToPaintedFrame)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    UseOffscreenFullHd(dir);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (!InitializeWithDefaults(argc, argv, 3)) {
        return 1;
    }
    mdlOption::SetDefaultOptions();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
