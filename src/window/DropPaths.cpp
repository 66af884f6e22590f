#include "window/DropPaths.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace DropPaths {

QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    return paths;
}

bool AcceptAsCopy(QDropEvent* event) {
    if (event->mimeData() == nullptr || !event->mimeData()->hasUrls() ||
        !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

}  // namespace DropPaths
