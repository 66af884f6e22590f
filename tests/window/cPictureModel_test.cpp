#include <gtest/gtest.h>

#include <ostream>

#include "image/ColourProfile.h"
#include "image/mdlPhotoShop.h"
#include "marks/cMark.h"
#include "support/DecodedColour.h"
#include "support/TestSupport.h"
#include "window/cPictureModel.h"

using TestSupport::PatternImage;
using TestSupport::SamePixels;

namespace {

void Fill(cPictureModel& m, int w, int h) {
    m.SetPicture(PatternImage(w, h));
    m.mPicFile = QStringLiteral("/p/a.jpg");
}

bool IsBlack(const QImage& img, const QRect& r) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (img.pixel(x, y) != qRgb(0, 0, 0)) {
                return false;
            }
        }
    }
    return true;
}

// A crop keeps exactly the pixels under the rectangle as shown, moves the window by the
// rectangle's offset less the border, and undo moves it back by exactly that offset and brings
// back the picture at its own size.
struct CropCase {
    QSize shown;
    QRect rect;
    int border;
    QRect keptOfShown;  // what the result holds, in pixels of the shown picture
    QPoint shift;
};

class Cropping : public testing::TestWithParam<CropCase> {};

TEST_P(Cropping, KeepsTheShownPixelsAndUndoesTheMove) {
    const CropCase c = GetParam();
    cPictureModel m;
    Fill(m, 40, 30);
    const QImage before = m.Picture();
    const QImage shown = mdlPhotoShop::ScalePicture(before, c.shown.width(), c.shown.height());

    const auto edit = m.Crop(c.shown, c.rect, c.border);
    ASSERT_TRUE(edit.done);
    EXPECT_EQ(edit.shiftPx, c.shift);
    EXPECT_EQ(edit.viewSize, c.keptOfShown.size());
    EXPECT_TRUE(SamePixels(m.Picture(), shown.copy(c.keptOfShown)));
    EXPECT_EQ(m.mPicFile, QStringLiteral("/p/a.jpg"));  // a crop keeps the file name

    const auto undo = m.Undo(c.keptOfShown.size());
    ASSERT_TRUE(undo.done);
    EXPECT_EQ(undo.shiftPx, -c.shift);
    EXPECT_EQ(undo.viewSize, c.shown);
    EXPECT_TRUE(SamePixels(m.Picture(), before));  // its own size, not the shown copy
    EXPECT_EQ(m.mPicFile, QStringLiteral("/p/a.jpg"));
    EXPECT_FALSE(m.Undo(c.shown).done);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cropping,
    testing::Values(CropCase{{40, 30}, {30, 20, 6, 5}, 0, {30, 20, 6, 5}, {30, 20}},
                    // with the border shown the cut starts at the label's own left and top
                    CropCase{{40, 30}, {10, 8, 12, 9}, 4, {10, 8, 12, 9}, {6, 4}},
                    // shown at half size: the result has the rectangle's shown size
                    CropCase{{20, 15}, {2, 3, 10, 6}, 0, {2, 3, 10, 6}, {2, 3}},
                    // reaching past the picture: clipped to it
                    CropCase{{40, 30}, {35, 25, 20, 20}, 0, {35, 25, 5, 5}, {35, 25}}));

TEST(PictureModel, EditsThatCannotBeDoneChangeNothing) {
    cPictureModel m;
    Fill(m, 40, 30);
    const QImage before = m.Picture();
    EXPECT_FALSE(m.Crop({40, 30}, {50, 50, 10, 10}, 0).done);  // outside the picture
    EXPECT_FALSE(m.Crop({40, 30}, {5, 5, 10, 0}, 0).done);     // no height
    EXPECT_FALSE(m.Mask({40, 30}, {45, 0, 5, 5}).done);
    EXPECT_FALSE(m.Rotate({40, 30}, QStringLiteral("45"), true).done);
    EXPECT_FALSE(m.Paste(QImage(), {40, 30}));
    EXPECT_FALSE(m.Capture(QImage(), {40, 30}));
    EXPECT_FALSE(m.Redo({40, 30}).done);
    EXPECT_EQ(m.UndoSteps(), 0);
    EXPECT_TRUE(SamePixels(m.Picture(), before));
    EXPECT_EQ(m.mPicFile, QStringLiteral("/p/a.jpg"));

    cPictureModel empty;
    EXPECT_FALSE(empty.Gray({40, 30}).done);
    EXPECT_FALSE(empty.Rotate({40, 30}, QStringLiteral("+90"), true).done);
    EXPECT_FALSE(empty.Crop({40, 30}, {1, 1, 5, 5}, 0).done);
    EXPECT_EQ(empty.UndoSteps(), 0);
    EXPECT_FALSE(empty.Loaded(QStringLiteral("/p/b.png"), QImage()));
    EXPECT_EQ(empty.mPicFile, QString());
}

TEST(PictureModel, MaskScalesTheRectangleToTheOwnSize) {
    cPictureModel m;
    Fill(m, 40, 30);
    const auto edit = m.Mask({20, 15}, {5, 5, 10, 10});  // shown at half size
    ASSERT_TRUE(edit.done);
    EXPECT_TRUE(edit.shiftPx.isNull());
    EXPECT_FALSE(edit.viewSize.isValid());
    EXPECT_EQ(m.Picture().size(), QSize(40, 30));
    EXPECT_TRUE(IsBlack(m.Picture(), {10, 10, 20, 20}));
    EXPECT_FALSE(IsBlack(m.Picture(), {9, 9, 1, 1}));
    EXPECT_TRUE(m.Undo({20, 15}).shiftPx.isNull());  // only a crop moves the window back

    // reaching into the band on the right: blackened up to the picture's edge
    cPictureModel banded;
    Fill(banded, 40, 30);
    ASSERT_TRUE(banded.Mask({40, 30}, {35, 0, 9, 4}).done);
    EXPECT_TRUE(IsBlack(banded.Picture(), {35, 0, 5, 4}));
}

TEST(PictureModel, GreyAndRotateChangeThePictureAsTheySay) {
    cPictureModel m;
    Fill(m, 40, 30);
    ASSERT_TRUE(m.Gray({40, 30}).done);
    const QRgb p = m.Picture().pixel(3, 3);
    EXPECT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));

    const auto turned = m.Rotate({80, 60}, QStringLiteral("+90"), true);
    ASSERT_TRUE(turned.done);
    EXPECT_EQ(m.Picture().size(), QSize(30, 40));
    EXPECT_EQ(turned.viewSize, QSize(60, 80));
    EXPECT_FALSE(m.Rotate({80, 60}, QStringLiteral("X"), false).viewSize.isValid());
}

// Cuts and blackened rectangles of the picture's own pixels, never recorded: a cut may reach past
// the picture (black there), a blackened rectangle may not.
struct RegionCase {
    const char* what;
    QRect r;
    bool kept;
    bool blackened;
};
void PrintTo(const RegionCase& c, std::ostream* os) {
    *os << c.what;
}
class Regions : public testing::TestWithParam<RegionCase> {};

TEST_P(Regions, CutAndBlackenTheirRectangleOrChangeNothing) {
    const RegionCase& c = GetParam();
    cPictureModel kept;
    cPictureModel black;
    Fill(kept, 40, 30);
    Fill(black, 40, 30);
    const QImage before = kept.Picture();
    ASSERT_EQ(kept.KeepRegion(c.r), c.kept);
    ASSERT_EQ(black.BlackenRegion(c.r), c.blackened);
    for (int y = -2; y < 32; ++y) {
        for (int x = -2; x < 42; ++x) {
            const QPoint p(x, y);
            const QPoint inCut = p - c.r.topLeft();
            const QRgb was = before.rect().contains(p) ? before.pixel(p) : qRgb(0, 0, 0);
            if (c.kept && kept.Picture().rect().contains(inCut)) {
                EXPECT_EQ(kept.Picture().pixel(inCut), was) << x << "," << y;
            }
            if (before.rect().contains(p)) {
                const bool blackHere = c.blackened && c.r.contains(p);
                EXPECT_EQ(black.Picture().pixel(p), blackHere ? qRgb(0, 0, 0) : was)
                    << x << "," << y;
            }
        }
    }
    EXPECT_EQ(kept.Picture().size(), c.kept ? c.r.size() : before.size());
    EXPECT_EQ(kept.UndoSteps() + black.UndoSteps(), 0);
    EXPECT_EQ(kept.mPicFile, QStringLiteral("/p/a.jpg"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Regions,
    testing::Values(RegionCase{"inside", {5, 2, 4, 3}, true, true},
                    RegionCase{"the whole picture", {0, 0, 40, 30}, true, true},
                    RegionCase{"past the right edge", {36, 0, 5, 5}, true, false},
                    RegionCase{"before the left edge", {-1, 0, 5, 5}, true, false},
                    RegionCase{"no width", {0, 0, 0, 5}, false, true}));

TEST(PictureModel, ACopyOfAnotherTakesItsNamesAndAClearKeepsItsOwn) {
    cPictureModel source;
    Fill(source, 7, 5);
    source.mPicFileExt = QStringLiteral("jpg");
    cPictureModel copy;
    EXPECT_FALSE(copy.AdoptCopyOf(cPictureModel()));  // nothing to copy
    ASSERT_TRUE(copy.AdoptCopyOf(source));
    EXPECT_TRUE(SamePixels(copy.Picture(), source.Picture()));
    EXPECT_EQ(copy.Picture().format(), QImage::Format_BGR888);
    EXPECT_EQ(copy.mPicFile, source.mPicFile);
    EXPECT_EQ(copy.mPicFileExt, source.mPicFileExt);

    ASSERT_TRUE(copy.Gray({7, 5}).done);
    copy.Clear();
    EXPECT_EQ(copy.UndoSteps(), 0);
    EXPECT_FALSE(copy.Picture().isNull());
    EXPECT_EQ(copy.mPicFile, source.mPicFile);  // for later quick saves
}

}  // namespace

namespace {

// The screen copy is the values as the screen shows them, through every edit: each one changes
// both in step (grey through the grey ramp), undo brings both back, and the profile stays the
// picture's until a paste brings an sRGB picture.
TEST(PictureModel, TheScreenCopyFollowsEveryEditOfTheValues) {
    const QByteArray adobe = ColourSupport::AdobeRgb();
    const auto toScreen = cColourTransform::Between(adobe, QByteArray());
    const QImage values = PatternImage(40, 30);
    PictureColour colour = ColourSupport::ColourOf(values, adobe);
    cPictureModel m;
    ASSERT_TRUE(m.Loaded(QStringLiteral("/p/adobe.jpg"), values, colour));

    const auto inStep = [&](const char* after) {
        SCOPED_TRACE(after);
        const QImage expected = toScreen->Picture(m.Picture());
        ASSERT_EQ(m.ScreenPicture().size(), m.Picture().size());
        for (int y = 0; y < expected.height(); y += 3) {
            for (int x = 0; x < expected.width(); x += 3) {
                const QRgb a = m.ScreenPicture().pixel(x, y);
                const QRgb b = expected.pixel(x, y);
                ASSERT_LE(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                              std::abs(qBlue(a) - qBlue(b)),
                          2)
                    << x << "," << y;
            }
        }
        EXPECT_EQ(m.Profile(), adobe);
    };
    inStep("open");
    ASSERT_TRUE(m.Crop(QSize(40, 30), QRect(3, 2, 30, 20), 0).done);
    inStep("crop");
    ASSERT_TRUE(m.Mask(QSize(30, 20), QRect(1, 1, 5, 5)).done);
    inStep("mask");
    const QImage beforeGrey = m.ScreenPicture();
    ASSERT_TRUE(m.Gray(QSize(30, 20)).done);
    inStep("grey");
    ASSERT_TRUE(m.Rotate(QSize(30, 20), QStringLiteral("+90"), false).done);
    inStep("rotate");
    ASSERT_TRUE(m.Undo(QSize(30, 20)).done);  // the turn
    ASSERT_TRUE(m.Undo(QSize(30, 20)).done);  // the grey
    inStep("undo");
    EXPECT_TRUE(SamePixels(m.ScreenPicture(), beforeGrey));

    // A red mark: sRGB red on the screen, the profile's red in the values.
    colour.markColours.clear();
    for (const QColor& c : MarkColours()) {
        colour.markColours << cColourTransform::Between(QByteArray(), adobe)->Colours({c.rgb()})[0];
    }
    ASSERT_TRUE(m.Loaded(QStringLiteral("/p/adobe.jpg"), values, colour));
    cMark box = NewMark(MarkKind::Rectangle, QPointF(5, 5), MarkColours()[0], 4);
    box.points = {QPointF(5, 5), QPointF(30, 20)};
    ASSERT_TRUE(m.SetMarks({box}, QSize(40, 30)).done);
    EXPECT_EQ(m.MarkedScreenView(QSize(40, 30)).pixel(15, 5), qRgb(255, 0, 0));
    EXPECT_EQ(m.MarkedView(QSize(40, 30)).pixel(15, 5), colour.markColours[0]);
    EXPECT_NE(colour.markColours[0], qRgb(255, 0, 0));

    ASSERT_TRUE(m.Paste(PatternImage(8, 8), QSize(30, 20)));
    EXPECT_TRUE(m.Profile().isEmpty());
    EXPECT_EQ(m.ScreenPicture().cacheKey(), m.Picture().cacheKey());
}

}  // namespace

namespace {

// Marks are steps of the history, and a crop or a turn takes them along as it takes the pixels.
TEST(PictureModel, MarksAreStepsAndFollowCropAndTurn) {
    cPictureModel m;
    m.SetPicture(PatternImage(40, 30));
    cMark box = NewMark(MarkKind::Rectangle, QPointF(10, 10), Qt::red, 2);
    box.points = {QPointF(10, 10), QPointF(30, 20)};
    ASSERT_TRUE(m.SetMarks({box}, QSize(80, 60)).done);
    // A crop of the shown (doubled) picture from (20, 20): the mark moves by (-10, -10).
    ASSERT_TRUE(m.Crop(QSize(80, 60), QRect(20, 20, 60, 40), 0).done);
    ASSERT_EQ(m.Marks().size(), 1U);
    EXPECT_EQ(m.Marks()[0].points[0], QPointF(0, 0));
    ASSERT_TRUE(m.Rotate(QSize(60, 40), QStringLiteral("+90"), false).done);
    EXPECT_EQ(m.Picture().size(), QSize(40, 60));
    ASSERT_TRUE(m.Undo(QSize(40, 60)).done);  // the turn
    ASSERT_TRUE(m.Undo(QSize(60, 40)).done);  // the crop
    EXPECT_EQ(m.Marks()[0].points[0], QPointF(10, 10));
    ASSERT_TRUE(m.Undo(QSize(80, 60)).done);  // the mark
    EXPECT_TRUE(m.Marks().empty());
    // What leaves the window has the marks drawn; the picture keeps its pixels.
    ASSERT_TRUE(m.Redo(QSize(80, 60)).done);
    const QImage marked = m.MarkedView(QSize(80, 60));
    EXPECT_EQ(marked.size(), QSize(80, 60));
    EXPECT_NE(marked.pixel(40, 20), m.ViewPicture(QSize(80, 60)).pixel(40, 20));
}

}  // namespace
