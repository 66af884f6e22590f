#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

#include "panel/MenuCommands.h"

class QBoxLayout;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QStackedWidget;
class NumberBoxBinding;
class OutlineWidget;
class frmResize;

// The command panel: a frameless tool window, kept on top, that an image window opens at the
// pointer. It works on that one window (its owner): three tab pages of command labels, the
// picture's information, the size presets and the display settings. A command runs through
// RunCommand and closes the panel. There is one shared panel, built once and reused; "unloading"
// it hides it, lets go of the owner and detaches the number boxes, never deletes it.
//
// Each control's object name is its own name ("lblCommand_8", "txtCCTZ_NewWidth",
// "chkTBCL_Shape" …), so tests find them by name.
class frmMenu : public QWidget {
    Q_OBJECT
public:
    // The shared panel, built when first asked for.
    static frmMenu* Shared();
    // Opens the shared panel for iOwner at the pointer.
    static void ShowMenu(frmResize* iOwner);
    // Closes the shared panel if it exists (the last image window has gone).
    static void UnloadShared();

    // Runs the command of iKey on the owner and closes the panel (a refused custom size keeps it
    // open). A key of no command only closes it.
    void RunCommand(const QString& iKey);
    // Hides the panel and lets go of the owner.
    void Unload();

    frmResize* Owner() const { return mOwner; }
    int HoverIndex() const { return mHoverIndex; }
    // The page shown, 0..2.
    int CurrentTab() const;
    void ShowTab(int i);

    // The controls.
    std::array<QWidget*, 2> imgNav{};
    std::array<QLabel*, 3> lblTab{};
    OutlineWidget* shpTab = nullptr;
    QStackedWidget* pages = nullptr;
    std::array<QWidget*, 3> picTab{};
    QLabel* lblNavClose = nullptr;
    std::array<QLabel*, 22> lblCommand{};
    QLabel* lblAbout = nullptr;
    QLineEdit* txtInfoOrgSize = nullptr;
    QLineEdit* txtInfoNewSize = nullptr;
    QLineEdit* txtInfoPointColor = nullptr;
    QListWidget* lstCCTZ_Size = nullptr;
    QLineEdit* txtCCTZ_NewWidth = nullptr;
    QLineEdit* txtCCTZ_NewHeight = nullptr;
    QLineEdit* txtTBCL_Touming = nullptr;
    QCheckBox* chkTBCL_Shape = nullptr;
    QCheckBox* chkTBCL_Border = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    frmMenu();
    ~frmMenu() override;
    void Build();
    QWidget* BuildBasicPage();
    QWidget* BuildSizePage();
    QWidget* BuildSpecialPage();
    QLabel* CommandLabel(const MenuCommands::Command& c, QWidget* parent);
    // One framed group of command labels per name, in table order, in rows of columns.
    void AddCommandGroups(QBoxLayout* layout, int tab, const QStringList& groups, int columns);

    void ShowFor(frmResize* iOwner);
    void ShowAtCursor();
    void FillFromOwner();
    void Highlight(int index);
    void Perform(MenuCommands::Action action, frmResize* owner);
    bool ApplyCustomSize(frmResize* owner);
    void ApplySizeItem(QListWidgetItem* item);
    int ShowPanelMessage(const QString& text, const QString& title);
    void AttachNumberBoxes();

    void OnToumingChanged();
    // The typing in the opacity box ended (Return, or the focus left): it shows the opacity the
    // owner has.
    void OnToumingFinished();
    // The owner changed its opacity by itself (the wheel): the boxes show it.
    void OnOwnerOpacityChanged();
    void OnShapeToggled(bool checked);
    void OnBorderToggled(bool checked);

    QPointer<frmResize> mOwner;
    int mHoverIndex = -1;
    int mShownTab = -1;
    std::array<std::unique_ptr<NumberBoxBinding>, 3> mNumberBoxes;
    bool mInOwnMessage = false;  // a box the panel shows does not close it
    QPoint mDragOffset;          // pixels; where a manual drag holds the panel
    bool mDragging = false;
};
