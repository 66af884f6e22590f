#pragma once

#include <QtGlobal>

class QUndoStack;

// The pixels the image windows keep for undo and redo, counted for the whole program: every
// history's steps together may hold at most Limit() bytes of snapshots (512 MiB). Over it, the
// oldest steps let go of theirs and can no longer be undone; a stack's newest step that can be
// undone is never dropped, nor any step that can be redone. A stack's steps are
// cPictureCommands. User-interface thread only.
namespace UndoBudget {

constexpr qint64 kDefaultLimit = qint64(512) * 1024 * 1024;

// Bytes of snapshots all steps hold now, and the most they may hold.
qint64 Held();
qint64 Limit();
// For tests: another limit (kDefaultLimit puts it back).
void setLimit(qint64 bytes);

// A step took or let go of snapshot bytes (delta may be negative).
void Add(qint64 delta);

// A window's history joins the count, or leaves it before it is destroyed.
void Register(QUndoStack* stack);
void Unregister(QUndoStack* stack);

// Drops oldest steps until the held bytes fit: first stack's own, then those of the other
// stacks in the order they joined.
void Trim(QUndoStack* first);

// The stack's steps that can still be undone (the ones before its index whose snapshots are
// kept), and whether there is one.
int Undoable(const QUndoStack& stack);
bool CanUndo(const QUndoStack& stack);
// The next step to redo is there and whole.
bool CanRedo(const QUndoStack& stack);

}  // namespace UndoBudget
