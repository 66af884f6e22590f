#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/CommandLineOptions.h"

namespace {

using CommandLineOptions::Action;

struct ParseCase {
    QStringList args;
    Action action;
    QStringList paths;
    bool error;
};

class CommandLine : public testing::TestWithParam<ParseCase> {};

TEST_P(CommandLine, OptionsActionsAndPaths) {
    const ParseCase& c = GetParam();
    const auto parsed = CommandLineOptions::Parse(c.args);
    EXPECT_EQ(!parsed.error.isEmpty(), c.error) << parsed.error.toStdString();
    if (!c.error) {
        EXPECT_EQ(parsed.action, c.action);
        EXPECT_EQ(parsed.paths, c.paths);
    } else {
        // One line that names what was wrong and where to read more.
        EXPECT_FALSE(parsed.error.contains('\n'));
        EXPECT_TRUE(parsed.error.contains(QStringLiteral("--help")));
    }
}

const QString kSpaced = QStringLiteral("a picture.png");

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLine,
    testing::Values(
        ParseCase{{}, Action::Open, {}, false},
        ParseCase{
            {kSpaced, "-x", "/tmp/b.jpg"}, Action::Open, {kSpaced, "-x", "/tmp/b.jpg"}, false},
        ParseCase{{"--capture"}, Action::Capture, {}, false},
        ParseCase{{"--paste"}, Action::Paste, {}, false},
        ParseCase{{"--select"}, Action::Select, {}, false},
        ParseCase{{"--help"}, Action::Help, {}, false},
        ParseCase{{"--version"}, Action::Version, {}, false},
        // "--" ends the options: what follows is a path, even an option's name or "--" again.
        ParseCase{{"--", "--capture", "--"}, Action::Open, {"--capture", "--"}, false},
        ParseCase{{"./--capture"}, Action::Open, {"./--capture"}, false},
        ParseCase{{"--capture", "--"}, Action::Capture, {}, false},
        // Unknown options, two actions, an action with paths: usage errors.
        ParseCase{{"--frobnicate"}, Action::Open, {}, true},
        ParseCase{{"a.png", "--Capture"}, Action::Open, {}, true},
        ParseCase{{"--capture", "--paste"}, Action::Open, {}, true},
        ParseCase{{"--help", "--help"}, Action::Open, {}, true},
        ParseCase{{"--paste", "a.png"}, Action::Open, {}, true},
        ParseCase{{"--capture", "--", "a.png"}, Action::Open, {}, true}));

TEST(CommandLineText, VersionAndCannotOpenLines) {
    EXPECT_TRUE(CommandLineOptions::VersionLine().startsWith(QStringLiteral("Lumora 3.0(")));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = dir.filePath(QStringLiteral("notes.png"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("hello");
    f.close();
    const QString locked = dir.filePath(QStringLiteral("locked.png"));
    QFile::copy(text, locked);
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    const QString missing = dir.filePath(QStringLiteral("gone.png"));
    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {missing, "no such file"},
        {dir.path(), "not a regular file"},
        {text, "not a picture this program reads"},
        {locked, QFileInfo(locked).isReadable() ? "not a picture this program reads"  // root
                                                : "permission denied"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommandLineOptions::CannotOpenLine(c.path),
                  QStringLiteral("lumora: cannot open %1: %2").arg(c.path, c.reason));
    }
}

}  // namespace
