#include "dialogs/ProgramInfo.h"

#include "base/mdlKestrin_File.h"
#include "dialogs/ModalSeam.h"

#include <QFileInfo>

#include <QFile>

namespace ProgramInfo {

QIcon ProgramIcon() {
    QIcon icon;
    // 48 and its double, 96, so that a 48-pixel icon is drawn from pixels of its own at scale 1
    // and 2 rather than scaled; 256 for the desktop's larger views.
    for (const char* file : {":/lumora-48.png", ":/lumora-96.png", ":/lumora-256.png"}) {
        const QString path = QString::fromLatin1(file);
        if (QFile::exists(path)) {
            icon.addFile(path);
        }
    }
    return icon;
}

void OpenHelp() {
    const QString path =
        mdlKestrin_File::GetProgramLayout().dataFolder + QStringLiteral("Help.txt");
    if (!QFileInfo(path).isFile()) {
        ModalSeam::ShowMessage(nullptr, QStringLiteral("找不到帮助文件：") + path,
                               ModalSeam::Critical, QStringLiteral("错误"));
        return;
    }
    ModalSeam::Current().OpenExternal(path);
}

}  // namespace ProgramInfo
