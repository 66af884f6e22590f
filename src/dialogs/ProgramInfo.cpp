#include "dialogs/ProgramInfo.h"

#include "base/mdlKestrin_File.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/frmHelp.h"

#include <QFile>
#include <QFileInfo>

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
    OpenHelpFile(mdlKestrin_File::GetProgramLayout().dataFolder + QStringLiteral("Help.txt"));
}

void OpenHelpFile(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        frmHelp::SayMissing(path);
        return;
    }
    // xdg-open as a process of our own, so that its failure is seen: a desktop with no viewer
    // for text answers with a non-zero status, and a machine without xdg-open cannot start it.
    ModalSeam::StartProgram(QStringLiteral("xdg-open"), {path}, [path](ModalSeam::ProgramEnd end) {
        if (end != ModalSeam::ProgramEnd::Succeeded) {
            frmHelp::ShowHelpFile(path);
        }
    });
}

}  // namespace ProgramInfo
