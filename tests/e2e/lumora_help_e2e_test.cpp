// Help and About from the command panel, on a desktop whose xdg-open is a stand-in that records
// what it is asked to open and answers with a chosen exit status.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "XSession.h"

namespace {

const QString kPanelTitle = QStringLiteral("功能菜单");
const QString kAboutTitle = QStringLiteral("关于 Lumora");
const QString kHelpTitle = QStringLiteral("帮助");

// Measured once on a screenshot of the test display, as the panel tests measure theirs: the
// bottom strip's "帮助" from the panel's bottom-left corner, its "Lumora" (the About link) from
// the bottom-right, and the About box's home-page link from its top-left.
const QSize kPanelSize(390, 349);
const QPoint kHelpLabel(51, -14);
const QPoint kAboutLabel(-33, -14);
const QSize kAboutSize(406, 210);
const QPoint kHomePageLink(100, 126);

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class HelpAndAbout : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.ok()) << "no virtual display";
        ASSERT_TRUE(dir.isValid());
        log = dir.path() + "/xdg-open.log";
    }

    // Puts an xdg-open first in the program's PATH that appends its arguments to log and exits
    // with status.
    void FakeXdgOpen(int status) {
        const QString script = dir.path() + "/xdg-open";
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1'\nexit %2\n")
                    .arg(log)
                    .arg(status)
                    .toUtf8());
        f.close();
        ASSERT_TRUE(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
        x.SetProgramEnv("PATH", dir.path() + ":" + qEnvironmentVariable("PATH"));
    }

    // Starts the program with an empty window and opens the panel on it; the panel's rectangle.
    QRect OpenPanel() {
        if (window == 0) {
            EXPECT_TRUE(x.StartLumora({}));
            window = x.FindWindow();
            EXPECT_NE(window, 0u);
        }
        const QPoint at = x.Geometry(window).center();
        x.MoveTo(at.x(), at.y());
        x.Press(3);
        x.Release(3);
        const qulonglong panel = x.WaitForWindowNamed(kPanelTitle);
        EXPECT_NE(panel, 0u) << "no panel after the right click";
        const QRect r = x.Geometry(panel);
        EXPECT_NEAR(r.width(), kPanelSize.width(), 20) << "measure the offsets again";
        EXPECT_NEAR(r.height(), kPanelSize.height(), 20) << "measure the offsets again";
        return r;
    }

    qulonglong OpenAbout() {
        const QRect r = OpenPanel();
        LeftClick(r.bottomRight() + QPoint(1, 1) + kAboutLabel);
        const qulonglong box = x.WaitForWindowNamed(kAboutTitle);
        const QRect b = x.Geometry(box);
        EXPECT_NEAR(b.width(), kAboutSize.width(), 20) << "measure the link's place again";
        EXPECT_NEAR(b.height(), kAboutSize.height(), 20) << "measure the link's place again";
        return box;
    }

    void LeftClick(QPoint p) {
        x.MoveTo(p.x(), p.y());
        x.Press(1);
        x.Release(1);
    }

    XSession x;
    QTemporaryDir dir;
    QString log;
    qulonglong window = 0;
};

TEST_F(HelpAndAbout, EnterClosesTheAboutBoxAndStartsNothingWhileAClickOpensTheHomePage) {
    FakeXdgOpen(0);
    qulonglong box = OpenAbout();
    ASSERT_NE(box, 0u) << "no About box from the panel";
    ASSERT_TRUE(x.WaitForFocus(box));
    x.Key("Return");
    EXPECT_TRUE(x.WaitForWindowGone(box)) << "Enter left the box open";
    EXPECT_FALSE(QFile::exists(log)) << "Enter started: " << Bytes(log).toStdString();

    // The stand-in does hear what the box starts: a click on the link reaches it.
    box = OpenAbout();
    ASSERT_NE(box, 0u) << "no About box the second time";
    LeftClick(x.Geometry(box).topLeft() + kHomePageLink);
    ASSERT_TRUE(x.WaitForFile(log)) << "the click on the link started nothing";
    EXPECT_EQ(Bytes(log).trimmed(), QByteArray("https://lumora.example.org/"));
}

TEST_F(HelpAndAbout, HelpThatXdgOpenCannotShowOpensInLumorasOwnWindow) {
    FakeXdgOpen(1);
    const QString help = x.ProgramFolder() + "/Help.txt";
    QFile f(help);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("Lumora 使用说明\n").toUtf8());
    f.close();

    const QRect r = OpenPanel();
    LeftClick(QPoint(r.left(), r.bottom() + 1) + kHelpLabel);
    const qulonglong own = x.WaitForWindowNamed(kHelpTitle);
    ASSERT_NE(own, 0u) << "no help window of Lumora's own";
    EXPECT_EQ(QFileInfo(QString::fromUtf8(Bytes(log).trimmed())).canonicalFilePath(),
              QFileInfo(help).canonicalFilePath())
        << "xdg-open was not asked first";
    ASSERT_TRUE(x.WaitForFocus(own));
    x.Key("Escape");
    EXPECT_TRUE(x.WaitForWindowGone(own)) << "Esc left the help window open";
    EXPECT_EQ(x.Windows(), QList<qulonglong>{window});
}

}  // namespace
