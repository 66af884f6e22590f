#include "dialogs/ProgramInfo.h"

#include <QFile>

namespace ProgramInfo {

QIcon ProgramIcon() {
    QIcon icon;
    for (const char* file : {":/lumora-48.png", ":/lumora-256.png"}) {
        const QString path = QString::fromLatin1(file);
        if (QFile::exists(path)) {
            icon.addFile(path);
        }
    }
    return icon;
}

}  // namespace ProgramInfo
