#pragma once

#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class frmResize;

// Holds the crop menu that a right-button release over a crop rectangle pops up. The form itself
// is never shown. One shared instance, made on first use; "unloading" it closes the menu and
// forgets the owner, so it is never deleted inside its own handlers.
class frmMenuBuf : public QWidget {
    Q_OBJECT
public:
    // The shared instance, made when first asked for.
    static frmMenuBuf* Shared();
    // Closes the shared instance, when there is one (the last image window has gone).
    static void UnloadShared();

    // The window the menu acts on. Not owned; a window that closes is forgotten and the menu
    // closes.
    void OwnerForm(frmResize* iOwner);
    frmResize* Owner() const { return mOwner; }

    // Pops the menu up at iGlobalPos (screen pixels) without waiting for a choice.
    void PopupAt(const QPoint& iGlobalPos);
    // Closes the menu and forgets the owner.
    void Unload();

    QLabel* Label1 = nullptr;
    QMenu* mnuRightCrop = nullptr;
    QAction* mnuCrop = nullptr;
    QAction* mnuMask = nullptr;

private:
    frmMenuBuf();
    void mnuCrop_Click();
    void mnuMask_Click();

    QPointer<frmResize> mOwner;
    QMetaObject::Connection mOwnerGone;
};
