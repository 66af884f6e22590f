#include "image/SaveFailure.h"

QString SaveFailureReason(SaveFailure why) {
    switch (why) {
        case SaveFailure::None:
            return QString();
        case SaveFailure::NoPermission:
            return QStringLiteral("没有写入权限");
        case SaveFailure::NoFolder:
            return QStringLiteral("文件夹不存在");
        case SaveFailure::DiskFull:
            return QStringLiteral("磁盘已满");
        case SaveFailure::NoFormat:
            return QStringLiteral("不是 Lumora 能保存的图片格式");
        case SaveFailure::NotEncoded:
            return QStringLiteral("图片无法以这种格式编码");
        case SaveFailure::NotWritten:
            break;
    }
    return QStringLiteral("文件无法写入");
}

QString SaveFailedMessage(const QString& path, SaveFailure why) {
    return QStringLiteral("保存失败！\n文件：") + path + QStringLiteral("\n原因：") +
           SaveFailureReason(why);
}
