// The image window: its controls, the face its core classes see, its layout and its paint.

#include "window/frmResize.h"

#include "base/GuardedWork.h"
#include "base/ScreenUnits.h"
#include "base/TextUtil.h"
#include "dialogs/ProgramInfo.h"
#include "dialogs/mdlCommonDialog.h"
#include "settings/mdlOption.h"
#include "window/CropRectWidget.h"
#include "window/DevicePlacement.h"
#include "window/NativeWindow.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/PixelControlAdapter.h"
#include "window/WindowArithmetic.h"
#include "window/WindowServices.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QTime>
#include <QTimer>
#include <cmath>
#include <optional>
#include <utility>

namespace {
constexpr int kDesignClient = 61;  // pixels, before the border is added
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
    mModel.ReplacePicture(cPictureModel::Placeholder());
    imgView->setPicture(mModel.ScreenPicture());

    lblCrop = new CropRectWidget(this, &mPlacement);
    shpCrop = lblCrop->Outline();
    connect(lblCrop, &CropRectWidget::menuRequested, this, &frmResize::OpenMenu);

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
    connect(&mFiles, &cWindowFiles::saveEnded, this, &frmResize::saveEnded);
    connect(&mFiles, &cWindowFiles::captureEnded, this, &frmResize::captureEnded);
    connect(&mFiles, &cWindowFiles::openEnded, this, &frmResize::openEnded);
    connect(&mFiles, &cWindowFiles::previewShown, this,
            [this](const QImage& reduced, const QString& file) {
                imgView->setPreview(reduced);
                update();
                emit previewShown(file);
            });

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
    IImageWindowFace& face = *this;
    mMouse = std::make_unique<cPictureMouse>(face, mPlacement, mImageControl.get());
    RestoreTopMost();
    cmdGetOrgWidthHeight();
    mTouming = 100;
    mTicks.Rest();
    mFormShape = false;
    timerSystem->start();
    InstallShortcuts();
    // Qt has moved the windows off a screen that went away once this runs.
    connect(
        qApp, &QGuiApplication::screenRemoved, this, [this] { mPlacement.KeepOnAScreen(); },
        Qt::QueuedConnection);
}

void frmResize::InstallShortcuts() {
    for (const auto& [sequence, action] : cWindowKeys::Shortcuts()) {
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, [this, a = action] { RunKeyAction(a); });
    }
}

frmResize::~frmResize() = default;

// ---- the face the core classes see ----

double frmResize::Ratio() const {
    return DevicePlacement::Ratio(this);
}

void frmResize::PlaceExactly(const QRect& r) {
    // Qt is given the nearest logical rectangle on the screen the window goes to; the window
    // system then gets the exact one, which Qt's logical pixels cannot always say.
    const QScreen* target = ScreenUnits::ScreenAtDevice(r.center());
    mPlacing = true;
    setGeometry(ScreenUnits::ToLogical(r, target));
    mPlacing = false;
    NativeWindow::SetDeviceGeometry(this, r);
}

void frmResize::PictureChanged() {
    mMarksShown = QImage();
    imgView->setPicture(mModel.ScreenPicture());
    cmdGetOrgWidthHeight();
    mLooks.ShapeChanged();
}

void frmResize::cmdGetOrgWidthHeight() {
    const QImage& p = imgView->picture();
    mOrgHeight = p.isNull() ? 0 : p.height();
    mOrgWidth = p.isNull() ? 0 : p.width();
}

QSize frmResize::ShownSize() const {
    return DevicePlacement::Of(imgView).size();
}

QRect frmResize::CropRectPx() const {
    return DevicePlacement::Of(lblCrop);
}

void frmResize::HideCropRect() {
    lblCrop->HideRect();
}

bool frmResize::ShowTip(const QString& text) {
    QFont f = lblTip->font();
    f.setPointSize(WindowArithmetic::TipFontPoints(WidthTw(), HeightTw()));
    lblTip->setFont(f);
    lblTip->setText(text);
    lblTip->adjustSize();
    lblTip->show();
    lblTip->raise();
    mTicks.TipShown();
    return true;
}

void frmResize::HideTip() {
    lblTip->hide();
    mTicks.TipHidden();
}

void frmResize::ShowWait(bool on, bool overCrop) {
    for (QWidget* w : {static_cast<QWidget*>(imgView), static_cast<QWidget*>(lblCrop)}) {
        if (w != imgView && !overCrop) {
            continue;
        }
        if (on) {
            w->setCursor(Qt::BusyCursor);
        } else {
            w->unsetCursor();
        }
    }
}

bool frmResize::RestoreTopMost() {
    if (mdlOption::Options().AlwaysTop) {
        mdlAPI_Form::SetTopMost(this);
    }
    return true;
}

QString frmResize::AskFileName(bool save) {
    QString fileName;
    QString fileTitle;
    QString filter =
        save ? mdlOption::Options().SupportFileSave : mdlOption::Options().SupportFileOpen;
    qint32 filterIndex = 1;
    qint32 flags = 0;
    bool readOnly = false;
    // Both dialogs start beside the window's picture, where its neighbours and its copies are.
    const QString folder = mPicFile.isEmpty() ? QString() : QFileInfo(mPicFile).absolutePath();
    const bool chosen = save ? mdlCommonDialog::ShowSaveFileDialog(
                                   fileName, fileTitle, true, filter, filterIndex, folder,
                                   QString(), QStringLiteral("jpg"), this, flags)
                             : mdlCommonDialog::ShowOpenFileDialog(
                                   fileName, fileTitle, true, false, readOnly, false, filter,
                                   filterIndex, folder, QString(), QString(), this, flags);
    return chosen ? fileName : QString();
}

// ---- focus frame, timer ----

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
    const cWindowTicks::Due due = mTicks.Tick(IsBusy());
    if (due.hideTip) {
        lblTip->hide();
    }
    if (due.focusOff) {
        cmdSetFormFocusOFF();
    }
    lblCrop->Blink(secondOfMinute);
    if (shpFocus->isVisible()) {
        shpFocus->setBorderColor(secondOfMinute % 2 == 0 ? Qt::black : Qt::white);
    }
}

// ---- closing ----

void frmResize::closeEvent(QCloseEvent* event) {
    if (mFiles.Close()) {
        // A save or capture still runs: the window goes from the screen now and unloads when the
        // work has ended and been reported.
        event->ignore();
        hide();
        return;
    }
    QWidget::closeEvent(event);
    if (mUnloaded) {
        return;
    }
    timerSystem->stop();
    // The panel may still hold this window until it is deleted: its history empties, but stays.
    mModel.ClearHistory();
    mMouse->Detach();
    lblCrop->Detach();
    // This window still counts as loaded while the shell looks for others.
    if (auto closeMenus = WindowServices::ShellServices().closeMenusIfLastWindow) {
        closeMenus();
    }
    mUnloaded = true;
    emit unloaded();
}

// ---- place, layout and paint ----

void frmResize::Reconcile() {
    if (!mPlacing) {
        mPlacement.Reconcile(NativeWindow::DeviceGeometry(this), NativeWindow::Available(),
                             geometry());
    }
}

void frmResize::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!isMinimized()) {
        Reconcile();
        LayOut();  // also the first layout when the window first shows
        mMarksShown = QImage();
        PlaceAnnotationBar();
    }
}

void frmResize::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Reconcile();
    PlaceAnnotationBar();
}

void frmResize::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    mPlacement.Showing();  // a window manager may place it elsewhere once it is mapped
    // Showing places the native window from Qt's logical geometry, during this event and right
    // after it: the exact rectangle is given again once the show is done.
    NativeWindow::SetDeviceGeometry(this, DeviceGeometry());
    QMetaObject::invokeMethod(
        this, [this] { NativeWindow::SetDeviceGeometry(this, DeviceGeometry()); },
        Qt::QueuedConnection);
}

void frmResize::paintEvent(QPaintEvent* /*event*/) {
    // Painted in device pixels: the band, then the picture 1:1 where its control lies, so no
    // logical rounding can stretch, drop or double a row.
    QPainter p(this);
    p.setWorldTransform(p.deviceTransform().inverted());
    const QRect view = DevicePlacement::Of(imgView);
    const QImage& shown = imgView->paintedPicture();
    const QRegion band = QRegion(QRect(QPoint(), DeviceGeometry().size())) -
                         QRegion(shown.isNull() ? QRect() : QRect(view.topLeft(), shown.size()));
    for (const QRect& r : band) {
        p.fillRect(r, palette().window());
    }
    if (!shown.isNull() &&
        (imgView->hasPreview() || !PaintMarks(p, QRect(view.topLeft(), shown.size()), shown))) {
        p.drawImage(view.topLeft(), shown);
    }
}

void frmResize::LayOut() {
    mTicks.Active();
    mPlacement.Geometry().LaidOutAt(Ratio());
    const QRect view = mPlacement.PictureRect();
    DevicePlacement::Set(imgView, view);
    imgView->setDeviceSize(view.size());
    DevicePlacement::Set(shpFocus, view);
    DevicePlacement::Refresh(lblCrop);
    DevicePlacement::Refresh(shpCrop);
    update();
    cmdGetOrgWidthHeight();
    if (mHoldTip) {
        mHoldTip = false;
    } else {
        cmdShowSize();
    }
    mLooks.ShapeChanged();
}

// ---- colour key and opacity ----

void frmResize::ApplyColorKey(qint32 key) {
    // The first cut is of the picture alone: the tip and the frame come back over it at the next.
    const bool focusShown = shpFocus->isVisible();
    const bool tipShown = lblTip->isVisible();
    shpFocus->hide();
    lblTip->hide();
    mdlAPI_Form::SetColorKeyShape(this, key);
    shpFocus->setVisible(focusShown);
    lblTip->setVisible(tipShown);
}

cColorKeyRegion::Surface frmResize::Surface() const {
    cColorKeyRegion::Surface s;
    s.window = DeviceGeometry().size();
    s.picture = DevicePlacement::Of(imgView);
    s.band = WindowArithmetic::ColourRef(palette().color(QPalette::Window).rgb());
    // Controls over the picture show their own pixels: the tip whole, the outlines and the crop
    // label's frame as rings one logical pixel wide.
    if (lblTip->isVisible()) {
        s.whole.push_back(DevicePlacement::Of(lblTip));
    }
    for (const QWidget* control : {static_cast<QWidget*>(shpFocus), static_cast<QWidget*>(shpCrop),
                                   static_cast<QWidget*>(lblCrop)}) {
        if (control->isVisible()) {
            s.rings.push_back(DevicePlacement::Of(control));
        }
    }
    s.ring = static_cast<int>(std::ceil(Ratio()));
    return s;
}

QRegion frmResize::KeptRegion(qint32 colour) {
    return mKeyRegion.Kept(colour, imgView->shownPicture(), Surface());
}

qint32 frmResize::SampleColor(QPoint p) {
    return cColorKeyRegion::ColourAt(Surface(), imgView->shownPicture(), p);
}
