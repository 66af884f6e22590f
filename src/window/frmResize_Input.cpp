// The image window's mouse, wheel, keyboard and drops.

#include "window/frmResize.h"

#include "base/GuardedWork.h"
#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "base/TextUtil.h"
#include "dialogs/ProgramInfo.h"
#include "dialogs/mdlKestrin_Version.h"
#include "window/CropRectWidget.h"
#include "window/DevicePlacement.h"
#include "window/NativeWindow.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/WindowArithmetic.h"
#include "window/WindowPin.h"
#include "window/WindowServices.h"
#include "window/frmRegionSelect.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>
#include <functional>
#include <optional>
#include <utility>

namespace {

using Command = cWindowJobs::Command;

}  // namespace

// ---- mouse ----

void frmResize::ShowCropRect(const QRect& r) {
    // Picture-relative values used as window coordinates, as the crop commands read them back.
    lblCrop->ShowRect(r);
    // the tip and the focus frame are drawn over the rectangle
    shpFocus->raise();
    lblTip->raise();
    const QSize size = CropRectPx().size();
    ShowTip(TextUtil::SizeText(size.width(), size.height()));
}

bool frmResize::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched != imgView &&
        (t == QEvent::Show || t == QEvent::Hide || t == QEvent::Move || t == QEvent::Resize)) {
        mLooks.ShapeChanged();  // a control over the picture appeared, went or moved
    }
    if (t == QEvent::Wheel) {
        // Taken wherever over the window it turns: the picture, the crop label, the band.
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    if (t != QEvent::MouseButtonPress && t != QEvent::MouseMove &&
        t != QEvent::MouseButtonRelease) {
        return QWidget::eventFilter(watched, event);
    }
    if (!mFiles.Jobs().Permits(Command::Mouse)) {
        return true;  // no drags or crop rectangles while a save or capture runs
    }
    if (watched == imgView && !AnnotationMouse(static_cast<QMouseEvent*>(event))) {
        PictureMouse(static_cast<QMouseEvent*>(event));
    }
    return false;
}

void frmResize::PictureMouse(QMouseEvent* e) {
    using Kind = cPictureMouse::Kind;
    const QEvent::Type t = e->type();
    const Kind kind = t == QEvent::MouseButtonPress ? Kind::Press
                      : t == QEvent::MouseMove      ? Kind::Move
                                                    : Kind::Release;
    const QRect view = DevicePlacement::Of(imgView);
    std::optional<QPointF> exact;
    if (kind == Kind::Move && e->buttons() != Qt::NoButton) {
        if (const std::optional<QPoint> pointer = NativeWindow::PointerDevicePosition()) {
            exact = QPointF(*pointer - DeviceGeometry().topLeft() - view.topLeft());
        }
    }
    mMouse->Handle(kind, e->button(), e->buttons(), e->modifiers(),
                   DevicePlacement::EventPoint(imgView, e), exact, view.size());
}

void frmResize::PointerOver(QPointF p) {
    mNowPointColor = SampleColor(p.toPoint() + DevicePlacement::Of(imgView).topLeft());
    mTicks.Active();
}

void frmResize::OpenMenu() {
    const auto& open = WindowServices::WindowOpeners();
    if (const auto& opener = lblCrop->isVisible() ? open.cropMenu : open.commandPanel) {
        opener(this);
    }
}

// The picture's control may end a fraction of a logical pixel short of its last device pixels
// (Qt rounds the window's logical size from the device size it has): presses there reach the
// window itself and are handed to the picture, as is the drag that follows.
void frmResize::mousePressEvent(QMouseEvent* event) {
    // Only presses on the window itself: one a control passed up was handled there already.
    const QPointF at = DevicePlacement::EventPoint(imgView, event);
    mFramePress = mFiles.Jobs().Permits(Command::Mouse) &&
                  childAt(event->position().toPoint()) == nullptr &&
                  QRectF(QPointF(), QSizeF(ShownSize())).contains(at);
    if (mFramePress && !AnnotationMouse(event)) {
        PictureMouse(event);
    }
}

void frmResize::mouseMoveEvent(QMouseEvent* event) {
    if (mFramePress && mFiles.Jobs().Permits(Command::Mouse) && !AnnotationMouse(event)) {
        PictureMouse(event);
    }
}

void frmResize::mouseReleaseEvent(QMouseEvent* event) {
    if (std::exchange(mFramePress, false) && mFiles.Jobs().Permits(Command::Mouse) &&
        !AnnotationMouse(event)) {
        PictureMouse(event);
    }
}

// ---- wheel ----

void frmResize::wheelEvent(QWheelEvent* event) {
    event->accept();  // taken here: nothing behind the window scrolls instead
    if (mWheel.Add(event->angleDelta().y(), event->modifiers(), event->buttons(),
                   mFiles.Jobs().Permits(Command::Wheel) && !mUnloaded,
                   ScreenUnits::ToDevice(event->globalPosition(), screen()))) {
        QMetaObject::invokeMethod(this, &frmResize::ApplyWheel, Qt::QueuedConnection);
    }
}

void frmResize::ApplyWheel() {
    const cWheelGesture::Notches n = mWheel.Take();
    if (!mFiles.Jobs().Permits(Command::Wheel) || mUnloaded) {
        return;
    }
    // A wheel step that fails leaves the window as it was.
    GuardedWork::Run("wheel step", [&] {
        if (n.opacity != 0) {
            mLooks.WheelOpacity(n.opacity);
        }
        if (n.zoom != 0) {
            mPlacement.WheelZoom(mWheel, n.zoom, n.pointer, mMouse->MinOuterPixels());
        }
    });
}

// ---- keyboard ----

bool frmResize::MoveByArrowKey(int key, Qt::KeyboardModifiers modifiers) {
    const std::optional<WindowArithmetic::Arrow> arrow = cWindowKeys::ArrowOf(key);
    if (!arrow) {
        return false;
    }
    const int step = cWindowKeys::ArrowStep(modifiers);
    if (lblCrop->isVisible()) {
        lblCrop->MoveByArrow(*arrow, step, mFormBorder, DeviceGeometry().size());
    } else {
        mPlacement.MoveByArrow(*arrow, step);
    }
    return true;
}

void frmResize::keyPressEvent(QKeyEvent* event) {
    if (AnnotationKeyPress(event)) {
        return;  // typed into a text, or a tool chosen
    }
    mKeys.Pressed(event->key(), event->modifiers(), event->isAutoRepeat());
    if (!MoveByArrowKey(event->key(), event->modifiers())) {
        QWidget::keyPressEvent(event);
    }
}

void frmResize::keyReleaseEvent(QKeyEvent* event) {
    if (AnnotationKeyRelease(event)) {
        return;
    }
    const auto action = mKeys.Released(event->key(), event->modifiers(), event->isAutoRepeat());
    if (action == cWindowKeys::Action::PassOn) {
        QWidget::keyReleaseEvent(event);
    } else {
        RunKeyAction(action);
    }
}

void frmResize::RunKeyAction(cWindowKeys::Action action) {
    using Action = cWindowKeys::Action;
    const std::pair<Action, std::function<void()>> commands[] = {
        {Action::Close, [this] { close(); }},
        {Action::CommandPanel,
         [this] {
             if (const auto& open = WindowServices::WindowOpeners().commandPanel) {
                 open(this);
             }
         }},
        {Action::NewWindow,
         [this] {
             // A little below and right of this window, as the panel's 新建 places it.
             if (const auto& open = WindowServices::ShellServices().openPictureWindow) {
                 open(QString(), Rounding::Round32(LeftTw() + 100),
                      Rounding::Round32(TopTw() + 100));
             }
         }},
        {Action::Open, [this] { cmdOpenPicture(); }},
        {Action::QuickSave, [this] { cmdQuickSave(); }},
        {Action::SaveAs, [this] { cmdSaveAs(); }},
        {Action::Capture, [this] { cmdLoadPictureFromScreen(); }},
        {Action::Select, [this] { frmRegionSelect::From(this); }},
        {Action::Pin, [this] { cmdSetClickThrough(); }},
        {Action::Annotate, [this] { cmdAnnotate(); }},
        {Action::VersionInfo,
         [this] {
             SuspendTopMost();  // the box must not open under this window
             mdlKestrin_Version::ShowVersionInfo(this);
             RestoreTopMost();
         }},
        {Action::Copy, [this] { cmdCopy(); }},
        {Action::Paste, [this] { cmdPaste(); }},
        {Action::Undo, [this] { cmdUndo(); }},
        {Action::Redo, [this] { cmdRedo(); }},
        {Action::Help, [] { ProgramInfo::OpenHelp(); }},
    };
    for (const auto& [a, run] : commands) {
        if (a == action) {
            // A command that fails leaves the window as it was.
            GuardedWork::Run("key command", run);
        }
    }
}

void frmResize::cmdSetClickThrough() {
    if (mPin == nullptr) {
        mPin = new WindowPin(this);
    }
    mPin->Pin();
}

// ---- drops ----

void frmResize::OnFilesDropped(const QStringList& paths) {
    if (!mFiles.Jobs().Permits(Command::Drop) || paths.isEmpty()) {
        return;
    }
    // A drop that fails changes nothing.
    GuardedWork::Run("drop", [&] {
        if (paths.size() == 1 && !QFileInfo(paths.first()).isDir()) {
            LoadFromFile(paths.first());
        } else if (auto open = WindowServices::WindowOpeners().browser) {
            open(paths, this);
        }
    });
}
