#include <gtest/gtest.h>

#include "settings/mdlOption.h"

#include <QFile>
#include <QTemporaryDir>
#include <vector>

namespace {

using namespace mdlOption;

class OptionFile : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetDefaultOptions();
        Options().CYSizeList.clear();
    }
    QString Write(const QByteArray& bytes) {
        const QString path = dir.path() + "/Option.ini";
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(OptionFile, MissingFileKeepsDefaults) {
    EXPECT_FALSE(ReadOptions(dir.path() + "/none.ini"));
    EXPECT_FALSE(ReadOptions(dir.path()));  // a folder is not a file
    const OptionStore& o = Options();
    EXPECT_TRUE(o.ResizeWhenOpen);
    EXPECT_TRUE(o.ResizeWhenRotate);
    EXPECT_TRUE(o.AlwaysTop);
    EXPECT_FALSE(o.DisplayBorder);
    EXPECT_TRUE(o.AutoRotate);
    EXPECT_EQ(o.QuickSavePath, "");
    EXPECT_TRUE(o.SupportFileOpen.startsWith("所有图片|*."));
    EXPECT_TRUE(o.SupportFileOpen.endsWith(
        "|JPEG图片(*.jpg)|*.jpg|Bmp图片(*.bmp)|*.bmp|Gif图片(*.gif)|*.gif|TIFF文档(*.tif)|*.tif|"
        "HEIF图片(*.heic;*.heif)|*.heic;*.heif|AVIF图片(*.avif)|*.avif|"
        "JPEG XL图片(*.jxl)|*.jxl|PNG图片(*.png)|*.png|PSD图片(*.psd)|*.psd|TGA图片(*.tga)|*.tga|"
        "PCX图片(*.pcx)|*.pcx|ICO图标(*.ico)|*.ico|所有文件(*.*)|*.*"))
        << o.SupportFileOpen.toStdString();
    EXPECT_EQ(o.SupportFileSave, DefaultFileFilter());
    EXPECT_EQ(o.CYSizeCount(), 0);
}

TEST_F(OptionFile, KeysAnyCaseSpacesAndLineEnds) {
    // CR, CR LF and LF all end lines; later '=' belong to the value; '=' first is no setting
    const QString path = Write(
        "  alwaystop  =  0  \r\nDisplayBorder=no\rresizeWhenRotate = FaLsE\n=ResizeWhenOpen=0\r\n"
        "junk line\r\nQuickSavePath= /tmp/a=b \r\nSUPPORTFILEOPEN= x|*.x \r\nunknown=1\r\n"
        " autorotate = false\r\n");
    EXPECT_TRUE(ReadOptions(path));
    const OptionStore& o = Options();
    EXPECT_FALSE(o.AlwaysTop);
    EXPECT_TRUE(o.DisplayBorder);  // "no" is not one of the false words
    EXPECT_FALSE(o.ResizeWhenRotate);
    EXPECT_TRUE(o.ResizeWhenOpen);  // the line starting with '=' was skipped
    EXPECT_EQ(o.QuickSavePath, "/tmp/a=b/");
    EXPECT_EQ(o.SupportFileOpen, "x|*.x");
    EXPECT_FALSE(o.AutoRotate);
}

TEST_F(OptionFile, AFileWrittenBeforeAutoRotateReadsWithItOn) {
    EXPECT_TRUE(
        ReadOptions(Write("ResizeWhenOpen=True\r\nResizeWhenRotate=False\r\nCYSize=800*600\r\n"
                          "AlwaysTop=False\r\nDisplayBorder=True\r\nQuickSavePath=\r\n")));
    const OptionStore& o = Options();
    EXPECT_EQ((std::vector<bool>{o.ResizeWhenOpen, o.ResizeWhenRotate, o.AlwaysTop, o.DisplayBorder,
                                 o.AutoRotate}),
              (std::vector<bool>{true, false, false, true, true}));
}

TEST(OptionToBool, OnlyFalseAndZeroAreFalse) {
    EXPECT_FALSE(OptionToBool("false"));
    EXPECT_FALSE(OptionToBool("FALSE"));
    EXPECT_FALSE(OptionToBool("0"));
    EXPECT_TRUE(OptionToBool(""));
    EXPECT_TRUE(OptionToBool("no"));
    EXPECT_TRUE(OptionToBool("00"));
    EXPECT_TRUE(OptionToBool(" 0"));
}

TEST_F(OptionFile, SizeListKeepsTwentyInOrderWithoutSpaces) {
    QByteArray text;
    for (int i = 1; i <= 25; ++i) {
        text += "CYSize=" + QByteArray::number(i) + " * 10 (my name)\r\n";
    }
    EXPECT_TRUE(ReadOptions(Write(text)));
    ASSERT_EQ(Options().CYSizeCount(), 20);
    EXPECT_EQ(Options().CYSizeList.first(), "1*10(myname)");
    EXPECT_EQ(Options().CYSizeList.last(), "20*10(myname)");
}

TEST_F(OptionFile, WriteThenReadGivesTheSameStore) {
    OptionStore& o = Options();
    o.ResizeWhenOpen = false;
    o.ResizeWhenRotate = false;
    o.AlwaysTop = false;
    o.DisplayBorder = true;
    o.AutoRotate = false;
    o.QuickSavePath = "/快速 保存/";
    o.CYSizeList = QStringList{"800*600", "1024*768(桌面)"};
    o.SupportFileOpen = "custom|*.c";
    const QString path = dir.path() + "/out.ini";
    ASSERT_TRUE(WriteOptions(path));

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()),
              "ResizeWhenOpen=False\r\nResizeWhenRotate=False\r\nCYSize=800*600\r\n"
              "CYSize=1024*768(桌面)\r\nAlwaysTop=False\r\nDisplayBorder=True\r\n"
              "QuickSavePath=/快速 保存/\r\nAutoRotate=False\r\nSaveQuality=90\r\n");

    SetDefaultOptions();
    o.CYSizeList.clear();
    ASSERT_TRUE(ReadOptions(path));
    EXPECT_FALSE(o.ResizeWhenOpen);
    EXPECT_FALSE(o.ResizeWhenRotate);
    EXPECT_FALSE(o.AlwaysTop);
    EXPECT_TRUE(o.DisplayBorder);
    EXPECT_FALSE(o.AutoRotate);
    EXPECT_EQ(o.QuickSavePath, "/快速 保存/");
    EXPECT_EQ(o.CYSizeList, (QStringList{"800*600", "1024*768(桌面)"}));
    EXPECT_EQ(o.SupportFileOpen, DefaultOpenFilter());  // filters are never written
}

TEST_F(OptionFile, GbkFileIsRead) {
    // "QuickSavePath=/中文/" in GBK (not valid UTF-8): 中 = D6 D0, 文 = CE C4
    EXPECT_TRUE(ReadOptions(Write("QuickSavePath=/\xD6\xD0\xCE\xC4\r\n")));
    EXPECT_EQ(Options().QuickSavePath, QStringLiteral("/中文/"));
}

TEST_F(OptionFile, EmptyQuickSavePathStaysEmpty) {
    EXPECT_TRUE(ReadOptions(Write("QuickSavePath=\r\n")));
    EXPECT_EQ(Options().QuickSavePath, "");
}

TEST_F(OptionFile, HostileFilesNeverCrash) {
    QByteArray binary;
    for (int i = 0; i < 70000; ++i) {
        binary += static_cast<char>((i * 131) & 0xFF);
    }
    ReadOptions(Write(binary));
    ReadOptions(Write(QByteArray(300000, 'x')));  // one long line, no line end
    QByteArray many;
    for (int i = 0; i < 5000; ++i) {
        many += "CYSize=" + QByteArray::number(i) + "*1\r\nAlwaysTop=0\r\n";
    }
    EXPECT_TRUE(ReadOptions(Write(many)));
    EXPECT_EQ(Options().CYSizeCount(), 20);
    EXPECT_FALSE(Options().AlwaysTop);
    // larger than any option file: not read whole, reported as not fully read
    EXPECT_FALSE(ReadOptions(Write(QByteArray(3 << 20, '\n'))));
}

TEST_F(OptionFile, FailedWriteReportsFalse) {
    EXPECT_FALSE(WriteOptions(dir.path() + "/no/such/folder/Option.ini"));
    EXPECT_FALSE(WriteOptions("   "));
    EXPECT_FALSE(WriteOptions(dir.path()));  // a folder cannot become the file
}

TEST_F(OptionFile, ACutShortFileAppliesNoHalfLine) {
    // larger than any option file: read up to the cut, and the line broken by it is not applied
    QByteArray text = "AlwaysTop=False\r\n";
    text += QByteArray((1 << 20) - text.size() - 20, '\n');
    text += "QuickSavePath=/very/long/folder/name/cut/here\r\n";
    EXPECT_FALSE(ReadOptions(Write(text)));
    EXPECT_FALSE(Options().AlwaysTop);
    EXPECT_EQ(Options().QuickSavePath, "");
}

TEST(OptionFileLocation, IsBesideTheProgramOrInTheConfigFolder) {
    EXPECT_TRUE(GetOptionFile().endsWith("/Option.ini"));
}

}  // namespace
