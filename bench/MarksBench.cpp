// Drawing marks for a save: 200 marks of every kind into a 24-megapixel picture, as copy and save
// take it (a copy of the picture with its marks drawn). Goal: 150 ms.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "PictureSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <vector>

#include "marks/MarkPainter.h"

namespace {

// Text needs fonts, and fonts a GUI application; this executable's main makes none.
void EnsureGui() {
    if (QGuiApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "lumora_bench";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
}

// 200 marks spread over a 6000 x 4000 picture, at the widths offered on a picture shown at
// 1920 x 1280 (3.125 own pixels to one shown).
std::vector<cMark> TwoHundredMarks() {
    std::vector<cMark> marks;
    const MarkKind kinds[] = {MarkKind::Rectangle, MarkKind::Ellipse, MarkKind::Arrow,
                              MarkKind::Line,      MarkKind::Pen,     MarkKind::Highlighter,
                              MarkKind::Pixelate,  MarkKind::Text,    MarkKind::Number,
                              MarkKind::Rectangle};
    for (int i = 0; i < 200; ++i) {
        const MarkKind kind = kinds[i % 10];
        const QPointF at(150 + (i % 20) * 285, 150 + (i / 20) * 380);
        cMark m = NewMark(kind, at, MarkColours()[i % 8], MarkWidths()[i % 3] * 3.125);
        if (kind == MarkKind::Pen || kind == MarkKind::Highlighter) {
            for (int j = 1; j < 400; ++j) {
                m.points.push_back(at + QPointF(j * 0.6, 80 * std::sin(j * 0.05)));
            }
        } else if (kind == MarkKind::Text) {
            m.fontSize = 60;
            m.text = QStringLiteral("第 %1 步\nstep").arg(i);
        } else if (kind == MarkKind::Number) {
            m.fontSize = 40;
            m.number = i / 10 + 1;
        } else {
            m.points = {at, at + QPointF(240, 300)};
        }
        marks.push_back(m);
    }
    return marks;
}

void BM_Draw200MarksInto24Mp(benchmark::State& state) {
    EnsureGui();
    QImage picture(6000, 4000, QImage::Format_BGR888);
    FillPhoto(picture.bits(), picture.bytesPerLine(), picture.width(), picture.height(), true);
    const std::vector<cMark> marks = TwoHundredMarks();
    for (auto _ : state) {
        const QImage out = MarkPainter::WithMarks(picture, marks);
        benchmark::DoNotOptimize(out.constBits());
    }
}

}  // namespace

BENCHMARK(BM_Draw200MarksInto24Mp)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace {

// The drawing alone, into the same picture each time (no copy): all 200 marks (-1), or only
// those of one kind (the argument is the kind).
void BM_Draw200MarksOnly(benchmark::State& state) {
    EnsureGui();
    QImage picture(6000, 4000, QImage::Format_BGR888);
    FillPhoto(picture.bits(), picture.bytesPerLine(), picture.width(), picture.height(), true);
    const std::vector<cMark> marks = TwoHundredMarks();
    std::vector<cMark> one(1);
    for (auto _ : state) {
        if (state.range(0) < 0) {
            MarkPainter::DrawMarks(picture, marks, QSizeF(picture.size()));
        } else {
            for (const cMark& m : marks) {
                if (int(m.kind) == state.range(0)) {
                    one[0] = m;
                    MarkPainter::DrawMarks(picture, one, QSizeF(picture.size()));
                }
            }
        }
        benchmark::DoNotOptimize(picture.constBits());
    }
}

}  // namespace

BENCHMARK(BM_Draw200MarksOnly)->DenseRange(-1, 8)->Unit(benchmark::kMillisecond)->UseRealTime();
