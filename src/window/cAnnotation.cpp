#include "window/cAnnotation.h"

#include <QStringList>
#include <cmath>

#include "marks/MarkGeometry.h"
#include "marks/MarkPainter.h"
#include "window/WorkAreaPlacement.h"

namespace {

// Device pixels at the size shown when placed: a text's letters and a numbered mark's radius.
constexpr double kTextPixels = 18.0;
constexpr double kNumberRadius = 12.0;
// How close, in shown pixels, a press must come to a mark or handle to take it.
constexpr double kTolerance = 6.0;

std::optional<MarkKind> KindOf(cAnnotation::Tool tool) {
    switch (tool) {
        case cAnnotation::Tool::Rectangle:
            return MarkKind::Rectangle;
        case cAnnotation::Tool::Ellipse:
            return MarkKind::Ellipse;
        case cAnnotation::Tool::Arrow:
            return MarkKind::Arrow;
        case cAnnotation::Tool::Line:
            return MarkKind::Line;
        case cAnnotation::Tool::Pen:
            return MarkKind::Pen;
        case cAnnotation::Tool::Highlighter:
            return MarkKind::Highlighter;
        case cAnnotation::Tool::Pixelate:
            return MarkKind::Pixelate;
        case cAnnotation::Tool::Text:
            return MarkKind::Text;
        case cAnnotation::Tool::Number:
            return MarkKind::Number;
        case cAnnotation::Tool::Select:
            break;
    }
    return std::nullopt;
}

// A drawn mark too small to be meant (a click with a two-point tool, a stroke of one point).
bool Degenerate(const cMark& m, double ownPerShown) {
    if (m.kind == MarkKind::Text || m.kind == MarkKind::Number) {
        return false;
    }
    if (m.points.size() < 2) {
        return true;
    }
    double reach = 0.0;
    for (const QPointF& p : m.points) {
        reach = std::max(reach, std::hypot(p.x() - m.points[0].x(), p.y() - m.points[0].y()));
    }
    return reach < ownPerShown;  // under one shown pixel
}

}  // namespace

cAnnotation::Choice& cAnnotation::Kept() {
    static Choice kept;
    return kept;
}

QString cAnnotation::Caption(Tool tool) {
    static const QStringList captions = {QStringLiteral("矩形"),   QStringLiteral("椭圆"),
                                         QStringLiteral("箭头"),   QStringLiteral("直线"),
                                         QStringLiteral("画笔"),   QStringLiteral("荧光笔"),
                                         QStringLiteral("像素化"), QStringLiteral("文字"),
                                         QStringLiteral("序号"),   QStringLiteral("选择")};
    return captions.value(static_cast<int>(tool));
}

std::optional<cAnnotation::Tool> cAnnotation::ToolOfKey(int key) {
    if (key >= Qt::Key_1 && key <= Qt::Key_9) {
        return static_cast<Tool>(key - Qt::Key_1);
    }
    if (key == Qt::Key_0) {
        return Tool::Select;
    }
    return std::nullopt;
}

QPoint cAnnotation::BarPlace(const QRect& window, QSize bar, const QRect& area) {
    QRect place(QPoint(window.left(), window.bottom() + 1), bar);
    if (place.bottom() > area.bottom()) {
        place.moveBottom(window.top() - 1);
    }
    return WorkAreaPlacement::Inside(place, area);
}

cAnnotation::Change cAnnotation::SetOn(bool on) {
    Change change;
    if (!on && mTyping) {
        change = Finish();
    }
    mOn = on;
    mActive.reset();
    mEditing = -1;
    mHandle = -1;
    mSelected = -1;
    mTyping = false;
    mDragging = false;
    if (on) {
        mChoice = Kept();
    }
    return change;
}

void cAnnotation::Choose(const Choice& choice) {
    mChoice = choice;
    Kept() = choice;
    if (choice.tool != Tool::Select) {
        mSelected = -1;
    }
}

QPointF cAnnotation::ToOwn(QPointF p) const {
    const double sx = mShown.width() > 0 ? mOwn.width() / mShown.width() : 1.0;
    const double sy = mShown.height() > 0 ? mOwn.height() / mShown.height() : 1.0;
    return QPointF(p.x() * sx, p.y() * sy);
}

cAnnotation::Change cAnnotation::Press(QPointF p, QSizeF shown, QSizeF own, Qt::KeyboardModifiers,
                                       const std::vector<cMark>& marks) {
    if (!mOn || shown.isEmpty() || own.isEmpty()) {
        return Change();
    }
    if (mTyping) {
        return Finish();  // a click elsewhere ends the text
    }
    mShown = shown;
    mOwn = own;
    const QPointF at = ToOwn(p);
    const double shownPerOwn = shown.width() / own.width();
    if (mChoice.tool == Tool::Select) {
        int handle = -1;
        if (mSelected >= 0 && mSelected < static_cast<int>(marks.size())) {
            handle = MarkGeometry::HandleAt(marks[static_cast<size_t>(mSelected)], at, kTolerance,
                                            shownPerOwn);
        }
        if (handle < 0) {
            mSelected = MarkGeometry::HitTest(marks, at, kTolerance, shownPerOwn);
        }
        if (mSelected >= 0) {
            mEditing = mSelected;
            mHandle = handle;
            mActive = marks[static_cast<size_t>(mSelected)];
            mLast = at;
            mDragging = true;
        }
        return Change();
    }
    const std::optional<MarkKind> kind = KindOf(mChoice.tool);
    if (!kind) {
        return Change();
    }
    const double width = WidthInPicture(
        MarkWidths()[static_cast<size_t>(std::clamp(mChoice.width, 0, 2))], own, shown);
    mActive = NewMark(*kind, at,
                      MarkColours()[static_cast<size_t>(std::clamp(mChoice.colour, 0, 7))], width);
    mEditing = -1;
    if (*kind == MarkKind::Text) {
        mActive->fontSize = WidthInPicture(kTextPixels, own, shown);
        mTyping = true;
        mDragging = false;
    } else if (*kind == MarkKind::Number) {
        mActive->fontSize = WidthInPicture(kNumberRadius, own, shown);
        mActive->number = NextMarkNumber(marks);
        mDragging = false;
    } else {
        mDragging = true;
    }
    return Change();
}

QRect cAnnotation::ActiveRect() const {
    return mActive ? MarkPainter::RepaintRect(*mActive, mShown, mOwn) : QRect();
}

QRect cAnnotation::Move(QPointF p, Qt::KeyboardModifiers keys) {
    if (!mActive || !mDragging) {
        return QRect();
    }
    const bool shift = keys.testFlag(Qt::ShiftModifier);
    const QPointF at = ToOwn(p);
    const QRect before = ActiveRect();
    if (mEditing >= 0) {
        if (mHandle >= 0) {
            MarkGeometry::MoveHandle(*mActive, mHandle, at, shift);
        } else {
            MarkGeometry::Move(*mActive, at - mLast);
            mLast = at;
        }
        return before.united(ActiveRect());
    }
    MarkGeometry::DragTo(*mActive, at, shift);
    if (mActive->kind == MarkKind::Pen || mActive->kind == MarkKind::Highlighter) {
        // Only the stroke's newest piece is new on the screen.
        return MarkPainter::RepaintRectOfLastSegment(*mActive, mShown, mOwn);
    }
    return before.united(ActiveRect());
}

cAnnotation::Change cAnnotation::Release(QPointF p, Qt::KeyboardModifiers keys) {
    if (!mActive || mTyping) {
        return Change();
    }
    if (mDragging) {
        Move(p, keys);
    }
    Change change;
    if (mEditing >= 0) {
        change.kind = Change::Kind::Replace;
        change.index = mEditing;
        change.mark = *mActive;
    } else if (!Degenerate(*mActive, mOwn.width() / mShown.width())) {
        change.kind = Change::Kind::Add;
        change.mark = *mActive;
    }
    mActive.reset();
    mEditing = -1;
    mHandle = -1;
    mDragging = false;
    return change;
}

cAnnotation::Change cAnnotation::Finish() {
    Change change;
    if (mActive && mActive->kind == MarkKind::Text && !mActive->text.isEmpty()) {
        change.kind = Change::Kind::Add;
        change.mark = *mActive;
    }
    mActive.reset();
    mTyping = false;
    return change;
}

cAnnotation::Change cAnnotation::Type(int key, Qt::KeyboardModifiers keys, const QString& text) {
    if (!mTyping || !mActive) {
        return Change();
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (keys.testFlag(Qt::ShiftModifier)) {
            mActive->text += QLatin1Char('\n');
            return Change();
        }
        return Finish();
    }
    if (key == Qt::Key_Escape) {
        return Finish();
    }
    if (key == Qt::Key_Backspace) {
        mActive->text.chop(1);
        return Change();
    }
    for (const QChar c : text) {
        if (c.isPrint() || c == QLatin1Char('\t')) {
            mActive->text += c;
        }
    }
    return Change();
}

cAnnotation::Change cAnnotation::RemoveSelected() {
    Change change;
    if (mSelected >= 0) {
        change.kind = Change::Kind::Remove;
        change.index = mSelected;
        mSelected = -1;
    }
    return change;
}
