#include "window/WindowPin.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "base/GuardedWork.h"
#include "window/ClickThroughPoller.h"
#include "window/CropRectWidget.h"
#include "window/NativeWindow.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"
#include "window/mdlAPI_Form.h"

namespace {

constexpr int kDash = 4;  // device pixels of one colour before the other

// Paints len pixels of the dashed ring from (x, y) along (dx, dy); i counts the ring's pixels
// painted so far, so the dashes run on round the corners.
void PaintRun(QPainter& p, int x, int y, int dx, int dy, int len, int& i) {
    while (len > 0) {
        const int n = std::min(len, kDash - i % kDash);
        const QColor colour = (i / kDash) % 2 == 0 ? Qt::black : Qt::white;
        const QRect r = dx > 0   ? QRect(x, y, n, 1)
                        : dx < 0 ? QRect(x - n + 1, y, n, 1)
                        : dy > 0 ? QRect(x, y, 1, n)
                                 : QRect(x, y - n + 1, 1, n);
        p.fillRect(r, colour);
        x += dx * n;
        y += dy * n;
        i += n;
        len -= n;
    }
}

// The outline of a pinned window: over everything in it, never taking the mouse, painted in the
// window's device pixels along its outermost ring (clockwise from the top-left corner).
class PinOutline : public QWidget {
public:
    PinOutline(QWidget* parent, const frmResize* window) : QWidget(parent), mWindow(window) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QSize s = mWindow->DeviceGeometry().size();
        if (s.width() < 1 || s.height() < 1) {
            return;
        }
        QPainter p(this);
        // Lying at the window's corner, this control's device pixels are the window's.
        p.setWorldTransform(p.deviceTransform().inverted());
        const int w = s.width();
        const int h = s.height();
        int i = 0;
        PaintRun(p, 0, 0, 1, 0, w, i);
        PaintRun(p, w - 1, 1, 0, 1, h - 1, i);
        if (h > 1) {
            PaintRun(p, w - 2, h - 1, -1, 0, w - 1, i);
        }
        if (w > 1) {
            PaintRun(p, 0, h - 2, 0, -1, h - 2, i);
        }
    }

private:
    const frmResize* mWindow;
};

}  // namespace

WindowPin::WindowPin(frmResize* window)
    : QObject(window), mWindow(window), mOutline(new PinOutline(window, window)) {
    // Installed after the window's own filters, so this one sees the events first.
    for (QObject* watched : {static_cast<QObject*>(window), static_cast<QObject*>(window->imgView),
                             static_cast<QObject*>(window->lblCrop)}) {
        watched->installEventFilter(this);
    }
}

WindowPin::~WindowPin() {
    ClickThroughPoller::Instance().Unwatch(this);
}

void WindowPin::Pin() {
    if (mState.Pin()) {
        Apply();
    }
}

void WindowPin::Poll(Qt::KeyboardModifiers keys, QPointF pointer) {
    const QPoint at(static_cast<int>(std::floor(pointer.x())),
                    static_cast<int>(std::floor(pointer.y())));
    const bool over = mWindow->isVisible() && mWindow->DeviceGeometry().contains(at);
    if (mState.Poll(keys, over)) {
        Apply();
    }
}

void WindowPin::Apply() {
    const bool through = mState.PassesInput();
    if (through != mInputThrough) {
        mInputThrough = through;
        // Where the window system cannot cut the input shape, Qt's flag says the same.
        if (!NativeWindow::SetInputThrough(mWindow, through)) {
            mdlAPI_Form::SetWindowFlag(mWindow, Qt::WindowTransparentForInput, through);
        }
    }
    // Not even a click in the held state may take the keyboard: that click ends the pin and does
    // nothing else.
    mdlAPI_Form::SetWindowFlag(mWindow, Qt::WindowDoesNotAcceptFocus, !mState.TakesFocus());
    if (through && mWindow->isActiveWindow()) {
        NativeWindow::ReleaseKeyboardFocus(mWindow);  // keys go to what is under the pointer
    }
    if (mState.ShowsOutline()) {
        mOutline->setGeometry(mWindow->rect());
        mOutline->show();
        mOutline->raise();
    } else {
        mOutline->hide();
    }
    auto& poller = ClickThroughPoller::Instance();
    if (mState.NeedsPolling()) {
        poller.Watch(this, [this](Qt::KeyboardModifiers keys, QPointF pointer) {
            // A poll that fails leaves the pin as it was.
            GuardedWork::Run("pin poll", [&] { Poll(keys, pointer); });
        });
    } else {
        poller.Unwatch(this);
    }
}

bool WindowPin::TakeMouse(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const bool wasOff = mState.state() == cClickThrough::State::Off;
            const bool taken = mState.Press(static_cast<QMouseEvent*>(event)->button());
            if (!wasOff && mState.state() == cClickThrough::State::Off) {
                Apply();
            }
            return taken;
        }
        case QEvent::MouseMove:
            return mState.Move() || mState.PassesInput();
        case QEvent::MouseButtonRelease:
            return mState.Release(static_cast<QMouseEvent*>(event)->buttons());
        case QEvent::Wheel:
            return mState.PassesInput();
        default:
            return false;
    }
}

bool WindowPin::eventFilter(QObject* watched, QEvent* event) {
    bool taken = false;
    // An event the pin fails to judge goes on to the window as if there were no pin.
    GuardedWork::Run("pin event", [&] {
        if (watched == mWindow) {
            const QEvent::Type t = event->type();
            if (t == QEvent::Resize && mOutline->isVisible()) {
                mOutline->setGeometry(mWindow->rect());
            }
            if (!mState.TakesFocus() && (t == QEvent::KeyPress || t == QEvent::KeyRelease ||
                                         t == QEvent::ShortcutOverride)) {
                event->accept();  // taken here, so that no shortcut acts on it either
                taken = true;
                return;
            }
        }
        taken = TakeMouse(event);
    });
    return taken;
}
