// The window's document as a history of steps: every step's undo gives back exactly what was
// (the picture's own bytes and size, its screen copy, profile and file names, and the shown size
// the step changed), its redo exactly what it made, and the program's snapshots keep within their
// budget by dropping the oldest steps, never a history's newest one.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "image/ColourProfile.h"
#include "support/DecodedColour.h"
#include "support/TestSupport.h"
#include "window/UndoBudget.h"
#include "window/cPictureModel.h"

namespace {

using TestSupport::PatternImage;
using TestSupport::SamePixels;

struct Snapshot {
    QImage picture;
    QImage screen;
    QByteArray profile;
    QString file;

    explicit Snapshot(const cPictureModel& m)
        : picture(m.Picture().copy()),
          screen(m.ScreenPicture().copy()),
          profile(m.Profile()),
          file(m.mPicFile) {}
};

void ExpectSame(const cPictureModel& m, const Snapshot& s) {
    EXPECT_EQ(m.Picture().size(), s.picture.size());
    EXPECT_EQ(m.Picture().format(), s.picture.format());
    EXPECT_TRUE(SamePixels(m.Picture(), s.picture));
    EXPECT_TRUE(SamePixels(m.ScreenPicture(), s.screen));
    EXPECT_EQ(m.Profile(), s.profile);
    EXPECT_EQ(m.mPicFile, s.file);
}

// A picture of 40 x 30 in Adobe RGB, with its screen copy, read from a file.
void Open(cPictureModel& m) {
    const QImage values = PatternImage(40, 30);
    ASSERT_TRUE(m.Loaded(QStringLiteral("/p/adobe.jpg"), values,
                         ColourSupport::ColourOf(values, ColourSupport::AdobeRgb())));
}

// Each step on a picture of 40 x 30 shown at 20 x 15: a shown copy is never what comes back.
const QSize kShown(20, 15);

struct StepCase {
    const char* what;
    std::function<bool(cPictureModel&)> step;
    QSize shownAfter;  // the window's shown size once the step is done
    bool changesSize;  // undo and redo put the shown size back
    QPoint shift;      // the window moves by this
    const char* fileAfter;
};
void PrintTo(const StepCase& c, std::ostream* os) {
    *os << c.what;
}

class EachStep : public testing::TestWithParam<StepCase> {};

TEST_P(EachStep, UndoAndRedoGiveBackExactlyWhatWas) {
    const StepCase& c = GetParam();
    cPictureModel m;
    Open(m);
    const Snapshot before(m);

    ASSERT_TRUE(c.step(m));
    const Snapshot after(m);
    EXPECT_EQ(m.mPicFile, QString::fromUtf8(c.fileAfter));
    EXPECT_EQ(m.UndoSteps(), 1);
    EXPECT_FALSE(m.CanRedo());

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const auto undo = m.Undo(c.shownAfter);
        ASSERT_TRUE(undo.done);
        ExpectSame(m, before);
        EXPECT_EQ(undo.viewSize, c.changesSize ? kShown : QSize());
        EXPECT_EQ(undo.shiftPx, -c.shift);
        EXPECT_FALSE(m.CanUndo());

        const auto redo = m.Redo(kShown);
        ASSERT_TRUE(redo.done);
        ExpectSame(m, after);
        EXPECT_EQ(redo.viewSize, c.changesSize ? c.shownAfter : QSize());
        EXPECT_EQ(redo.shiftPx, c.shift);
        EXPECT_FALSE(m.CanRedo());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, EachStep,
    testing::Values(
        StepCase{"crop",
                 [](cPictureModel& m) {
                     return m.Crop(kShown, {2, 3, 10, 6}, 1).done;
                 },
                 {10, 6},
                 true,
                 {1, 2},
                 "/p/adobe.jpg"},
        StepCase{"mask",
                 [](cPictureModel& m) {
                     return m.Mask(kShown, {2, 3, 10, 6}).done;
                 },
                 kShown,
                 false,
                 {},
                 "/p/adobe.jpg"},
        StepCase{"grey",
                 [](cPictureModel& m) { return m.Gray(kShown).done; },
                 kShown,
                 false,
                 {},
                 "/p/adobe.jpg"},
        StepCase{"turn keeping the scale",
                 [](cPictureModel& m) { return m.Rotate(kShown, "+90", true).done; },
                 {15, 20},
                 true,
                 {},
                 "/p/adobe.jpg"},
        StepCase{"flip",
                 [](cPictureModel& m) { return m.Rotate(kShown, "Y", false).done; },
                 kShown,
                 false,
                 {},
                 "/p/adobe.jpg"},
        StepCase{"size",
                 [](cPictureModel& m) {
                     return m.Resize(kShown, {50, 41}).done;
                 },
                 {50, 41},
                 true,
                 {},
                 "/p/adobe.jpg"},
        // The window sizes itself for a pasted or captured picture; that size comes back.
        StepCase{"paste",
                 [](cPictureModel& m) { return m.Paste(PatternImage(12, 9), kShown); },
                 {12, 9},
                 true,
                 {},
                 ""},
        StepCase{"capture",
                 [](cPictureModel& m) { return m.Capture(PatternImage(64, 48), kShown); },
                 {64, 48},
                 true,
                 {},
                 "/p/adobe.jpg"}));

TEST(History, ManyStepsUndoInTurnAndOpenOrClearEmptyIt) {
    cPictureModel m;
    Open(m);
    std::vector<Snapshot> states{Snapshot(m)};
    ASSERT_TRUE(m.Crop({40, 30}, {4, 4, 30, 20}, 0).done);
    states.emplace_back(m);
    ASSERT_TRUE(m.Mask({30, 20}, {1, 1, 5, 5}).done);
    states.emplace_back(m);
    ASSERT_TRUE(m.Rotate({30, 20}, "-90", true).done);
    states.emplace_back(m);
    EXPECT_EQ(m.UndoSteps(), 3);
    for (int i = 2; i >= 0; --i) {
        ASSERT_TRUE(m.Undo({20, 30}).done);
        ExpectSame(m, states[static_cast<size_t>(i)]);
    }
    EXPECT_FALSE(m.Undo({20, 30}).done);
    ASSERT_TRUE(m.Redo({40, 30}).done);
    ExpectSame(m, states[1]);
    // A new step after an undo drops what could have been redone.
    ASSERT_TRUE(m.Gray({30, 20}).done);
    EXPECT_FALSE(m.CanRedo());
    EXPECT_EQ(m.UndoSteps(), 2);

    Open(m);
    EXPECT_FALSE(m.CanUndo());
    ASSERT_TRUE(m.Gray({40, 30}).done);
    m.Clear();
    EXPECT_FALSE(m.CanUndo());
    EXPECT_FALSE(m.CanRedo());
    EXPECT_EQ(UndoBudget::Held(), 0);
}

class Budget : public testing::Test {
protected:
    void TearDown() override { UndoBudget::setLimit(UndoBudget::kDefaultLimit); }
    static void Masks(cPictureModel& m, int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(m.Mask({40, 30}, {i, i, 2, 2}).done);
        }
    }
};

TEST_F(Budget, DropsTheOldestStepsFirstAndNeverAHistorysNewest) {
    cPictureModel m;
    m.SetPicture(PatternImage(40, 30));
    ASSERT_TRUE(m.ScreenPicture().cacheKey() == m.Picture().cacheKey());  // no screen copy
    const qint64 kSnapshot = m.Picture().sizeInBytes();
    UndoBudget::setLimit(3 * kSnapshot);
    Masks(m, 2);
    const Snapshot second(m);
    Masks(m, 3);
    EXPECT_EQ(m.UndoSteps(), 3);
    EXPECT_EQ(UndoBudget::Held(), 3 * kSnapshot);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(m.Undo({40, 30}).done);
    }
    // The step whose snapshot went is never undone into a picture that is not there.
    EXPECT_FALSE(m.Undo({40, 30}).done);
    ExpectSame(m, second);

    // Another window's steps go once this one has only its newest left; each keeps that one.
    cPictureModel other;
    other.SetPicture(PatternImage(40, 30));
    Masks(other, 2);
    UndoBudget::setLimit(1);
    ASSERT_TRUE(m.Gray({40, 30}).done);
    EXPECT_EQ(m.UndoSteps(), 1);
    EXPECT_EQ(other.UndoSteps(), 1);
    EXPECT_EQ(UndoBudget::Held(), 2 * kSnapshot);
    ASSERT_TRUE(other.Undo({40, 30}).done);
    EXPECT_FALSE(other.Undo({40, 30}).done);
}

}  // namespace
