#include "settings/frmOption.h"

#include "base/TextUtil.h"
#include "dialogs/ClickableLabel.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/mdlCommonDialog.h"
#include "settings/OptionControls.h"
#include "settings/SizeEntry.h"
#include "settings/mdlOption.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QPointer<frmOption> gShared;
QString gOptionFile;  // "" = mdlOption's own choice

const QString kEditAdd = QStringLiteral("ADD");
const QString kEditEdit = QStringLiteral("EDIT");

void SayListFull(QObject* owner) {
    ModalSeam::ShowMessage(owner, QStringLiteral("已经到达最大可添加数目了！"), ModalSeam::Critical,
                           QStringLiteral("错误"));
}

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
}  // namespace

frmOption* frmOption::Shared() {
    if (!gShared || gShared->mClosed) {
        gShared = new frmOption;
    }
    return gShared;
}

void frmOption::setOptionFileForTesting(const QString& path) {
    gOptionFile = path;
}

frmOption::frmOption(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("程序设置"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    BuildControls();
    OptionControls::Load(this, mdlOption::Options());
}

void frmOption::BuildControls() {
    frameResize = Named(new QGroupBox(QStringLiteral("自动调整窗体大小"), this), "frameResize");
    chkAutoResizeOnLoad =
        Named(new QCheckBox(QStringLiteral("图片载入时自动调整窗体大小"), frameResize),
              "chkAutoResizeOnLoad");
    chkAutoResizeOnRotate =
        Named(new QCheckBox(QStringLiteral("进行旋转操作时自动调整窗体大小"), frameResize),
              "chkAutoResizeOnRotate");
    auto* resizeLayout = new QVBoxLayout(frameResize);
    resizeLayout->addWidget(chkAutoResizeOnLoad);
    resizeLayout->addWidget(chkAutoResizeOnRotate);

    frameDisplay = Named(new QGroupBox(QStringLiteral("默认显示设置"), this), "frameDisplay");
    chkDisplayBorder = Named(new QCheckBox(QStringLiteral("默认打开时显示程序边框"), frameDisplay),
                             "chkDisplayBorder");
    chkDisplayTopMost = Named(new QCheckBox(QStringLiteral("默认显示在桌面最上层"), frameDisplay),
                              "chkDisplayTopMost");
    chkAutoRotate = Named(new QCheckBox(QStringLiteral("按拍摄方向自动摆正照片"), frameDisplay),
                          "chkAutoRotate");
    // The caption keeps the dialog its width; the formats it applies to are said on hover.
    chkAutoRotate->setToolTip(QStringLiteral("JPEG 和 HEIF 照片按拍摄方向自动摆正"));
    auto* displayLayout = new QVBoxLayout(frameDisplay);
    displayLayout->addWidget(chkDisplayBorder);
    displayLayout->addWidget(chkDisplayTopMost);
    displayLayout->addWidget(chkAutoRotate);

    frameQuickSave = Named(new QGroupBox(QStringLiteral("快速保存"), this), "frameQuickSave");
    optQuickSaveSame =
        Named(new QRadioButton(QStringLiteral("自动保存到当前图片所在的文件夹里"), frameQuickSave),
              "optQuickSaveSame");
    optQuickSaveOther =
        Named(new QRadioButton(QStringLiteral("一直快速保存到下面的文件夹里"), frameQuickSave),
              "optQuickSaveOther");
    txtQuickSave = Named(new QLineEdit(frameQuickSave), "txtQuickSave");
    cmdQuickSave = Named(new QPushButton(QStringLiteral("浏览"), frameQuickSave), "cmdQuickSave");
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(txtQuickSave, 1);
    folderRow->addWidget(cmdQuickSave);
    lblSaveQuality =
        Named(new QLabel(QStringLiteral("保存质量"), frameQuickSave), "lblSaveQuality");
    txtSaveQuality = Named(new QLineEdit(frameQuickSave), "txtSaveQuality");
    txtSaveQuality->setFixedWidth(
        txtSaveQuality->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
    // The caption keeps the frame short; what it applies to is said on hover.
    txtSaveQuality->setToolTip(
        QStringLiteral("HEIC、AVIF、JPEG XL 和 WebP 的质量（1～100），100 为无损"));
    lblSaveQuality->setBuddy(txtSaveQuality);
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(lblSaveQuality);
    qualityRow->addWidget(txtSaveQuality);
    qualityRow->addStretch();
    auto* quickLayout = new QVBoxLayout(frameQuickSave);
    quickLayout->addWidget(optQuickSaveSame);
    quickLayout->addWidget(optQuickSaveOther);
    quickLayout->addLayout(folderRow);
    quickLayout->addLayout(qualityRow);

    frameSize = Named(new QGroupBox(QStringLiteral("常用尺寸管理"), this), "frameSize");
    lstSize = Named(new QListWidget(frameSize), "lstSize");
    lstSize->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdSizeAdd = Named(new QPushButton(QStringLiteral("添加"), frameSize), "cmdSizeAdd");
    cmdSizeEdit = Named(new QPushButton(QStringLiteral("编辑"), frameSize), "cmdSizeEdit");
    cmdSizeDelete = Named(new QPushButton(QStringLiteral("删除"), frameSize), "cmdSizeDelete");

    frameSizeEdit = Named(new QGroupBox(QStringLiteral("编辑"), frameSize), "frameSizeEdit");
    lblSizeWidth = Named(new QLabel(QStringLiteral("宽"), frameSizeEdit), "lblSizeWidth");
    txtSizeWidth = Named(new QLineEdit(frameSizeEdit), "txtSizeWidth");
    lblSizeHeight = Named(new QLabel(QStringLiteral("高"), frameSizeEdit), "lblSizeHeight");
    txtSizeHeight = Named(new QLineEdit(frameSizeEdit), "txtSizeHeight");
    lblSizeName = Named(new QLabel(QStringLiteral("名称"), frameSizeEdit), "lblSizeName");
    txtSizeName = Named(new QLineEdit(frameSizeEdit), "txtSizeName");
    lblSizeOK = Named(new ClickableLabel(QStringLiteral("确定"), frameSizeEdit), "lblSizeOK");
    lblSizeWidth->setBuddy(txtSizeWidth);
    lblSizeHeight->setBuddy(txtSizeHeight);
    lblSizeName->setBuddy(txtSizeName);
    auto* editLayout = new QGridLayout(frameSizeEdit);
    editLayout->addWidget(lblSizeWidth, 0, 0);
    editLayout->addWidget(txtSizeWidth, 0, 1);
    editLayout->addWidget(lblSizeHeight, 0, 2);
    editLayout->addWidget(txtSizeHeight, 0, 3);
    editLayout->addWidget(lblSizeName, 1, 0);
    editLayout->addWidget(txtSizeName, 1, 1, 1, 3);
    editLayout->addWidget(lblSizeOK, 1, 4);
    frameSizeEdit->hide();

    auto* sizeButtons = new QVBoxLayout;
    sizeButtons->addWidget(cmdSizeAdd);
    sizeButtons->addWidget(cmdSizeEdit);
    sizeButtons->addWidget(cmdSizeDelete);
    sizeButtons->addStretch();
    auto* sizeLeft = new QVBoxLayout;
    sizeLeft->addWidget(lstSize, 1);
    sizeLeft->addWidget(frameSizeEdit);
    auto* sizeLayout = new QHBoxLayout(frameSize);
    sizeLayout->addLayout(sizeLeft, 1);
    sizeLayout->addLayout(sizeButtons);

    cmdSave = Named(new QPushButton(QStringLiteral("保存(&S)"), this), "cmdSave");
    cmdClose = Named(new QPushButton(QStringLiteral("关闭(&C)"), this), "cmdClose");
    auto* formButtons = new QHBoxLayout;
    formButtons->addStretch();
    formButtons->addWidget(cmdSave);
    formButtons->addWidget(cmdClose);

    auto* switches = new QHBoxLayout;
    switches->addWidget(frameResize);
    switches->addWidget(frameDisplay);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(switches);
    layout->addWidget(frameQuickSave);
    layout->addWidget(frameSize, 1);
    layout->addLayout(formButtons);

    // Enter in a text box must not save and close the dialog through a default button; in the
    // size boxes it commits the size instead.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    for (QLineEdit* box : {txtSizeWidth, txtSizeHeight, txtSizeName}) {
        connect(box, &QLineEdit::returnPressed, this, &frmOption::lblSizeOK_Click);
    }

    connect(cmdQuickSave, &QPushButton::clicked, this, &frmOption::cmdQuickSave_Click);
    connect(cmdSizeAdd, &QPushButton::clicked, this, &frmOption::cmdSizeAdd_Click);
    connect(cmdSizeEdit, &QPushButton::clicked, this, &frmOption::cmdSizeEdit_Click);
    connect(cmdSizeDelete, &QPushButton::clicked, this, &frmOption::cmdSizeDelete_Click);
    connect(lblSizeOK, &ClickableLabel::clicked, this, &frmOption::lblSizeOK_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmOption::cmdSave_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

void frmOption::FillSizeList(int selectRow) {
    lstSize->clear();
    lstSize->addItems(mdlOption::Options().CYSizeList);
    if (selectRow >= 0 && selectRow < lstSize->count()) {
        lstSize->setCurrentRow(selectRow);
    }
}

int frmOption::SelectedRow() const {
    const QList<QListWidgetItem*> selected = lstSize->selectedItems();
    return selected.isEmpty() ? -1 : lstSize->row(selected.first());
}

void frmOption::EnterEdit(const QString& mode) {
    mEditMode = mode;
    frameSizeEdit->show();
    // While a row is being edited by its position, nothing else may move the rows.
    lstSize->setEnabled(false);
    cmdSizeAdd->setEnabled(false);
    cmdSizeEdit->setEnabled(false);
    cmdSizeDelete->setEnabled(false);
    txtSizeWidth->setFocus();
}

void frmOption::LeaveEdit() {
    mEditMode.clear();
    mEditRow = -1;
    frameSizeEdit->hide();
    lstSize->setEnabled(true);
    cmdSizeAdd->setEnabled(true);
    cmdSizeEdit->setEnabled(true);
    cmdSizeDelete->setEnabled(true);
}

void frmOption::ShowOptions() {
    show();
    raise();
    activateWindow();
}

void frmOption::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    if (event->isAccepted()) {
        mClosed = true;
    }
}

void frmOption::cmdQuickSave_Click() {
    const QString folder = SizeEntry::CleanText(
        mdlCommonDialog::BrowseForFolder(this, QStringLiteral("请选择您要放置图像的文件夹！")));
    if (!folder.isEmpty()) {
        txtQuickSave->setText(folder);
    }
}

void frmOption::cmdSizeAdd_Click() {
    if (mdlOption::Options().CYSizeList.size() >= mdlOption::kMaxSizes) {
        SayListFull(this);
        return;
    }
    txtSizeWidth->clear();
    txtSizeHeight->clear();
    txtSizeName->clear();
    EnterEdit(kEditAdd);
}

void frmOption::cmdSizeEdit_Click() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    const SizeEntry::Parts parts = SizeEntry::SplitForEdit(lstSize->item(row)->text());
    txtSizeWidth->setText(parts.width);
    txtSizeHeight->setText(parts.height);
    txtSizeName->setText(parts.name);
    mEditRow = row;
    EnterEdit(kEditEdit);
}

void frmOption::lblSizeOK_Click() {
    if (mEditMode.isEmpty()) {
        return;
    }
    const QString width = TextUtil::TrimSpaces(txtSizeWidth->text());
    txtSizeWidth->setText(width);
    if (!SizeEntry::ParseSizeNumber(width)) {
        ModalSeam::ShowMessage(this, QStringLiteral("请输入正确的宽度！"), ModalSeam::Critical,
                               QStringLiteral("输入错误"));
        txtSizeWidth->setFocus();
        return;
    }
    const QString height = TextUtil::TrimSpaces(txtSizeHeight->text());
    txtSizeHeight->setText(height);
    if (!SizeEntry::ParseSizeNumber(height)) {
        ModalSeam::ShowMessage(this, QStringLiteral("请输入正确的高度！"), ModalSeam::Critical,
                               QStringLiteral("输入错误"));
        txtSizeHeight->setFocus();
        return;
    }
    // The option file drops every space of a size line when it is read back, so the name keeps
    // none here either: the row shown now is the row the next run shows.
    QString name = SizeEntry::CleanText(txtSizeName->text());
    name.remove(QLatin1Char(' '));
    txtSizeName->setText(name);
    const QString entry = SizeEntry::BuildEntry(width, height, name);

    QStringList& sizes = mdlOption::Options().CYSizeList;
    int row = -1;
    if (mEditMode == kEditAdd) {
        // The store may have filled up since Add was pressed: the limit holds at the commit.
        if (sizes.size() >= mdlOption::kMaxSizes) {
            SayListFull(this);
        } else {
            sizes.append(entry);
            row = static_cast<int>(sizes.size()) - 1;
        }
    } else if (mEditRow >= 0 && mEditRow < sizes.size()) {
        sizes[mEditRow] = entry;
        row = mEditRow;
    }
    LeaveEdit();
    FillSizeList(row);
}

void frmOption::cmdSizeDelete_Click() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    QStringList& sizes = mdlOption::Options().CYSizeList;
    if (row < sizes.size()) {
        sizes.removeAt(row);
    }
    FillSizeList(-1);
}

void frmOption::cmdSave_Click() {
    mdlOption::OptionStore& o = mdlOption::Options();
    mdlOption::OptionStore edited = o;
    const QString refusal = OptionControls::Save(this, edited);
    if (!refusal.isEmpty()) {
        // Refused: nothing reaches the store and the dialog stays for the box to be mended.
        ModalSeam::ShowMessage(this, refusal, ModalSeam::Critical, QStringLiteral("输入错误"));
        return;
    }
    // The switches and the folder reach the store together, and only with a written file.
    const mdlOption::OptionStore before = o;
    o = edited;
    if (!mdlOption::WriteOptions(gOptionFile)) {
        o = before;
        ModalSeam::ShowMessage(this, QStringLiteral("保存设置失败！"), ModalSeam::Critical,
                               QStringLiteral("错误"));
        return;
    }
    close();
}
