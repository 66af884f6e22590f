#include <gtest/gtest.h>

#include "base/NumberedError.h"
#include "support/TestSupport.h"
#include "window/cBackup.h"

namespace {

// A distinct small picture per label, so each snapshot can be told apart by its pixels.
QImage Pic(int n) {
    return TestSupport::PatternImage(3 + n, 2);
}

void ExpectEmpty(const cBackup& b) {
    EXPECT_EQ(b.Count(), 0);
    EXPECT_TRUE(b.NowPicture().isNull());
    EXPECT_EQ(b.NextOper(), "");
    EXPECT_EQ(b.NextLeft(), -1);
    EXPECT_EQ(b.NextTop(), -1);
}

void ExpectTop(const cBackup& b, int n, const char* oper, int left, int top) {
    EXPECT_TRUE(TestSupport::SamePixels(b.NowPicture(), Pic(n))) << "picture " << n;
    EXPECT_EQ(b.NextOper(), oper);
    EXPECT_EQ(b.NextLeft(), left);
    EXPECT_EQ(b.NextTop(), top);
}

TEST(cBackup, NewHistoryIsEmptyWithBoundOne) {
    cBackup b;
    EXPECT_EQ(b.MaxUndoCount(), 1);
    ExpectEmpty(b);
    EXPECT_FALSE(b.RestorePicture());
    ExpectEmpty(b);
}

TEST(cBackup, BoundOneKeepsOnlyTheLastSnapshot) {
    cBackup b;
    b.setMaxUndoCount(1);
    EXPECT_TRUE(b.BackupPicture(Pic(1), "CROP", 5, 6));
    EXPECT_TRUE(b.BackupPicture(Pic(2), "MASK", 7, 8));
    EXPECT_EQ(b.Count(), 1);
    ExpectTop(b, 2, "MASK", 7, 8);
    EXPECT_TRUE(b.RestorePicture());
    ExpectEmpty(b);
    EXPECT_FALSE(b.RestorePicture());
}

TEST(cBackup, FullHistoryDropsTheOldestAndUndoesNewestFirst) {
    cBackup b;
    b.setMaxUndoCount(3);
    b.BackupPicture(Pic(1), "CROP", 1, 10);
    b.BackupPicture(Pic(2), "MASK", 2, 20);
    b.BackupPicture(Pic(3), "GRAD", 3, 30);
    b.BackupPicture(Pic(4), "CROP", 4, 40);
    EXPECT_EQ(b.Count(), 3);
    ExpectTop(b, 4, "CROP", 4, 40);
    ASSERT_TRUE(b.RestorePicture());
    ExpectTop(b, 3, "GRAD", 3, 30);
    ASSERT_TRUE(b.RestorePicture());
    ExpectTop(b, 2, "MASK", 2, 20);
    ASSERT_TRUE(b.RestorePicture());
    ExpectEmpty(b);
    EXPECT_FALSE(b.RestorePicture());
}

TEST(cBackup, ClearEmptiesAFullHistoryAndPushingStartsAfresh) {
    cBackup b;
    b.setMaxUndoCount(2);
    b.BackupPicture(Pic(1), "CROP", 1, 1);
    b.BackupPicture(Pic(2), "MASK", 2, 2);
    b.ClearBackup();
    ExpectEmpty(b);
    EXPECT_FALSE(b.RestorePicture());
    b.BackupPicture(Pic(3), "GRAD", 3, 3);
    EXPECT_EQ(b.Count(), 1);
    ExpectTop(b, 3, "GRAD", 3, 3);
}

TEST(cBackup, SnapshotIsNotChangedByTheCallerEditingItsPicture) {
    cBackup b;
    QImage shown = Pic(1);
    b.BackupPicture(shown, "MASK", 0, 0);
    shown.fill(Qt::black);  // the window blacks out its picture after the backup
    ExpectTop(b, 1, "MASK", 0, 0);
}

class IgnoredBound : public testing::TestWithParam<qint32> {};

TEST_P(IgnoredBound, LeavesTheBoundAndTheHistory) {
    cBackup b;
    b.setMaxUndoCount(2);
    b.BackupPicture(Pic(1), "CROP", 1, 1);
    b.setMaxUndoCount(GetParam());
    EXPECT_EQ(b.MaxUndoCount(), 2);
    EXPECT_EQ(b.Count(), 1);
    ExpectTop(b, 1, "CROP", 1, 1);
}

INSTANTIATE_TEST_SUITE_P(BelowOne, IgnoredBound, testing::Values(0, -5, INT32_MIN));

TEST(cBackup, BoundAbove16BitsRaisesOverflowAndChangesNothing) {
    cBackup b;
    b.setMaxUndoCount(2);
    b.BackupPicture(Pic(1), "CROP", 1, 1);
    try {
        b.setMaxUndoCount(32768);
        FAIL() << "no error raised";
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.number(), 6);
        EXPECT_EQ(e.description(), "Overflow");
    }
    EXPECT_EQ(b.MaxUndoCount(), 2);
    ExpectTop(b, 1, "CROP", 1, 1);
    EXPECT_THROW(b.setMaxUndoCount(INT32_MAX), NumberedError);

    b.setMaxUndoCount(32767);
    EXPECT_EQ(b.MaxUndoCount(), 32767);
    ExpectTop(b, 1, "CROP", 1, 1);
}

TEST(cBackup, RaisingTheBoundKeepsTheHistory) {
    cBackup b;
    b.setMaxUndoCount(2);
    b.BackupPicture(Pic(1), "CROP", 1, 1);
    b.BackupPicture(Pic(2), "MASK", 2, 2);
    b.setMaxUndoCount(3);
    b.BackupPicture(Pic(3), "GRAD", 3, 3);
    EXPECT_EQ(b.Count(), 3);
    b.RestorePicture();
    b.RestorePicture();
    ExpectTop(b, 1, "CROP", 1, 1);
}

// Lowering the bound under the number of entries must not leave reads past the bound.
TEST(cBackup, LoweringTheBoundBelowCountKeepsTheNewest) {
    cBackup b;
    b.setMaxUndoCount(3);
    b.BackupPicture(Pic(1), "CROP", 1, 1);
    b.BackupPicture(Pic(2), "MASK", 2, 2);
    b.BackupPicture(Pic(3), "GRAD", 3, 3);
    b.setMaxUndoCount(2);
    EXPECT_EQ(b.Count(), 2);
    ExpectTop(b, 3, "GRAD", 3, 3);
    b.BackupPicture(Pic(4), "CROP", 4, 4);
    ExpectTop(b, 4, "CROP", 4, 4);
    b.RestorePicture();
    ExpectTop(b, 3, "GRAD", 3, 3);
    b.RestorePicture();
    ExpectEmpty(b);
}

}  // namespace
