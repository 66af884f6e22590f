#include <gtest/gtest.h>

#include "app/mdlMain.h"
#include "panel/frmMenuBuf.h"
#include "settings/mdlOption.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "window/CropRectWidget.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using TestSupport::PatternImage;
using TestSupport::SamePixels;

namespace {

class WindowCommands : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        mdlOption::Options().SupportFileSave = mdlOption::DefaultFileFilter();
    }
    // A window showing a 40 x 30 picture from dir/a.bmp at 80 x 60, 100 pixels from the corner.
    frmResize* PictureWindow() {
        auto* w = new frmResize;
        w->SetPicture(PatternImage(40, 30));
        w->mPicFile = Path("a.bmp");
        w->setGeometry(100, 100, 80, 60);
        w->show();
        return w;
    }
    QString Path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    // Waits for the save the window has started, as the event loop would deliver its end.
    static bool WaitForSave(frmResize* w) {
        QSignalSpy ended(w, &frmResize::saveEnded);
        return w->IsBusy() ? ended.wait(30000) : false;
    }
    QString LastMessage() const {
        return seam.messages.empty() ? QString() : seam.messages.back().text;
    }

    QTemporaryDir dir;
};

TEST_F(WindowCommands, QuickSaveWritesTheShownPictureUnderNewNamesAndNeverOverwrites) {
    frmResize* w = PictureWindow();
    w->cmdQuickSave();
    ASSERT_TRUE(w->IsBusy());
    w->cmdQuickSave();  // ignored while the first runs
    ASSERT_TRUE(WaitForSave(w));
    EXPECT_EQ(LastMessage(), QStringLiteral("保存成功！请查看：") + Path("new a.bmp"));
    EXPECT_EQ(seam.messages.back().title, QStringLiteral("Error"));
    const QImage written(Path("new a.bmp"));
    EXPECT_EQ(written.size(), QSize(80, 60));  // as shown, not at its own size
    EXPECT_TRUE(SamePixels(written, w->GetViewPicture()));

    w->cmdQuickSave();
    ASSERT_TRUE(WaitForSave(w));
    EXPECT_TRUE(QFile::exists(Path("new(1) a.bmp")));
    EXPECT_EQ(seam.messages.size(), 2u);
    EXPECT_EQ(w->mPicFile, Path("a.bmp"));  // saving never changes the file name
}

TEST_F(WindowCommands, AFailedSaveNamesTheFileAndWhy) {
    frmResize* w = PictureWindow();
    mdlOption::Options().QuickSavePath = Path("gone/");
    w->cmdQuickSave();
    ASSERT_TRUE(WaitForSave(w));
    EXPECT_EQ(LastMessage(), QStringLiteral("保存失败！\n文件：") + Path("gone/new a.bmp") +
                                 QStringLiteral("\n原因：文件夹不存在"));
    EXPECT_EQ(seam.messages.back().style, ModalSeam::Critical);
    EXPECT_FALSE(QDir(Path("gone")).exists());

    // Save as to a name whose extension is no format that is written.
    seam.saveAnswers.push_back(ScriptedSeam::Chosen(Path("a.pcx")));
    w->cmdSaveAs();
    ASSERT_TRUE(WaitForSave(w));
    EXPECT_EQ(LastMessage(), QStringLiteral("保存失败！\n文件：") + Path("a.pcx") +
                                 QStringLiteral("\n原因：不是 Lumora 能保存的图片格式"));
    EXPECT_FALSE(QFile::exists(Path("a.pcx")));
}

// The dialogs start beside the picture and offer every picture the program reads first; a filter
// the option file names is offered as it stands.
TEST_F(WindowCommands, FileDialogsStartInThePicturesFolderWithAllPicturesFirst) {
    mdlOption::Options().SupportFileOpen = mdlOption::DefaultOpenFilter();
    frmResize* w = PictureWindow();
    w->cmdOpenPicture();
    w->cmdSaveAs();
    EXPECT_EQ(seam.openRequests.at(0).initialFolder, dir.path());
    EXPECT_EQ(seam.saveRequests.at(0).initialFolder, dir.path());
    QStringList open;
    for (const FileFilter& f : seam.openRequests[0].filters) {
        open << f.description;
    }
    EXPECT_EQ(open.mid(8), (QStringList{"PNG图片(*.png)", "PSD图片(*.psd)", "TGA图片(*.tga)",
                                        "PCX图片(*.pcx)", "ICO图标(*.ico)", "所有文件(*.*)"}));
    EXPECT_EQ(open.value(0), QStringLiteral("所有图片"));
    for (const char* pattern :
         {"*.jpg", "*.png", "*.psd", "*.tga", "*.pcx", "*.ico", "*.heic", "*.avif", "*.jxl"}) {
        EXPECT_TRUE(seam.openRequests[0].filters[0].patterns.contains(pattern)) << pattern;
    }
    EXPECT_EQ(seam.saveRequests[0].filters.at(4).patterns, QStringList{"*.png"});

    mdlOption::Options().SupportFileOpen = QStringLiteral("只看PNG|*.png");
    w->mPicFile.clear();
    w->cmdOpenPicture();
    EXPECT_EQ(seam.openRequests.at(1).initialFolder, QString());
    EXPECT_EQ(seam.openRequests[1].filters.size(), 1);
}

TEST_F(WindowCommands, SaveAsAsksBeforeReplacingACompletedNameAndLeavesTheChosenFileAlone) {
    frmResize* w = PictureWindow();
    QFile::copy(TestSupport::DataFile("jpg_baseline.jpg"), Path("photo.JPG"));
    QFile::copy(TestSupport::DataFile("jpg_baseline.jpg"), Path("photo.JPG.jpg"));
    const QByteArray old = [&] {
        QFile f(Path("photo.JPG"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    seam.saveAnswers.push_back(ScriptedSeam::Chosen(Path("photo.JPG")));
    seam.questionAnswers.push_back(false);
    w->cmdSaveAs();
    EXPECT_FALSE(w->IsBusy());
    ASSERT_EQ(seam.questions.size(), 1u);
    EXPECT_TRUE(seam.questions[0].text.contains(Path("photo.JPG.jpg")));
    EXPECT_TRUE(seam.messages.empty());
    ASSERT_EQ(seam.saveRequests.size(), 1u);
    EXPECT_EQ(seam.saveRequests[0].defaultSuffix, QStringLiteral("jpg"));

    seam.saveAnswers.push_back(ScriptedSeam::Chosen(Path("photo.JPG")));
    seam.questionAnswers.push_back(true);
    w->cmdSaveAs();
    ASSERT_TRUE(WaitForSave(w));
    EXPECT_EQ(LastMessage(), QStringLiteral("保存成功！请查看：") + Path("photo.JPG.jpg"));
    EXPECT_EQ(QImage(Path("photo.JPG.jpg")).size(), QSize(80, 60));
    QFile chosen(Path("photo.JPG"));
    ASSERT_TRUE(chosen.open(QIODevice::ReadOnly));
    EXPECT_EQ(chosen.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no temporary file left

    w->cmdSaveAs();  // cancelled: nothing asked, nothing said
    EXPECT_EQ(seam.questions.size(), 2u);
    EXPECT_EQ(seam.messages.size(), 1u);
}

TEST_F(WindowCommands, AFolderRemovedWhileThePictureIsEncodedFailsTheSaveAndStaysGone) {
    // A large picture, so that the encode is still running when the folder goes.
    auto* w = new frmResize;
    w->SetPicture(PatternImage(1600, 1200));
    w->setGeometry(0, 0, 1600, 1200);
    w->show();
    ASSERT_TRUE(QDir(dir.path()).mkpath("doomed"));
    ASSERT_TRUE(w->SaveToFile(Path("doomed/a.png")));
    ASSERT_TRUE(QDir(Path("doomed")).removeRecursively());

    QSignalSpy ended(w, &frmResize::saveEnded);
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_FALSE(ended.first().first().toBool());
    EXPECT_EQ(LastMessage(), QStringLiteral("保存失败！\n文件：") + Path("doomed/a.png") +
                                 QStringLiteral("\n原因：文件夹不存在"));
    EXPECT_EQ(seam.messages.back().style, ModalSeam::Critical);
    // Nothing was made again: neither the folder nor a file beside it.
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
}

TEST_F(WindowCommands, AWindowClosedWhileSavingLivesUntilTheSaveIsReported) {
    QPointer<frmResize> w = PictureWindow();
    w->cmdQuickSave();
    QSignalSpy ended(w.data(), &frmResize::saveEnded);
    w->close();
    ASSERT_FALSE(w.isNull());
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->IsUnloaded());
    ASSERT_TRUE(ended.wait(30000));
    EXPECT_TRUE(QFile::exists(Path("new a.bmp")));
    EXPECT_EQ(LastMessage(), QStringLiteral("保存成功！请查看：") + Path("new a.bmp"));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

TEST_F(WindowCommands, OpenEmptiesTheHistoryEvenWhenCancelled) {
    frmResize* w = PictureWindow();
    w->lblCrop->ShowRect({4, 4, 20, 20});
    w->cmdGrayPicture();
    ASSERT_TRUE(w->valHaveBackup());
    QTest::keyClick(w, Qt::Key_O);  // cancelled
    EXPECT_FALSE(w->valHaveBackup());
    ASSERT_EQ(seam.openRequests.size(), 1u);
    EXPECT_TRUE(seam.openRequests[0].mustExist);

    const QString file = TestSupport::DataFile("png_rgb.png");
    seam.openAnswers.push_back(ScriptedSeam::Chosen(file));
    w->cmdOpenPicture();
    ASSERT_TRUE(WaitForOpen(w));
    EXPECT_EQ(w->mPicFile, file);
}

TEST_F(WindowCommands, CopyAndPasteGoThroughTheClipboardAndIgnoreWhatIsNoPicture) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    frmResize* w = PictureWindow();
    w->cmdCopy();
    EXPECT_EQ(clipboard->image().size(), QSize(80, 60));

    frmResize* empty = PictureWindow();
    empty->SetPicture(QImage());
    clipboard->setText(QStringLiteral("kept"));
    empty->cmdCopy();  // no picture: the clipboard keeps its text
    EXPECT_EQ(clipboard->text(), QStringLiteral("kept"));

    w->lblCrop->ShowRect({4, 4, 20, 20});
    w->cmdGrayPicture();
    // text, HTML, a file list and a damaged image: none is a picture to paste
    const std::function<void(QMimeData*)> fills[] = {
        [](QMimeData* d) { d->setText(QStringLiteral("text")); },
        [](QMimeData* d) { d->setHtml(QStringLiteral("<b>html</b>")); },
        [](QMimeData* d) {
            d->setUrls({QUrl::fromLocalFile(TestSupport::DataFile("png_rgb.png"))});
        },
        [](QMimeData* d) {
            d->setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n broken", 16));
        },
    };
    for (const auto& fill : fills) {
        auto* data = new QMimeData;
        fill(data);
        clipboard->setMimeData(data);
        w->cmdPaste();
        EXPECT_TRUE(w->valHaveBackup());  // nothing pasted, history kept
        EXPECT_EQ(w->mPicFile, Path("a.bmp"));
    }

    clipboard->setImage(PatternImage(12, 9));
    w->cmdPaste();
    EXPECT_EQ(w->mPicFile, QString());
    EXPECT_EQ(QSize(w->mOrgWidth, w->mOrgHeight), QSize(12, 9));
    w->cmdUndo();  // a paste is a step too: the picture and its name come back
    EXPECT_EQ(w->mPicFile, Path("a.bmp"));
    EXPECT_EQ(QSize(w->mOrgWidth, w->mOrgHeight), QSize(40, 30));
}

TEST_F(WindowCommands, UndoOfACropWithTheBorderPutsTheWindowBackWhereItWas) {
    frmResize* w = PictureWindow();
    w->cmdSetFormHaveBorder();
    const QRect before = w->geometry();
    w->lblCrop->ShowRect({30, 20, 24, 16});
    w->cmdCrop();
    EXPECT_FALSE(w->lblCrop->isVisible());
    EXPECT_EQ(w->imgView->size(), QSize(24, 16));
    EXPECT_EQ(w->pos(), before.topLeft() + QPoint(26, 16));  // the offset less the border
    w->cmdUndo();
    EXPECT_EQ(w->geometry(), before);
    EXPECT_EQ(QSize(w->mOrgWidth, w->mOrgHeight), QSize(40, 30));  // its own size, not as shown
    EXPECT_EQ(w->mPicFile, Path("a.bmp"));
}

TEST_F(WindowCommands, ClearRotateAndOwnSizeSizeTheWindow) {
    frmResize* w = PictureWindow();
    ASSERT_TRUE(w->lnkRotate(QStringLiteral("+90")));
    EXPECT_EQ(w->imgView->size(), QSize(60, 80));
    EXPECT_EQ(QSize(w->mOrgWidth, w->mOrgHeight), QSize(30, 40));
    mdlOption::Options().ResizeWhenRotate = false;
    ASSERT_TRUE(w->lnkRotate(QStringLiteral("-90")));
    EXPECT_EQ(w->imgView->size(), QSize(60, 80));
    EXPECT_FALSE(w->lnkRotate(QStringLiteral("45")));

    w->cmdResize_OrgSize();
    EXPECT_EQ(w->imgView->size(), QSize(40, 30));

    w->lblCrop->ShowRect({2, 2, 20, 20});
    w->cmdMask();
    ASSERT_TRUE(w->valHaveBackup());
    w->cmdClear();
    EXPECT_FALSE(w->valHaveBackup());
    EXPECT_EQ(w->size(), QSize(60, 60));
    EXPECT_EQ(w->mPicFile, Path("a.bmp"));  // later quick saves still use the old name
}

TEST_F(WindowCommands, LetterKeysActOnlyWithoutCtrlAltOrMeta) {
    frmResize* w = PictureWindow();
    QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_S, Qt::AltModifier);
    EXPECT_FALSE(w->IsBusy());
    EXPECT_TRUE(w->isVisible());
    // Ctrl let go before the letter: the press still came with Ctrl
    QTest::keyPress(w, Qt::Key_C, Qt::ControlModifier);
    QTest::keyRelease(w, Qt::Key_C, Qt::NoModifier);
    EXPECT_FALSE(w->IsBusy());

    QSignalSpy captured(w, &frmResize::captureEnded);
    QTest::keyClick(w, Qt::Key_C);
    EXPECT_TRUE(w->IsBusy());
    EXPECT_FALSE(w->isVisible());
    QTest::keyClick(w, Qt::Key_C);  // a second capture while one runs is ignored
    ASSERT_TRUE(captured.wait(10000));
    EXPECT_EQ(captured.size(), 1);
    EXPECT_TRUE(w->isVisible());
    if (captured.at(0).at(0).toBool()) {
        EXPECT_EQ(w->geometry(), w->screen()->geometry());
        EXPECT_EQ(w->lblTip->text(), QStringLiteral("拷贝屏幕结束，请使用"));
    } else {
        EXPECT_EQ(w->geometry(), QRect(100, 100, 80, 60));  // refused: as it was
    }
}

TEST_F(WindowCommands, TheCropMenuActsOnTheWindowItWasOpenedFor) {
    mdlMain::InstallWindowServices();
    frmResize* first = PictureWindow();
    frmResize* second = PictureWindow();
    first->lblCrop->ShowRect({0, 0, 10, 10});
    second->lblCrop->ShowRect({0, 0, 10, 10});
    QTest::mouseClick(first->lblCrop, Qt::RightButton, {}, QPoint(5, 5));
    frmMenuBuf* menu = frmMenuBuf::Shared();
    EXPECT_EQ(menu->Owner(), first);
    const QList<QAction*> items = menu->mnuRightCrop->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), QStringLiteral("剪裁(&C)"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("打马赛克(&M)"));
    menu->mnuCrop->trigger();
    EXPECT_EQ(first->imgView->size(), QSize(10, 10));
    EXPECT_EQ(second->imgView->size(), QSize(80, 60));
    EXPECT_EQ(menu->Owner(), nullptr);
    EXPECT_FALSE(menu->isVisible());

    // A window that closes while its crop menu is up takes the menu with it at once (the object
    // may live on while a save finishes), with other windows still open; closing another window
    // leaves the menu alone.
    frmResize* third = PictureWindow();
    second->lblCrop->ShowRect({0, 0, 10, 10});
    QTest::mouseClick(second->lblCrop, Qt::RightButton, {}, QPoint(5, 5));
    ASSERT_EQ(menu->Owner(), second);
    first->close();
    EXPECT_EQ(menu->Owner(), second);
    second->close();
    EXPECT_EQ(menu->Owner(), nullptr);
    EXPECT_FALSE(menu->mnuRightCrop->isVisible());
    EXPECT_TRUE(third->isVisible());
}

}  // namespace

namespace {

TEST_F(WindowCommands, TheDesktopsUsualKeysReachTheCommands) {
    frmResize* from = PictureWindow();
    frmResize* to = PictureWindow();
    to->SetPicture(PatternImage(9, 9));
    auto press = [](frmResize* w, Qt::Key key, Qt::KeyboardModifiers mods) {
        QApplication::setActiveWindow(w);
        QTest::keyClick(w, key, mods);
    };
    press(from, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(from->IsBusy());  // a copy, never a capture
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(80, 60));
    press(to, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(QSize(to->mOrgWidth, to->mOrgHeight), QSize(80, 60));

    to->lblCrop->ShowRect({0, 0, 40, 30});
    to->cmdCrop();
    ASSERT_EQ(to->UndoSteps(), 2);  // the paste and the crop
    press(to, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(QSize(to->mOrgWidth, to->mOrgHeight), QSize(80, 60));
    press(to, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QSize(to->mOrgWidth, to->mOrgHeight), QSize(40, 30));
    press(to, Qt::Key_Z, Qt::ControlModifier);
    press(to, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(QSize(to->mOrgWidth, to->mOrgHeight), QSize(40, 30));

    press(to, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(seam.openRequests.size(), 1u);
    press(to, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(seam.saveRequests.size(), 1u);
    press(from, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(WaitForSave(from));
    EXPECT_TRUE(QFile::exists(Path("new a.bmp")));
    press(to, Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(to->IsUnloaded());
}

}  // namespace
