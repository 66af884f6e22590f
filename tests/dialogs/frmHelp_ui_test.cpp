#include <gtest/gtest.h>

#include "dialogs/ProgramInfo.h"
#include "dialogs/frmHelp.h"
#include "support/WindowFixture.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

namespace {

using ModalSeam::ProgramEnd;

// How the help text opens, by whether Help.txt is there and how xdg-open ends: the desktop's
// viewer when it succeeds, Lumora's own window when it cannot start or fails, and the critical
// message, with nothing started, when the file is missing.
struct HelpCase {
    const char* name;
    bool fileThere;
    ProgramEnd end;
    bool ownWindow;
};

void PrintTo(const HelpCase& c, std::ostream* os) {
    *os << c.name;
}

class Help : public WindowFixture, public testing::WithParamInterface<HelpCase> {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        path = dir.path() + "/Help.txt";
    }
    QTemporaryDir dir;
    QString path;
};

TEST_P(Help, OpensWithTheDesktopOrFallsBackToItsOwnWindow) {
    const HelpCase& c = GetParam();
    const QString text = QStringLiteral("Lumora 使用说明\n\n拖动窗体边缘或四角      缩放图片。\n");
    if (c.fileThere) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QString(text).replace("\n", "\r\n").toUtf8());
    }

    ProgramInfo::OpenHelpFile(path);
    if (!c.fileThere) {
        ASSERT_EQ(seam.messages.size(), 1u);
        EXPECT_EQ(seam.messages[0].text, QStringLiteral("找不到帮助文件：") + path);
        EXPECT_EQ(seam.messages[0].style, ModalSeam::Critical);
        EXPECT_EQ(seam.messages[0].title, QStringLiteral("错误"));
        EXPECT_TRUE(seam.started.empty());
        return;
    }
    ASSERT_EQ(seam.started.size(), 1u);
    EXPECT_EQ(seam.started[0].program, QStringLiteral("xdg-open"));
    EXPECT_EQ(seam.started[0].arguments, QStringList{path});
    EXPECT_EQ(frmHelp::Current(), nullptr) << "the window came before xdg-open ended";

    seam.started[0].whenEnded(c.end);
    if (!c.ownWindow) {
        // Had a read started, its reply would now be posted and delivered.
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(frmHelp::Current(), nullptr);
        EXPECT_TRUE(seam.messages.empty());
        return;
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return frmHelp::Current() != nullptr; }, 10000));
    QPointer<frmHelp> help = frmHelp::Current();
    EXPECT_EQ(help->windowTitle(), QStringLiteral("帮助"));
    EXPECT_TRUE(help->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(help->txtHelp->toPlainText().toStdString(), text.toStdString());
    EXPECT_TRUE(help->txtHelp->isReadOnly());
    EXPECT_TRUE(help->screen()->availableGeometry().contains(help->frameGeometry()));
    EXPECT_TRUE(seam.messages.empty());

    QTest::keyClick(help->txtHelp, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(help.isNull()) << "Esc left the window open";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Help,
    testing::Values(HelpCase{"StartedOk", true, ProgramEnd::Succeeded, false},
                    HelpCase{"MissingProgram", true, ProgramEnd::NotStarted, true},
                    HelpCase{"NonZeroExit", true, ProgramEnd::Failed, true},
                    HelpCase{"MissingHelpFile", false, ProgramEnd::Succeeded, false}),
    [](const testing::TestParamInfo<HelpCase>& info) { return std::string(info.param.name); });

}  // namespace
