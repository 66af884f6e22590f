#include "window/cWindowLooks.h"

#include <QMetaObject>
#include <QPoint>
#include <QString>

#include "window/IImageWindowFace.h"
#include "window/WindowArithmetic.h"

void cWindowLooks::SetShape(qint32 border) {
    mFace.ApplyColorKey(mFace.SampleColor(QPoint(border + 1, border + 1)));
    mTouming = 100;
    mFormShape = true;
    ShapeChanged();  // the controls hidden for the first cut are back over the picture
}

void cWindowLooks::ResetShape() {
    mFace.ClearLayers();
    mTouming = 100;
    mFormShape = false;
}

void cWindowLooks::SetOpacity() {
    mFace.ApplyOpacity(WindowArithmetic::AlphaFromPercent(mTouming));
    mFormShape = false;
}

void cWindowLooks::WheelOpacity(int notches) {
    const int next = WindowArithmetic::WheelOpacity(mTouming, notches);
    if (next != mTouming) {
        mTouming = static_cast<qint16>(next);
        SetOpacity();
        mFace.OpacityChanged(next);
    }
    mFace.ShowTip(QStringLiteral("窗体透明度：%1%").arg(mTouming));
}

void cWindowLooks::ShapeChanged() {
    if (!mFormShape || mRefreshPending) {
        return;
    }
    mRefreshPending = true;
    QMetaObject::invokeMethod(
        mFace.Owner(),
        [this] {
            mRefreshPending = false;
            if (mFormShape) {
                mFace.RefreshColorKey();
            }
        },
        Qt::QueuedConnection);
}
