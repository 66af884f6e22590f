#include <gtest/gtest.h>

#include "app/mdlKestrin_Command.h"
#include "app/mdlMain.h"
#include "base/ScreenUnits.h"
#include "dialogs/frmCloseAll.h"
#include "settings/mdlOption.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "window/frmResize.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

class StartUp : public WindowFixture {
protected:
    QList<frmResize*> Windows() {
        QList<frmResize*> out;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* f = qobject_cast<frmResize*>(w); f && f->isVisible()) {
                out << f;
            }
        }
        return out;
    }
};

TEST_F(StartUp, NoArgumentOpensOneEmptyWindow) {
    mdlMain::Start();
    ASSERT_EQ(Windows().size(), 1);
    EXPECT_EQ(Windows().first()->mPicFile, "");
    EXPECT_EQ(Windows().first()->mOrgWidth, 60);
}

TEST_F(StartUp, OneFileOpensItsPicture) {
    const QString file = TestSupport::DataFile("png_rgb.png");
    mdlKestrin_Command::SetProcessArguments({file});
    mdlMain::Start();
    EXPECT_EQ(Windows().size(), 0);  // shown once its picture is there
    ASSERT_TRUE(QTest::qWaitFor([&] { return Windows().size() == 1; }, 30000));
    EXPECT_EQ(Windows().first()->mPicFile, file);
}

TEST_F(StartUp, ABigPictureOpensOnTheScreenWithItsTip) {
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/wide.png");
    QImage wide(2000, 1000, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    ASSERT_TRUE(wide.save(file));
    mdlOption::Options().ResizeWhenOpen = true;
    frmResize* w = mdlMain::OpenPictureWindow(file, 0, 0);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(WaitForOpen(w));
    // Fitted to the 1024 x 768 screen, then centred on it instead of growing off it.
    EXPECT_EQ(w->size(), QSize(1024, 512));
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(
        QRect(w->pos(), w->size()).center()));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->lblTip->text(), QStringLiteral("图片尺寸过大，已经被自动调整！"));
}

TEST_F(StartUp, AFileThatCannotBeDecodedClosesItsWindowUnseen) {
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/broken.png");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    frmResize* w = mdlMain::OpenPictureWindow(file, 0, 0);
    ASSERT_NE(w, nullptr);  // accepted: a regular file
    ASSERT_FALSE(WaitForOpen(w));
    EXPECT_EQ(mdlMain::ImageWindowCount(), 0);
    EXPECT_TRUE(Windows().isEmpty());
}

TEST_F(StartUp, AFolderOrSeveralArgumentsOpenTheEmptyWindowForTheBrowser) {
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    mdlKestrin_Command::SetProcessArguments({dir.path()});  // a read-only folder is a folder
    mdlMain::Start();
    ASSERT_EQ(Windows().size(), 1);
    EXPECT_EQ(Windows().first()->mPicFile, "");
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    CloseAllWindows();
    mdlKestrin_Command::SetProcessArguments({"/does/not/exist.png", "/neither.jpg"});
    mdlMain::Start();
    EXPECT_EQ(Windows().size(), 1);
}

TEST_F(StartUp, AMissingSingleFileLeavesNoWindow) {
    mdlKestrin_Command::SetProcessArguments({"/does/not/exist.png"});
    mdlMain::Start();
    EXPECT_EQ(mdlMain::ImageWindowCount(), 0);
}

int gExitCode = -1;
void RecordExit(int code) {
    gExitCode = code;
}

TEST_F(StartUp, CloseAllAsksAndEndsAtOnceOnlyOnOk) {
    frmCloseAll::setExitForTesting(RecordExit);
    mdlMain::ShowCloseAll();
    frmCloseAll* dlg = frmCloseAll::Shared();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("警告"));
    EXPECT_EQ(dlg->Label1->text(), QStringLiteral("您确认要关闭所有图片窗体吗？"));
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
    mdlMain::ShowCloseAll();
    EXPECT_EQ(frmCloseAll::Shared(), dlg);  // one shared dialog
    EXPECT_LT(dlg->width(), 400);           // sized to its contents, not a default window
    EXPECT_LT(dlg->height(), 300);

    QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    EXPECT_EQ(gExitCode, 0);
    gExitCode = -1;
    QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton);
    EXPECT_EQ(gExitCode, -1);
    EXPECT_FALSE(dlg->isVisible());
    frmCloseAll::setExitForTesting(nullptr);
}

}  // namespace
