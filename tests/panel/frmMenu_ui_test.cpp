#include <gtest/gtest.h>

#include "app/mdlMain.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmCloseAll.h"
#include "panel/MenuCommands.h"
#include "panel/frmMenu.h"
#include "settings/frmOption.h"
#include "settings/mdlOption.h"
#include "support/TestSupport.h"
#include "support/WheelInput.h"
#include "support/WindowFixture.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <functional>
#include <map>

using TestSupport::PatternImage;

namespace {

class Panel : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        mdlMain::InstallWindowServices();
        mdlOption::Options().CYSizeList = {QStringLiteral("640*480(VGA)"), QStringLiteral("abc")};
    }
    void TearDown() override {
        frmMenu::UnloadShared();
        mdlOption::Options().CYSizeList.clear();
        WindowFixture::TearDown();
    }
    // A window showing a 40 x 30 picture at 80 x 60, and the panel opened for it.
    frmResize* OpenFor() {
        auto* w = new frmResize;
        w->SetPicture(PatternImage(40, 30));
        w->setGeometry(100, 100, 80, 60);
        w->show();
        frmMenu::ShowMenu(w);
        return w;
    }
    static frmMenu* P() { return frmMenu::Shared(); }
};

// Every key of the table reaches its operation on the owner (or the shell) and closes the panel.
// A key added to the table without a line here fails the test.
TEST_F(Panel, EveryCommandKeyReachesItsOperation) {
    using Check = std::function<void(frmResize*)>;
    const std::map<QString, std::pair<std::function<void(frmResize*)>, Check>> cases = {
        {"OPEN", {{}, [&](frmResize*) { EXPECT_EQ(seam.openRequests.size(), 1u); }}},
        {"SAVEAS", {{}, [&](frmResize*) { EXPECT_EQ(seam.saveRequests.size(), 1u); }}},
        {"QUICKSAVE",
         {[](frmResize*) { mdlOption::Options().QuickSavePath = QStringLiteral("/nonexistent/"); },
          [](frmResize* w) { EXPECT_TRUE(w->IsBusy()); }}},
        {"COPYSCREEN", {{}, [](frmResize* w) { EXPECT_FALSE(w->isVisible()); }}},
        {"CLOSEME", {{}, [](frmResize* w) { EXPECT_TRUE(w->IsUnloaded()); }}},
        {"CLOSEALL", {{}, [](frmResize*) { EXPECT_TRUE(frmCloseAll::Shared()->isVisible()); }}},
        {"NEW",
         {{},
          [](frmResize* w) {
              EXPECT_EQ(mdlMain::ImageWindowCount(), 2);
              Q_UNUSED(w);
          }}},
        {"COPYME", {{}, [](frmResize*) { EXPECT_EQ(mdlMain::ImageWindowCount(), 2); }}},
        {"UNDO",
         {[](frmResize* w) { w->cmdGrayPicture(); },
          [](frmResize* w) { EXPECT_FALSE(w->valHaveBackup()); }}},
        {"COPY",
         {[](frmResize*) { QGuiApplication::clipboard()->clear(); },
          [](frmResize*) {
              EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(80, 60));
          }}},
        {"PASTE",
         {[](frmResize*) { QGuiApplication::clipboard()->setImage(PatternImage(7, 5)); },
          [](frmResize* w) { EXPECT_EQ(w->mOrgWidth, 7); }}},
        {"CLEAR", {{}, [](frmResize* w) { EXPECT_EQ(w->mOrgWidth, 60); }}},
        {"CUSTSIZE",
         {[](frmResize*) {
              P()->txtCCTZ_NewWidth->setText(QStringLiteral("50"));
              P()->txtCCTZ_NewHeight->setText(QStringLiteral("20"));
          },
          [](frmResize* w) { EXPECT_EQ(w->imgView->size(), QSize(50, 20)); }}},
        {"EDITSIZELIST", {{}, [](frmResize*) { EXPECT_TRUE(frmOption::Shared()->isVisible()); }}},
        {"SET", {{}, [](frmResize*) { EXPECT_TRUE(frmOption::Shared()->isVisible()); }}},
        {"GRAYPICTURE", {{}, [](frmResize* w) { EXPECT_TRUE(w->valHaveBackup()); }}},
        {"ANNOTATE", {{}, [](frmResize* w) { EXPECT_TRUE(w->IsAnnotating()); }}},
        {"ROTATE+90",
         {{}, [](frmResize* w) { EXPECT_EQ(QSize(w->mOrgWidth, w->mOrgHeight), QSize(30, 40)); }}},
        {"ROTATE-90",
         {{}, [](frmResize* w) { EXPECT_EQ(QSize(w->mOrgWidth, w->mOrgHeight), QSize(30, 40)); }}},
        {"FLIPX",
         {{},
          [](frmResize* w) {
              EXPECT_EQ(w->Picture().pixel(0, 0), PatternImage(40, 30).pixel(0, 29));
          }}},
        {"FLIPY",
         {{},
          [](frmResize* w) {
              EXPECT_EQ(w->Picture().pixel(0, 0), PatternImage(40, 30).pixel(39, 0));
          }}},
        {"HELP",
         {{}, [&](frmResize*) { EXPECT_EQ(seam.started.size() + seam.messages.size(), 1u); }}},
        {"ABOUT", {{}, [](frmResize*) { EXPECT_TRUE(frmAbout::Shared()->isVisible()); }}},
    };
    for (const auto& c : MenuCommands::Table()) {
        SCOPED_TRACE(c.key.toStdString());
        const auto found = cases.find(c.key);
        ASSERT_NE(found, cases.end()) << "no check for this key";
        frmResize* w = OpenFor();
        if (found->second.first) {
            found->second.first(w);
        }
        P()->RunCommand(c.key);
        EXPECT_FALSE(P()->isVisible());
        EXPECT_EQ(P()->Owner(), nullptr);
        found->second.second(w);
        // A save or capture that started ends before the next key (its result is not the point).
        EXPECT_TRUE(QTest::qWaitFor([w] { return !w->IsBusy(); }, 30000));
        CloseAllWindows();
        seam.openRequests.clear();
        seam.saveRequests.clear();
        seam.opened.clear();
        seam.started.clear();
        seam.messages.clear();
        mdlOption::SetDefaultOptions();
        mdlOption::Options().AlwaysTop = false;
    }
    frmResize* w = OpenFor();
    P()->RunCommand(QStringLiteral("copy"));  // no such key: only closes
    EXPECT_FALSE(P()->isVisible());
    EXPECT_EQ(w->mOrgWidth, 40);
}

TEST_F(Panel, OpensForEachWindowWithItsInformationAndNoOldHighlight) {
    frmResize* first = OpenFor();
    first->mNowPointColor = 0x00FF8040;
    frmMenu::ShowMenu(first);
    EXPECT_TRUE(P()->isVisible());
    EXPECT_EQ(P()->txtInfoNewSize->text(), QStringLiteral("80 * 60"));
    EXPECT_EQ(P()->txtInfoOrgSize->text(), QStringLiteral("40 * 30"));
    EXPECT_EQ(P()->txtInfoPointColor->text(), QStringLiteral("RGB: 40 80 FF"));
    EXPECT_TRUE(P()->txtInfoOrgSize->isReadOnly());
    EXPECT_FALSE(P()->findChild<QLabel*>(QStringLiteral("lblCommand_16"))->isEnabled());
    ASSERT_EQ(P()->lstCCTZ_Size->count(), 3);
    EXPECT_EQ(P()->lstCCTZ_Size->item(0)->text(), QStringLiteral("40 * 30(原始图片大小)"));
    EXPECT_EQ(P()->lstCCTZ_Size->item(1)->text(), QStringLiteral("640 * 480(VGA)"));

    QTest::mouseMove(P()->lblCommand[8]);
    EXPECT_EQ(P()->HoverIndex(), 8);
    EXPECT_TRUE(P()->lblCommand[8]->font().underline());
    QTest::mouseMove(P()->lblTab[2]);
    EXPECT_EQ(P()->CurrentTab(), 2);  // tabs switch on hover

    frmResize* second = OpenFor();
    second->cmdGrayPicture();
    frmMenu::ShowMenu(second);
    EXPECT_EQ(P()->Owner(), second);
    EXPECT_EQ(P()->HoverIndex(), -1);
    EXPECT_FALSE(P()->lblCommand[8]->font().underline());
    EXPECT_TRUE(P()->findChild<QLabel*>(QStringLiteral("lblCommand_16"))->isEnabled());

    second->close();  // the owner goes: so does the panel
    EXPECT_FALSE(P()->isVisible());
    EXPECT_EQ(P()->Owner(), nullptr);
}

TEST_F(Panel, CustomSizeRefusesBadNumbersAndStaysOpen) {
    frmResize* w = OpenFor();
    for (const char* width : {"0", "", "1e3", "99999999999"}) {
        P()->txtCCTZ_NewWidth->setText(QString::fromLatin1(width));
        P()->RunCommand(QStringLiteral("CUSTSIZE"));
        ASSERT_FALSE(seam.messages.empty());
        EXPECT_EQ(seam.messages.back().text, QStringLiteral("请输入正确的宽度！"));
        EXPECT_EQ(seam.messages.back().title, QStringLiteral("输入错误"));
        EXPECT_TRUE(P()->isVisible());
    }
    P()->txtCCTZ_NewWidth->setText(QStringLiteral(" 64 "));
    P()->txtCCTZ_NewHeight->setText(QStringLiteral("0"));
    P()->RunCommand(QStringLiteral("CUSTSIZE"));
    EXPECT_EQ(seam.messages.back().text, QStringLiteral("请输入正确的高度！"));
    EXPECT_EQ(w->imgView->size(), QSize(80, 60));
    EXPECT_TRUE(P()->isVisible());
}

TEST_F(Panel, SizeListAppliesOnClickAndClosesOnDoubleClick) {
    frmResize* w = OpenFor();
    QListWidget* list = P()->lstCCTZ_Size;
    auto click = [&](int row, bool twice) {
        const QRect r = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        if (twice) {
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
        }
    };
    P()->ShowTab(1);
    click(2, false);  // "abc": ignored
    EXPECT_EQ(w->imgView->size(), QSize(80, 60));
    click(0, false);  // the size as loaded; the panel stays
    EXPECT_EQ(w->imgView->size(), QSize(40, 30));
    EXPECT_TRUE(P()->isVisible());
    click(1, true);
    EXPECT_EQ(w->imgView->size(), QSize(640, 480));
    EXPECT_FALSE(P()->isVisible());
}

TEST_F(Panel, OpacityStaysWithinTenToAHundredAsTheBoxSaysAndResetsTheShape) {
    frmResize* w = OpenFor();
    QLineEdit* box = P()->txtTBCL_Touming;
    box->setFocus();
    box->clear();
    QTest::keyClicks(box, QStringLiteral("200"));
    EXPECT_EQ(w->mTouming, 100);
    EXPECT_EQ(w->windowOpacity(), 1.0);
    EXPECT_EQ(box->text(), QStringLiteral("100"));  // no further digit could bring it back
    box->clear();
    QTest::keyClick(box, Qt::Key_5);  // may begin 55: kept while typing
    EXPECT_EQ(w->mTouming, 10);
    EXPECT_EQ(box->text(), QStringLiteral("5"));
    QTest::keyClick(box, Qt::Key_Return);  // the typing ends: the box says what the window has
    EXPECT_EQ(box->text(), QStringLiteral("10"));
    EXPECT_EQ(w->mTouming, 10);
    box->setText(QStringLiteral("99999"));
    EXPECT_EQ(w->mTouming, 100);
    EXPECT_EQ(box->text(), QStringLiteral("100"));

    P()->chkTBCL_Shape->setChecked(true);
    EXPECT_TRUE(w->mFormShape);
    EXPECT_EQ(P()->txtTBCL_Touming->text(), QStringLiteral("100"));
    P()->txtTBCL_Touming->setText(QStringLiteral("50"));
    EXPECT_FALSE(P()->chkTBCL_Shape->isChecked());
    EXPECT_FALSE(w->mFormShape);
    EXPECT_EQ(w->mTouming, 100);  // the shape's reset wins, as the box then says
    EXPECT_EQ(P()->txtTBCL_Touming->text(), QStringLiteral("100"));

    P()->chkTBCL_Border->setChecked(true);
    EXPECT_EQ(w->mFormBorder, 4);
    EXPECT_TRUE(P()->isVisible());  // display settings keep the panel open
}

TEST_F(Panel, TheOpacityBoxFollowsCtrlWheelOnItsOwnerOnly) {
    frmResize* w = OpenFor();
    auto* other = new frmResize;
    other->setGeometry(400, 100, 80, 60);
    other->show();
    P()->chkTBCL_Shape->setChecked(true);
    ASSERT_TRUE(w->mFormShape);

    SendWheel(w->imgView, w->geometry().center(), -240, Qt::ControlModifier);
    EndEventLoopTurn(w);
    EXPECT_EQ(w->mTouming, 80);
    EXPECT_FALSE(w->mFormShape);  // opacity and shape exclude each other
    EXPECT_EQ(P()->txtTBCL_Touming->text(), QStringLiteral("80"));
    EXPECT_FALSE(P()->chkTBCL_Shape->isChecked());
    EXPECT_EQ(w->mTouming, 80);  // the boxes were written without acting back on the window

    SendWheel(other->imgView, other->geometry().center(), -120, Qt::ControlModifier);
    EndEventLoopTurn(other);
    EXPECT_EQ(other->mTouming, 90);
    EXPECT_EQ(P()->txtTBCL_Touming->text(), QStringLiteral("80"));
}

TEST_F(Panel, NumberBoxesTakeDigitsAndStepWithArrows) {
    OpenFor();
    QLineEdit* box = P()->txtTBCL_Touming;
    box->setText(QStringLiteral("100"));
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(box->text(), QStringLiteral("99"));
    box->clear();
    QTest::keyClicks(box, QStringLiteral("4a-2"));
    EXPECT_EQ(box->text(), QStringLiteral("42"));
    P()->Unload();  // detached: an ordinary box again
    box->clear();
    QTest::keyClicks(box, QStringLiteral("x"));
    EXPECT_EQ(box->text(), QStringLiteral("x"));
}

// Counts the presses that reach a widget.
class PressCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        presses += event->type() == QEvent::MouseButtonPress ? 1 : 0;
        return false;
    }
};

TEST_F(Panel, AClickOnACommandRunsItAndNeverStartsADrag) {
    frmResize* w = OpenFor();
    P()->ShowTab(2);
    PressCounter page;
    P()->picTab[2]->installEventFilter(&page);
    const QPoint before = P()->pos();
    QLabel* flip = P()->findChild<QLabel*>(QStringLiteral("lblCommand_12"));  // 水平翻转
    ASSERT_NE(flip, nullptr);
    QTest::mouseClick(flip, Qt::LeftButton, {}, flip->rect().center());
    EXPECT_EQ(w->Picture().pixel(0, 0), PatternImage(40, 30).pixel(39, 0));
    EXPECT_FALSE(P()->isVisible());
    EXPECT_EQ(P()->pos(), before);
    P()->picTab[2]->removeEventFilter(&page);
    EXPECT_EQ(page.presses, 0);  // the page would have taken it as the start of a drag
}

TEST_F(Panel, EscAndAPressInAnImageWindowClose) {
    frmResize* w = OpenFor();
    QTest::keyClick(P(), Qt::Key_Escape);
    EXPECT_FALSE(P()->isVisible());
    frmMenu::ShowMenu(w);
    QTest::mousePress(w->imgView, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(P()->isVisible());
}

}  // namespace
