#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <vector>

#include "marks/MarkGeometry.h"
#include "marks/MarkPainter.h"

namespace {

// Pixels that are no longer white, and whether all of them lie inside `within`.
int Marked(const QImage& img, const QRect& within, bool* allInside) {
    int n = 0;
    *allInside = true;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                ++n;
                *allInside = *allInside && within.contains(x, y);
            }
        }
    }
    return n;
}

// Text and numbers need the interface font, which a GUI application provides.
TEST(MarkPainterText, TextAndNumbersDrawInsideTheirBoxesAtAnyLength) {
    struct Row {
        QString text;
        QSize image;  // of a picture 400 x 300
    } rows[] = {
        {QStringLiteral("标注 ab\n第二行"), {400, 300}},
        {QStringLiteral("标注 ab\n第二行"), {200, 150}},
        {QString(100000, QLatin1Char('W')), {400, 300}},  // far wider than the picture
        {QString(100000, QLatin1Char('\n')) + QStringLiteral("x"), {400, 300}},  // tall
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text.left(8).toStdString());
        cMark text = NewMark(MarkKind::Text, {20, 30}, MarkColours()[4], 2.0);
        text.fontSize = 24;
        text.text = r.text;
        QImage img(r.image, QImage::Format_BGR888);
        img.fill(Qt::white);
        MarkPainter::DrawMarks(img, {text}, QSizeF(400, 300));
        bool inside = false;
        const QRect repaint = MarkPainter::RepaintRect(text, QSizeF(r.image), QSizeF(400, 300));
        const int n = Marked(img, repaint, &inside);
        EXPECT_EQ(n > 0, !r.text.startsWith(QLatin1Char('\n')));
        EXPECT_TRUE(inside);
        EXPECT_EQ(MarkGeometry::HitTest({text}, {30, 40}, 2.0, 1.0), 0);
    }

    cMark number = NewMark(MarkKind::Number, {50, 50}, MarkColours()[0], 2.0);
    number.fontSize = 20;
    number.number = NextMarkNumber({number});
    ASSERT_EQ(number.number, 1);
    QImage img(100, 100, QImage::Format_ARGB32);
    img.fill(Qt::white);
    MarkPainter::DrawMarks(img, {number}, QSizeF(100, 100));
    EXPECT_EQ(img.pixel(50, 33), qRgb(255, 0, 0));  // the circle, above its digit
    int light = 0;
    for (int y = 40; y < 60; ++y) {
        for (int x = 40; x < 60; ++x) {
            light += qGreen(img.pixel(x, y)) > 200 ? 1 : 0;
        }
    }
    EXPECT_GT(light, 5);  // the digit, white on red
}

}  // namespace
