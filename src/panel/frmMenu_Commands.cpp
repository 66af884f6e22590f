// The command panel's dispatcher, what it shows of its owner, and the display settings that act
// at once.

#include "panel/frmMenu.h"

#include "base/GuardedWork.h"
#include "base/Rounding.h"
#include "base/TextUtil.h"
#include "base/mdlKestrin_File.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/ProgramInfo.h"
#include "dialogs/frmAbout.h"
#include "panel/PanelText.h"
#include "settings/SizeEntry.h"
#include "settings/frmOption.h"
#include "settings/mdlOption.h"
#include "window/PictureViewWidget.h"
#include "window/WindowServices.h"
#include "window/frmResize.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

using MenuCommands::Action;
using MenuCommands::After;
using Rounding::Round32;

namespace {
// Writes a control's value without its change handler acting on it.
template <typename F>
void Quietly(QWidget* control, F write) {
    control->setProperty("tag", QStringLiteral("SETTING"));
    write();
    control->setProperty("tag", QString());
}

bool Setting(const QWidget* control) {
    return control->property("tag").toString() == QLatin1String("SETTING");
}
}  // namespace

void frmMenu::RunCommand(const QString& iKey) {
    const MenuCommands::Command* command = MenuCommands::Find(iKey);
    // The owner may have closed while the panel was up: then nothing runs.
    QPointer<frmResize> owner = mOwner;
    if (command == nullptr || owner.isNull() || owner->IsUnloaded()) {
        Unload();
        return;
    }
    // A command that fails leaves its window as it was.
    GuardedWork::Run("a panel command", [&] {
        if (command->after == After::CloseUnlessRefused) {
            if (ApplyCustomSize(owner)) {
                Unload();
            }
            return;
        }
        // The panel goes first, so that it is neither under the command's dialogs nor in a
        // screen capture.
        Unload();
        Perform(command->action, owner);
    });
}

void frmMenu::Perform(Action action, frmResize* owner) {
    if (owner == nullptr || owner->IsUnloaded()) {
        return;
    }
    auto& shell = WindowServices::ShellServices();
    switch (action) {
        case Action::Open:
            owner->cmdOpenPicture();
            break;
        case Action::CopyScreen:
            owner->cmdLoadPictureFromScreen();
            break;
        case Action::SaveAs:
            owner->cmdSaveAs();
            break;
        case Action::QuickSave:
            owner->cmdQuickSave();
            break;
        case Action::CloseMe:
            owner->close();
            break;
        case Action::CloseAll:
            if (shell.showCloseAll) {
                shell.showCloseAll();
            }
            break;
        case Action::New:
            if (shell.openPictureWindow) {
                shell.openPictureWindow(QString(), Round32(owner->LeftTw() + 100),
                                        Round32(owner->TopTw() + 100));
            }
            break;
        case Action::CopyMe:
            if (shell.copyPictureWindow) {
                shell.copyPictureWindow(owner);
            }
            break;
        case Action::Undo:
            owner->cmdUndo();
            break;
        case Action::Copy:
            owner->cmdCopy();
            break;
        case Action::Paste:
            owner->cmdPaste();
            break;
        case Action::Clear:
            owner->cmdClear();
            break;
        case Action::CustomSize:
            ApplyCustomSize(owner);
            break;
        case Action::EditSizeList:
        case Action::Settings:
            frmOption::Shared()->ShowOptions();
            break;
        case Action::Gray:
            owner->cmdGrayPicture();
            break;
        case Action::Annotate:
            owner->cmdAnnotate();
            break;
        case Action::RotateCw:
            owner->lnkRotate(QStringLiteral("+90"));
            break;
        case Action::RotateCcw:
            owner->lnkRotate(QStringLiteral("-90"));
            break;
        case Action::FlipX:
            owner->lnkRotate(QStringLiteral("X"));
            break;
        case Action::FlipY:
            owner->lnkRotate(QStringLiteral("Y"));
            break;
        case Action::Help:
            ProgramInfo::OpenHelp();
            break;
        case Action::About:
            frmAbout::Shared()->ShowAbout();
            break;
    }
}

bool frmMenu::ApplyCustomSize(frmResize* owner) {
    const auto width = SizeEntry::ParseSizeNumber(txtCCTZ_NewWidth->text());
    if (!width) {
        ShowPanelMessage(QStringLiteral("请输入正确的宽度！"), QStringLiteral("输入错误"));
        txtCCTZ_NewWidth->setFocus();
        return false;
    }
    const auto height = SizeEntry::ParseSizeNumber(txtCCTZ_NewHeight->text());
    if (!height) {
        ShowPanelMessage(QStringLiteral("请输入正确的高度！"), QStringLiteral("输入错误"));
        txtCCTZ_NewHeight->setFocus();
        return false;
    }
    owner->lnkViewResize(*width, *height);
    return true;
}

void frmMenu::ApplySizeItem(QListWidgetItem* item) {
    if (item == nullptr || mOwner.isNull() || mOwner->IsUnloaded()) {
        return;  // nothing selected, or no window to size
    }
    if (const auto size = SizeEntry::ParseSizeItem(item->text())) {
        mOwner->lnkViewResize(size->width(), size->height());
    }
}

int frmMenu::ShowPanelMessage(const QString& text, const QString& title) {
    // The panel's own box must not close it by taking the activation.
    mInOwnMessage = true;
    const int answer = ModalSeam::ShowMessage(this, text, ModalSeam::Critical, title);
    mInOwnMessage = false;
    return answer;
}

void frmMenu::FillFromOwner() {
    frmResize* o = mOwner;
    if (o == nullptr) {
        return;
    }
    const QSize shown = o->ShownSize();
    txtInfoNewSize->setText(TextUtil::SizeText(shown.width(), shown.height()));
    txtInfoOrgSize->setText(TextUtil::SizeText(o->mOrgWidth, o->mOrgHeight));
    txtInfoPointColor->setText(PanelText::PointColorText(o->mNowPointColor));
    for (const auto& c : MenuCommands::Table()) {
        if (c.action == Action::Undo) {
            lblCommand[static_cast<size_t>(c.index)]->setEnabled(o->valHaveBackup());
        }
    }

    txtCCTZ_NewWidth->setText(QString::number(shown.width()));
    txtCCTZ_NewHeight->setText(QString::number(shown.height()));
    lstCCTZ_Size->clear();
    lstCCTZ_Size->addItem(SizeEntry::OriginalSizeEntry(o->mOrgWidth, o->mOrgHeight));
    for (const QString& stored : mdlOption::Options().CYSizeList) {
        lstCCTZ_Size->addItem(SizeEntry::ListEntry(stored));
    }

    Quietly(txtTBCL_Touming, [&] { txtTBCL_Touming->setText(QString::number(o->mTouming)); });
    Quietly(chkTBCL_Shape, [&] { chkTBCL_Shape->setChecked(o->mFormShape); });
    Quietly(chkTBCL_Border, [&] { chkTBCL_Border->setChecked(o->mFormBorder > 0); });
}

void frmMenu::OnToumingChanged() {
    if (Setting(txtTBCL_Touming) || mOwner.isNull() || mOwner->IsUnloaded()) {
        return;
    }
    const QString text = txtTBCL_Touming->text();
    const auto opacity = SizeEntry::OpacityOfText(text);
    if (!opacity) {
        return;  // not a number: nothing
    }
    // 10 to 100 %: a window made invisible could no longer be right-clicked, and none shows more
    // than all of itself. A number above 100 says so at once, since no further digit brings it
    // back; one below 10 may be the start of a longer one, and is put right when the typing ends.
    mOwner->mTouming = *opacity;
    mOwner->cmdSetTouming();
    if (*opacity == 100 && SizeEntry::ParseOpacity(text) != std::optional<qint16>(100)) {
        Quietly(txtTBCL_Touming, [&] { txtTBCL_Touming->setText(QStringLiteral("100")); });
    }
    mOwner->mFormShape = false;
    chkTBCL_Shape->setChecked(false);  // unguarded: a shape that was on is reset by its handler
}

void frmMenu::OnToumingFinished() {
    if (mOwner.isNull() || mOwner->IsUnloaded()) {
        return;
    }
    const QString shown = QString::number(mOwner->mTouming);
    if (txtTBCL_Touming->text() != shown) {
        Quietly(txtTBCL_Touming, [&] { txtTBCL_Touming->setText(shown); });
    }
}

void frmMenu::OnOwnerOpacityChanged() {
    if (mOwner.isNull()) {
        return;
    }
    Quietly(txtTBCL_Touming, [&] { txtTBCL_Touming->setText(QString::number(mOwner->mTouming)); });
    Quietly(chkTBCL_Shape, [&] { chkTBCL_Shape->setChecked(mOwner->mFormShape); });
}

void frmMenu::OnShapeToggled(bool checked) {
    if (Setting(chkTBCL_Shape) || mOwner.isNull() || mOwner->IsUnloaded()) {
        return;
    }
    if (checked) {
        mOwner->cmdSetFormShape();
    } else {
        mOwner->cmdResetFormShape();
    }
    mOwner->mTouming = 100;
    Quietly(txtTBCL_Touming, [&] { txtTBCL_Touming->setText(QStringLiteral("100")); });
}

void frmMenu::OnBorderToggled(bool checked) {
    if (Setting(chkTBCL_Border) || mOwner.isNull() || mOwner->IsUnloaded()) {
        return;
    }
    if (checked) {
        mOwner->cmdSetFormHaveBorder();
    } else {
        mOwner->cmdSetFormNoBorder();
    }
}
