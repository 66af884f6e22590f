// What a person does through the command panel, the options dialog, the browser and the
// close-all question.

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include "browser/frmBrowse.h"
#include "dialogs/ClickableLabel.h"
#include "dialogs/frmCloseAll.h"
#include "panel/MenuCommands.h"
#include "panel/frmMenu.h"
#include "settings/frmOption.h"
#include "soak/SoakActions.h"
#include "window/frmResize.h"

namespace SoakActions {
namespace {
// Sizes and numbers as people type them, good and bad.
const QStringList kTyped = {"320",    "1",    "0",   "-4",    "abc",   "",  "99999", "2.5",
                            "１２０", "640 ", "1e3", "32767", "40000", "7", "1024",  "&H10"};
const QStringList kOpacity = {"50", "5", "0", "100", "abc", "", "-20", "200", "70000", "10", "99"};

frmMenu* OpenPanel(SoakContext& ctx, frmResize* w) {
    frmMenu::ShowMenu(w);
    frmMenu* panel = frmMenu::Shared();
    panel->ShowTab(ctx.rng.Below(3));
    return panel;
}

QString KeyOf(MenuCommands::Action action) {
    for (const auto& c : MenuCommands::Table()) {
        if (c.action == action) {
            return c.key;
        }
    }
    return QString();
}

void ClickLabel(QWidget* label) {
    QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
}
}  // namespace

void PanelCommand(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    frmMenu* panel = OpenPanel(ctx, w);
    const auto& table = MenuCommands::Table();
    if (ctx.rng.Chance(5)) {
        ctx.Note(QStringLiteral("panel: a key of no command"));
        panel->RunCommand(QStringLiteral("NoSuchCommand"));
        return;
    }
    const auto& command =
        table.at(static_cast<size_t>(ctx.rng.Below(static_cast<int>(table.size()))));
    // Close-all ends everything: rarely.
    if (command.action == MenuCommands::Action::CloseAll && ctx.rng.Chance(70)) {
        ctx.Note(QStringLiteral("panel: hide"));
        panel->Unload();
        return;
    }
    ctx.Note(QStringLiteral("panel: ") + command.key);
    if (ctx.rng.Chance(5)) {
        // The owner goes while the panel is up; the command then does nothing.
        ctx.Note(ctx.note + QStringLiteral(" after its owner closed"));
        w->close();
    }
    if (command.index >= 0 && ctx.rng.Chance(50)) {
        // A click on the label, as a person gives it (a disabled one does nothing).
        ctx.Note(ctx.note + QStringLiteral(" (clicked)"));
        ClickLabel(panel->lblCommand[static_cast<size_t>(command.index)]);
        return;
    }
    panel->RunCommand(command.key);
}

void PanelGestures(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    frmMenu* panel = OpenPanel(ctx, w);
    QLineEdit* boxes[] = {panel->txtCCTZ_NewWidth, panel->txtCCTZ_NewHeight,
                          panel->txtTBCL_Touming};
    QLineEdit* box = boxes[ctx.rng.Below(3)];
    switch (ctx.rng.Below(6)) {
        case 0: {
            const int n = ctx.rng.Between(1, 12);
            const bool up = ctx.rng.Chance(50);
            ctx.Note(QStringLiteral("panel: %1 x arrow %2 on %3")
                         .arg(n)
                         .arg(up ? "up" : "down", box->objectName()));
            for (int i = 0; i < n && panel->Owner() != nullptr; ++i) {
                QTest::keyClick(box, up ? Qt::Key_Up : Qt::Key_Down);
            }
            break;
        }
        case 1: {
            const QPoint from(4, 4);
            const QPoint to(4, ctx.rng.Between(-300, 300));
            ctx.Note(QStringLiteral("panel: mouse gesture on %1 by %2")
                         .arg(box->objectName())
                         .arg(to.y()));
            QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, from);
            QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(box->mapToGlobal(to)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(box, &move);
            QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, to);
            break;
        }
        case 2: {
            const int tab = ctx.rng.Below(3);
            ctx.Note(QStringLiteral("panel: hover tab %1").arg(tab));
            QTest::mouseMove(panel->lblTab[static_cast<size_t>(tab)], QPoint(3, 3));
            QTest::mousePress(panel->lblTab[static_cast<size_t>(tab)], Qt::LeftButton);
            break;
        }
        case 3:
            ctx.Note(QStringLiteral("panel: drag it by its strip"));
            QTest::mousePress(panel->imgNav[0], Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
            QTest::mouseMove(panel->imgNav[0], QPoint(ctx.rng.Between(-50, 50), 30));
            QTest::mouseRelease(panel->imgNav[0], Qt::LeftButton);
            break;
        case 4:
            ctx.Note(QStringLiteral("panel: its close mark"));
            QTest::mouseClick(panel->lblNavClose, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
            break;
        default:
            ctx.Note(QStringLiteral("panel: Esc or Return in the size list"));
            if (ctx.rng.Chance(50)) {
                QTest::keyClick(panel, Qt::Key_Escape);
            } else {
                panel->lstCCTZ_Size->setCurrentRow(ctx.rng.Below(panel->lstCCTZ_Size->count()));
                QTest::keyClick(panel->lstCCTZ_Size, Qt::Key_Return);
            }
            break;
    }
}

void PanelSize(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    frmMenu* panel = OpenPanel(ctx, w);
    if (ctx.rng.Chance(50) && panel->lstCCTZ_Size->count() > 0) {
        QListWidgetItem* item =
            panel->lstCCTZ_Size->item(ctx.rng.Below(panel->lstCCTZ_Size->count()));
        ctx.Note(QStringLiteral("panel: size from the list: ") + item->text());
        panel->lstCCTZ_Size->setCurrentItem(item);
        if (ctx.rng.Chance(50)) {
            emit panel->lstCCTZ_Size->itemClicked(item);
        } else {
            emit panel->lstCCTZ_Size->itemDoubleClicked(item);
        }
        return;
    }
    const QString width = ctx.rng.Pick(kTyped);
    const QString height = ctx.rng.Pick(kTyped);
    ctx.Note(QStringLiteral("panel: typed size '%1' x '%2'").arg(width, height));
    panel->txtCCTZ_NewWidth->setText(width);
    panel->txtCCTZ_NewHeight->setText(height);
    if (ctx.rng.Chance(30)) {
        QTest::keyClick(panel->txtCCTZ_NewHeight, Qt::Key_Return);
    } else {
        panel->RunCommand(KeyOf(MenuCommands::Action::CustomSize));
    }
    if (ctx.rng.Chance(50)) {
        panel->Unload();
    }
}

void PanelAppearance(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    frmMenu* panel = OpenPanel(ctx, w);
    switch (ctx.rng.Below(3)) {
        case 0: {
            const QString typed = ctx.rng.Pick(kOpacity);
            ctx.Note(QStringLiteral("panel: opacity '") + typed + "'");
            panel->txtTBCL_Touming->setText(typed);
            break;
        }
        case 1:
            ctx.Note(QStringLiteral("panel: shape"));
            panel->chkTBCL_Shape->click();
            break;
        default:
            ctx.Note(QStringLiteral("panel: border"));
            panel->chkTBCL_Border->click();
            break;
    }
    if (ctx.rng.Chance(50)) {
        panel->Unload();
    }
}

void Options(SoakContext& ctx) {
    frmOption* options = frmOption::Shared();
    options->ShowOptions();
    const int steps = ctx.rng.Between(1, 4);
    QStringList done;
    for (int i = 0; i < steps && !options->isHidden(); ++i) {
        switch (ctx.rng.Below(12)) {
            case 0:
                done << "resize on open";
                options->chkAutoResizeOnLoad->click();
                break;
            case 1:
                done << "resize on rotate";
                options->chkAutoResizeOnRotate->click();
                break;
            case 2:
                done << "border";
                options->chkDisplayBorder->click();
                break;
            case 3:
                done << "on top";
                options->chkDisplayTopMost->click();
                break;
            case 4:
                done << "quick save: other folder";
                (ctx.rng.Chance(50) ? options->optQuickSaveOther : options->optQuickSaveSame)
                    ->click();
                if (options->cmdQuickSave->isEnabled()) {
                    options->cmdQuickSave->click();
                }
                break;
            case 5: {
                done << "size add";
                options->cmdSizeAdd->click();
                break;
            }
            case 6:
                done << "size edit";
                if (options->lstSize->count() > 0) {
                    options->lstSize->setCurrentRow(ctx.rng.Below(options->lstSize->count()));
                }
                options->cmdSizeEdit->click();
                break;
            case 7:
                done << "size delete";
                if (options->lstSize->count() > 0 && ctx.rng.Chance(70)) {
                    options->lstSize->setCurrentRow(ctx.rng.Below(options->lstSize->count()));
                }
                options->cmdSizeDelete->click();
                break;
            case 8:
                done << "size typed";
                options->txtSizeWidth->setText(ctx.rng.Pick(kTyped));
                options->txtSizeHeight->setText(ctx.rng.Pick(kTyped));
                options->txtSizeName->setText(ctx.rng.Pick({"", "名字", "a|b", "x(y)", "=;"}));
                if (options->lblSizeOK->isVisible()) {
                    ClickLabel(options->lblSizeOK);
                }
                break;
            case 9:
                done << "save";
                options->cmdSave->click();
                break;
            case 10:
                done << "folder typed";
                options->txtQuickSave->setText(ctx.world.AnyFolder(ctx.rng));
                break;
            default:
                done << "close";
                options->cmdClose->click();
                break;
        }
    }
    ctx.Note(QStringLiteral("options: ") + done.join(QStringLiteral(", ")));
}

void Browser(SoakContext& ctx) {
    frmBrowse* browser = frmBrowse::Shared();
    switch (ctx.rng.Below(10)) {
        case 0:
        case 1: {
            const QStringList paths = ctx.world.AnyBrowseList(ctx.rng);
            frmResize* owner = ctx.rng.Chance(85) ? ctx.AnyWindow() : nullptr;
            ctx.Note(QStringLiteral("browser: show ") + paths.join(QStringLiteral(", ")));
            browser->ShowBrowse(paths, owner);
            break;
        }
        case 2: {
            ctx.Note(QStringLiteral("browser: scroll"));
            if (ctx.rng.Chance(50)) {
                browser->EventMouseScroll(ctx.rng.Chance(50) ? 1 : -1);
            } else {
                browser->vscBrowse->setValue(
                    ctx.rng.Between(browser->vscBrowse->minimum(), browser->vscBrowse->maximum()));
            }
            break;
        }
        case 3: {
            const int cell = ctx.rng.Below(8);
            ctx.Note(QStringLiteral("browser: tick cell %1").arg(cell));
            browser->chkBrowse[static_cast<size_t>(cell)]->click();
            break;
        }
        case 4: {
            const int cell = ctx.rng.Below(8);
            QLabel* img = browser->imgBrowse[static_cast<size_t>(cell)];
            const bool twice = ctx.rng.Chance(40);
            ctx.Note(QStringLiteral("browser: %1 cell %2")
                         .arg(twice ? "double-click" : "click")
                         .arg(cell));
            if (twice) {
                QTest::mouseDClick(img, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
            } else {
                QTest::mouseClick(img, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
            }
            break;
        }
        case 5: {
            const QStringList paths = ctx.world.AnyBrowseList(ctx.rng);
            ctx.Note(QStringLiteral("browser: drop ") + paths.join(QStringLiteral(", ")));
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& p : paths) {
                urls << QUrl::fromLocalFile(p);
            }
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(browser->frameBrowse, &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(browser->frameBrowse, &drop);
            break;
        }
        case 6:
            ctx.Note(QStringLiteral("browser: select all / none"));
            (ctx.rng.Chance(50) ? browser->cmdSelectAll : browser->cmdSelectNone)->click();
            break;
        case 7:
            ctx.Note(QStringLiteral("browser: open the ticked ones"));
            browser->cmdOpen->click();
            break;
        case 8:
            ctx.Note(QStringLiteral("browser: cancel"));
            browser->cmdCancel->click();
            break;
        default:
            ctx.Note(QStringLiteral("browser: closed (loading: %1)").arg(browser->IsLoading()));
            if (ctx.rng.Chance(50)) {
                browser->close();
            } else {
                browser->Unload();
            }
            break;
    }
}

void CloseAllDialog(SoakContext& ctx) {
    frmCloseAll* dialog = frmCloseAll::Shared();
    dialog->ShowModeless();
    if (ctx.rng.Chance(70)) {
        ctx.Note(QStringLiteral("close all: cancel"));
        dialog->cmdCancel->click();
    } else {
        ctx.Note(QStringLiteral("close all: OK"));
        dialog->cmdOK->click();
    }
}

}  // namespace SoakActions
