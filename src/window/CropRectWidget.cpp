#include "window/CropRectWidget.h"

#include "base/GuardedWork.h"
#include "base/InputMasks.h"
#include "window/ClassCropResize.h"
#include "window/DevicePlacement.h"
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
    DevicePlacement::Set(this, r);
    show();
    if (r.width() > 2 && r.height() > 2) {
        DevicePlacement::Set(mOutline, r.adjusted(1, 1, -1, -1));
        mOutline->show();
    }
    raise();
    mOutline->raise();
}

void CropRectWidget::HideRect() {
    hide();
    mOutline->hide();
}

void CropRectWidget::MoveByArrow(WindowArithmetic::Arrow iKey, int iStep, int iBorder,
                                 QSize iWindowPx) {
    const QPoint p = WindowArithmetic::MoveCropByArrow(
        DevicePlacement::Of(this), iKey, iStep, iBorder, iWindowPx.width(), iWindowPx.height());
    DevicePlacement::MoveTo(this, p);
    // The outline stays one pixel inside the label, where drawing and dragging put it.
    DevicePlacement::MoveTo(mOutline, p + QPoint(1, 1));
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

void CropRectWidget::Forward(QMouseEvent* e) {
    e->accept();
    if (!mCropper) {
        return;
    }
    // Positions reach the controller in twips, relative to the label.
    const QPointF at = DevicePlacement::EventPoint(this, e);
    const auto x = static_cast<float>(at.x() * mTwips->TwipsPerPixelX());
    const auto y = static_cast<float>(at.y() * mTwips->TwipsPerPixelY());
    const qint16 shift = InputMasks::ShiftMask(e->modifiers());
    // No exception leaves an event handler: a drag that fails leaves the rectangle where it was.
    GuardedWork::Run("crop rectangle drag", [&] {
        if (e->type() == QEvent::MouseButtonPress) {
            mCropper->MouseDown(InputMasks::ButtonMask(e->button()), shift, x, y);
        } else {
            mCropper->MouseMove(InputMasks::ButtonMask(e->buttons()), shift, x, y);
        }
    });
}

void CropRectWidget::mousePressEvent(QMouseEvent* e) {
    Forward(e);
}

void CropRectWidget::mouseMoveEvent(QMouseEvent* e) {
    Forward(e);
}

void CropRectWidget::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    if (e->button() == Qt::RightButton && mCropper) {
        emit menuRequested();
    }
}
