#include "browser/BrowseUiSupport.h"

#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <cstdio>

#include "app/mdlMain.h"
#include "support/TestSupport.h"

namespace {

using Browser = BrowseFixture;

TEST_F(Browser, ShowsAFolderInNaturalOrderWithThumbnailsWithinTheCell) {
    Picture("10.png", QSize(10000, 50), root + "pics");
    Picture("2.png", QSize(196, 98), root + "pics");
    Picture("1&1.png", QSize(50, 60), root + "pics");
    Picture("R&D.png", QSize(20, 20), root + "pics/sub");  // subfolders are not entered
    frmResize* owner = Owner();
    frmBrowse* b = frmBrowse::Shared();

    ASSERT_TRUE(b->ShowBrowse({root + "pics"}, owner));
    EXPECT_TRUE(b->isVisible());
    EXPECT_TRUE(b->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(b->lblCountTip->text(), QStringLiteral("总共0张图片，您选中了其中的0张。"));
    ASSERT_TRUE(WaitLoaded(b));

    EXPECT_EQ(b->windowTitle(), QStringLiteral("图像浏览"));
    ASSERT_EQ(b->Items().Count(), 3);
    EXPECT_EQ(b->chkBrowse[0]->text(), "1&&1.png") << "'&' shows as itself";
    EXPECT_EQ(b->chkBrowse[1]->text(), "2.png");
    EXPECT_EQ(b->chkBrowse[2]->text(), "10.png");
    EXPECT_EQ(b->chkBrowse[2]->toolTip(), "10.png");
    EXPECT_EQ(b->imgBrowse[0]->pixmap().size(), QSize(50, 60));
    EXPECT_EQ(b->imgBrowse[1]->pixmap().size(), QSize(98, 49));
    EXPECT_EQ(b->imgBrowse[2]->pixmap().size(), QSize(98, 1));
    EXPECT_EQ(b->imgBrowse[0]->size(), QSize(100, 100));
    EXPECT_EQ(b->imgBrowse[1]->x() - b->imgBrowse[0]->x(), 111);  // 1660 twips
    EXPECT_EQ(b->imgBrowse[4]->x(), b->imgBrowse[0]->x());        // second row
    EXPECT_GT(b->imgBrowse[4]->y(), b->chkBrowse[0]->y());

    // 3 items: one page, five empty cells, and the wheel stays on it.
    EXPECT_EQ(Cells(b), (std::vector<int>{1, 2, 3, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(b->chkBrowse[3]->isHidden());
    EXPECT_TRUE(b->imgBrowse[3]->pixmap().isNull());
    EXPECT_EQ(b->vscBrowse->maximum(), 1);
    b->EventMouseScroll(1);
    EXPECT_EQ(b->vscBrowse->value(), 1);
    EXPECT_EQ(Cells(b)[0], 1);
    EXPECT_EQ(b->lblCountTip->text(), QStringLiteral("总共3张图片，您选中了其中的3张。"));
}

TEST_F(Browser, TenItemsScrollByRowsAndTicksSurviveScrolling) {
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({Folder("ten", 10)}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));
    EXPECT_EQ(b->vscBrowse->maximum(), 2);

    b->chkBrowse[1]->click();  // item 2
    EXPECT_EQ(b->lblCountTip->text(), QStringLiteral("总共10张图片，您选中了其中的9张。"));
    b->vscBrowse->setValue(2);
    EXPECT_EQ(Cells(b), (std::vector<int>{5, 6, 7, 8, 9, 10, 0, 0}));
    EXPECT_EQ(b->chkBrowse[5]->text(), "10.png");
    EXPECT_TRUE(b->chkBrowse[6]->isHidden());
    b->vscBrowse->setValue(1);
    EXPECT_FALSE(b->chkBrowse[1]->isChecked());
    EXPECT_TRUE(b->chkBrowse[2]->isChecked());
    EXPECT_EQ(b->lblCountTip->text(), QStringLiteral("总共10张图片，您选中了其中的9张。"));

    // Select none on a list of two pages leaves nothing ticked on either page.
    b->cmdSelectNone->click();
    EXPECT_EQ(b->Items().SelectedCount(), 0);
    EXPECT_EQ(b->lblCountTip->text(), QStringLiteral("总共10张图片，您选中了其中的0张。"));
    b->vscBrowse->setValue(2);
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(b->chkBrowse[static_cast<size_t>(i)]->isChecked()) << i;
    }
    b->cmdSelectAll->click();
    EXPECT_TRUE(b->chkBrowse[5]->isChecked());
    EXPECT_EQ(b->Items().SelectedCount(), 10);
    b->cmdSelectNone->click();

    // ... and opening then opens nothing and closes the browser.
    b->cmdOpen->click();
    EXPECT_TRUE(ownerOpens.empty());
    EXPECT_TRUE(windows.empty());
    EXPECT_FALSE(b->isVisible());
    EXPECT_EQ(b->Items().Count(), 0);
}

TEST_F(Browser, OpensTheFirstTickedInTheOwnerAndTheRestCascaded) {
    frmResize* owner = Owner();
    frmBrowse* b = frmBrowse::Shared();
    const QString folder = Folder("four", 4);
    ASSERT_TRUE(b->ShowBrowse({folder}, owner));
    ASSERT_TRUE(WaitLoaded(b));
    b->chkBrowse[0]->click();  // the owner gets the first *ticked* one: item 2

    b->cmdOpen->click();
    ASSERT_EQ(ownerOpens.size(), 1u);
    EXPECT_EQ(ownerOpens[0].owner, owner);
    EXPECT_EQ(ownerOpens[0].path, folder + "/2.png");
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].path, folder + "/3.png");
    EXPECT_EQ(windows[0].place, QPoint(3840, 1920));  // 1024 x 768 at 15 twips
    EXPECT_EQ(windows[1].path, folder + "/4.png");
    EXPECT_EQ(windows[1].place, QPoint(4340, 2420));
    EXPECT_FALSE(b->isVisible());
    EXPECT_EQ(b->OwnForm(), nullptr);
    EXPECT_TRUE(seam.questions.empty());
}

TEST_F(Browser, MoreThanTwentyTickedAsksFirst) {
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({Folder("many", 22)}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));

    seam.questionAnswers = {false};
    b->cmdOpen->click();
    ASSERT_EQ(seam.questions.size(), 1u);
    EXPECT_TRUE(seam.questions[0].text.contains("22"));
    EXPECT_TRUE(ownerOpens.empty());
    EXPECT_TRUE(windows.empty());
    EXPECT_TRUE(b->isVisible()) << "declined: the user can still change the ticks";

    seam.questionAnswers = {true};
    b->cmdOpen->click();
    EXPECT_EQ(seam.questions.size(), 2u);
    EXPECT_EQ(ownerOpens.size(), 1u);
    EXPECT_EQ(windows.size(), 21u);
    EXPECT_FALSE(b->isVisible());

    // Twenty ticked: no question.
    ASSERT_TRUE(b->ShowBrowse({Folder("many", 22)}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));
    b->chkBrowse[0]->click();
    b->chkBrowse[1]->click();
    b->cmdOpen->click();
    EXPECT_EQ(seam.questions.size(), 2u);
    EXPECT_EQ(windows.size(), 21u + 19u);
}

TEST_F(Browser, ClickOpensInTheOwnerAndADoubleClickNeverOpensTwice) {
    frmResize* owner = Owner();
    frmBrowse* b = frmBrowse::Shared();
    const QString folder = Folder("two", 2);
    ASSERT_TRUE(b->ShowBrowse({folder}, owner));
    ASSERT_TRUE(WaitLoaded(b));

    QTest::mouseClick(b->imgBrowse[1], Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_EQ(ownerOpens.size(), 1u);
    EXPECT_EQ(ownerOpens[0].path, folder + "/2.png");
    EXPECT_TRUE(b->isVisible());
    QTest::mouseClick(b->imgBrowse[5], Qt::LeftButton, {}, QPoint(50, 50));  // an empty cell
    EXPECT_EQ(ownerOpens.size(), 1u);

    // A double click as the window system delivers it: press, release, press, double click,
    // release.
    QLabel* cell = b->imgBrowse[0];
    const QPointF at(50, 50);
    QTest::mousePress(cell, Qt::LeftButton, {}, at.toPoint());
    QTest::mouseRelease(cell, Qt::LeftButton, {}, at.toPoint());
    QTest::mousePress(cell, Qt::LeftButton, {}, at.toPoint());
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, cell->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(cell, &dbl);
    QTest::mouseRelease(cell, Qt::LeftButton, {}, at.toPoint());
    ASSERT_EQ(ownerOpens.size(), 2u) << "one open for the whole double click";
    EXPECT_EQ(ownerOpens[1].path, folder + "/1.png");
    EXPECT_FALSE(b->isVisible());
}

TEST_F(Browser, NothingLoadedClosesWhenTheLoadEndsAndNothingGivenIsRefused) {
    frmResize* owner = Owner();
    QFile text(root + "notes.txt");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    frmBrowse* b = frmBrowse::Shared();

    EXPECT_TRUE(b->ShowBrowse({root + "missing.png", root + "notes.txt"}, owner));
    ASSERT_TRUE(WaitLoaded(b));
    EXPECT_FALSE(b->isVisible());
    EXPECT_TRUE(owner->isVisible()) << "the owner stays open and empty";

    EXPECT_FALSE(b->ShowBrowse({}, owner));
    EXPECT_FALSE(b->isVisible());
}

TEST_F(Browser, ThumbnailsStandAsThePhotosOpenAndNamesThatAreNotUtf8AreLeftOut) {
    // A photo stored 300 x 200 with orientation 6, and the same bytes under a name that is not
    // UTF-8: such a name cannot be handed on as text, so it is not listed at all.
    QFile photo(TestSupport::DataFile("jpg_phone6.jpg"));
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
    const QByteArray bytes = photo.readAll();
    ASSERT_TRUE(QDir().mkpath(root + "photos"));
    for (const QByteArray& name : {QByteArray("phone.jpg"), QByteArray("\xff\xfe.jpg")}) {
        std::FILE* f = std::fopen((QFile::encodeName(root) + "photos/" + name).constData(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
        std::fclose(f);
    }
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({root + "photos"}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_EQ(b->Items().Count(), 1);
    EXPECT_EQ(b->Items().Item(1).FileName, root + "photos/phone.jpg");
    EXPECT_EQ(b->imgBrowse[0]->pixmap().size(), QSize(65, 98));

    mdlOption::Options().AutoRotate = false;  // looked at by the next load
    ASSERT_TRUE(b->ShowBrowse({root + "photos"}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_EQ(b->Items().Count(), 1);
    EXPECT_EQ(b->imgBrowse[0]->pixmap().size(), QSize(98, 65));
}

// ---- while loading ----

TEST_F(Browser, CloseDuringLoadingCancelsAndLeavesNothingBehind) {
    const QString big = Folder("big", 40);
    const QString small = Folder("small", 2);
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({big}, Owner()));
    ASSERT_TRUE(b->IsLoading());
    b->close();
    EXPECT_FALSE(b->IsLoading());
    EXPECT_FALSE(b->isVisible());
    EXPECT_EQ(b->Items().Count(), 0);

    // The next load sees only its own pictures, however late the old decodes end.
    ASSERT_TRUE(b->ShowBrowse({small}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));
    EXPECT_EQ(b->Items().Count(), 2);
    EXPECT_EQ(b->Items().Item(1).FileName, small + "/1.png");
}

TEST_F(Browser, AltCClosesDuringALongLoad) {
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({Folder("big", 40)}, Owner()));
    b->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(b));
    ASSERT_TRUE(b->IsLoading());
    QTest::keyClick(b, Qt::Key_C, Qt::AltModifier);
    // The button's mnemonic clicks it the way a button shows a click: a moment later.
    ASSERT_TRUE(QTest::qWaitFor([b] { return !b->isVisible(); }, 10000));
    EXPECT_FALSE(b->IsLoading());
    EXPECT_EQ(b->Items().Count(), 0);
}

TEST_F(Browser, ANewShowBrowseDuringLoadingStartsOver) {
    const QString first = Folder("first", 30);
    const QString second = Folder("second", 3);
    frmResize* owner1 = Owner();
    frmResize* owner2 = Owner();
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({first}, owner1));
    ASSERT_TRUE(b->ShowBrowse({second}, owner2));
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_EQ(b->Items().Count(), 3);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(b->Items().Item(n).FileName.startsWith(second)) << n;
    }
    EXPECT_EQ(b->OwnForm(), owner2);
}

TEST_F(Browser, DropsDuringLoadingJoinTheQueueInOrder) {
    const QString folder = Folder("ten", 10);
    const QString extra = Folder("extra", 2);
    const QString single = Picture("single.png");
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({folder}, Owner()));
    ASSERT_TRUE(b->IsLoading());
    // Cells and check boxes take no drops: the window system hands them to the frame.
    Drop(b->frameBrowse, {single, extra});
    Drop(b->frameBrowse, {root + "missing.png"});
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_EQ(b->Items().Count(), 13);
    EXPECT_EQ(b->Items().Item(10).FileName, folder + "/10.png");
    EXPECT_EQ(b->Items().Item(11).FileName, single);
    EXPECT_EQ(b->Items().Item(13).FileName, extra + "/2.png");
    EXPECT_EQ(b->vscBrowse->maximum(), 3);
    EXPECT_EQ(b->lblCountTip->text(), QStringLiteral("总共13张图片，您选中了其中的13张。"));

    // After the load a drop starts another; the page in view is kept.
    b->vscBrowse->setValue(2);
    Drop(b->frameBrowse, {single});
    ASSERT_TRUE(WaitLoaded(b));
    EXPECT_EQ(b->Items().Count(), 14);
    EXPECT_EQ(b->vscBrowse->value(), 2);
    EXPECT_EQ(Cells(b)[0], 5);
}

TEST_F(Browser, AnOwnerThatClosesLeavesABrowserWithoutOwner) {
    const QString folder = Folder("three", 3);
    QPointer<frmResize> owner = Owner();
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({folder}, owner));
    owner->close();  // during loading; the window deletes itself later
    EXPECT_EQ(b->OwnForm(), nullptr);
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.isNull(); }, 10000));
    QTest::mouseClick(b->imgBrowse[0], Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(ownerOpens.empty());

    b->cmdOpen->click();
    EXPECT_TRUE(ownerOpens.empty());
    ASSERT_EQ(windows.size(), 3u) << "every ticked picture in a window of its own";
    EXPECT_EQ(windows[0].path, folder + "/1.png");
    EXPECT_EQ(windows[0].place, QPoint(3840, 1920));
}

// Files that cannot be opened any more (gone, or damaged since their thumbnails were made) are
// named in one message once the others have opened; a browser with nothing readable says so.
TEST_F(Browser, WhatCannotBeOpenedIsNamedInOneMessage) {
    frmBrowse::setOwnerOpenForTesting(nullptr);
    WindowServices::ShellServices().openPictureWindow = mdlMain::OpenPictureWindow;
    const QString folder = Folder("four", 4);
    frmResize* owner = Owner();
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({folder}, owner));
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_TRUE(QFile::remove(folder + "/2.png"));
    QFile damaged(folder + "/3.png");
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.close();
    b->cmdOpen->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !seam.messages.empty(); }, 60000));
    EXPECT_EQ(seam.messages.back().text,
              QStringLiteral("以下图片无法打开：\n") + folder + "/2.png\n" + folder + "/3.png");
    EXPECT_EQ(owner->mPicFile, folder + "/1.png");
    EXPECT_EQ(mdlMain::ImageWindowCount(), 2);  // the owner and 4.png's window

    ASSERT_TRUE(b->ShowBrowse({folder + "/3.png", root + "missing.png"}, owner));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !b->isVisible(); }, 60000));
    ASSERT_EQ(seam.messages.size(), 2u);
    EXPECT_EQ(seam.messages.back().text, QStringLiteral("这里没有 Lumora 能读取的图片：\n") +
                                             folder + "/3.png\n" + root + "missing.png");
}

// A name wider than its cell keeps its start and its end around "…" and fits the caption; the
// tooltip holds it whole.
TEST_F(Browser, LongNamesAreElidedInTheMiddleWithTheWholeNameInTheTooltip) {
    const QStringList names = {
        QStringLiteral("二零二四年春节全家福在老家院子里拍的第十二张照片最终版.png"),
        QStringLiteral("R&D holiday photos from the mountain trip 2024 number 0012 final.png")};
    for (const QString& name : names) {
        Picture(name, QSize(20, 20), root + "long");
    }
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({root + "long"}, Owner()));
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_EQ(b->Items().Count(), 2);

    for (int cell = 0; cell < 2; ++cell) {
        QCheckBox* chk = b->chkBrowse[static_cast<size_t>(cell)];
        const QString name = chk->toolTip();
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(names.contains(name)) << "the tooltip is not the whole name";
        EXPECT_TRUE(QKeySequence::mnemonic(chk->text()).isEmpty()) << "no shortcut from a name";
        const QString shown = QString(chk->text()).replace(QStringLiteral("&&"), "&");
        const qsizetype cut = shown.indexOf(QChar(0x2026));
        ASSERT_GT(cut, 0) << "no \"…\" in " << shown.toStdString();
        EXPECT_TRUE(name.startsWith(shown.left(cut)));
        EXPECT_TRUE(name.endsWith(shown.mid(cut + 1)));
        EXPECT_TRUE(shown.endsWith(QStringLiteral(".png")));
        // What is left of the box beside its tick mark.
        const int room = chk->width() - chk->style()->pixelMetric(QStyle::PM_IndicatorWidth) -
                         chk->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        EXPECT_LE(chk->fontMetrics().horizontalAdvance(shown), room) << shown.toStdString();
    }
}

}  // namespace
