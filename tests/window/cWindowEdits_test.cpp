// An image window's edits as its logic does them: nothing while the window is busy, and each
// edit moving and sizing the window as it says. On a 1024 x 768 screen at 15 twips per pixel.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "settings/mdlOption.h"
#include "support/TestSupport.h"
#include "window/WindowCoreTest.h"
#include "window/cWindowEdits.h"
#include "window/cWindowJobs.h"

namespace {

using TestSupport::PatternImage;
using TestSupport::SamePixels;

class Edits : public WindowCoreTest {
protected:
    void SetUp() override {
        WindowCoreTest::SetUp();
        model.SetPicture(PatternImage(40, 30));
        model.mPicFile = QStringLiteral("/p/a.png");
        place.SetDeviceGeometry(QRect(200, 100, 40, 30));
    }

    cPictureModel model;
    cWindowJobs jobs;
    cWindowEdits edits{face, model, jobs, place};
};

struct EditCase {
    const char* what;
    std::function<void(cWindowEdits&)> edit;
};
void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.what;
}

class EachEdit : public Edits, public testing::WithParamInterface<EditCase> {};

TEST_P(EachEdit, WaitsWhileTheWindowIsBusyAndActsOtherwise) {
    face.crop = QRect(5, 5, 10, 10);
    ASSERT_TRUE(model.Gray(face.shown).done);  // something to undo
    const QImage picture = model.Picture();
    const QRect window = place.DeviceGeometry();
    const int changes = face.pictureChanges;

    ASSERT_TRUE(jobs.Begin());  // a save runs
    GetParam().edit(edits);
    EXPECT_TRUE(SamePixels(model.Picture(), picture));
    EXPECT_EQ(model.UndoSteps(), 1);
    EXPECT_EQ(place.DeviceGeometry(), window);
    EXPECT_EQ(face.pictureChanges, changes);
    EXPECT_EQ(face.crop, QRect(5, 5, 10, 10));

    jobs.End();
    GetParam().edit(edits);
    EXPECT_GT(face.pictureChanges, changes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EachEdit,
    testing::Values(EditCase{"clear", [](cWindowEdits& e) { e.cmdClear(); }},
                    EditCase{"crop", [](cWindowEdits& e) { e.cmdCrop(); }},
                    EditCase{"mask", [](cWindowEdits& e) { e.cmdMask(); }},
                    EditCase{"grey", [](cWindowEdits& e) { e.cmdGrayPicture(); }},
                    EditCase{"turn", [](cWindowEdits& e) { e.RotateFlip(QStringLiteral("+90")); }},
                    EditCase{"undo", [](cWindowEdits& e) { e.cmdUndo(); }}));

TEST_F(Edits, ACropWithABandMovesTheKeptPartNowhereAndUndoAndRedoPutItBackAndForth) {
    mdlOption::Options().ResizeWhenOpen = true;
    place.SetBorder(true);
    const QRect before = place.DeviceGeometry();
    ASSERT_EQ(before, QRect(196, 96, 48, 38));
    face.crop = QRect(10, 8, 12, 9);  // window pixels: 6 and 4 into the picture
    face.placed.clear();
    edits.cmdCrop();
    EXPECT_TRUE(face.crop.isEmpty());
    EXPECT_EQ(model.Picture().size(), QSize(12, 9));
    // The kept pixels stay where they were on the screen, moved and sized in one step: never the
    // old size at the new place.
    EXPECT_EQ(place.DeviceGeometry(), QRect(202, 100, 20, 17));
    EXPECT_EQ(face.placed, std::vector<QRect>{QRect(202, 100, 20, 17)});
    edits.cmdUndo();
    EXPECT_EQ(place.DeviceGeometry(), before);
    EXPECT_EQ(model.Picture().size(), QSize(40, 30));
    edits.cmdRedo();
    EXPECT_EQ(place.DeviceGeometry(), QRect(202, 100, 20, 17));
    EXPECT_EQ(model.Picture().size(), QSize(12, 9));
}

// A size command is a step: undo shows the picture at the size before, whatever
// ResizeWhenOpen says, and redo at the size asked for.
TEST_F(Edits, ASizeCommandIsUndoneAndRedone) {
    mdlOption::Options().ResizeWhenOpen = false;
    ASSERT_TRUE(edits.ViewResize(100, 90));
    EXPECT_EQ(place.DeviceGeometry().size(), QSize(100, 90));
    edits.cmdUndo();
    EXPECT_EQ(place.DeviceGeometry().size(), QSize(40, 30));
    edits.cmdRedo();
    EXPECT_EQ(place.DeviceGeometry().size(), QSize(100, 90));
    EXPECT_EQ(model.Picture().size(), QSize(40, 30));
}

TEST_F(Edits, ATurnKeepsTheScaleAndBringsTheWindowBackOnTheScreen) {
    place.SetDeviceGeometry(QRect(980, 700, 80, 60));  // shown at twice its size
    ASSERT_TRUE(edits.RotateFlip(QStringLiteral("+90")));
    EXPECT_EQ(place.DeviceGeometry(), QRect(964, 688, 60, 80));
    mdlOption::Options().ResizeWhenRotate = false;
    ASSERT_TRUE(edits.RotateFlip(QStringLiteral("-90")));
    EXPECT_EQ(place.DeviceGeometry().size(), QSize(60, 80));
    EXPECT_FALSE(edits.RotateFlip(QStringLiteral("45")));
}

TEST_F(Edits, ANewPictureIsShownAtItsOwnSizeOnlyWhenAskedAndTheSizeIsSaid) {
    mdlOption::Options().ResizeWhenOpen = false;  // an Option.ini that says False
    edits.SetPicture(PatternImage(70, 50));
    EXPECT_EQ(place.DeviceGeometry().size(), QSize(40, 30));
    EXPECT_EQ(model.mPicFile, QString());
    mdlOption::Options().ResizeWhenOpen = true;
    edits.SetPicture(PatternImage(70, 50));
    EXPECT_EQ(place.DeviceGeometry(), QRect(200, 100, 70, 50));
    place.SetDeviceGeometry(QRect(200, 100, 30, 30));
    edits.cmdResize_OrgSize();
    EXPECT_EQ(place.DeviceGeometry().size(), QSize(70, 50));
    EXPECT_EQ(face.tips.back(), QStringLiteral("70 * 50"));
}

// A duplicate shows the picture at the size its source shows it, inside its own band, whatever
// band the source has: the source's outer size in a window with a wider band left a 12 x 4
// picture 4 x 0.
struct DuplicateCase {
    QSize sourceShown;  // the source's picture area, pixels
    bool band;          // the duplicate has a 4-pixel band
    QSize outer;        // the duplicate's window
};
void PrintTo(const DuplicateCase& c, std::ostream* os) {
    *os << c.sourceShown.width() << "x" << c.sourceShown.height() << (c.band ? " band" : "");
}

class Duplicate : public Edits, public testing::WithParamInterface<DuplicateCase> {};

TEST_P(Duplicate, ShowsThePictureAsItsSourceDoesInsideItsOwnBand) {
    const DuplicateCase& c = GetParam();
    place.SetBorder(c.band);
    const QPoint corner = place.DeviceGeometry().topLeft();
    cPictureModel source;
    source.SetPicture(PatternImage(12, 4));
    source.mPicFile = QStringLiteral("/p/b.png");
    ASSERT_TRUE(edits.AdoptPictureOf(source, c.sourceShown));
    EXPECT_EQ(place.DeviceGeometry(), QRect(corner, c.outer));
    const int b = c.band ? 4 : 0;
    EXPECT_EQ(place.PictureRect(), QRect(QPoint(b, b), c.outer - QSize(2 * b, 2 * b)));
    EXPECT_EQ(face.shown, place.PictureRect().size());
    EXPECT_EQ(model.Picture().size(), QSize(12, 4));
    EXPECT_EQ(model.mPicFile, QStringLiteral("/p/b.png"));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, Duplicate,
    testing::Values(DuplicateCase{{12, 4}, true, {20, 12}},  // a source without a band
                    DuplicateCase{{12, 4}, false, {12, 4}},
                    DuplicateCase{{60, 60}, false, {60, 60}},  // a source with a band
                    DuplicateCase{{60, 60}, true, {68, 68}},
                    DuplicateCase{{0, 0}, true, {9, 9}}));  // never less than a pixel

}  // namespace
