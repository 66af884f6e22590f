#include "window/SaveNaming.h"

#include "base/mdlKestrin_File.h"
#include "image/MFreeImage.h"
#include "image/cSaveJob.h"

namespace SaveNaming {

namespace {

const QString kNoName = QStringLiteral("noname.jpg");

// The candidate as the save will write it.
QString FinalName(const QString& candidate, const QString& supportFileSave) {
    const QString ext = mdlKestrin_File::GetFileExt(candidate);
    // A plain text search, as the filter is written by hand: "*.T" is found inside "*.TIF".
    QString name = candidate;
    if (ext.isEmpty() ||
        !supportFileSave.toUpper().contains(QStringLiteral("*.") + ext.toUpper())) {
        name += QStringLiteral(".jpg");
    }
    const QString completed = MFreeImage::CompletedFileName(name);
    return completed.isEmpty() ? name : completed;
}

}  // namespace

QString QuickSaveTarget(const QString& iPicFile, const QString& iQuickSavePath,
                        const QString& iSupportFileSave, const QString& iDesktopFolder,
                        QString& ioPicFile) {
    QString base;
    if (!iQuickSavePath.isEmpty()) {
        base = iQuickSavePath +
               (iPicFile.isEmpty() ? kNoName : mdlKestrin_File::GetFileName(iPicFile));
    } else if (iPicFile.isEmpty()) {
        ioPicFile = iDesktopFolder + kNoName;
        base = ioPicFile;
    } else {
        base = iPicFile;
    }
    // A name another window's quick save is still writing is taken too: its file may not be
    // there yet, and the later commit would replace the earlier.
    return mdlKestrin_File::GetNewFileName(
        base,
        [&iSupportFileSave](const QString& candidate) {
            return FinalName(candidate, iSupportFileSave);
        },
        cSaveJob::IsWriting);
}

}  // namespace SaveNaming
