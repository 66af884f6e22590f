#include "dialogs/mdlKestrin_Version.h"

#include "dialogs/ModalSeam.h"

namespace mdlKestrin_Version {

QString GetDevNumber() {
    return QStringLiteral("00057");
}

QString GetVersionText() {
    return QStringLiteral(
               "CREATE:2007/11/12  0:20\r\nMODIFY:2007/12/21 15:53\r\nVER:%1.%2\r\nDEV:%3\r\n")
        .arg(kMajor)
        .arg(kMinor)
        .arg(GetDevNumber());
}

QString VersionBoxTitle() {
    return QStringLiteral("Kestrin标准内部版本信息");
}

void ShowVersionInfo(QObject* owner) {
    ModalSeam::ShowMessage(owner, GetVersionText(), ModalSeam::Information, VersionBoxTitle());
}

}  // namespace mdlKestrin_Version
