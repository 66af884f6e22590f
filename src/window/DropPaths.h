#pragma once

#include <QStringList>

class QDropEvent;
class QMimeData;

// Files dropped on the program's windows. A drop is always taken as a copy: a file manager may
// read an accepted "move" as leave to delete the source.
namespace DropPaths {

// The local files named by the dropped data, in order; other addresses are left out.
QStringList LocalPaths(const QMimeData* data);

// Accepts the drag or drop as a copy when its data names files and the source allows copying;
// false (and the event ignored) otherwise.
bool AcceptAsCopy(QDropEvent* event);

}  // namespace DropPaths
