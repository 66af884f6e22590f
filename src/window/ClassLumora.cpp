#include "window/ClassLumora.h"

#include "base/InputMasks.h"
#include "base/Rounding.h"

using Rounding::Round32;

namespace {

// The west (north) edge, twips: position P and extent S of the window, P0 and S0 as they were
// before this step, delta the pointer's distance from the anchor. The control moves with this
// edge, so the pointer keeps its place on it and the anchor stays. When the minimum bites, the
// opposite edge stays where it was.
void NearEdge(qint64& P, qint64& S, qint64 P0, qint64 S0, qint64 min, double delta) {
    if (delta > 0) {
        const qint64 d = Round32(delta);
        P += d;
        S -= d;
        if (S < min) {
            S = min;
            P = P0 + S0 - min;
        }
    } else {
        const qint64 d = Round32(-delta);
        P -= d;
        S += d;
    }
}

// The east (south) edge, twips: the pointer moves over the control, so the caller re-anchors.
void FarEdge(qint64& S, qint64 min, double delta) {
    if (delta >= 0) {
        S += Round32(delta);
    } else {
        S -= Round32(-delta);
        if (S < min) {
            S = min;
        }
    }
}

}  // namespace

void ClassLumora::setBorderWidth(qint32 v) {
    if (v > 0) {
        mBorderWidth = v;
    }
}

void ClassLumora::setObjectForm(ITwipsWindow* form) {
    if (form) {
        mForm = form;
    }
}

void ClassLumora::setObjectImage(IPointerControl* image) {
    if (image) {
        objImage = image;
    }
}

DragZone::Handle ClassLumora::ZoneAt(float x, float y) const {
    const double b = mBorderWidth;
    // The pixel under the pointer decides, so that every band is b whole pixels wide; compared
    // in pixels, in single precision.
    const auto px = static_cast<float>(DragZone::PixelCentre(x, mForm->TwipsPerPixelX()));
    const auto py = static_cast<float>(DragZone::PixelCentre(y, mForm->TwipsPerPixelY()));
    const DragZone::Column column =
        DragZone::ColumnOf(px, static_cast<float>(b),
                           static_cast<float>(static_cast<double>(objImage->WidthPx()) - b));
    const DragZone::Row row =
        DragZone::RowOf(py, static_cast<float>(b),
                        static_cast<float>(static_cast<double>(objImage->HeightPx()) - b));
    return DragZone::HandleAt(column, row);
}

void ClassLumora::MouseDown(qint16 button, qint16 /*shift*/, float x, float y) {
    if (!objImage || !mForm) {
        return;
    }
    mDownX = Round32(x);
    mDownY = Round32(y);
    if (mEnableResize) {
        mHandle = DragZone::Handle::None;
        if (button == InputMasks::kLeftButton) {
            const DragZone::Handle zone = ZoneAt(x, y);
            objImage->SetCursorShape(DragZone::CursorOf(zone));
            mHandle = zone;
        }
    } else {
        mHandle = mEnableMove ? DragZone::Handle::M : DragZone::Handle::None;
        objImage->SetCursorShape(Qt::ArrowCursor);
    }
}

void ClassLumora::MouseMove(qint16 button, qint16 /*shift*/, float x, float y) {
    if (!objImage || !mForm) {
        return;
    }
    const double tx = mForm->TwipsPerPixelX();
    const double ty = mForm->TwipsPerPixelY();

    // Smallest outer size in twips: the inner minimum plus both bands.
    const auto minPx = static_cast<double>(MinOuterPixels());
    const qint64 minW = DragZone::Saturate16(Round32(tx * minPx));
    const qint64 minH = DragZone::Saturate16(Round32(ty * minPx));

    objImage->SetCursorShape(mEnableResize ? DragZone::CursorOf(ZoneAt(x, y)) : Qt::ArrowCursor);

    if (mHandle == DragZone::Handle::None || button != InputMasks::kLeftButton) {
        return;
    }

    // Window geometry in twips. Held in 64 bits while the rules run, so no step can overflow.
    qint64 L = Round32(mForm->LeftTw());
    qint64 T = Round32(mForm->TopTw());
    qint64 W = Round32(mForm->WidthTw());
    qint64 H = Round32(mForm->HeightTw());
    const qint64 L0 = L, T0 = T, W0 = W, H0 = H;
    const double dx = static_cast<double>(x) - mDownX;  // twips the pointer moved from the anchor
    const double dy = static_cast<double>(y) - mDownY;

    if (mEnableResize) {
        // The rules run in a fixed order: west, east, north, south.
        if (DragZone::IsWest(mHandle)) {
            NearEdge(L, W, L0, W0, minW, dx);
        }
        if (DragZone::IsEast(mHandle)) {
            FarEdge(W, minW, dx);
            mDownX = Round32(x);
        }
        if (DragZone::IsNorth(mHandle)) {
            NearEdge(T, H, T0, H0, minH, dy);
        }
        if (DragZone::IsSouth(mHandle)) {
            FarEdge(H, minH, dy);
            mDownY = Round32(y);
        }
    }

    if (mEnableMove && mHandle == DragZone::Handle::M) {
        // The window follows the pointer, carrying the control with it: the anchor stays.
        L += dx >= 0 ? Round32(dx) : -static_cast<qint64>(Round32(-dx));
        T += dy >= 0 ? Round32(dy) : -static_cast<qint64>(Round32(-dy));
    }

    mForm->SetGeometryTw(DragZone::Saturate32(L), DragZone::Saturate32(T), DragZone::Saturate32(W),
                         DragZone::Saturate32(H));
}
