// The image window's annotation mode: its tool bar, the drags and keys it takes, and the marks
// it paints over the picture. The rules live in cAnnotation; the marks in the document.

#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "base/GuardedWork.h"
#include "base/ScreenUnits.h"
#include "marks/MarkGeometry.h"
#include "marks/MarkPainter.h"
#include "window/DevicePlacement.h"
#include "window/NativeWindow.h"
#include "window/PictureViewWidget.h"
#include "window/frmAnnotateBar.h"
#include "window/frmResize.h"

void frmResize::cmdAnnotate() {
    SetAnnotating(!mAnnotation.IsOn());
}

void frmResize::SetAnnotating(bool on) {
    if (on == mAnnotation.IsOn() ||
        (on && !mFiles.Jobs().Permits(cWindowJobs::Command::StartAnnotating))) {
        return;
    }
    ApplyMarkChange(mAnnotation.SetOn(on));
    setAttribute(Qt::WA_InputMethodEnabled, false);
    if (on) {
        if (mBar == nullptr) {
            mBar = new frmAnnotateBar(this);
            connect(mBar, &frmAnnotateBar::chosen, this, [this](const cAnnotation::Choice& c) {
                mAnnotation.Choose(c);
                update();
            });
        }
        mBar->Show(mAnnotation.Current());
        mBar->show();
        PlaceAnnotationBar();
    } else if (mBar != nullptr) {
        mBar->hide();
    }
    mMarksShown = QImage();
    update();
}

void frmResize::PlaceAnnotationBar() {
    if (mBar == nullptr || !mBar->isVisible()) {
        return;
    }
    const QScreen* s = screen();
    const QSize bar = ScreenUnits::ToDevice(QRect(QPoint(), mBar->size()), s).size();
    const QPoint at = cAnnotation::BarPlace(DeviceGeometry(), bar, ScreenUnits::DeviceWorkArea(s));
    mBar->move(ScreenUnits::ToLogical(QRect(at, bar), s).topLeft());
    NativeWindow::MoveDevice(mBar, at);
}

void frmResize::ApplyMarkChange(const cAnnotation::Change& change) {
    using Kind = cAnnotation::Change::Kind;
    if (change.kind == Kind::None) {
        return;
    }
    std::vector<cMark> marks = mModel.Marks();
    const auto at = static_cast<size_t>(change.index);
    if (change.kind == Kind::Add) {
        marks.push_back(change.mark);
    } else if (change.index >= 0 && at < marks.size()) {
        if (change.kind == Kind::Replace) {
            marks[at] = change.mark;
        } else {
            marks.erase(marks.begin() + change.index);
        }
    } else {
        return;
    }
    GuardedWork::Run("marks", [&] { mModel.SetMarks(std::move(marks), ShownSize()); });
    mMarksShown = QImage();
    update();
}

bool frmResize::AnnotationMouse(QMouseEvent* e) {
    if (!mAnnotation.IsOn()) {
        return false;
    }
    const QPointF at = DevicePlacement::EventPoint(imgView, e);
    const QSize shown = ShownSize();
    const QSizeF own(mModel.Picture().size());
    const QEvent::Type t = e->type();
    if (t == QEvent::MouseButtonPress) {
        // Only a left press inside the edges draws; the edges still resize the window.
        mAnnotating = e->button() == Qt::LeftButton && e->buttons() == Qt::LeftButton &&
                      mMouse->InsideEdges(at) && mFiles.Jobs().Permits(cWindowJobs::Command::Mouse);
        if (!mAnnotating) {
            return false;
        }
        const bool typing = mAnnotation.IsTyping();
        ApplyMarkChange(mAnnotation.Press(at, QSizeF(shown), own, e->modifiers(), mModel.Marks()));
        setAttribute(Qt::WA_InputMethodEnabled, mAnnotation.IsTyping());
        if (mAnnotation.IsTyping() && !typing) {
            QGuiApplication::inputMethod()->update(Qt::ImEnabled);
        }
        mMarksShown = QImage();  // a mark taken to move leaves the others' picture
        update();
        return true;
    }
    if (!mAnnotating) {
        return false;
    }
    if (t == QEvent::MouseMove) {
        UpdateView(mAnnotation.Move(at, e->modifiers()));
        return true;
    }
    mAnnotating = false;
    ApplyMarkChange(mAnnotation.Release(at, e->modifiers()));
    mMarksShown = QImage();
    update();
    return true;
}

void frmResize::UpdateView(const QRect& viewRect) {
    if (viewRect.isEmpty()) {
        return;
    }
    const QRect device = viewRect.translated(DevicePlacement::Of(imgView).topLeft());
    const double ratio = devicePixelRatioF();
    update(QRectF(device.x() / ratio, device.y() / ratio, device.width() / ratio,
                  device.height() / ratio)
               .toAlignedRect()
               .adjusted(-1, -1, 1, 1));
}

bool frmResize::AnnotationKeyPress(QKeyEvent* e) {
    if (mAnnotation.IsTyping()) {
        ApplyMarkChange(mAnnotation.Type(e->key(), e->modifiers(), e->text()));
        setAttribute(Qt::WA_InputMethodEnabled, mAnnotation.IsTyping());
        mSwallowRelease = e->key();
        update();
        return true;
    }
    if (!mAnnotation.IsOn() || e->modifiers().testFlag(Qt::ControlModifier) ||
        e->modifiers().testFlag(Qt::AltModifier)) {
        return false;
    }
    if (const std::optional<cAnnotation::Tool> tool = cAnnotation::ToolOfKey(e->key())) {
        cAnnotation::Choice choice = mAnnotation.Current();
        choice.tool = *tool;
        mAnnotation.Choose(choice);
        if (mBar != nullptr) {
            mBar->Show(choice);
        }
        update();
        return true;
    }
    return false;
}

bool frmResize::AnnotationKeyRelease(QKeyEvent* e) {
    if (mSwallowRelease != 0 && e->key() == mSwallowRelease) {
        mSwallowRelease = 0;
        return true;  // the key went to the text
    }
    if (!mAnnotation.IsOn() || e->isAutoRepeat()) {
        return false;
    }
    if (e->key() == Qt::Key_Escape) {
        SetAnnotating(false);  // leaves the mode; the window stays
        return true;
    }
    if (e->key() == Qt::Key_Delete) {
        ApplyMarkChange(mAnnotation.RemoveSelected());
        return true;
    }
    return false;
}

void frmResize::inputMethodEvent(QInputMethodEvent* event) {
    if (mAnnotation.IsTyping() && !event->commitString().isEmpty()) {
        mAnnotation.Type(0, Qt::NoModifier, event->commitString());
        update();
    }
    event->accept();
}

QVariant frmResize::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled) {
        return mAnnotation.IsTyping();
    }
    if (query == Qt::ImCursorRectangle && mAnnotation.Drawing() != nullptr) {
        const double ratio = devicePixelRatioF();
        const QRect device =
            mAnnotation.ActiveRect().translated(DevicePlacement::Of(imgView).topLeft());
        return QRectF(device.x() / ratio, device.y() / ratio, device.width() / ratio,
                      device.height() / ratio)
            .toAlignedRect();
    }
    return QWidget::inputMethodQuery(query);
}

bool frmResize::PaintMarks(QPainter& p, const QRect& view, const QImage& shown) {
    const std::vector<cMark>& marks = mModel.Marks();
    const QSizeF own(mModel.Picture().size());
    // Drawn over the screen copy: in the screen's colours.
    const int moving = mAnnotation.Moving();
    if (!marks.empty() && mMarksShown.isNull()) {
        // The marks drawn once over the shown picture; a drag repaints only what it touches.
        std::vector<cMark> still = mModel.MarksOnScreen();
        if (moving >= 0 && moving < static_cast<int>(still.size())) {
            still.erase(still.begin() + moving);
        }
        mMarksShown = shown.copy();
        MarkPainter::DrawMarks(mMarksShown, still, own);
    }
    const cMark* drawing = mAnnotation.Drawing();
    if (marks.empty() && drawing == nullptr) {
        return false;
    }
    p.drawImage(view.topLeft(), marks.empty() ? shown : mMarksShown);
    p.save();
    p.translate(view.topLeft());
    p.setClipRect(QRect(QPoint(), view.size()));
    if (drawing != nullptr) {
        MarkPainter::DrawMark(p, *drawing, QSizeF(view.size()), own);
    }
    const int selected = mAnnotation.Selected();
    if (mAnnotation.IsOn() && selected >= 0 && selected < static_cast<int>(marks.size()) &&
        moving < 0) {
        // The selected mark's handles.
        const double sx = view.width() / std::max(1.0, own.width());
        const double sy = view.height() / std::max(1.0, own.height());
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(QColor(0x29, 0x62, 0xFF));
        for (const QPointF& h : MarkGeometry::Handles(marks[static_cast<size_t>(selected)])) {
            p.drawRect(QRectF(h.x() * sx - 3, h.y() * sy - 3, 6, 6));
        }
    }
    p.restore();
    return true;
}
