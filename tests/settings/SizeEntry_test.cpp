#include "settings/SizeEntry.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace {

constexpr qint32 kNone = 0;  // expected "no size": sizes are > 0, so 0 never is one

struct NumberCase {
    const char* text;
    qint32 expected;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseSizeNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(ParseSizeNumber, ReadsPlainDecimalsRoundedHalfToEven) {
    const NumberCase& c = GetParam();
    EXPECT_EQ(SizeEntry::ParseSizeNumber(QString::fromUtf8(c.text)).value_or(kNone), c.expected)
        << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseSizeNumber,
    testing::Values(NumberCase{"640", 640}, NumberCase{"  640 ", 640}, NumberCase{"+7", 7},
                    NumberCase{"5.", 5}, NumberCase{"2.5", 2}, NumberCase{"3.5", 4},
                    NumberCase{"0.6", 1}, NumberCase{"0.5", kNone}, NumberCase{".5", kNone},
                    NumberCase{"0", kNone}, NumberCase{"-0", kNone}, NumberCase{"-5", kNone},
                    NumberCase{"", kNone}, NumberCase{"2147483647", 2147483647},
                    NumberCase{"2147483646.5", 2147483646}, NumberCase{"2147483647.5", kNone},
                    NumberCase{"2147483648", kNone}, NumberCase{"99999999999999999999", kNone},
                    NumberCase{"1e3", kNone}, NumberCase{"nan", kNone}, NumberCase{"inf", kNone},
                    NumberCase{"12a", kNone}, NumberCase{"0x10", kNone}, NumberCase{"1,000", kNone},
                    NumberCase{"1.2.3", kNone}, NumberCase{"+", kNone}, NumberCase{".", kNone},
                    NumberCase{"６４０", kNone}));

struct ItemCase {
    const char* entry;
    int width;  // 0: no size
    int height;
};

void PrintTo(const ItemCase& c, std::ostream* os) {
    *os << '"' << c.entry << '"';
}

class ParseSizeItem : public testing::TestWithParam<ItemCase> {};

TEST_P(ParseSizeItem, SplitsAtStarOrFirstSpace) {
    const ItemCase& c = GetParam();
    const std::optional<QSize> s = SizeEntry::ParseSizeItem(QString::fromUtf8(c.entry));
    EXPECT_EQ(s.value_or(QSize(0, 0)), QSize(c.width, c.height)) << c.entry;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ParseSizeItem,
    testing::Values(ItemCase{"800 * 600(原始图片大小)", 800, 600}, ItemCase{"800*600", 800, 600},
                    ItemCase{"1024 768", 1024, 768}, ItemCase{"640 * 480 (VGA)", 640, 480},
                    ItemCase{"1024 768 (wide)", 1024, 768}, ItemCase{"2.5*3.5", 2, 4},
                    ItemCase{"(VGA)", 0, 0}, ItemCase{"abc", 0, 0}, ItemCase{"800", 0, 0},
                    ItemCase{"800 (x)", 0, 0}, ItemCase{"0 * 480", 0, 0},
                    ItemCase{"4294967296*10", 0, 0}, ItemCase{"640*480*2", 0, 0},
                    ItemCase{"640*(4*3)", 0, 0}));

TEST(OriginalSizeEntry, IsReadBackAsItsSize) {
    const QString e = SizeEntry::OriginalSizeEntry(800, 600);
    EXPECT_EQ(e, QStringLiteral("800 * 600(原始图片大小)"));
    EXPECT_EQ(SizeEntry::ParseSizeItem(e), QSize(800, 600));
}

// Every row of the size list in the first row's form, and read back as the size stored.
TEST(ListEntry, WritesEveryRowAsTheFirst) {
    const std::pair<const char*, const char*> cases[] = {{"200*150", "200 * 150"},
                                                         {"640*480(VGA)", "640 * 480(VGA)"},
                                                         {" 640 * 480 (VGA) ", "640 * 480(VGA)"},
                                                         {"1024 768", "1024 * 768"},
                                                         {"abc", "abc"},
                                                         {"0*480", "0*480"}};
    for (const auto& [stored, shown] : cases) {
        const QString entry = SizeEntry::ListEntry(QString::fromUtf8(stored));
        EXPECT_EQ(entry, QString::fromUtf8(shown)) << stored;
        EXPECT_EQ(SizeEntry::ParseSizeItem(entry),
                  SizeEntry::ParseSizeItem(QString::fromUtf8(stored)))
            << stored;
    }
}

struct EditCase {
    const char* row;
    const char* width;
    const char* height;
    const char* name;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << '"' << c.row << '"';
}

class SplitForEdit : public testing::TestWithParam<EditCase> {};

TEST_P(SplitForEdit, GivesFieldsAndName) {
    const EditCase& c = GetParam();
    const SizeEntry::Parts p = SizeEntry::SplitForEdit(QString::fromUtf8(c.row));
    EXPECT_EQ(p.width, QString::fromUtf8(c.width)) << c.row;
    EXPECT_EQ(p.height, QString::fromUtf8(c.height)) << c.row;
    EXPECT_EQ(p.name, QString::fromUtf8(c.name)) << c.row;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitForEdit,
    testing::Values(EditCase{"640*480(small)", "640", "480", "small"},
                    EditCase{"640 * 480 (VGA)  ", "640", "480", "VGA"},
                    EditCase{"800 * 600(原始图片大小)", "800", "600", "原始图片大小"},
                    EditCase{"2.5*480", "2.5", "480", ""},
                    EditCase{"abc*480(x))", "0", "480", "x)"},
                    EditCase{"640*480( open", "640", "480", " open"},
                    EditCase{"640*480*2", "640", "0", ""}, EditCase{"1024 768", "0", "0", ""},
                    EditCase{"(only)", "0", "0", "only"}, EditCase{"", "0", "0", ""}));

struct BuildCase {
    const char* width;
    const char* height;
    const char* name;
    const char* entry;
};

void PrintTo(const BuildCase& c, std::ostream* os) {
    *os << '"' << c.entry << '"';
}

class BuildEntry : public testing::TestWithParam<BuildCase> {};

TEST_P(BuildEntry, JoinsWithoutLineBreaks) {
    const BuildCase& c = GetParam();
    EXPECT_EQ(SizeEntry::BuildEntry(QString::fromUtf8(c.width), QString::fromUtf8(c.height),
                                    QString::fromUtf8(c.name)),
              QString::fromUtf8(c.entry));
}

INSTANTIATE_TEST_SUITE_P(Fields, BuildEntry,
                         testing::Values(BuildCase{"640", "480", "small", "640*480(small)"},
                                         BuildCase{"640", "480", "", "640*480"},
                                         BuildCase{"640", "480", "   ", "640*480"},
                                         BuildCase{"640", "480", "a\nb", "640*480(ab)"},
                                         BuildCase{"6\r40", "48\t0", "x\x7Fy", "640*480(xy)"},
                                         BuildCase{"640", "480", "a\u2028b\u2029c", "640*480(abc)"},
                                         BuildCase{"640", "480",
                                                   "\x1F"
                                                   "中文\x01",
                                                   "640*480(中文)"}));

TEST(BuildEntry, RowsSurviveAnEditRoundTrip) {
    for (const char* row : {"640*480(small)", "800*600", "1920*1080(全高清)", "2.5*480( x )"}) {
        const SizeEntry::Parts p = SizeEntry::SplitForEdit(QString::fromUtf8(row));
        EXPECT_EQ(SizeEntry::BuildEntry(p.width, p.height, p.name), QString::fromUtf8(row));
    }
}

TEST(CleanText, DropsControlsThenTrims) {
    EXPECT_EQ(SizeEntry::CleanText(QStringLiteral("  /home/a\nb/\r ")),
              QStringLiteral("/home/ab/"));
    EXPECT_EQ(SizeEntry::CleanText(QStringLiteral("\t /x y/ \u2028")), QStringLiteral("/x y/"));
    EXPECT_EQ(SizeEntry::CleanText(QStringLiteral("\x7F")), QString());
}

struct OpacityCase {
    const char* text;
    std::optional<qint16> expected;
};

void PrintTo(const OpacityCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseOpacity : public testing::TestWithParam<OpacityCase> {};

TEST_P(ParseOpacity, ReadsSigned16BitIntegers) {
    const OpacityCase& c = GetParam();
    EXPECT_EQ(SizeEntry::ParseOpacity(QString::fromUtf8(c.text)), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseOpacity,
    testing::Values(OpacityCase{"50", 50}, OpacityCase{" -3 ", -3}, OpacityCase{"+7", 7},
                    OpacityCase{"32767", 32767}, OpacityCase{"-32768", -32768},
                    OpacityCase{"32768", std::nullopt}, OpacityCase{"-32769", std::nullopt},
                    OpacityCase{"40000", std::nullopt},
                    OpacityCase{"99999999999999999999", std::nullopt},
                    OpacityCase{"", std::nullopt}, OpacityCase{"1e2", std::nullopt},
                    OpacityCase{"1.5", std::nullopt}));

TEST(WindowOpacity, KeepsTheWindowVisibleAndAtMostWhole) {
    const std::pair<qint16, qint16> cases[] = {{-32768, 10}, {0, 10},    {9, 10},
                                               {11, 11},     {100, 100}, {101, 100}};
    for (const auto& [typed, shown] : cases) {
        EXPECT_EQ(SizeEntry::WindowOpacity(typed), shown) << typed;
    }
}

class OpacityOfText : public testing::TestWithParam<OpacityCase> {};

TEST_P(OpacityOfText, IsWithinTenToAHundredOrNothing) {
    const OpacityCase& c = GetParam();
    EXPECT_EQ(SizeEntry::OpacityOfText(QString::fromUtf8(c.text)), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OpacityOfText,
    testing::Values(OpacityCase{"55", 55}, OpacityCase{"200", 100}, OpacityCase{"100", 100},
                    OpacityCase{"0", 10}, OpacityCase{"-5", 10},
                    OpacityCase{" 99999999999999999999 ", 100},  // past 16 bits: still above
                    OpacityCase{"-99999", std::nullopt}, OpacityCase{"", std::nullopt},
                    OpacityCase{"1e2", std::nullopt}));

}  // namespace
