#include "window/frmRegionSelect.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <utility>

#include "base/ScreenUnits.h"
#include "image/mdlPhotoShop.h"
#include "window/NativeWindow.h"
#include "window/frmResize.h"

namespace {
constexpr int kMagnifierSide = 15;  // pixels around the pointer
constexpr int kMagnifierZoom = 8;
constexpr int kHideDelayMs = 150;  // the screen repaints without the hidden window meanwhile
const QColor kDim(0, 0, 0, 110);
const QColor kLine(0, 174, 255);
}  // namespace

// One screen's overlay: paints its part of the frozen desktop in device pixels and hands the
// pointer and the keys to the selection, in desktop device pixels.
class RegionOverlay : public QWidget {
public:
    RegionOverlay(frmRegionSelect* owner, int index)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::BypassWindowManagerHint),
          mOwner(owner),
          mIndex(index) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setCursor(Qt::CrossCursor);
    }

private:
    const frmRegionSelect::Frozen& Mine() const { return mOwner->mScreens.at(mIndex); }
    double Ratio() const { return devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0; }
    QPoint DesktopPoint(const QMouseEvent* e) const {
        const QPointF local = e->position() * Ratio();
        return Mine().device.topLeft() + QPoint(static_cast<int>(std::floor(local.x())),
                                                static_cast<int>(std::floor(local.y())));
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            mOwner->Pressed(DesktopPoint(e));
        } else if (e->button() == Qt::RightButton) {
            mOwner->End(false);
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override { mOwner->Moved(DesktopPoint(e)); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            mOwner->Released(DesktopPoint(e));
        }
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            mOwner->Pin();
        }
    }
    void keyPressEvent(QKeyEvent* e) override { mOwner->KeyPressed(e->key(), e->modifiers()); }

    void paintEvent(QPaintEvent*) override;

    frmRegionSelect* mOwner;
    int mIndex;
    bool mGrabbed = false;
};

void RegionOverlay::paintEvent(QPaintEvent*) {
    if (!mGrabbed && mIndex == 0) {
        // Shown and viewable now: the keys come here wherever the window manager puts the focus.
        mGrabbed = true;
        grabKeyboard();
    }
    const frmRegionSelect::Frozen& me = Mine();
    QPainter p(this);
    p.scale(1.0 / Ratio(), 1.0 / Ratio());  // device pixels from here on
    p.drawImage(0, 0, me.picture);
    const QPoint origin = me.device.topLeft();
    const QRect target = mOwner->Target();
    const QRect lit = target.translated(-origin).intersected(QRect(QPoint(0, 0), me.device.size()));
    QRegion dim(QRect(QPoint(0, 0), me.device.size()));
    dim -= QRegion(lit);
    p.setClipRegion(dim);
    p.fillRect(QRect(QPoint(0, 0), me.device.size()), kDim);
    p.setClipping(false);
    if (!lit.isEmpty()) {
        p.setPen(QPen(kLine, mOwner->mSelection.HasSelection() ? 1 : 3));
        p.setBrush(Qt::NoBrush);
        p.drawRect(lit.adjusted(0, 0, -1, -1));
    }
    QFont font = p.font();
    font.setPixelSize(14);
    p.setFont(font);
    const auto label = [&p](QPoint at, const QString& text) {
        const QRect box = p.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
        const QRect placed(at, box.size());
        p.fillRect(placed, QColor(0, 0, 0, 200));
        p.setPen(Qt::white);
        p.drawText(placed, Qt::AlignCenter, text);
        return placed;
    };
    if (mOwner->mSelection.HasSelection() && !lit.isEmpty()) {
        const QString size = QStringLiteral("%1 × %2").arg(target.width()).arg(target.height());
        const int h = p.fontMetrics().height() + 6;
        label(QPoint(lit.left(), lit.top() >= h ? lit.top() - h : lit.top() + 2), size);
    }
    // The magnifier, beside the pointer, on the screen that holds it.
    const QPoint at = mOwner->mPointer - origin;
    if (!me.device.contains(mOwner->mPointer)) {
        return;
    }
    const QRect source = mOwner->mSelection.MagnifierSource(mOwner->mPointer, kMagnifierSide);
    const int side = kMagnifierSide * kMagnifierZoom;
    QPoint corner = at + QPoint(24, 24);
    if (corner.x() + side > me.device.width()) {
        corner.setX(at.x() - 24 - side);
    }
    if (corner.y() + side + 28 > me.device.height()) {
        corner.setY(at.y() - 24 - side - 28);
    }
    const QRect view(corner, QSize(side, side));
    p.fillRect(view, Qt::black);
    if (!source.isEmpty()) {
        // The square keeps the pointer's pixel in its middle even where it is cut at an edge.
        const QPoint centre = mOwner->mPointer - QPoint(kMagnifierSide / 2, kMagnifierSide / 2);
        const QRect drawn((source.topLeft() - centre) * kMagnifierZoom + corner,
                          source.size() * kMagnifierZoom);
        p.drawImage(drawn, me.picture.copy(source.translated(-origin)));
    }
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(view.adjusted(0, 0, -1, -1));
    const int mid = (kMagnifierSide / 2) * kMagnifierZoom;
    p.setPen(QPen(kLine, 1));
    p.drawRect(QRect(corner + QPoint(mid, mid), QSize(kMagnifierZoom, kMagnifierZoom)));
    label(view.bottomLeft() + QPoint(0, 2),
          cRegionSelection::ColourText(mOwner->ColourAt(mOwner->mPointer)));
}

frmRegionSelect::frmRegionSelect(QObject* parent) : QObject(parent) {}

frmRegionSelect::~frmRegionSelect() {
    for (Frozen& f : mScreens) {
        delete f.overlay;
    }
}

bool frmRegionSelect::Start() {
    std::vector<QRect> devices;
    for (QScreen* s : QGuiApplication::screens()) {
        QImage picture;
        try {
            picture = mdlPhotoShop::CaptureScreen(s);
        } catch (...) {
            picture = QImage();  // a screen that gives nothing is left out
        }
        const QRect device = ScreenUnits::DeviceGeometry(s);
        if (picture.isNull() || device.isEmpty()) {
            continue;
        }
        if (picture.size() != device.size()) {
            picture = mdlPhotoShop::ScalePicture(picture, device.width(), device.height());
        }
        picture.setDevicePixelRatio(1.0);
        mScreens.push_back({s, device, picture, nullptr});
        devices.push_back(device);
    }
    if (mScreens.empty()) {
        return false;
    }
    mSelection = cRegionSelection(devices);
    // Before the overlays map: they would hide every other window.
    mSelection.SetWindows(NativeWindow::TopLevelWindowsTopFirst());
    mPointer = NativeWindow::PointerDevicePosition().value_or(mScreens.front().device.center());
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &frmRegionSelect::ScreenGone);
    for (size_t i = 0; i < mScreens.size(); ++i) {
        auto* overlay = new RegionOverlay(this, static_cast<int>(i));
        mScreens[i].overlay = overlay;
        overlay->setGeometry(mScreens[i].screen->geometry());
        overlay->winId();
        NativeWindow::SetDeviceGeometry(overlay, mScreens[i].device);
        overlay->show();
        overlay->activateWindow();
    }
    return true;
}

void frmRegionSelect::From(QWidget* window) {
    QPointer<QWidget> w(window);
    w->hide();
    QTimer::singleShot(kHideDelayMs, w, [w] {
        auto* selection = new frmRegionSelect(w);
        const auto back = [w] {
            w->show();
            w->activateWindow();
        };
        connect(selection, &frmRegionSelect::ended, w, back);
        if (!selection->Start()) {
            delete selection;
            back();
        }
    });
}

QRect frmRegionSelect::Target() const {
    if (mSelection.HasSelection()) {
        return mSelection.Selection();
    }
    return mSelection.WindowAt(mPointer).value_or(QRect());
}

QImage frmRegionSelect::PictureOf(const QRect& r) const {
    for (const Frozen& f : mScreens) {
        if (f.device.contains(r)) {
            return f.picture.copy(r.translated(-f.device.topLeft()));
        }
    }
    return QImage();
}

QRgb frmRegionSelect::ColourAt(QPoint p) const {
    for (const Frozen& f : mScreens) {
        if (f.device.contains(p)) {
            return f.picture.pixel(p - f.device.topLeft());
        }
    }
    return 0;
}

void frmRegionSelect::Pressed(QPoint p) {
    mPointer = p;
    mSelection.Press(p);
    Repaint();
}

void frmRegionSelect::Moved(QPoint p) {
    mPointer = p;
    mSelection.Move(p);
    Repaint();
}

void frmRegionSelect::Released(QPoint p) {
    mPointer = p;
    mSelection.Release(p);
    Repaint();
}

void frmRegionSelect::KeyPressed(int key, Qt::KeyboardModifiers keys) {
    const bool ctrl = keys & Qt::ControlModifier;
    switch (key) {
        case Qt::Key_Escape:
            End(false);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Pin();
            return;
        case Qt::Key_C:
            if (!ctrl) {
                QGuiApplication::clipboard()->setText(
                    cRegionSelection::ColourText(ColourAt(mPointer)));
            } else if (const QImage picture = PictureOf(Target()); !picture.isNull()) {
                QGuiApplication::clipboard()->setImage(picture);
                End(false);
            }
            return;
        default:
            break;
    }
    using Arrow = cRegionSelection::Arrow;
    using Change = cRegionSelection::Change;
    const Change change = (keys & Qt::ShiftModifier) ? Change::Grow
                          : ctrl                     ? Change::Shrink
                                                     : Change::Move;
    switch (key) {
        case Qt::Key_Left:
            mSelection.Key(Arrow::Left, change);
            break;
        case Qt::Key_Right:
            mSelection.Key(Arrow::Right, change);
            break;
        case Qt::Key_Up:
            mSelection.Key(Arrow::Up, change);
            break;
        case Qt::Key_Down:
            mSelection.Key(Arrow::Down, change);
            break;
        default:
            return;
    }
    Repaint();
}

void frmRegionSelect::Pin() {
    const QRect r = Target();
    const QImage picture = PictureOf(r);
    if (picture.isNull()) {
        return;  // nothing selected: the overlay stays
    }
    auto* window = new frmResize;
    window->SetPicture(picture);
    window->ApplyViewSize(picture.width(), picture.height());
    // The picture exactly where it was on the screen, whatever band the window draws round it.
    const QSize outer = window->DeviceGeometry().size();
    const QPoint band((outer.width() - r.width()) / 2, (outer.height() - r.height()) / 2);
    window->SetDeviceGeometry(QRect(r.topLeft() - band, outer));
    window->show();
    window->activateWindow();
    End(true);
}

void frmRegionSelect::Repaint() {
    for (Frozen& f : mScreens) {
        if (f.overlay != nullptr) {
            f.overlay->update();
        }
    }
}

void frmRegionSelect::ScreenGone(QScreen* screen) {
    for (Frozen& f : mScreens) {
        if (f.screen == screen || f.screen == nullptr) {
            if (f.overlay != nullptr) {
                f.overlay->hide();
                f.overlay->deleteLater();
            }
            f.device = QRect();  // nothing of it is selected or coloured any more
        }
    }
}

void frmRegionSelect::End(bool pinned) {
    if (std::exchange(mEnded, true)) {
        return;
    }
    // Whoever waits shows its window first: hiding the last overlay must not end the program.
    emit ended(pinned);
    for (Frozen& f : mScreens) {
        if (f.overlay != nullptr) {
            f.overlay->releaseKeyboard();
            f.overlay->hide();
            f.overlay->deleteLater();
        }
    }
    deleteLater();
}
