#include <gtest/gtest.h>

#include "dialogs/ClickableLabel.h"
#include "dialogs/ProgramInfo.h"
#include "dialogs/frmAbout.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

using AboutBox = WindowFixture;

TEST_F(AboutBox, SharedOnTopWithVersionIconAndBothAddresses) {
    QPointer<frmAbout> a = frmAbout::Shared();
    a->ShowAbout();
    EXPECT_EQ(frmAbout::Shared(), a.data());
    EXPECT_TRUE(a->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(a->windowTitle(), QStringLiteral("关于 Lumora"));
    EXPECT_EQ(a->lblTitle->text(), QStringLiteral("Lumora"));
    EXPECT_EQ(a->lblVersion->text(), QStringLiteral("版本：3.0(00057)"));
    EXPECT_TRUE(
        a->Label2->text().endsWith(QStringLiteral("详情请查阅 ") + ProgramInfo::kFreeImageSite));
    EXPECT_EQ(a->lblHomePage->text(), QStringLiteral("欢迎访问 ") + ProgramInfo::kHomePage);
    EXPECT_FALSE(a->picIcon->pixmap().isNull());
    const QList<QSize> sizes = ProgramInfo::ProgramIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(48, 48)) && sizes.contains(QSize(256, 256)));

    a->cmdOK->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(a.isNull());
}

TEST_F(AboutBox, HomePageClickHandsTheAddressToTheDesktop) {
    frmAbout* a = frmAbout::Shared();
    a->ShowAbout();
    ClickableLabel* link = a->lblHomePage;
    QTest::mousePress(link, Qt::LeftButton);  // released outside: no click
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-5, -5));
    QTest::mouseClick(link, Qt::RightButton);
    EXPECT_TRUE(seam.opened.isEmpty());

    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(seam.opened, QStringList{ProgramInfo::kHomePage});
    EXPECT_TRUE(a->isVisible());
}

// Enter, on either key, presses 确定 wherever Tab has moved the focus: the link is never in the
// focus chain, so only a click opens it.
TEST_F(AboutBox, EnterPressesOkAndNeverOpensTheLink) {
    for (const Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        for (int tabs = 0; tabs < 3; ++tabs) {
            SCOPED_TRACE(testing::Message() << "key " << enter << ", tabs " << tabs);
            seam.opened.clear();
            QPointer<frmAbout> a = frmAbout::Shared();
            a->ShowAbout();
            ASSERT_TRUE(QTest::qWaitForWindowActive(a));
            for (int i = 0; i < tabs; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            EXPECT_NE(focus, a->lblHomePage);
            QTest::keyClick(focus, enter);
            EXPECT_TRUE(seam.opened.isEmpty());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(a.isNull()) << "the box stayed open";
        }
    }
}

}  // namespace
