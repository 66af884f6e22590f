#include "browser/frmBrowse.h"

#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "browser/BrowseArithmetic.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

// The browser's controls and their places. Lengths without a unit are logical pixels.

namespace {
constexpr int kCheckHeight = 22;  // at least, as the font may ask for more
constexpr int kRowGap = 10;       // between a check box and the next row's cells
constexpr int kFrameMargin = 8;   // around the cell grid

// A size in twips as logical pixels on the screen: that screen's device pixels first, so the
// browser keeps its size to the eye at every scale factor.
QSize LogicalSize(const QScreen* screen, double twipsW, double twipsH) {
    const QSize device(Rounding::Round32(twipsW / ScreenUnits::TwipsPerPixelX(screen)),
                       Rounding::Round32(twipsH / ScreenUnits::TwipsPerPixelY(screen)));
    return ScreenUnits::ToLogical(QRect(QPoint(), device), screen).size();
}
}  // namespace

void frmBrowse::Build() {
    frameBrowse = new QFrame(this);
    frameBrowse->setObjectName(QStringLiteral("frameBrowse"));
    frameBrowse->setFrameShape(QFrame::StyledPanel);
    // Drops on a cell or a check box reach the frame: they do not take drops themselves.
    frameBrowse->setAcceptDrops(true);
    frameBrowse->installEventFilter(this);
    BuildCells();

    vscBrowse = new QScrollBar(Qt::Vertical, this);
    vscBrowse->setObjectName(QStringLiteral("vscBrowse"));
    vscBrowse->setRange(1, 1);
    vscBrowse->setPageStep(1);
    vscBrowse->setFixedHeight(frameBrowse->height());
    connect(vscBrowse, &QScrollBar::valueChanged, this,
            [this](int value) { ShowPage(BrowseArithmetic::PageStart(value)); });

    lblCountTip = new QLabel(this);
    lblCountTip->setObjectName(QStringLiteral("lblCountTip"));
    Label1 = new QLabel(QStringLiteral("您可以从外部继续拖入图片文件查看"), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    fraOperate = new QGroupBox(QStringLiteral("操作"), this);
    fraOperate->setObjectName(QStringLiteral("fraOperate"));
    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, fraOperate);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdSelectAll = button("cmdSelectAll", QStringLiteral("全选(&A)"));
    cmdSelectNone = button("cmdSelectNone", QStringLiteral("全不选(&N)"));
    cmdOpen = button("cmdOpen", QStringLiteral("打开所选图片(&O)"));
    cmdCancel = button("cmdCancel", QStringLiteral("取消(&C)"));
    auto* buttons = new QGridLayout(fraOperate);
    buttons->addWidget(cmdSelectAll, 0, 0);
    buttons->addWidget(cmdSelectNone, 0, 1);
    buttons->addWidget(cmdOpen, 1, 0);
    buttons->addWidget(cmdCancel, 1, 1);
    connect(cmdSelectAll, &QPushButton::clicked, this, [this] { SelectAll(true); });
    connect(cmdSelectNone, &QPushButton::clicked, this, [this] { SelectAll(false); });
    connect(cmdOpen, &QPushButton::clicked, this, &frmBrowse::OpenSelected);
    connect(cmdCancel, &QPushButton::clicked, this, &frmBrowse::Unload);

    auto* top = new QHBoxLayout;
    top->setSpacing(2);
    top->addWidget(frameBrowse);
    top->addWidget(vscBrowse);
    auto* texts = new QVBoxLayout;
    texts->addWidget(lblCountTip);
    texts->addWidget(Label1);
    texts->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(texts, 1);
    bottom->addWidget(fraOperate);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmBrowse::BuildCells() {
    const QSize cellSize = LogicalSize(screen(), 1500, 1500);
    const int cell = cellSize.width();
    const int cellHigh = cellSize.height();
    const int pitch = LogicalSize(screen(), 1660, 0).width();
    // A check box as high as its caption needs: a large font must not cut the file names.
    const int checkHigh =
        std::max(kCheckHeight, QCheckBox(QStringLiteral("图像")).sizeHint().height());
    const int rowPitch = cellHigh + checkHigh + kRowGap;
    for (int i = 0; i < BrowseArithmetic::kCells; ++i) {
        const int x = kFrameMargin + (i % BrowseArithmetic::kColumns) * pitch;
        const int y = kFrameMargin + (i / BrowseArithmetic::kColumns) * rowPitch;
        auto* img = new QLabel(frameBrowse);
        img->setObjectName(QStringLiteral("imgBrowse_%1").arg(i));
        img->setAlignment(Qt::AlignCenter);
        img->setGeometry(x, y, cell, cellHigh);
        img->installEventFilter(this);
        imgBrowse[static_cast<size_t>(i)] = img;

        auto* chk = new QCheckBox(frameBrowse);
        chk->setObjectName(QStringLiteral("chkBrowse_%1").arg(i));
        chk->setGeometry(x, y + cellHigh + 2, pitch - 4, checkHigh);
        connect(chk, &QCheckBox::clicked, this,
                [this, i](bool checked) { CheckClicked(i, checked); });
        chkBrowse[static_cast<size_t>(i)] = chk;
    }
    const int columns = BrowseArithmetic::kColumns;
    frameBrowse->setFixedSize(2 * kFrameMargin + (columns - 1) * pitch + cell,
                              kFrameMargin + 2 * rowPitch);
}
