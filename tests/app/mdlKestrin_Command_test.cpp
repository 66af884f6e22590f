#include <gtest/gtest.h>

#include "app/mdlKestrin_Command.h"
#include "base/NumberedError.h"

namespace {

using mdlKestrin_Command::GetCommand;
using mdlKestrin_Command::GetCommandCount;

QStringList Parse(const QString& text) {
    const qint32 n = GetCommandCount(text);
    QStringList out;
    for (qint32 i = 1; i <= n; ++i) {
        out << GetCommand(i);
    }
    return out;
}

struct ParseCase {
    const char* text;
    QStringList expected;
};

class CommandLineParse : public testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, SplitsByTheProgramsQuotingRules) {
    EXPECT_EQ(Parse(QString::fromUtf8(GetParam().text)), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParse,
    testing::Values(ParseCase{"   ", {}}, ParseCase{"/a/b.jpg /c.png", {"/a/b.jpg", "/c.png"}},
                    ParseCase{"  /a.jpg     /b.jpg  ", {"/a.jpg", "/b.jpg"}},
                    ParseCase{"\"/my pics/a b.jpg\"", {"/my pics/a b.jpg"}},
                    ParseCase{"/my pics/a b.jpg", {"/my", "pics/a", "b.jpg"}},
                    // after a closing quote the next argument starts at once, even without a space
                    ParseCase{"\"/x y\"rest more", {"/x y", "rest", "more"}},
                    // empty and blank quoted groups vanish
                    ParseCase{"a \"\" b", {"a", "b"}}, ParseCase{"a \"   \" b", {"a", "b"}},
                    // an unclosed quote drops its group and everything after it
                    ParseCase{"keep \"never closed and more", {"keep"}},
                    // a quote inside an unquoted argument is an ordinary character
                    ParseCase{"ab\"cd ef", {"ab\"cd", "ef"}},
                    // tabs are ordinary characters, not separators
                    ParseCase{"a\tb c", {"a\tb", "c"}},
                    ParseCase{"\"中文 目录/图 1.png\" 第二", {"中文 目录/图 1.png", "第二"}}));

TEST(CommandLine, ParsingAgainReplacesTheList) {
    EXPECT_EQ(GetCommandCount("a b c"), 3);
    EXPECT_EQ(GetCommandCount("z"), 1);
    EXPECT_EQ(GetCommand(1), "z");
    EXPECT_THROW(GetCommand(2), NumberedError);
}

TEST(CommandLine, OutOfRangeRaises60001) {
    GetCommandCount("one two");
    for (qint32 bad : {0, -1, 3}) {
        try {
            GetCommand(bad);
            FAIL() << "no error for index " << bad;
        } catch (const NumberedError& e) {
            EXPECT_EQ(e.number(), 60001);
            EXPECT_EQ(e.description(), QStringLiteral("索引超过边界！"));
        }
    }
}

TEST(CommandLine, ProcessArgumentsStayWholeAndBlankOnesVanish) {
    mdlKestrin_Command::SetProcessArguments({"/a b/c d.png", "", "   ", " x "});
    EXPECT_EQ(Parse(QString()), (QStringList{"/a b/c d.png", " x "}));
    mdlKestrin_Command::SetProcessArguments({});
    EXPECT_EQ(GetCommandCount(QString()), 0);
}

TEST(CommandLine, ArbitraryTextNeverFails) {
    QString junk;
    for (int i = 0; i < 2000; ++i) {
        junk += QChar(static_cast<char16_t>((i * 7919) % 0xD7FF + 1));
        if (i % 13 == 0) {
            junk += QLatin1Char('"');
        }
    }
    const qint32 n = GetCommandCount(junk);
    EXPECT_GE(n, 0);
    for (qint32 i = 1; i <= n; ++i) {
        EXPECT_FALSE(GetCommand(i).trimmed().isEmpty());
    }
}

}  // namespace

TEST(CommandLine, FileAddressesOpenLikePaths) {
    mdlKestrin_Command::SetProcessArguments(
        {QStringLiteral("file:///tmp/a%20b.png"), QStringLiteral("FILE:///x/%E5%9B%BE.jpg"),
         QStringLiteral("/plain/file:x.png"), QStringLiteral("http://host/c.png")});
    ASSERT_EQ(mdlKestrin_Command::GetCommandCount(QString()), 4);
    EXPECT_EQ(mdlKestrin_Command::GetCommand(1), QStringLiteral("/tmp/a b.png"));
    EXPECT_EQ(mdlKestrin_Command::GetCommand(2), QStringLiteral("/x/图.jpg"));
    EXPECT_EQ(mdlKestrin_Command::GetCommand(3), QStringLiteral("/plain/file:x.png"));
    EXPECT_EQ(mdlKestrin_Command::GetCommand(4), QStringLiteral("http://host/c.png"));
    mdlKestrin_Command::SetProcessArguments({});
}
