#include <gtest/gtest.h>

#include <functional>

#include "base/NumberedError.h"
#include "panel/cTextboxAutoCount.h"

namespace {

constexpr qint16 kUp = 38;
constexpr qint16 kDown = 40;
constexpr qint16 kLeft = 1;

// A text box that counts its writes and can run a change handler from inside SetText, like a
// real box's change notification.
class FakeBox : public ITextBox {
public:
    explicit FakeBox(QString t = QString()) : text(std::move(t)) {}
    QString Text() const override { return text; }
    void SetText(const QString& t) override {
        text = t;
        ++writes;
        if (onChange) {
            onChange();
        }
    }
    QString text;
    int writes = 0;
    std::function<void()> onChange;
};

struct StepCase {
    const char* text;
    qint32 min, max;
    qint16 key;
    const char* expected;  // nullptr: the text is not written at all
};

void PrintTo(const StepCase& s, std::ostream* os) {
    *os << "\"" << s.text << "\" in " << s.min << ".." << s.max << " key " << s.key;
}

class Step : public testing::TestWithParam<StepCase> {};

TEST_P(Step, ResultIsBoundedAnd16Bit) {
    const StepCase& s = GetParam();
    FakeBox box(QString::fromUtf8(s.text));
    cTextboxAutoCount c;
    c.setObjectTextBox(&box);
    c.setMinValue(s.min);
    c.setMaxValue(s.max);
    c.KeyDown(s.key, 0);
    if (s.expected) {
        EXPECT_EQ(box.text, QString::fromLatin1(s.expected));
        EXPECT_EQ(box.writes, 1);
    } else {
        EXPECT_EQ(box.text, QString::fromUtf8(s.text));
        EXPECT_EQ(box.writes, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, Step,
    testing::Values(StepCase{"100", 10, 100, kUp, "100"},  // written even when unchanged
                    StepCase{"100", 10, 100, kDown, "99"}, StepCase{"10", 10, 100, kDown, "10"},
                    StepCase{"5", 10, 100, kDown, "10"}, StepCase{"5", 10, 100, kUp, "10"},
                    StepCase{"0", 0, 65000, kDown, "0"},
                    // Maximum tested first: with min > max a high result takes the maximum.
                    StepCase{"45", 50, 40, kUp, "40"}, StepCase{"30", 50, 40, kUp, "50"}));

INSTANTIATE_TEST_SUITE_P(
    SixteenBits, Step,
    testing::Values(StepCase{"32766", 1, 999999, kUp, "32767"},
                    StepCase{"32767", 1, 999999, kUp, nullptr},  // 32768 is not 16-bit
                    StepCase{"32767", 1, 999999, kDown, "32766"},
                    StepCase{"32767", 10, 100, kUp, "100"},  // the bound brings it back
                    StepCase{"40000", 1, 999999, kDown, nullptr},
                    StepCase{"40000", 10, 100, kDown, nullptr},
                    StepCase{"-32768", -40000, 65000, kDown, nullptr},
                    StepCase{"-32768", 0, 65000, kDown, "0"},
                    StepCase{"32767.5", 0, 65000, kDown, nullptr},  // rounds to 32768
                    StepCase{"-32768.5", -40000, 65000, kUp, "-32767"}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, Step,
    testing::Values(StepCase{"", 0, 65000, kUp, nullptr}, StepCase{"abc", 0, 65000, kUp, nullptr},
                    StepCase{"12a", 0, 65000, kUp, nullptr},
                    StepCase{"1 2", 0, 65000, kUp, nullptr}, StepCase{".", 0, 65000, kUp, nullptr},
                    StepCase{"\u0663", 0, 65000, kUp, nullptr},  // an Arabic-Indic three
                    StepCase{"12", 0, 65000, 37, nullptr},       // left arrow: not a step
                    StepCase{" 42 ", 0, 65000, kUp, "43"}, StepCase{"+7", 0, 65000, kUp, "8"},
                    StepCase{"2.5", 0, 65000, kUp, "3"},  // 2.5 -> 2, then +1
                    StepCase{"3.5", 0, 65000, kUp, "5"},  // 3.5 -> 4, then +1
                    StepCase{"1e2", 0, 65000, kUp, "101"}, StepCase{"007", 0, 65000, kUp, "8"}));

struct CharCase {
    qint32 code;
    bool kept;
};

class TypedChar : public testing::TestWithParam<CharCase> {};

TEST_P(TypedChar, OnlyAsciiDigitsPass) {
    cTextboxAutoCount c;
    qint32 code = GetParam().code;
    c.KeyPress(code);
    EXPECT_EQ(code, GetParam().kept ? GetParam().code : 0) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    Filter, TypedChar,
    testing::Values(CharCase{'0', true}, CharCase{'5', true}, CharCase{'9', true},
                    CharCase{'/', false}, CharCase{':', false}, CharCase{'a', false},
                    CharCase{'-', false}, CharCase{'+', false}, CharCase{'.', false},
                    CharCase{' ', false}, CharCase{8, false},      // backspace
                    CharCase{13, false}, CharCase{0x0661, false},  // Arabic-Indic one
                    CharCase{0xFF11, false}));                     // full-width one

TEST(cTextboxAutoCount, AStepFromInsideTheChangeHandlerIsIgnored) {
    FakeBox box("50");
    cTextboxAutoCount c;
    c.setObjectTextBox(&box);
    c.setMinValue(10);
    c.setMaxValue(100);
    int nested = 0;
    box.onChange = [&] {
        ++nested;
        c.KeyDown(kUp, 0);
    };
    c.KeyDown(kUp, 0);
    EXPECT_EQ(box.text, "51");
    EXPECT_EQ(nested, 1);
    box.onChange = nullptr;
    c.KeyDown(kUp, 0);  // no longer busy
    EXPECT_EQ(box.text, "52");
}

TEST(cTextboxAutoCount, AFailingChangeHandlerDoesNotLeaveTheBoxBusy) {
    FakeBox box("50");
    cTextboxAutoCount c;
    c.setObjectTextBox(&box);
    box.onChange = [] { throw NumberedError(5, "test", "handler failed"); };
    EXPECT_THROW(c.KeyDown(kUp, 0), NumberedError);
    box.onChange = nullptr;
    c.KeyDown(kUp, 0);
    EXPECT_EQ(box.text, "52");
}

TEST(cTextboxAutoCount, EachLeftDragEventStepsOnceByDirection) {
    FakeBox box("20");
    cTextboxAutoCount c;
    c.setObjectTextBox(&box);
    c.MouseDown(kLeft, 0, 0, 300);
    for (float y : {290.f, 200.f, 199.f}) {  // upwards: +1 each, whatever the distance
        c.MouseMove(kLeft, 0, 0, y);
    }
    EXPECT_EQ(box.text, "23");
    c.MouseMove(kLeft, 0, 0, 199);  // no vertical change counts down
    EXPECT_EQ(box.text, "22");
    c.MouseMove(kLeft, 0, 0, 500);
    EXPECT_EQ(box.text, "21");
    for (qint16 buttons : {qint16(0), qint16(2), qint16(3)}) {
        c.MouseMove(buttons, 0, 0, 10);
    }
    EXPECT_EQ(box.writes, 5);
}

TEST(cTextboxAutoCount, DragDirectionComparesWithTheRoundedLastY) {
    FakeBox box("20");
    cTextboxAutoCount c;
    c.setObjectTextBox(&box);
    c.MouseDown(kLeft, 0, 0, 100.5f);  // last y 100
    c.MouseMove(kLeft, 0, 0, 100.4f);  // not above 100: down
    EXPECT_EQ(box.text, "19");
    c.MouseDown(2, 0, 0, 101.5f);      // any button sets it: 102
    c.MouseMove(kLeft, 0, 0, 101.9f);  // above: up
    EXPECT_EQ(box.text, "20");
}

TEST(cTextboxAutoCount, EmptyBoxAndNoBoxNeverChange) {
    FakeBox box("");
    cTextboxAutoCount c;
    c.KeyDown(kUp, 0);  // nothing attached yet
    c.MouseMove(kLeft, 0, 0, 5);
    c.setObjectTextBox(&box);
    c.setObjectTextBox(nullptr);  // ignored: still attached to box
    c.MouseDown(kLeft, 0, 0, 100);
    c.MouseMove(kLeft, 0, 0, 50);
    c.KeyDown(kDown, 0);
    EXPECT_EQ(box.writes, 0);
    box.text = "7";
    c.KeyDown(kDown, 0);
    EXPECT_EQ(box.text, "6");
}

}  // namespace
