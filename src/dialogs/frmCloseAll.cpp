#include "dialogs/frmCloseAll.h"

#include "image/cSaveJob.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

namespace {
void (*gExit)(int) = std::_Exit;
}

frmCloseAll* frmCloseAll::Shared() {
    static QPointer<frmCloseAll> instance;
    if (!instance) {
        instance = new frmCloseAll;
    }
    return instance;
}

void frmCloseAll::setExitForTesting(void (*exitFn)(int)) {
    gExit = exitFn ? exitFn : std::_Exit;
}

frmCloseAll::frmCloseAll(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("警告"));
    Label1 = new QLabel(QStringLiteral("您确认要关闭所有图片窗体吗？"), this);
    cmdOK = new QPushButton(QStringLiteral("确定(&O)"), this);
    cmdCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, [] {
        // A save still writing would leave its temporary file behind: let it finish first.
        cSaveJob::WaitForAll();
        gExit(0);
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);  // not yet shown: no geometry to keep
}

void frmCloseAll::ShowModeless() {
    show();
    raise();
    activateWindow();
}
