#include <gtest/gtest.h>

#include "dialogs/ClickableLabel.h"
#include "settings/OptionTable.h"
#include "settings/frmOption.h"
#include "settings/mdlOption.h"
#include "support/WindowFixture.h"

#include <unistd.h>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The dialog over default options and no sizes; saves go to a temporary folder.
class OptionsDialog : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        frmOption::setOptionFileForTesting(file);
        Sizes().clear();
    }
    void TearDown() override {
        frmOption::setOptionFileForTesting(QString());
        Sizes().clear();
        WindowFixture::TearDown();
    }
    static frmOption* Open() {
        frmOption* f = frmOption::Shared();
        f->ShowOptions();
        return f;
    }
    static void Commit(frmOption* f, const QString& w, const QString& h, const QString& name) {
        f->txtSizeWidth->setText(w);
        f->txtSizeHeight->setText(h);
        f->txtSizeName->setText(name);
        QTest::mouseClick(f->lblSizeOK, Qt::LeftButton);
    }
    static QStringList Rows(const frmOption* f) {
        QStringList rows;
        for (int i = 0; i < f->lstSize->count(); ++i) {
            rows << f->lstSize->item(i)->text();
        }
        return rows;
    }
    static bool Unloaded(const QPointer<frmOption>& f) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return f.isNull();
    }
    static QStringList& Sizes() { return mdlOption::Options().CYSizeList; }
    void ExpectMessage(const char* text, const char* title) {
        ASSERT_EQ(seam.messages.size(), 1u);
        EXPECT_EQ(seam.messages[0].text, QString::fromUtf8(text));
        EXPECT_EQ(seam.messages[0].title, QString::fromUtf8(title));
        EXPECT_EQ(seam.messages[0].style, ModalSeam::Critical);
        seam.messages.clear();
    }

    QTemporaryDir dir;
    QString file = dir.filePath("Option.ini");
};

TEST_F(OptionsDialog, LoadsTheStoreIntoNamedControlsOnTop) {
    mdlOption::OptionStore& o = mdlOption::Options();
    o.ResizeWhenOpen = false;
    o.ResizeWhenRotate = false;
    o.DisplayBorder = true;  // AlwaysTop is false in window tests
    o.AutoRotate = false;
    o.QuickSavePath = "/pics/out/";
    Sizes() = QStringList{"800*600", "640*480(vga)", "800*600"};
    frmOption* f = Open();
    EXPECT_EQ(f->windowTitle(), QStringLiteral("程序设置"));
    EXPECT_TRUE(f->windowFlags() & Qt::WindowStaysOnTopHint);
    for (const char* name : {"chkAutoResizeOnLoad",
                             "chkAutoResizeOnRotate",
                             "chkDisplayBorder",
                             "chkDisplayTopMost",
                             "chkAutoRotate",
                             "optQuickSaveSame",
                             "optQuickSaveOther",
                             "txtQuickSave",
                             "cmdQuickSave",
                             "lstSize",
                             "cmdSizeAdd",
                             "cmdSizeEdit",
                             "cmdSizeDelete",
                             "txtSizeWidth",
                             "txtSizeHeight",
                             "txtSizeName",
                             "lblSizeOK",
                             "cmdSave",
                             "cmdClose",
                             "frameSizeEdit"}) {
        EXPECT_NE(f->findChild<QWidget*>(name), nullptr) << name;
    }
    EXPECT_EQ(f->findChild<QWidget*>("lblSizeOK"), f->lblSizeOK);
    EXPECT_EQ(
        (std::vector<bool>{f->chkAutoResizeOnLoad->isChecked(),
                           f->chkAutoResizeOnRotate->isChecked(), f->chkDisplayBorder->isChecked(),
                           f->chkDisplayTopMost->isChecked(), f->chkAutoRotate->isChecked()}),
        (std::vector<bool>{false, false, true, false, false}));
    EXPECT_EQ(f->chkAutoRotate->parentWidget(), f->frameDisplay);
    EXPECT_EQ(f->chkAutoRotate->text(), QStringLiteral("按拍摄方向自动摆正照片"));
    EXPECT_EQ(f->chkAutoRotate->toolTip(), QStringLiteral("JPEG 和 HEIF 照片按拍摄方向自动摆正"));
    EXPECT_TRUE(f->optQuickSaveOther->isChecked());
    EXPECT_EQ(f->txtQuickSave->text(), "/pics/out/");
    EXPECT_EQ(Rows(f), Sizes());
    EXPECT_TRUE(f->frameSizeEdit->isHidden());
    f->close();

    o.QuickSavePath.clear();
    EXPECT_TRUE(Open()->optQuickSaveSame->isChecked());
}

TEST_F(OptionsDialog, OneSharedInstanceUntilCloseOrEscDropsTheChanges) {
    QPointer<frmOption> f = Open();
    f->chkAutoResizeOnLoad->setChecked(false);
    EXPECT_EQ(frmOption::Shared(), f.data());
    f->ShowOptions();  // brought forward, not reloaded
    EXPECT_FALSE(f->chkAutoResizeOnLoad->isChecked());
    f->cmdClose->click();
    EXPECT_TRUE(Unloaded(f));

    QPointer<frmOption> g = Open();
    EXPECT_TRUE(g->chkAutoResizeOnLoad->isChecked());
    QTest::keyClick(g, Qt::Key_Escape);
    EXPECT_TRUE(Unloaded(g));
    EXPECT_TRUE(mdlOption::Options().ResizeWhenOpen);
    EXPECT_FALSE(QFile::exists(file));
}

struct Case {
    const char *width, *height, *message;  // message "" = accepted
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << '"' << c.width << "\" x \"" << c.height << '"';
}
class SizeCommit : public OptionsDialog, public testing::WithParamInterface<Case> {};

// Only sizes the command panel can use are stored, as typed after trimming; a refusal keeps the
// frame open with the store untouched, the width checked first.
TEST_P(SizeCommit, StoresOnlySizesThePanelCanUse) {
    const Case& c = GetParam();
    Sizes() = QStringList{"800*600"};
    frmOption* f = Open();
    f->cmdSizeAdd->click();
    EXPECT_FALSE(f->lstSize->isEnabled());
    Commit(f, c.width, c.height, " n ");
    if (*c.message) {
        ExpectMessage(c.message, "输入错误");
        EXPECT_EQ(f->EditMode(), "ADD");
        EXPECT_EQ(Sizes(), QStringList{"800*600"});
        return;
    }
    const QString entry = QString(c.width).trimmed() + "*" + QString(c.height).trimmed() + "(n)";
    EXPECT_EQ(Sizes(), (QStringList{"800*600", entry}));
    EXPECT_EQ(Rows(f), Sizes());
    EXPECT_EQ(f->EditMode(), "");
    EXPECT_TRUE(f->lstSize->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, SizeCommit,
    testing::Values(Case{"", "480", "请输入正确的宽度！"}, Case{"0.4", "480", "请输入正确的宽度！"},
                    Case{"1e3", "480", "请输入正确的宽度！"},
                    Case{"abc", "0", "请输入正确的宽度！"},
                    Case{"2147483648", "1", "请输入正确的宽度！"},
                    Case{"640", "-5", "请输入正确的高度！"},
                    Case{"640", "4 80", "请输入正确的高度！"}, Case{" 640 ", " 480 ", ""},
                    Case{"2147483647", "0.5000001", ""}, Case{"+12.50", "7", ""}));

TEST_F(OptionsDialog, EditAndDeleteActOnTheRowByPositionAmongDuplicates) {
    Sizes() = QStringList{"8*6(x)", "6*4", "8*6(x)", "3*2", "1*1"};
    frmOption* f = Open();
    f->lstSize->setCurrentRow(2);
    f->cmdSizeEdit->click();
    EXPECT_EQ(f->EditMode(), "EDIT");
    EXPECT_EQ(f->txtSizeName->text(), "x");
    EXPECT_FALSE(f->cmdSizeDelete->isEnabled());  // nothing moves the rows while one is open
    f->txtSizeWidth->setText("9");
    QTest::keyClick(f->txtSizeHeight, Qt::Key_Return);  // Enter commits too
    EXPECT_EQ(Sizes(), (QStringList{"8*6(x)", "6*4", "9*6(x)", "3*2", "1*1"}));

    Sizes()[2] = "8*6(x)";
    f->close();
    f = Open();
    f->lstSize->setCurrentRow(2);
    f->cmdSizeDelete->click();
    const QStringList kept{"8*6(x)", "6*4", "3*2", "1*1"};
    EXPECT_EQ(Sizes(), kept);
    EXPECT_EQ(Rows(f), kept);
    f->cmdSizeDelete->click();  // no row selected after a delete
    EXPECT_EQ(Sizes(), kept);
}

TEST_F(OptionsDialog, TwentySizesHoldAtAddAndAtTheCommit) {
    for (int i = 1; i < mdlOption::kMaxSizes; ++i) {
        Sizes() << QStringLiteral("%1*%1").arg(i);
    }
    frmOption* f = Open();
    f->cmdSizeAdd->click();
    mdlOption::ApplyOption("CYSize", "5*5");  // the store fills meanwhile: 20
    Commit(f, "7", "7", "");
    ExpectMessage("已经到达最大可添加数目了！", "错误");
    EXPECT_EQ(Sizes().size(), mdlOption::kMaxSizes);
    EXPECT_EQ(Rows(f), Sizes());
    EXPECT_EQ(f->EditMode(), "");

    f->cmdSizeAdd->click();
    ExpectMessage("已经到达最大可添加数目了！", "错误");
    EXPECT_TRUE(f->frameSizeEdit->isHidden());
}

TEST_F(OptionsDialog, RefusedOrFailedSaveLeavesTheStoreAsItWas) {
    mdlOption::Options().QuickSavePath = "/old/";
    frmOption* f = Open();
    f->chkAutoResizeOnLoad->setChecked(false);
    f->chkAutoRotate->setChecked(false);
    f->txtQuickSave->setText("  ");
    f->cmdSave->click();  // "other folder" without a folder: refused
    EXPECT_TRUE(mdlOption::Options().ResizeWhenOpen);
    ExpectMessage("请填写快速保存的文件夹！", "输入错误");

    frmOption::setOptionFileForTesting(dir.path());  // a folder cannot be written as a file
    f->txtQuickSave->setText(" " + dir.path() + " ");
    f->cmdSave->click();
    ExpectMessage("保存设置失败！", "错误");
    EXPECT_EQ(f->txtQuickSave->text(), dir.path() + "/");
    EXPECT_TRUE(mdlOption::Options().ResizeWhenOpen);
    EXPECT_TRUE(mdlOption::Options().AutoRotate);
    EXPECT_EQ(mdlOption::Options().QuickSavePath, "/old/");
    EXPECT_EQ(frmOption::Shared(), f);
    EXPECT_TRUE(f->isVisible());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(OptionsDialog, BrowseFillsTheBoxButTheOptionButtonDecides) {
    frmOption* f = Open();
    seam.folderAnswers = {"/pics/new/", ""};
    f->cmdQuickSave->click();
    f->cmdQuickSave->click();  // cancelled: the text stays
    EXPECT_EQ(seam.folderPrompts.value(1), QStringLiteral("请选择您要放置图像的文件夹！"));
    EXPECT_EQ(f->txtQuickSave->text(), "/pics/new");
    mdlOption::Options().QuickSavePath = "/old/";
    f->cmdSave->click();
    EXPECT_EQ(mdlOption::Options().QuickSavePath, "");
}

TEST_F(OptionsDialog, SavedOptionsReadBackTheSameWithoutExtraLines) {
    QPointer<frmOption> f = Open();
    for (const char* name : {"my size", "a\r\nQuickSavePath=/x\tb\x7f", "(a)b"}) {
        f->cmdSizeAdd->click();
        Commit(f, "640", "480", QString::fromUtf8(name));
    }
    // Option.ini drops the spaces of a size line when read: the row never shows any.
    EXPECT_EQ(Sizes(),
              (QStringList{"640*480(mysize)", "640*480(aQuickSavePath=/xb)", "640*480((a)b)"}));
    f->chkAutoResizeOnLoad->setChecked(false);
    f->chkAutoResizeOnRotate->setChecked(false);
    f->chkDisplayBorder->setChecked(true);
    f->chkAutoRotate->setChecked(false);
    f->optQuickSaveOther->setChecked(true);
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("图片/快存")));
    f->txtQuickSave->setText(" " + dir.path() + QStringLiteral("/图片/快\n存\u2028 "));
    f->cmdSave->click();
    EXPECT_TRUE(Unloaded(f));
    const mdlOption::OptionStore saved = mdlOption::Options();
    EXPECT_EQ(saved.QuickSavePath, dir.path() + QStringLiteral("/图片/快存/"));
    EXPECT_FALSE(saved.ResizeWhenOpen);
    EXPECT_FALSE(saved.AutoRotate);

    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_EQ(bytes.count('\n'), 10);  // five switches, three sizes, the folder, the quality
    EXPECT_EQ(bytes.count("\r\n"), 10);

    mdlOption::SetDefaultOptions();
    Sizes().clear();
    ASSERT_TRUE(mdlOption::ReadOptions(file));
    const mdlOption::OptionStore& read = mdlOption::Options();
    EXPECT_EQ((std::vector<bool>{read.ResizeWhenOpen, read.ResizeWhenRotate, read.AlwaysTop,
                                 read.DisplayBorder, read.AutoRotate}),
              (std::vector<bool>{saved.ResizeWhenOpen, saved.ResizeWhenRotate, saved.AlwaysTop,
                                 saved.DisplayBorder, saved.AutoRotate}));
    EXPECT_EQ(read.QuickSavePath, saved.QuickSavePath);
    EXPECT_EQ(read.CYSizeList, saved.CYSizeList);
}

// The quality box in the quick-save frame: a text that is not a whole number from 1 to 100 is
// refused, the box keeping the focus and the store its quality; a good one is stored trimmed.
TEST_F(OptionsDialog, SaveQualityIsAWholeNumberFromOneToAHundred) {
    mdlOption::Options().SaveQuality = 42;
    QPointer<frmOption> f = Open();
    EXPECT_EQ(f->txtSaveQuality->parentWidget(), f->frameQuickSave);
    EXPECT_EQ(f->lblSaveQuality->text(), QStringLiteral("保存质量"));
    EXPECT_EQ(f->txtSaveQuality->text(), "42");
    for (const char* text : {"0", "101", "", "abc", "9.5"}) {
        f->txtSaveQuality->setText(text);
        f->cmdSave->click();
        ExpectMessage("请输入 1 到 100 之间的保存质量！", "输入错误");
        EXPECT_EQ(mdlOption::Options().SaveQuality, 42) << text;
        EXPECT_EQ(f->focusWidget(), f->txtSaveQuality);
    }
    f->txtSaveQuality->setText(" 100 ");
    f->cmdSave->click();
    EXPECT_TRUE(Unloaded(f));
    EXPECT_EQ(mdlOption::Options().SaveQuality, 100);
}

// A quick-save folder that is not there, or cannot be written, is refused with the reason; the
// dialog stays open and the store keeps its folder.
TEST_F(OptionsDialog, RefusesAQuickSaveFolderItCannotWriteInto) {
    mdlOption::Options().QuickSavePath = "/old/";
    QPointer<frmOption> f = Open();
    f->optQuickSaveOther->setChecked(true);
    f->txtQuickSave->setText(dir.filePath("gone"));
    f->cmdSave->click();
    ExpectMessage(qUtf8Printable("快速保存的文件夹不存在：\n" + dir.filePath("gone/")), "输入错误");
    if (::geteuid() != 0) {  // root writes into a folder without its write bit
        ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
        QFile(dir.filePath("ro")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        f->txtQuickSave->setText(dir.filePath("ro"));
        f->cmdSave->click();
        ExpectMessage(qUtf8Printable("快速保存的文件夹无法写入：\n" + dir.filePath("ro/")),
                      "输入错误");
    }
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(mdlOption::Options().QuickSavePath, "/old/");
    f->txtQuickSave->setText(dir.path());
    f->cmdSave->click();
    EXPECT_TRUE(Unloaded(f));
    EXPECT_EQ(mdlOption::Options().QuickSavePath, dir.path() + "/");
}

// The table finds its controls by object name: a name that misses, or a control of the wrong
// kind, would silently leave its option out of the dialog.
TEST_F(OptionsDialog, EveryControlTheOptionTableNamesIsThereOfItsKind) {
    frmOption* f = Open();
    QSet<QString> bound;
    int controls = 0;
    for (const mdlOption::OptionDef& d : mdlOption::kOptionTable) {
        const char* const* names = d.binding.controls;
        switch (d.binding.kind) {
            case mdlOption::BindingKind::None:
                break;
            case mdlOption::BindingKind::CheckBox:
                EXPECT_NE(f->findChild<QCheckBox*>(names[0]), nullptr) << d.name;
                break;
            case mdlOption::BindingKind::FolderChoice:
                EXPECT_NE(f->findChild<QRadioButton*>(names[0]), nullptr) << d.name;
                EXPECT_NE(f->findChild<QRadioButton*>(names[1]), nullptr) << d.name;
                EXPECT_NE(f->findChild<QLineEdit*>(names[2]), nullptr) << d.name;
                break;
            case mdlOption::BindingKind::ListBox:
                EXPECT_NE(f->findChild<QListWidget*>(names[0]), nullptr) << d.name;
                break;
            case mdlOption::BindingKind::NumberBox:
                EXPECT_NE(f->findChild<QLineEdit*>(names[0]), nullptr) << d.name;
                break;
        }
        for (const char* name : d.binding.controls) {
            if (name) {
                ++controls;
                bound.insert(QString::fromLatin1(name));
            }
        }
    }
    EXPECT_EQ(bound.size(), controls);  // no control shows two options
    EXPECT_EQ(controls, 10);
}

}  // namespace
