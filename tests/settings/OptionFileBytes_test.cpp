#include <gtest/gtest.h>

#include "settings/mdlOption.h"

#include <QFile>
#include <QTemporaryDir>

// Option.ini's bytes are the program's own format, shared with files written by every earlier
// version: these tests pin them exactly, for writing and for reading.
namespace {

using namespace mdlOption;

// Every field of a store, one per line, so that a difference names the field.
QString Describe(const OptionStore& o) {
    auto flag = [](bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); };
    return QStringList{
        "ResizeWhenOpen " + flag(o.ResizeWhenOpen), "ResizeWhenRotate " + flag(o.ResizeWhenRotate),
        "AlwaysTop " + flag(o.AlwaysTop),           "DisplayBorder " + flag(o.DisplayBorder),
        "AutoRotate " + flag(o.AutoRotate),         "SaveQuality " + QString::number(o.SaveQuality),
        "QuickSavePath " + o.QuickSavePath,         "SupportFileOpen " + o.SupportFileOpen,
        "SupportFileSave " + o.SupportFileSave,     "CYSize " + o.CYSizeList.join(QLatin1Char('|'))}
        .join(QLatin1Char('\n'));
}

void ToDefaults() {
    SetDefaultOptions();
    Options().CYSizeList.clear();
}

void Unchanged(OptionStore&) {}

// 21 sizes, one more than the file keeps.
QStringList TwentyOneSizes() {
    QStringList sizes{QStringLiteral("800 * 600(桌 面)")};
    for (int i = 2; i <= 21; ++i) {
        sizes << QStringLiteral("%1*%1").arg(i);
    }
    return sizes;
}

void EveryOptionChanged(OptionStore& o) {
    o.ResizeWhenOpen = false;
    o.ResizeWhenRotate = false;
    o.AlwaysTop = false;
    o.DisplayBorder = true;
    o.AutoRotate = false;
    o.SaveQuality = 100;
    o.QuickSavePath = QStringLiteral("/图片/快 存/");
    o.SupportFileOpen = "open|*.o";
    o.SupportFileSave = "save|*.s";
    o.CYSizeList = TwentyOneSizes();
}

// What EveryOptionChanged's file reads back as: the filters are never written, the sizes lose
// their spaces and the 21st.
void EveryOptionChangedReadBack(OptionStore& o) {
    EveryOptionChanged(o);
    o.SupportFileOpen = DefaultOpenFilter();
    o.SupportFileSave = DefaultFileFilter();
    o.CYSizeList = TwentyOneSizes().mid(0, kMaxSizes);
    o.CYSizeList[0] = QStringLiteral("800*600(桌面)");
}

struct StoreCase {
    const char* label;
    void (*change)(OptionStore&);
    const char* bytes;  // UTF-8
    void (*readBack)(OptionStore&);
};
void PrintTo(const StoreCase& c, std::ostream* os) {
    *os << c.label;
}

class OptionBytes : public testing::TestWithParam<StoreCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ToDefaults();
    }
    void TearDown() override { ToDefaults(); }
    QTemporaryDir dir;
};

TEST_P(OptionBytes, WrittenExactlyAndReadBack) {
    const StoreCase& c = GetParam();
    c.change(Options());
    const QString path = dir.filePath("Option.ini");
    ASSERT_TRUE(WriteOptions(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(c.bytes));

    ToDefaults();
    OptionStore expected = Options();
    c.readBack(expected);
    ASSERT_TRUE(ReadOptions(path));
    EXPECT_EQ(Describe(Options()), Describe(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Stores, OptionBytes,
    testing::Values(StoreCase{"defaults", Unchanged,
                              "ResizeWhenOpen=True\r\nResizeWhenRotate=True\r\nAlwaysTop=True\r\n"
                              "DisplayBorder=False\r\nQuickSavePath=\r\nAutoRotate=True\r\n"
                              "SaveQuality=90\r\n",
                              Unchanged},
                    StoreCase{
                        "every option changed", EveryOptionChanged,
                        "ResizeWhenOpen=False\r\nResizeWhenRotate=False\r\n"
                        "CYSize=800 * 600(\xE6\xA1\x8C \xE9\x9D\xA2)\r\n"
                        "CYSize=2*2\r\nCYSize=3*3\r\nCYSize=4*4\r\nCYSize=5*5\r\nCYSize=6*6\r\n"
                        "CYSize=7*7\r\nCYSize=8*8\r\nCYSize=9*9\r\nCYSize=10*10\r\nCYSize=11*11\r\n"
                        "CYSize=12*12\r\nCYSize=13*13\r\nCYSize=14*14\r\nCYSize=15*15\r\n"
                        "CYSize=16*16\r\nCYSize=17*17\r\nCYSize=18*18\r\nCYSize=19*19\r\n"
                        "CYSize=20*20\r\n"
                        "AlwaysTop=False\r\nDisplayBorder=True\r\n"
                        "QuickSavePath=/\xE5\x9B\xBE\xE7\x89\x87/\xE5\xBF\xAB \xE5\xAD\x98/\r\n"
                        "AutoRotate=False\r\nSaveQuality=100\r\n",
                        EveryOptionChangedReadBack}),
    [](const testing::TestParamInfo<StoreCase>& info) {
        return info.index == 0 ? std::string("Defaults") : std::string("EveryOptionChanged");
    });

// Every key a file may hold, as a person might have edited it, and each key's own reading.
TEST(OptionBytesRead, EveryKeyTakesItsOwnReading) {
    ToDefaults();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Option.ini");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // Keys are matched upper-cased, so a dotless 'ı' stands for 'I'.
    f.write(
        "res\xC4\xB1zewhenopen=0\r\nRESIZEWHENROTATE=0\nalwaysTop = false\rdisplayborder=\r\n"
        "AutoRotate=FALSE\r\nquicksavepath = /a b\r\nSupportFileOpen = o|*.o \r\n"
        "supportfilesave= s | *.s\r\ncysize = 1 * 2 ( x y )\r\nCYSIZE=\r\nsavequality = 1\r\n");
    f.close();
    ASSERT_TRUE(ReadOptions(path));
    const QString read = Describe(Options());

    ToDefaults();
    OptionStore expected = Options();
    expected.ResizeWhenOpen = false;
    expected.ResizeWhenRotate = false;
    expected.AlwaysTop = false;
    expected.DisplayBorder = true;
    expected.AutoRotate = false;
    expected.SaveQuality = 1;
    expected.QuickSavePath = "/a b/";
    expected.SupportFileOpen = "o|*.o";
    expected.SupportFileSave = "s | *.s";
    expected.CYSizeList = QStringList{"1*2(xy)", ""};
    EXPECT_EQ(read, Describe(expected));
}

// ApplyOption on its own: keys are not trimmed, switch values are not trimmed either (ReadOptions
// trims both before it calls it), the other values are.
struct ApplyCase {
    const char* key;
    const char* value;
    bool known;
    const char* field;  // the line of Describe afterwards
};
void PrintTo(const ApplyCase& c, std::ostream* os) {
    *os << c.key << '=' << c.value;
}
class OptionApply : public testing::TestWithParam<ApplyCase> {};

TEST_P(OptionApply, KeyAndValueRules) {
    const ApplyCase& c = GetParam();
    ToDefaults();
    EXPECT_EQ(ApplyOption(c.key, c.value), c.known);
    EXPECT_TRUE(Describe(Options()).split('\n').contains(QString::fromUtf8(c.field)))
        << Describe(Options()).toStdString();
    ToDefaults();
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OptionApply,
    testing::Values(ApplyCase{"alwaystop", "0", true, "AlwaysTop False"},
                    ApplyCase{"AlwaysTop", " 0", true, "AlwaysTop True"},
                    ApplyCase{" AlwaysTop", "0", false, "AlwaysTop True"},
                    ApplyCase{"QuickSavePath", "  ", true, "QuickSavePath "},
                    ApplyCase{"QUICKSAVEPATH", " /a/ ", true, "QuickSavePath /a/"},
                    ApplyCase{"Quick SavePath", "/a", false, "QuickSavePath "},
                    ApplyCase{"CYSize", " 1 * 2 ", true, "CYSize 1*2"},
                    ApplyCase{"CYSizeList", "1*2", false, "CYSize "},
                    ApplyCase{"SupportFileSave", " x ", true, "SupportFileSave x"},
                    ApplyCase{"supportfileopen", "", true, "SupportFileOpen "},
                    // A quality is a whole number from 1 to 100; anything else keeps the old one.
                    ApplyCase{"SaveQuality", " 100 ", true, "SaveQuality 100"},
                    ApplyCase{"savequality", "+7", true, "SaveQuality 7"},
                    ApplyCase{"SaveQuality", "0", true, "SaveQuality 90"},
                    ApplyCase{"SaveQuality", "101", true, "SaveQuality 90"},
                    ApplyCase{"SaveQuality", "5 0", true, "SaveQuality 90"},
                    ApplyCase{"SaveQuality", "0x20", true, "SaveQuality 90"},
                    ApplyCase{"SaveQuality", "", true, "SaveQuality 90"}));

}  // namespace
