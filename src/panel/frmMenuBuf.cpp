#include "panel/frmMenuBuf.h"

#include "window/frmResize.h"

#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace {
QPointer<frmMenuBuf> gShared;
}

frmMenuBuf* frmMenuBuf::Shared() {
    if (gShared.isNull()) {
        gShared = new frmMenuBuf;
    }
    return gShared;
}

void frmMenuBuf::UnloadShared() {
    if (!gShared.isNull()) {
        gShared->Unload();
    }
}

frmMenuBuf::frmMenuBuf() : QWidget(nullptr, Qt::Tool) {
    setAttribute(Qt::WA_DontShowOnScreen);
    setWindowTitle(QStringLiteral("功能菜单"));
    Label1 = new QLabel(QStringLiteral("本窗体仅供放置菜单"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);

    mnuRightCrop = new QMenu(QStringLiteral("剪裁"), this);
    mnuCrop = mnuRightCrop->addAction(QStringLiteral("剪裁(&C)"));
    mnuMask = mnuRightCrop->addAction(QStringLiteral("打马赛克(&M)"));
    connect(mnuCrop, &QAction::triggered, this, &frmMenuBuf::mnuCrop_Click);
    connect(mnuMask, &QAction::triggered, this, &frmMenuBuf::mnuMask_Click);
}

void frmMenuBuf::OwnerForm(frmResize* iOwner) {
    disconnect(mOwnerGone);
    mOwner = iOwner;
    if (iOwner != nullptr) {
        // A window closes before it is deleted (a save may still finish): the menu lets go then,
        // not only when the object goes.
        mOwnerGone = connect(iOwner, &frmResize::unloaded, this, &frmMenuBuf::Unload);
    }
}

void frmMenuBuf::PopupAt(const QPoint& iGlobalPos) {
    mnuRightCrop->popup(iGlobalPos);
}

void frmMenuBuf::Unload() {
    mnuRightCrop->close();
    disconnect(mOwnerGone);
    mOwner = nullptr;
}

void frmMenuBuf::mnuCrop_Click() {
    QPointer<frmResize> owner = mOwner;
    Unload();
    if (owner && !owner->IsUnloaded()) {
        owner->cmdCrop();
    }
}

void frmMenuBuf::mnuMask_Click() {
    QPointer<frmResize> owner = mOwner;
    Unload();
    if (owner && !owner->IsUnloaded()) {
        owner->cmdMask();
    }
}
