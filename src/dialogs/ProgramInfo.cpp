#include "dialogs/ProgramInfo.h"

#include "base/mdlKestrin_File.h"
#include "dialogs/ModalSeam.h"

#include <QFileInfo>

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
