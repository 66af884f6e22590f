#pragma once

#include <QString>
#include <cerrno>

// Why a picture file was not written, as the user is told it.
enum class SaveFailure {
    None,          // written
    NoPermission,  // the folder or the file may not be written (also a read-only file system)
    NoFolder,      // the folder named does not exist (or a part of its path is a file)
    DiskFull,      // no room left on the disk (or over the user's quota)
    NoFormat,      // the extension names no format this program writes
    NotEncoded,    // the library could not encode the picture in that format
    NotWritten,    // any other failure of the file system
};

// The reason an errno value of a failed create, write, flush or rename stands for; NotWritten for
// the rest. Inline because the decode worker links the writer without the rest of this module.
inline SaveFailure SaveFailureOfErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return SaveFailure::NoPermission;
        case ENOENT:
        case ENOTDIR:
            return SaveFailure::NoFolder;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return SaveFailure::DiskFull;
        default:
            return SaveFailure::NotWritten;
    }
}

// The reason in the interface's words, one line ("" for None).
QString SaveFailureReason(SaveFailure why);

// The message of a failed save: "保存失败！", then the file and the reason on lines of their own.
QString SaveFailedMessage(const QString& path, SaveFailure why);
