#include "window/cPictureMouse.h"

#include "base/GuardedWork.h"
#include "base/InputMasks.h"
#include "base/Rounding.h"
#include "window/IImageWindowFace.h"
#include "window/WindowArithmetic.h"
#include "window/cWindowPlacement.h"

using Rounding::Round32;

cPictureMouse::cPictureMouse(IImageWindowFace& face, cWindowPlacement& place,
                             IPointerControl* picture)
    : mFace(face), mPlace(place), mResizer(std::make_unique<ClassLumora>()) {
    mResizer->setBorderWidth(4);
    mResizer->setObjectForm(&place);
    mResizer->setObjectImage(picture);
    mResizer->setEnableResize(true);
    mResizer->setEnableMove(true);
}

cPictureMouse::~cPictureMouse() = default;

void cPictureMouse::Handle(Kind kind, Qt::MouseButton button, Qt::MouseButtons buttons,
                           Qt::KeyboardModifiers keys, QPointF pointer,
                           std::optional<QPointF> exact, QSize view) {
    if (kind == Kind::Press && buttons == button) {
        mPlace.Geometry().BeginDrag({mPlace.TwipsPerPixelX(), mPlace.TwipsPerPixelY()});
    }
    // Positions reach the resizer in twips, relative to the picture.
    const QPointF at = exact.value_or(pointer);
    const auto x = static_cast<float>(at.x() * mPlace.TwipsPerPixelX());
    const auto y = static_cast<float>(at.y() * mPlace.TwipsPerPixelY());
    const qint16 shift = InputMasks::ShiftMask(keys);
    GuardedWork::Run("mouse handling", [&] {
        switch (kind) {
            case Kind::Press:
                Press(button, pointer, shift, x, y);
                break;
            case Kind::Move:
                Move(buttons, pointer, view, shift, x, y);
                break;
            case Kind::Release:
                if (button == Qt::RightButton) {
                    mFace.OpenMenu();
                }
                break;
        }
    });
    if (kind == Kind::Release && buttons == Qt::NoButton) {
        mPlace.Geometry().EndDrag();
    }
}

bool cPictureMouse::InsideEdges(QPointF pointer) const {
    if (!mResizer) {
        return false;
    }
    const auto x = static_cast<float>(pointer.x() * mPlace.TwipsPerPixelX());
    const auto y = static_cast<float>(pointer.y() * mPlace.TwipsPerPixelY());
    const DragZone::Handle zone = mResizer->ZoneAt(x, y);
    return zone == DragZone::Handle::M || zone == DragZone::Handle::None;
}

void cPictureMouse::Press(Qt::MouseButton button, QPointF pointer, qint16 shift, float x, float y) {
    mFace.HideCropRect();
    mFace.PointerOver(pointer);
    if (button == Qt::LeftButton) {
        mFace.ShowFocusFrame();
    } else if (button == Qt::RightButton) {
        mRightDown = QPoint(Round32(pointer.x()), Round32(pointer.y()));
    }
    if (mResizer) {
        mResizer->MouseDown(InputMasks::ButtonMask(button), shift, x, y);
    }
}

void cPictureMouse::Move(Qt::MouseButtons buttons, QPointF pointer, QSize view, qint16 shift,
                         float x, float y) {
    mFace.PointerOver(pointer);
    if (buttons == Qt::RightButton) {
        const auto r = WindowArithmetic::CropFromDrag(
            mRightDown, Round32(pointer.x()), Round32(pointer.y()), view.width(), view.height());
        if (r) {
            mFace.ShowCropRect(*r);
        }
    }
    if (mResizer) {
        mResizer->MouseMove(InputMasks::ButtonMask(buttons), shift, x, y);
    }
}
