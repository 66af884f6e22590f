#include "window/UndoBudget.h"

#include <QUndoStack>
#include <algorithm>
#include <vector>

#include "window/cPictureCommands.h"

namespace {
qint64 gHeld = 0;
qint64 gLimit = UndoBudget::kDefaultLimit;
std::vector<QUndoStack*> gStacks;  // in the order they joined

cPictureCommand* Step(const QUndoStack& stack, int i) {
    // Every step pushed on a window's history is one of ours.
    return static_cast<cPictureCommand*>(const_cast<QUndoCommand*>(stack.command(i)));
}

// Drops the stack's oldest steps until the bytes fit; false when it has none left to drop.
// Steps are dropped oldest first, so those that are gone always lie below those that are kept.
bool TrimStack(QUndoStack& stack) {
    const int newest = stack.index() - 1;  // kept, whatever it holds
    for (int i = 0; i < newest && gHeld > gLimit; ++i) {
        Step(stack, i)->Forget();
    }
    return gHeld <= gLimit;
}
}  // namespace

namespace UndoBudget {

qint64 Held() {
    return gHeld;
}

qint64 Limit() {
    return gLimit;
}

void setLimit(qint64 bytes) {
    gLimit = bytes;
}

void Add(qint64 delta) {
    gHeld += delta;
}

void Register(QUndoStack* stack) {
    gStacks.push_back(stack);
}

void Unregister(QUndoStack* stack) {
    gStacks.erase(std::remove(gStacks.begin(), gStacks.end(), stack), gStacks.end());
}

void Trim(QUndoStack* first) {
    if (gHeld <= gLimit || (first != nullptr && TrimStack(*first))) {
        return;
    }
    for (QUndoStack* stack : gStacks) {
        if (stack != first && TrimStack(*stack)) {
            return;
        }
    }
}

int Undoable(const QUndoStack& stack) {
    int n = 0;
    for (int i = stack.index() - 1; i >= 0 && !Step(stack, i)->Forgotten(); --i) {
        ++n;
    }
    return n;
}

bool CanUndo(const QUndoStack& stack) {
    return stack.index() > 0 && !Step(stack, stack.index() - 1)->Forgotten();
}

bool CanRedo(const QUndoStack& stack) {
    return stack.index() < stack.count() && !Step(stack, stack.index())->Forgotten();
}

}  // namespace UndoBudget
