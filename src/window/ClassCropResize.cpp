#include "window/ClassCropResize.h"

#include "base/InputMasks.h"
#include "base/Rounding.h"

using Rounding::Round32;

namespace {

// One edge pair of the rectangle along one axis, in pixels: position P and extent S of the
// label, the pointer's distance from the anchor, the minimum extent and the window's extent.
// The west/north rule moves the near edge and keeps the far one; the east/south rule moves the
// far edge. Both are the same on either axis.
struct Axis {
    qint64 P;      // left or top, rounded
    qint64 S;      // width or height, rounded
    float Pf;      // left or top as read
    float Sf;      // width or height as read
    qint64 min;    // smallest extent
    double limit;  // the window's width or height, in pixels
};

void NearEdge(Axis& a, double delta) {
    if (delta > 0) {
        const qint64 d = Round32(delta);
        a.P += d;
        a.S -= d;
        if (a.S < a.min) {
            a.S = a.min;
            a.P = Round32(static_cast<double>(a.Pf + a.Sf - static_cast<float>(a.min)));
        }
    } else {
        const qint64 d = Round32(-delta);
        a.P -= d;
        a.S += d;
        if (a.P < 0) {
            a.P = 0;
            a.S = Round32(static_cast<double>(a.Pf + a.Sf));
        }
    }
}

void FarEdge(Axis& a, double delta) {
    if (delta >= 0) {
        a.S += Round32(delta);
        if (a.P + a.S > a.limit) {
            a.S = Round32(a.limit - static_cast<double>(a.P));
        }
    } else {
        a.S -= Round32(-delta);
        if (a.S < a.min) {
            a.S = a.min;
        }
    }
}

void Interior(Axis& a, double delta) {
    if (delta >= 0) {
        a.P += Round32(delta);
        if (a.P + a.S > a.limit) {
            a.P = Round32(a.limit - static_cast<double>(a.S));
        }
    } else {
        a.P -= Round32(-delta);
        if (a.P < 0) {
            a.P = 0;
        }
    }
}

}  // namespace

void ClassCropResize::setBorderWidth(qint32 v) {
    if (v > 0) {
        mBorderWidth = v;
    }
}

void ClassCropResize::setObjectForm(IPointerControl* label) {
    if (label) {
        objForm = label;
    }
}

void ClassCropResize::setObjectShap(IPixelControl* shape) {
    if (shape) {
        mShape = shape;
    }
}

void ClassCropResize::setObjectFather(ITwipsWindow* father) {
    if (father) {
        mFather = father;
    }
}

DragZone::Handle ClassCropResize::ZoneAt(float x, float y) const {
    const double b = mBorderWidth;
    const DragZone::Column column = DragZone::ColumnOf(
        x, static_cast<float>(b), static_cast<float>(static_cast<double>(objForm->WidthPx()) - b));
    const DragZone::Row row = DragZone::RowOf(
        y, static_cast<float>(b), static_cast<float>(static_cast<double>(objForm->HeightPx()) - b));
    return DragZone::HandleAt(column, row);
}

void ClassCropResize::MouseDown(qint16 button, qint16 /*shift*/, float x, float y) {
    if (!mEnable || !objForm || !mFather) {
        return;
    }
    const auto px = static_cast<float>(x / mFather->TwipsPerPixelX());
    const auto py = static_cast<float>(y / mFather->TwipsPerPixelY());
    mDownX = Round32(px);
    mDownY = Round32(py);
    mHandle = DragZone::Handle::None;
    if (button == InputMasks::kLeftButton) {
        const DragZone::Handle zone = ZoneAt(px, py);
        objForm->SetCursorShape(DragZone::CursorOf(zone));
        mHandle = zone;
    }
}

void ClassCropResize::MouseMove(qint16 button, qint16 /*shift*/, float x, float y) {
    if (!mEnable || !objForm || !mFather) {
        return;
    }
    const qint64 minSize =
        DragZone::Saturate16(2 * static_cast<qint64>(mBorderWidth) + mMinWidthHeight);
    const double tx = mFather->TwipsPerPixelX();
    const double ty = mFather->TwipsPerPixelY();
    const auto px = static_cast<float>(x / tx);
    const auto py = static_cast<float>(y / ty);

    objForm->SetCursorShape(DragZone::CursorOf(ZoneAt(px, py)));

    if (button != InputMasks::kLeftButton) {
        return;
    }

    const float Lf = objForm->LeftPx();
    const float Tf = objForm->TopPx();
    const float Wf = objForm->WidthPx();
    const float Hf = objForm->HeightPx();
    Axis h{Round32(Lf), Round32(Wf), Lf, Wf, minSize, mFather->WidthTw() / tx};
    Axis v{Round32(Tf), Round32(Hf), Tf, Hf, minSize, mFather->HeightTw() / ty};
    const double dx = static_cast<double>(px) - mDownX;  // pixels from the anchor
    const double dy = static_cast<double>(py) - mDownY;

    // The rules run in a fixed order: west, east, north, south, interior. West, north and the
    // interior keep the anchor (the label moves under the pointer); east and south re-anchor.
    if (DragZone::IsWest(mHandle)) {
        NearEdge(h, dx);
    }
    if (DragZone::IsEast(mHandle)) {
        FarEdge(h, dx);
        mDownX = Round32(px);
    }
    if (DragZone::IsNorth(mHandle)) {
        NearEdge(v, dy);
    }
    if (DragZone::IsSouth(mHandle)) {
        FarEdge(v, dy);
        mDownY = Round32(py);
    }
    if (mHandle == DragZone::Handle::M) {
        Interior(h, dx);
        Interior(v, dy);
    }

    const qint32 L = DragZone::Saturate32(h.P);
    const qint32 T = DragZone::Saturate32(v.P);
    const qint32 W = DragZone::Saturate32(h.S);
    const qint32 H = DragZone::Saturate32(v.S);
    objForm->SetGeometryPx(L, T, W, H);
    if (mShape) {
        mShape->SetGeometryPx(DragZone::Saturate32(static_cast<qint64>(L) + 1),
                              DragZone::Saturate32(static_cast<qint64>(T) + 1),
                              DragZone::Saturate32(static_cast<qint64>(W) - 2),
                              DragZone::Saturate32(static_cast<qint64>(H) - 2));
    }
}
