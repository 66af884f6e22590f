#include "window/frmResize.h"

#include "base/InputMasks.h"
#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "base/TextUtil.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/ProgramInfo.h"
#include "dialogs/mdlKestrin_Version.h"
#include "image/mdlPhotoShop.h"
#include "settings/mdlOption.h"
#include "window/ClassLumora.h"
#include "window/CropRectWidget.h"
#include "window/DevicePlacement.h"
#include "window/NativeWindow.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/PixelControlAdapter.h"
#include "window/WindowArithmetic.h"
#include "window/WindowServices.h"
#include "window/mdlAPI_Form.h"

#include <QBitmap>
#include <QEventLoopLocker>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTime>
#include <QTimer>
#include <cmath>
#include <functional>
#include <optional>
#include <utility>

using Rounding::Round32;

namespace {
constexpr int kDesignClient = 61;  // pixels, before the border is added

QImage Placeholder() {
    QImage img(QStringLiteral(":/placeholder.png"));
    if (img.isNull()) {
        img = QImage(60, 60, QImage::Format_BGR888);
        img.fill(QColor(200, 214, 230));
    }
    return img;
}
}  // namespace

frmResize::frmResize(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QStringLiteral("Lumora"));

    // Created back to front: each later control is drawn over the earlier ones.
    imgView = new PictureViewWidget(this);
    imgView->setMouseTracking(true);
    imgView->setToolTip(
        QStringLiteral("将图片拖动到这里，然后调整窗体大小就可以了。其它功能点鼠标右键。"));
    mModel.ReplacePicture(Placeholder());
    imgView->setPicture(mModel.Picture());

    lblCrop = new CropRectWidget(this, this);
    shpCrop = lblCrop->Outline();
    connect(lblCrop, &CropRectWidget::menuRequested, this, [this] {
        if (auto open = WindowServices::WindowOpeners().cropMenu) {
            open(this);
        }
    });

    shpFocus = new OutlineWidget(this);
    shpFocus->setBorderColor(Qt::black);
    shpFocus->hide();

    lblTip = new QLabel(QStringLiteral("200 * 300"), this);
    lblTip->setAutoFillBackground(true);
    QPalette tipPalette = lblTip->palette();
    tipPalette.setColor(QPalette::Window, QColor(255, 255, 192));
    tipPalette.setColor(QPalette::WindowText, Qt::black);
    lblTip->setPalette(tipPalette);
    lblTip->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblTip->move(1, 1);
    lblTip->adjustSize();
    lblTip->hide();

    timerSystem = new QTimer(this);
    timerSystem->setInterval(1000);
    connect(timerSystem, &QTimer::timeout, this,
            [this] { TimerTick(QTime::currentTime().second()); });
    connect(imgView, &PictureViewWidget::filesDropped, this, &frmResize::OnFilesDropped);
    imgView->installEventFilter(this);
    lblCrop->installEventFilter(this);
    for (QWidget* overlay : {static_cast<QWidget*>(lblTip), static_cast<QWidget*>(shpFocus),
                             static_cast<QWidget*>(shpCrop)}) {
        overlay->installEventFilter(this);
    }

    // The design size, in the middle of the screen until someone places the window.
    QRect design(0, 0, kDesignClient, kDesignClient);
    design.moveCenter(ScreenUnits::DeviceWorkArea(nullptr).center());
    SetDeviceGeometry(design);

    if (mdlOption::Options().DisplayBorder) {
        cmdSetFormHaveBorder();
    } else {
        cmdSetFormNoBorder();
    }
    mImageControl = std::make_unique<PixelControlAdapter>(imgView);
    mResizer = std::make_unique<ClassLumora>();
    mResizer->setBorderWidth(4);
    mResizer->setObjectForm(this);
    mResizer->setObjectImage(mImageControl.get());
    mResizer->setEnableResize(true);
    mResizer->setEnableMove(true);
    RestoreTopMost();
    cmdGetOrgWidthHeight();
    mTouming = 100;
    mIdleTicks = 0;
    mFormShape = false;
    timerSystem->start();
    InstallShortcuts();
    // Qt has moved the windows off a screen that went away once this runs.
    connect(qApp, &QGuiApplication::screenRemoved, this, &frmResize::KeepOnAScreen,
            Qt::QueuedConnection);
}

void frmResize::InstallShortcuts() {
    // The desktop's usual keys beside the single letters. A press a shortcut takes never reaches
    // keyPressEvent, so Ctrl+C can never also count as the capture key C.
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_C), [this] { cmdCopy(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_V), [this] { cmdPaste(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { cmdUndo(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_S), [this] { cmdQuickSave(); }},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { cmdSaveAs(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_O), [this] { cmdOpenPicture(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); }},
        {QKeySequence(Qt::Key_F1), [] { ProgramInfo::OpenHelp(); }},
    };
    for (const auto& [sequence, run] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, [run] {
            try {
                run();
            } catch (...) {
                // a command that fails leaves the window as it was
            }
        });
    }
}

frmResize::~frmResize() = default;

// ---- picture and size ----

QImage frmResize::Picture() const {
    return mModel.Picture();
}

void frmResize::PictureChanged() {
    imgView->setPicture(mModel.Picture());
    cmdGetOrgWidthHeight();
    ShapeChanged();
}

void frmResize::cmdGetOrgWidthHeight() {
    const QImage& p = imgView->picture();
    mOrgHeight = p.isNull() ? 0 : p.height();
    mOrgWidth = p.isNull() ? 0 : p.width();
}

void frmResize::cmdShowSize() {
    const QSize shown = ShownSize();
    ShowTip(TextUtil::SizeText(shown.width(), shown.height()));
}

bool frmResize::SetPicture(const QImage& picture) {
    mModel.SetPicture(picture);
    PictureChanged();
    if (mdlOption::Options().ResizeWhenOpen) {
        ApplyViewSize(mOrgWidth, mOrgHeight);
    }
    return true;
}

void frmResize::cmdClear() {
    if (mBusy) {
        return;
    }
    mModel.History().ClearBackup();
    mModel.ReplacePicture(Placeholder());  // the file name stays for later quick saves
    PictureChanged();
    ApplyViewSize(mOrgWidth, mOrgHeight);
}

bool frmResize::LoadFromFile(const QString& fileName) {
    // Only regular files: a folder, a pipe or a device is no picture, and a pipe could block.
    if (mUnloaded || mBusy || !QFileInfo(fileName).isFile()) {
        return false;  // a save or capture runs: its result must not be overtaken
    }
    if (mOpenRequest != 0) {
        Decoder()->Cancel(mOpenRequest);  // the newest request wins
    }
    mOpenRequest = Decoder()->Submit(fileName, cDecodeFront::Lane::Interactive, 0,
                                     mdlOption::Options().AutoRotate);
    // A window still waiting for its picture may be hidden (a new one shows when it arrives):
    // the process must live until then.
    if (!mOpenLock) {
        mOpenLock = std::make_unique<QEventLoopLocker>();
    }
    imgView->setCursor(Qt::BusyCursor);
    return true;
}

cDecodeFront* frmResize::Decoder() {
    if (mDecoder == nullptr) {
        mDecoder = new cDecodeFront(this);
        connect(mDecoder, &cDecodeFront::decoded, this, &frmResize::FinishOpen);
    }
    return mDecoder;
}

void frmResize::FinishOpen(const cDecodeFront::Result& result) {
    if (mCaptureRequest != 0 && result.id == mCaptureRequest) {
        FinishPortalShot(result);  // a screenshot the portal wrote, not a file opened
        return;
    }
    if (result.id != mOpenRequest) {
        return;  // an older request that was overtaken
    }
    mOpenRequest = 0;
    imgView->unsetCursor();
    // Let go of the process only after the receivers have shown or closed the window.
    const std::unique_ptr<QEventLoopLocker> lock = std::move(mOpenLock);
    if (mUnloaded || !mModel.Loaded(result.file, result.picture)) {
        emit openEnded(false, result.file);  // the window stays as it was
        return;
    }
    PictureChanged();
    if (mdlOption::Options().ResizeWhenOpen) {
        GrowToOwnSize();
    }
    emit openEnded(true, result.file);
}

bool frmResize::lnkOpenPicture(const QString& iFileName) {
    return LoadFromFile(iFileName);
}

QImage frmResize::GetViewPicture() {
    return mModel.ViewPicture(ShownSize());
}

QImage frmResize::lnkGetCopyPicture() {
    return GetViewPicture();
}

bool frmResize::CropRect(qint32 x, qint32 y, qint32 w, qint32 h) {
    QImage result;
    try {
        result = mdlPhotoShop::CopyRegion(mModel.Picture(), x, y, w, h);
    } catch (...) {
    }
    if (result.isNull()) {
        return false;  // the picture stays as it was
    }
    mModel.ReplacePicture(result);
    PictureChanged();
    return true;
}

bool frmResize::MaskRect(qint32 x, qint32 y, qint32 w, qint32 h) {
    QImage result;
    try {
        result = mdlPhotoShop::FillBlack(mModel.Picture(), x, y, w, h);
    } catch (...) {
    }
    if (result.isNull()) {
        return false;
    }
    mModel.ReplacePicture(result);
    PictureChanged();
    return true;
}

bool frmResize::ApplyViewSize(qint32 w, qint32 h) {
    const auto tx = static_cast<float>(TwipsPerPixelX());
    const auto ty = static_cast<float>(TwipsPerPixelY());
    const auto fit = WindowArithmetic::FitViewSize(
        w, h, mFormBorder, tx, ty, static_cast<float>(ScreenUnits::ScreenWidthTwips(screen())),
        static_cast<float>(ScreenUnits::ScreenHeightTwips(screen())));
    SetGeometryTw(Round32(LeftTw()), Round32(TopTw()), Round32(fit.widthTwips),
                  Round32(fit.heightTwips));
    if (fit.shrunk) {
        ShowTip(QStringLiteral("图片尺寸过大，已经被自动调整！"));
        // A window not shown yet gets its first layout when it shows: the tip must outlast it.
        mHoldTip = !isVisible();
    }
    return true;
}

bool frmResize::lnkViewResize(qint32 iWidth, qint32 iHeight) {
    return ApplyViewSize(iWidth, iHeight);
}

bool frmResize::valHaveBackup() const {
    return mModel.History().Count() > 0;
}

// ---- tip, messages, topmost band ----

bool frmResize::ShowTip(const QString& text) {
    QFont f = lblTip->font();
    f.setPointSize(WindowArithmetic::TipFontPoints(WidthTw(), HeightTw()));
    lblTip->setFont(f);
    lblTip->setText(text);
    lblTip->adjustSize();
    lblTip->show();
    lblTip->raise();
    mTipTicks = 1;
    return true;
}

int frmResize::ShowMessage(const QString& text, int style, const QString& title) {
    SuspendTopMost();
    const int result = ModalSeam::ShowMessage(this, text, style, title);
    RestoreTopMost();
    return result;
}

bool frmResize::SuspendTopMost() {
    return mdlAPI_Form::SetNoTopMost(this);
}

bool frmResize::RestoreTopMost() {
    if (mdlOption::Options().AlwaysTop) {
        mdlAPI_Form::SetTopMost(this);
    }
    return true;
}

// ---- focus frame ----

void frmResize::cmdSetFormFocusON() {
    DevicePlacement::Set(shpFocus, DevicePlacement::Of(imgView));
    shpFocus->show();
}

void frmResize::cmdSetFormFocusOFF() {
    shpFocus->hide();
}

void frmResize::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    cmdSetFormFocusON();
}

void frmResize::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    cmdSetFormFocusOFF();
}

void frmResize::TimerTick(int secondOfMinute) {
    if (mTipTicks > 0 && !mBusy) {  // the wait's tip stays while the work runs
        ++mTipTicks;
        if (mTipTicks > 2) {
            lblTip->hide();
            mTipTicks = 0;
        }
    }
    if (mIdleTicks > 0) {
        ++mIdleTicks;
        if (mIdleTicks > 15) {
            mIdleTicks = 0;
            cmdSetFormFocusOFF();
        }
    }
    lblCrop->Blink(secondOfMinute);
    if (shpFocus->isVisible()) {
        shpFocus->setBorderColor(secondOfMinute % 2 == 0 ? Qt::black : Qt::white);
    }
}

void frmResize::closeEvent(QCloseEvent* event) {
    if (mBusy) {
        // A save or capture still runs: the window goes from the screen now and unloads when the
        // work has ended and been reported.
        event->ignore();
        mCloseWhenIdle = true;
        if (mDecoder != nullptr) {
            mDecoder->CancelAll();  // an open still waiting is of no use to a closed window
            mOpenRequest = 0;
            mOpenLock.reset();
        }
        AbandonCapture();
        hide();
        return;
    }
    QWidget::closeEvent(event);
    if (mUnloaded) {
        return;
    }
    timerSystem->stop();
    if (mDecoder != nullptr) {
        mDecoder->CancelAll();  // an open still running is of no use now
        mOpenRequest = 0;
    }
    mOpenLock.reset();
    // The panel may still hold this window until it is deleted: its history empties, but stays.
    mModel.History().ClearBackup();
    mResizer.reset();
    lblCrop->Detach();
    // This window still counts as loaded while the shell looks for others.
    if (auto closeMenus = WindowServices::ShellServices().closeMenusIfLastWindow) {
        closeMenus();
    }
    mUnloaded = true;
    emit unloaded();
}
