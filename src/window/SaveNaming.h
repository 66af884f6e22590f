#pragma once

#include <QString>

// The name quick save writes to. Core logic, no window: the image window asks it, then saves.
namespace SaveNaming {

// The file quick save must write for the picture of iPicFile; "" when no free name is found.
//
// The base name is iQuickSavePath (a folder ending in '/') plus the file name of iPicFile
// ("noname.jpg" for a picture without a file) when iQuickSavePath is not ""; otherwise iPicFile
// itself, or, for a picture without a file, iDesktopFolder (ending in '/') + "noname.jpg", which
// then also becomes the picture's file: ioPicFile is set to it. Candidates are the base with "new "
// before its file name, then "new(1) " ... "new(1000) ", each made final before it is tested
// (mdlKestrin_File::GetNewFileName): ".jpg" is appended when the extension is "" or its "*.EXT"
// (letter case ignored) appears nowhere in iSupportFileSave (the save filter text,
// "desc|*.jpg|..."), and the result is completed as the save will complete it
// (MFreeImage::CompletedFileName; kept as it is for a format the library cannot write, whose save
// then fails and says so). The first final name that no file or symbolic link takes, and no
// running save is writing, is returned.
// iPicFile and ioPicFile may be the same string.
QString QuickSaveTarget(const QString& iPicFile, const QString& iQuickSavePath,
                        const QString& iSupportFileSave, const QString& iDesktopFolder,
                        QString& ioPicFile);

}  // namespace SaveNaming
