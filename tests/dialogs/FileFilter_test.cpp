#include <gtest/gtest.h>

#include <string>

#include "dialogs/FileFilter.h"

namespace {
// Readable in a failure message.
std::string Text(const QStringList& list) {
    return list.join(QStringLiteral(" | ")).toStdString();
}

struct ParseCase {
    const char* name;
    QString text;
    QList<FileFilter> expected;
};

std::ostream& operator<<(std::ostream& os, const ParseCase& c) {
    return os << c.name;
}

class ParseFileFilterTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseFileFilterTest, PairsPiecesAsDescriptionAndPattern) {
    const QList<FileFilter> got = ParseFileFilter(GetParam().text);
    const QList<FileFilter>& want = GetParam().expected;
    ASSERT_EQ(got.size(), want.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        EXPECT_EQ(Text({got[i].description, got[i].pattern}),
                  Text({want[i].description, want[i].pattern}));
        EXPECT_EQ(Text(got[i].patterns), Text(want[i].patterns)) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ParseFileFilterTest,
    testing::Values(
        ParseCase{"Default",
                  DefaultFileFilter(),
                  {{"JPEG图片(*.jpg)", "*.jpg", {"*.jpg"}},
                   {"Bmp图片(*.bmp)", "*.bmp", {"*.bmp"}},
                   {"Gif图片(*.gif)", "*.gif", {"*.gif"}},
                   {"TIFF文档(*.tif)", "*.tif", {"*.tif"}},
                   {"PNG图片(*.png)", "*.png", {"*.png"}},
                   {"HEIF图片(*.heic;*.heif)", "*.heic;*.heif", {"*.heic", "*.heif"}},
                   {"AVIF图片(*.avif)", "*.avif", {"*.avif"}},
                   {"JPEG XL图片(*.jxl)", "*.jxl", {"*.jxl"}},
                   {"WebP图片(*.webp)", "*.webp", {"*.webp"}},
                   {"所有文件(*.*)", "*.*", {"*"}}}},
        ParseCase{"ColonSplitsADescriptionAndShiftsThePairs",
                  "图片:JPEG|*.jpg|B|*.bmp",
                  {{"图片", "JPEG", {"JPEG"}}, {"*.jpg", "B", {"B"}}}},
        ParseCase{
            "SemicolonsSeparatePatternsAndStarDotStarMeansEveryName",
            "图片|*.jpg; *.jpeg;;*.*|X|*.*x",
            {{"图片", "*.jpg; *.jpeg;;*.*", {"*.jpg", "*.jpeg", "*"}}, {"X", "*.*x", {"*.*x"}}}},
        ParseCase{"EmptyPieceDropsItsPairOnly", "|*.a|B||C|*.c", {{"C", "*.c", {"*.c"}}}},
        ParseCase{"PatternNamingNothingIsDropped", "A|; ;|B|*.b", {{"B", "*.b", {"*.b"}}}},
        ParseCase{"UnpairedLastPieceIsDropped", "A|*.a|B", {{"A", "*.a", {"*.a"}}}},
        ParseCase{"TrailingBarIsAnEmptyUnpairedPiece", "A|*.a|", {{"A", "*.a", {"*.a"}}}},
        ParseCase{"NothingToPair", "", {}}, ParseCase{"OnePiece", "A", {}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(ParseFileFilter, TextPastTheLimitIsIgnored) {
    // The pattern runs over the limit: it is cut there, and the pair after it never appears.
    const QString pattern = QStringLiteral("*") + QString(kMaxFileFilterLength, QLatin1Char('x'));
    const QList<FileFilter> filters = ParseFileFilter(QStringLiteral("D|") + pattern + "|E|*.e");
    ASSERT_EQ(filters.size(), 1);
    EXPECT_EQ(filters[0].pattern.size(), kMaxFileFilterLength - 2);
}

}  // namespace
