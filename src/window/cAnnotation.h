#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <Qt>
#include <optional>
#include <vector>

#include "marks/cMark.h"

// The annotation mode of one image window: whether it is on, what it draws with (the last choice
// of tool, colour and width kept for the run, for every window), and the mark being drawn, moved
// or typed. Pointer positions come in pixels of the picture as shown; marks are kept in the
// picture's own pixels. It never changes the document itself: a finished drag or text says what
// the document is to do (Change), so that every change is one step of the document's history.
class cAnnotation {
public:
    enum class Tool {
        Rectangle,    // 1
        Ellipse,      // 2
        Arrow,        // 3
        Line,         // 4
        Pen,          // 5
        Highlighter,  // 6
        Pixelate,     // 7
        Text,         // 8
        Number,       // 9
        Select,       // 0
    };
    static constexpr int kTools = 10;

    struct Choice {
        Tool tool = Tool::Rectangle;
        int colour = 0;  // index into MarkColours()
        int width = 0;   // index into MarkWidths()
    };
    // The choice the next window starts with: the last one made in any window.
    static Choice& Kept();
    static QString Caption(Tool tool);
    // The tool a digit key chooses: 1 to 9, then 0; none for other keys.
    static std::optional<Tool> ToolOfKey(int key);
    // Where the tool bar of size bar goes for a window at `window` (device pixels): just below
    // it, left edges together; above it when there is no room below; kept inside the work area.
    static QPoint BarPlace(const QRect& window, QSize bar, const QRect& area);

    // What the document is to do when a drag or a text ends.
    struct Change {
        enum class Kind { None, Add, Replace, Remove } kind = Kind::None;
        int index = -1;  // Replace, Remove: the mark's index
        cMark mark;      // Add, Replace
    };

    bool IsOn() const { return mOn; }
    // Turning the mode off ends what is being drawn (a text being typed is kept: Change).
    Change SetOn(bool on);
    const Choice& Current() const { return mChoice; }
    void Choose(const Choice& choice);

    // A left press at p over the picture shown at `shown`, whose own size is `own`, with its
    // marks. Select finds the mark (or its handle) under the pointer; Number and Text place at
    // once (Number ends at the release; Text then takes keys until Enter).
    Change Press(QPointF p, QSizeF shown, QSizeF own, Qt::KeyboardModifiers keys,
                 const std::vector<cMark>& marks);
    // The pointer moves with the left button down: the view rectangle to repaint (shown pixels;
    // empty when nothing changes).
    QRect Move(QPointF p, Qt::KeyboardModifiers keys);
    // The left button goes up.
    Change Release(QPointF p, Qt::KeyboardModifiers keys);

    // While a text is typed every key goes to it: text typed (or an input method's commit),
    // Enter ends it (Change::Add), Shift+Enter a new line, Backspace takes the last character.
    bool IsTyping() const { return mTyping; }
    Change Type(int key, Qt::KeyboardModifiers keys, const QString& text);

    // The selected mark (Select), -1 when none; Delete removes it.
    int Selected() const { return mSelected; }
    Change RemoveSelected();

    // The mark being drawn, moved or typed, to show over the others; null when none. While a mark
    // is moved, the document's own copy (Moving()) is hidden.
    const cMark* Drawing() const { return mActive ? &*mActive : nullptr; }
    int Moving() const { return mActive && mEditing >= 0 ? mEditing : -1; }
    // The view rectangle the active mark covers (shown pixels).
    QRect ActiveRect() const;

private:
    QPointF ToOwn(QPointF p) const;
    Change Finish();

    bool mOn = false;
    Choice mChoice = Kept();
    QSizeF mShown;
    QSizeF mOwn;
    std::optional<cMark> mActive;  // drawn, moved or typed
    int mEditing = -1;             // the document's index of the mark moved or resized
    int mHandle = -1;              // the handle being dragged, -1 to move the whole mark
    QPointF mLast;                 // own pixels: where the last move was
    int mSelected = -1;
    bool mTyping = false;
    bool mDragging = false;
};
