#include "dialogs/frmAbout.h"

#include "dialogs/ClickableLabel.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/ProgramInfo.h"
#include "dialogs/mdlKestrin_Version.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace {
QPointer<frmAbout> gShared;

QFrame* SeparatorLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
}  // namespace

frmAbout* frmAbout::Shared() {
    if (!gShared || gShared->mClosed) {
        gShared = new frmAbout;
    }
    return gShared;
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 Lumora"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    ShowIcon();

    lblTitle = new QLabel(QStringLiteral("Lumora"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(QStringLiteral("版本：%1.%2(%3)")
                                .arg(mdlKestrin_Version::kMajor)
                                .arg(mdlKestrin_Version::kMinor)
                                .arg(mdlKestrin_Version::GetDevNumber()),
                            this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    Label2 =
        new QLabel(QStringLiteral("本程序所使用的图像读写引擎来自freeImage，并遵循freeImage公共版权"
                                  "文件。详情请查阅 ") +
                       QString::fromLatin1(ProgramInfo::kFreeImageSite),
                   this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    lblHomePage = new ClickableLabel(
        QStringLiteral("欢迎访问 ") + QString::fromLatin1(ProgramInfo::kHomePage), this);
    lblHomePage->setObjectName(QStringLiteral("lblHomePage"));
    // Out of the focus chain, so the box's first focus is 确定 and Enter closes it: the home page
    // opens only when the user clicks it, never from a key meant for the box.
    lblHomePage->setFocusPolicy(Qt::NoFocus);
    connect(lblHomePage, &ClickableLabel::clicked, this,
            [] { ModalSeam::Current().OpenExternal(QString::fromLatin1(ProgramInfo::kHomePage)); });

    lblDisclaimer = new QLabel(
        QStringLiteral("本软件的著作权归作者所有，未经许可不得复制、修改或用于商业用途。"), this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));

    Line1[0] = SeparatorLine(this);
    Line1[1] = SeparatorLine(this);

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);

    auto* names = new QVBoxLayout;
    names->addWidget(lblTitle);
    names->addWidget(lblVersion);
    auto* head = new QHBoxLayout;
    head->addWidget(picIcon, 0, Qt::AlignTop);
    head->addLayout(names, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(Line1[0]);
    layout->addWidget(Label2);
    layout->addWidget(lblHomePage);
    layout->addWidget(Line1[1]);
    layout->addWidget(lblDisclaimer);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmAbout::ShowAbout() {
    show();
    raise();
    activateWindow();
}

void frmAbout::ShowIcon() {
    picIcon->setPixmap(ProgramInfo::ProgramIcon().pixmap(QSize(48, 48), devicePixelRatioF()));
}

void frmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ShowIcon();
    // Moved to a screen of another scale, the box draws its icon from that scale's pixels.
    if (windowHandle() != nullptr) {
        connect(windowHandle(), &QWindow::screenChanged, this, &frmAbout::ShowIcon,
                Qt::UniqueConnection);
    }
}

void frmAbout::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    if (event->isAccepted()) {
        mClosed = true;
    }
}
