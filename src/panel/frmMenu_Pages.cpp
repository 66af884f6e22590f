// The command panel's three pages: their groups of command labels, boxes and captions.

#include "panel/frmMenu.h"

#include "window/frmResize.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace {
QLineEdit* InfoBox(QWidget* parent, const QString& name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    return box;
}

QLabel* Caption(QWidget* parent, int index, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QStringLiteral("lblName_%1").arg(index));
    return l;
}
}  // namespace

void frmMenu::AddCommandGroups(QBoxLayout* layout, int tab, const QStringList& groups,
                               int columns) {
    QWidget* page = layout->parentWidget();
    for (const QString& group : groups) {
        auto* box = new QGroupBox(group, page);
        auto* grid = new QGridLayout(box);
        int n = 0;
        for (const auto& c : MenuCommands::Table()) {
            if (c.tab == tab && c.group == group) {
                grid->addWidget(CommandLabel(c, box), n / columns, n % columns);
                ++n;
            }
        }
        layout->addWidget(box);
    }
}

QWidget* frmMenu::BuildBasicPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    AddCommandGroups(layout, 0, {QStringLiteral("文件操作"), QStringLiteral("编辑")}, 4);
    auto* info = new QGridLayout;
    txtInfoOrgSize = InfoBox(page, QStringLiteral("txtInfoOrgSize"));
    txtInfoNewSize = InfoBox(page, QStringLiteral("txtInfoNewSize"));
    txtInfoPointColor = InfoBox(page, QStringLiteral("txtInfoPointColor"));
    info->addWidget(Caption(page, 0, QStringLiteral("原始尺寸：")), 0, 0);
    info->addWidget(txtInfoOrgSize, 0, 1);
    info->addWidget(Caption(page, 1, QStringLiteral("当前尺寸：")), 1, 0);
    info->addWidget(txtInfoNewSize, 1, 1);
    info->addWidget(Caption(page, 2, QStringLiteral("当前点颜色：")), 2, 0);
    info->addWidget(txtInfoPointColor, 2, 1);
    layout->addLayout(info);
    return page;
}

QWidget* frmMenu::BuildSizePage() {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    layout->addWidget(Caption(page, 3, QStringLiteral("自定义尺寸：")), 0, 0, 1, 4);
    txtCCTZ_NewWidth = new QLineEdit(page);
    txtCCTZ_NewWidth->setObjectName(QStringLiteral("txtCCTZ_NewWidth"));
    txtCCTZ_NewHeight = new QLineEdit(page);
    txtCCTZ_NewHeight->setObjectName(QStringLiteral("txtCCTZ_NewHeight"));
    layout->addWidget(Caption(page, 4, QStringLiteral("宽：")), 1, 0);
    layout->addWidget(txtCCTZ_NewWidth, 1, 1);
    layout->addWidget(Caption(page, 5, QStringLiteral("高：")), 1, 2);
    layout->addWidget(txtCCTZ_NewHeight, 1, 3);
    for (QLineEdit* box : {txtCCTZ_NewWidth, txtCCTZ_NewHeight}) {
        connect(box, &QLineEdit::returnPressed, this,
                [this] { RunCommand(QStringLiteral("CUSTSIZE")); });
    }
    for (const auto& c : MenuCommands::Table()) {
        if (c.tab == 1 && c.action == MenuCommands::Action::CustomSize) {
            layout->addWidget(CommandLabel(c, page), 1, 4);
        }
    }
    layout->addWidget(Caption(page, 6, QStringLiteral("常用尺寸：")), 2, 0, 1, 4);
    for (const auto& c : MenuCommands::Table()) {
        if (c.tab == 1 && c.action == MenuCommands::Action::EditSizeList) {
            layout->addWidget(CommandLabel(c, page), 2, 4);
        }
    }
    lstCCTZ_Size = new QListWidget(page);
    lstCCTZ_Size->setObjectName(QStringLiteral("lstCCTZ_Size"));
    // A plain one-pixel frame in the style's grey: the style's own frame lost its right line at
    // 1.5, where the list's right edge falls between device pixels.
    lstCCTZ_Size->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid #b8b8b8; }"));
    layout->addWidget(lstCCTZ_Size, 3, 0, 1, 5);
    connect(lstCCTZ_Size, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ApplySizeItem(item); });
    connect(lstCCTZ_Size, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        ApplySizeItem(item);
        Unload();
    });
    lstCCTZ_Size->installEventFilter(this);  // Return applies and closes
    return page;
}

QWidget* frmMenu::BuildSpecialPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    AddCommandGroups(layout, 2, {QStringLiteral("图像加工"), QStringLiteral("旋转处理")}, 2);
    auto* display = new QGroupBox(QStringLiteral("程序显示设置"), page);
    auto* grid = new QGridLayout(display);
    txtTBCL_Touming = new QLineEdit(display);
    txtTBCL_Touming->setObjectName(QStringLiteral("txtTBCL_Touming"));
    txtTBCL_Touming->setToolTip(QStringLiteral("设置图像的透明度，支持鼠标手势输入。"));
    grid->addWidget(Caption(display, 8, QStringLiteral("窗体透明度：")), 0, 0);
    grid->addWidget(txtTBCL_Touming, 0, 1);
    grid->addWidget(Caption(display, 7, QStringLiteral("%")), 0, 2);
    chkTBCL_Shape = new QCheckBox(QStringLiteral("窗体形状化"), display);
    chkTBCL_Shape->setObjectName(QStringLiteral("chkTBCL_Shape"));
    chkTBCL_Border = new QCheckBox(QStringLiteral("显示窗体边框"), display);
    chkTBCL_Border->setObjectName(QStringLiteral("chkTBCL_Border"));
    grid->addWidget(chkTBCL_Shape, 1, 0, 1, 3);
    grid->addWidget(chkTBCL_Border, 2, 0, 1, 3);
    layout->addWidget(display);
    connect(txtTBCL_Touming, &QLineEdit::textChanged, this, [this] { OnToumingChanged(); });
    connect(txtTBCL_Touming, &QLineEdit::editingFinished, this, [this] { OnToumingFinished(); });
    connect(chkTBCL_Shape, &QCheckBox::toggled, this, [this](bool on) { OnShapeToggled(on); });
    connect(chkTBCL_Border, &QCheckBox::toggled, this, [this](bool on) { OnBorderToggled(on); });
    return page;
}
