#include "window/CropRectWidget.h"

#include "base/InputMasks.h"
#include "window/ClassCropResize.h"
#include "window/OutlineWidget.h"
#include "window/PixelControlAdapter.h"

#include <QMouseEvent>

CropRectWidget::CropRectWidget(QWidget* iWindow, ITwipsWindow* iTwips)
    : QLabel(iWindow), mTwips(iTwips), mOutline(new OutlineWidget(iWindow)) {
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setToolTip(QStringLiteral("鼠标双击就进行剪裁，现在仍可自由更改剪裁大小位置。"));
    hide();
    mOutline->setBorderColor(Qt::white);
    mOutline->hide();

    mLabelControl = std::make_unique<PixelControlAdapter>(this);
    mOutlineControl = std::make_unique<PixelControlAdapter>(mOutline);
    mCropper = std::make_unique<ClassCropResize>();
    mCropper->setBorderWidth(4);
    mCropper->setObjectForm(mLabelControl.get());
    mCropper->setObjectShap(mOutlineControl.get());
    mCropper->setObjectFather(mTwips);
    mCropper->setEnable(true);
}

CropRectWidget::~CropRectWidget() = default;

void CropRectWidget::ShowRect(const QRect& r) {
    setGeometry(r);
    show();
    if (width() > 2 && height() > 2) {
        mOutline->setGeometry(r.left() + 1, r.top() + 1, r.width() - 2, r.height() - 2);
        mOutline->show();
    }
    raise();
    mOutline->raise();
}

void CropRectWidget::HideRect() {
    hide();
    mOutline->hide();
}

void CropRectWidget::MoveByArrow(WindowArithmetic::Arrow iKey, int iStep, int iBorder) {
    const QWidget* window = parentWidget();
    const QPoint p = WindowArithmetic::MoveCropByArrow(geometry(), iKey, iStep, iBorder,
                                                       window->width(), window->height());
    move(p);
    // The outline stays one pixel inside the label, where drawing and dragging put it.
    mOutline->move(p + QPoint(1, 1));
}

void CropRectWidget::Blink(int iSecondOfMinute) {
    static const QColor kBlink[3] = {Qt::black, Qt::white, QColor(0, 0, 255)};
    if (mOutline->isVisible()) {
        mOutline->setBorderColor(kBlink[((iSecondOfMinute % 3) + 3) % 3]);
    }
}

void CropRectWidget::Detach() {
    mCropper.reset();
}

namespace {
// Positions reach the controller in twips, relative to the label.
QPointF Twips(const QMouseEvent* e, const ITwipsWindow* w) {
    return {e->position().x() * w->TwipsPerPixelX(), e->position().y() * w->TwipsPerPixelY()};
}

// No exception leaves an event handler: a drag that fails leaves the rectangle where it was.
template <typename F>
void Guarded(F f) {
    try {
        f();
    } catch (...) {
        qWarning("Lumora: crop rectangle drag failed");
    }
}
}  // namespace

void CropRectWidget::mousePressEvent(QMouseEvent* e) {
    if (mCropper) {
        const QPointF t = Twips(e, mTwips);
        Guarded([&] {
            mCropper->MouseDown(InputMasks::ButtonMask(e->button()),
                                InputMasks::ShiftMask(e->modifiers()), static_cast<float>(t.x()),
                                static_cast<float>(t.y()));
        });
    }
    e->accept();
}

void CropRectWidget::mouseMoveEvent(QMouseEvent* e) {
    if (mCropper) {
        const QPointF t = Twips(e, mTwips);
        Guarded([&] {
            mCropper->MouseMove(InputMasks::ButtonMask(e->buttons()),
                                InputMasks::ShiftMask(e->modifiers()), static_cast<float>(t.x()),
                                static_cast<float>(t.y()));
        });
    }
    e->accept();
}

void CropRectWidget::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    if (e->button() == Qt::RightButton && mCropper) {
        emit menuRequested();
    }
}
