#include "window/frmResize.h"

#include "base/InputMasks.h"
#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/mdlKestrin_Version.h"
#include "image/mdlPhotoShop.h"
#include "settings/mdlOption.h"
#include "window/ClassLumora.h"
#include "window/CropRectWidget.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/PixelControlAdapter.h"
#include "window/WindowArithmetic.h"
#include "window/WindowServices.h"
#include "window/mdlAPI_Form.h"

#include <QBitmap>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTime>
#include <QTimer>

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
    resize(kDesignClient, kDesignClient);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    Layout();

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
}

frmResize::~frmResize() = default;

// ---- geometry in twips ----

double frmResize::TwipsPerPixelX() const {
    return ScreenUnits::TwipsPerPixelX();
}
double frmResize::TwipsPerPixelY() const {
    return ScreenUnits::TwipsPerPixelY();
}
double frmResize::LeftTw() const {
    return x() * TwipsPerPixelX();
}
double frmResize::TopTw() const {
    return y() * TwipsPerPixelY();
}
double frmResize::WidthTw() const {
    return width() * TwipsPerPixelX();
}
double frmResize::HeightTw() const {
    return height() * TwipsPerPixelY();
}

void frmResize::SetGeometryTw(qint32 left, qint32 top, qint32 width, qint32 height) {
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    // Both edges are rounded, so an edge that a drag does not move never shifts by a pixel.
    const qint32 x = Round32(left / tx);
    const qint32 y = Round32(top / ty);
    const qint32 right = Round32((static_cast<double>(left) + width) / tx);
    const qint32 bottom = Round32((static_cast<double>(top) + height) / ty);
    setGeometry(x, y, std::max(1, right - x), std::max(1, bottom - y));
}

void frmResize::MoveTw(double left, double top) {
    move(Round32(left / TwipsPerPixelX()), Round32(top / TwipsPerPixelY()));
}

// ---- layout, picture and size ----

void frmResize::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!isMinimized()) {
        Layout();
    }
}

void frmResize::Layout() {
    mIdleTicks = 1;
    const int b = mFormBorder;
    imgView->setGeometry(b, b, std::max(0, width() - 2 * b), std::max(0, height() - 2 * b));
    shpFocus->setGeometry(b, b, imgView->width(), imgView->height());
    cmdGetOrgWidthHeight();
    cmdShowSize();
    ShapeChanged();
}

QImage frmResize::Picture() const {
    return mModel.Picture();
}

void frmResize::PictureChanged() {
    imgView->setPicture(mModel.Picture());
    cmdGetOrgWidthHeight();
    ShapeChanged();
}

void frmResize::ShapeChanged() {
    if (!mFormShape || mShapeRefreshPending) {
        return;
    }
    mShapeRefreshPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            mShapeRefreshPending = false;
            if (mFormShape) {
                mdlAPI_Form::RefreshColorKey(this);
            }
        },
        Qt::QueuedConnection);
}

QRegion frmResize::KeptRegion(qint32 colour) {
    QRegion kept;
    if (WindowArithmetic::ColourRef(palette().color(QPalette::Window).rgb()) != colour) {
        kept = QRegion(rect()) - QRegion(imgView->geometry());
    }
    const QImage& shown = imgView->shownPicture();
    if (!shown.isNull()) {
        if (shown.cacheKey() != mKeptPictureImage || colour != mKeptPictureKey) {
            mKeptPicture = QRegion(QBitmap::fromImage(
                shown.createMaskFromColor(WindowArithmetic::RgbOf(colour), Qt::MaskInColor)));
            mKeptPictureImage = shown.cacheKey();
            mKeptPictureKey = colour;
        }
        kept += mKeptPicture.translated(imgView->pos());
    }
    // Controls over the picture show their own pixels: the tip whole, the outlines and the crop
    // label's frame as one-pixel rings.
    if (lblTip->isVisible()) {
        kept += lblTip->geometry();
    }
    for (QWidget* ring : {static_cast<QWidget*>(shpFocus), static_cast<QWidget*>(shpCrop),
                          static_cast<QWidget*>(lblCrop)}) {
        if (ring->isVisible()) {
            const QRect g = ring->geometry();
            kept += QRegion(g) - QRegion(g.adjusted(1, 1, -1, -1));
        }
    }
    return kept;
}

void frmResize::cmdGetOrgWidthHeight() {
    const QImage& p = imgView->picture();
    mOrgHeight = p.isNull() ? 0 : p.height();
    mOrgWidth = p.isNull() ? 0 : p.width();
}

void frmResize::cmdShowSize() {
    ShowTip(QStringLiteral("%1 * %2").arg(imgView->width()).arg(imgView->height()));
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
    if (!mModel.Load(fileName)) {
        return false;
    }
    PictureChanged();
    if (mdlOption::Options().ResizeWhenOpen) {
        ApplyViewSize(mOrgWidth, mOrgHeight);
    }
    return true;
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
        w, h, mFormBorder, tx, ty, static_cast<float>(ScreenUnits::ScreenWidthTwips()),
        static_cast<float>(ScreenUnits::ScreenHeightTwips()));
    SetGeometryTw(Round32(LeftTw()), Round32(TopTw()), Round32(fit.widthTwips),
                  Round32(fit.heightTwips));
    if (fit.shrunk) {
        ShowTip(QStringLiteral("图片尺寸过大，已经被自动调整！"));
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
    shpFocus->setGeometry(mFormBorder, mFormBorder, imgView->width(), imgView->height());
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

// ---- appearance ----

void frmResize::cmdSetFormHaveBorder() {
    if (mFormBorder > 0) {
        return;
    }
    mFormBorder = 4;
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    SetGeometryTw(Round32(LeftTw() - 4 * tx), Round32(TopTw() - 4 * ty),
                  Round32(WidthTw() + 8 * tx), Round32(HeightTw() + 8 * ty));
    Layout();
}

void frmResize::cmdSetFormNoBorder() {
    if (mFormBorder == 0) {
        return;
    }
    const qint32 b = mFormBorder;
    mFormBorder = 0;
    const double tx = TwipsPerPixelX();
    const double ty = TwipsPerPixelY();
    SetGeometryTw(Round32(LeftTw() + b * tx), Round32(TopTw() + b * ty),
                  Round32(WidthTw() - 2 * b * tx), Round32(HeightTw() - 2 * b * ty));
    Layout();
}

void frmResize::cmdSetFormShape() {
    const bool focusShown = shpFocus->isVisible();
    const bool tipShown = lblTip->isVisible();
    shpFocus->hide();
    lblTip->hide();
    const qint32 key = SampleColor(QPoint(mFormBorder + 1, mFormBorder + 1));
    mdlAPI_Form::SetColorKeyShape(this, key);
    shpFocus->setVisible(focusShown);
    lblTip->setVisible(tipShown);
    mTouming = 100;
    mFormShape = true;
    ShapeChanged();  // the tip and the frame are back over the picture
}

void frmResize::cmdResetFormShape() {
    mdlAPI_Form::ClearLayered(this);
    mTouming = 100;
    mFormShape = false;
}

void frmResize::cmdSetTouming() {
    mdlAPI_Form::SetOpacity(this, WindowArithmetic::AlphaFromPercent(mTouming), false);
    mFormShape = false;
}

void frmResize::cmdAutoPosition() {
    const QPointF p = WindowArithmetic::AutoPosition({LeftTw(), TopTw(), WidthTw(), HeightTw()},
                                                     ScreenUnits::ScreenWidthTwips(),
                                                     ScreenUnits::ScreenHeightTwips());
    MoveTw(p.x(), p.y());
}

// ---- mouse ----

qint32 frmResize::SampleColor(QPoint p) {
    if (!rect().contains(p)) {
        return -1;
    }
    const QPoint inView = p - imgView->pos();
    const QImage& shown = imgView->shownPicture();
    if (!shown.isNull() && shown.rect().contains(inView)) {
        return WindowArithmetic::ColourRef(shown.pixel(inView));
    }
    return WindowArithmetic::ColourRef(palette().color(QPalette::Window).rgb());
}

void frmResize::PictureMouseDown(QMouseEvent* e) {
    lblCrop->HideRect();
    const QPoint px = e->position().toPoint();
    mNowPointColor = SampleColor(px + imgView->pos());
    mIdleTicks = 1;
    if (e->button() == Qt::LeftButton) {
        cmdSetFormFocusON();
    } else if (e->button() == Qt::RightButton) {
        mRightDownX = Round32(e->position().x());
        mRightDownY = Round32(e->position().y());
    }
}

void frmResize::PictureMouseMove(QMouseEvent* e) {
    mNowPointColor = SampleColor(e->position().toPoint() + imgView->pos());
    mIdleTicks = 1;
    if (e->buttons() != Qt::RightButton) {
        return;
    }
    const auto r = WindowArithmetic::CropFromDrag(
        {mRightDownX, mRightDownY}, Round32(e->position().x()), Round32(e->position().y()),
        imgView->width(), imgView->height());
    if (r) {
        ShowCropRect(*r);
    }
}

void frmResize::ShowCropRect(const QRect& r) {
    // Picture-relative values used as window coordinates, as the crop commands read them back.
    lblCrop->ShowRect(r);
    // the tip and the focus frame are drawn over the rectangle
    shpFocus->raise();
    lblTip->raise();
    ShowTip(QStringLiteral("%1 * %2").arg(lblCrop->width()).arg(lblCrop->height()));
}

void frmResize::PictureMouseUp(QMouseEvent* e) {
    if (e->button() != Qt::RightButton) {
        return;
    }
    const auto& open = WindowServices::WindowOpeners();
    const auto& opener = lblCrop->isVisible() ? open.cropMenu : open.commandPanel;
    if (opener) {
        opener(this);
    }
}

bool frmResize::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched != imgView &&
        (t == QEvent::Show || t == QEvent::Hide || t == QEvent::Move || t == QEvent::Resize)) {
        ShapeChanged();  // a control over the picture appeared, went or moved
    }
    if (t != QEvent::MouseButtonPress && t != QEvent::MouseMove &&
        t != QEvent::MouseButtonRelease) {
        return QWidget::eventFilter(watched, event);
    }
    if (mBusy) {
        return true;  // no drags or crop rectangles while a save or capture runs
    }
    if (watched != imgView) {
        return false;
    }
    auto* e = static_cast<QMouseEvent*>(event);
    // Positions reach the controllers in twips, relative to the control.
    const auto x = static_cast<float>(e->position().x() * TwipsPerPixelX());
    const auto y = static_cast<float>(e->position().y() * TwipsPerPixelY());
    const qint16 shift = InputMasks::ShiftMask(e->modifiers());
    try {
        if (t == QEvent::MouseButtonPress) {
            PictureMouseDown(e);
            if (mResizer) {
                mResizer->MouseDown(InputMasks::ButtonMask(e->button()), shift, x, y);
            }
        } else if (t == QEvent::MouseMove) {
            PictureMouseMove(e);
            if (mResizer) {
                mResizer->MouseMove(InputMasks::ButtonMask(e->buttons()), shift, x, y);
            }
        } else {
            PictureMouseUp(e);
        }
    } catch (const std::exception& ex) {
        qWarning("Lumora: mouse handling failed: %s", ex.what());
    } catch (...) {
        qWarning("Lumora: mouse handling failed");
    }
    return false;
}

// ---- keyboard ----

bool frmResize::MoveByArrowKey(int key, Qt::KeyboardModifiers modifiers) {
    WindowArithmetic::Arrow arrow;
    switch (key) {
        case Qt::Key_Left:
            arrow = WindowArithmetic::Arrow::Left;
            break;
        case Qt::Key_Up:
            arrow = WindowArithmetic::Arrow::Up;
            break;
        case Qt::Key_Right:
            arrow = WindowArithmetic::Arrow::Right;
            break;
        case Qt::Key_Down:
            arrow = WindowArithmetic::Arrow::Down;
            break;
        default:
            return false;
    }
    const int step = (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier ? 10 : 1;
    if (lblCrop->isVisible()) {
        lblCrop->MoveByArrow(arrow, step, mFormBorder);
        return true;
    }
    const QPointF p = WindowArithmetic::MoveWindowByArrow(
        {LeftTw(), TopTw(), WidthTw(), HeightTw()}, arrow, step, TwipsPerPixelX(), TwipsPerPixelY(),
        ScreenUnits::ScreenWidthTwips(), ScreenUnits::ScreenHeightTwips());
    MoveTw(p.x(), p.y());
    return true;
}

void frmResize::keyPressEvent(QKeyEvent* event) {
    // A letter command acts on the release of a press that came without Ctrl, Alt or Meta: a
    // person often lets Ctrl go before the letter, and Ctrl+C must never capture the screen. A
    // press that a shortcut took never arrives here.
    const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    mPlainPressKey = (event->modifiers() & chords) ? 0 : event->key();
    if (!MoveByArrowKey(event->key(), event->modifiers())) {
        QWidget::keyPressEvent(event);
    }
}

void frmResize::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) {
        return;
    }
    const bool plain = mPlainPressKey == event->key();
    mPlainPressKey = 0;
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Delete:
            close();
            break;
        case Qt::Key_Menu:
            if (auto open = WindowServices::WindowOpeners().commandPanel) {
                open(this);
            }
            break;
        case Qt::Key_N:
            if (auto open = WindowServices::ShellServices().openPictureWindow) {
                open(QString(), 0, 0);
            }
            break;
        case Qt::Key_O:
        case Qt::Key_S:
        case Qt::Key_A:
        case Qt::Key_C:
            if (plain) {
                RunLetterCommand(event->key());
            }
            break;
        case Qt::Key_F12:
            if ((event->modifiers() & all) == all) {
                ShowMessage(mdlKestrin_Version::GetVersionText(), ModalSeam::Information,
                            mdlKestrin_Version::VersionBoxTitle());
            }
            break;
        default:
            QWidget::keyReleaseEvent(event);
    }
}

void frmResize::RunLetterCommand(int key) {
    try {
        switch (key) {
            case Qt::Key_O:
                cmdOpenPicture();
                break;
            case Qt::Key_S:
                cmdQuickSave();
                break;
            case Qt::Key_A:
                cmdSaveAs();
                break;
            case Qt::Key_C:
                cmdLoadPictureFromScreen();
                break;
            default:
                break;
        }
    } catch (...) {
        // a command that fails leaves the window as it was
    }
}

// ---- drops, timer, unload ----

void frmResize::OnFilesDropped(const QStringList& paths) {
    if (mBusy) {
        return;
    }
    try {
        if (paths.isEmpty()) {
            return;
        }
        if (paths.size() == 1 && !QFileInfo(paths.first()).isDir()) {
            LoadFromFile(paths.first());
        } else if (auto open = WindowServices::WindowOpeners().browser) {
            open(paths, this);
        }
    } catch (...) {
        // a drop that fails changes nothing
    }
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
        hide();
        return;
    }
    QWidget::closeEvent(event);
    if (mUnloaded) {
        return;
    }
    timerSystem->stop();
    // The panel may still hold this window until it is deleted: its history empties, but stays.
    mModel.History().ClearBackup();
    mResizer.reset();
    lblCrop->Detach();
    // This window still counts as loaded while the shell looks for others.
    if (auto closeMenus = WindowServices::ShellServices().closeMenusIfLastWindow) {
        closeMenus();
    }
    mUnloaded = true;
}
