#pragma once

#include <QString>
#include <functional>

// Small path helpers shared by quick save, help and the browser. Paths use '/'; every folder these
// helpers return ends in '/'.
namespace mdlKestrin_File {

// True when the (space-trimmed) path contains '/': folder gets everything up to and including the
// last '/', name the rest. Without '/', folder is empty and name the whole path (result false).
// An empty path leaves folder and name untouched.
bool SplitPath(const QString& path, QString& folder, QString& name);

// The folder with a '/' at its end; an empty one stays empty.
QString WithSlash(const QString& folder);

// The file-name part of a path with a folder; empty for a bare name.
QString GetFileName(const QString& path);

// The text after the last '.' of the file name, letter case kept; empty without a dot.
QString GetFileExt(const QString& path);

// A path beside the given one that names no existing file: "new name", then "new(1) name" ...
// "new(1000) name"; empty when all are taken or the path has no folder. iFinalName, when given,
// turns each candidate into the name that would really be written (a save may complete it); that
// final name is what must be free, and what is returned. A file or a symbolic link (even one
// whose target is gone) takes a name; a folder does not; so does any name iAlsoTaken says is
// taken (a file still being written).
QString GetNewFileName(const QString& path,
                       const std::function<QString(const QString&)>& iFinalName = {},
                       const std::function<bool(const QString&)>& iAlsoTaken = {});

// The folder holding the executable.
QString GetAppFolder();

// Where the program's own files are, by where its executable runs from. An installed program
// (one whose "<exe folder>/../share/lumora/" exists) reads them from that share folder and keeps
// its settings in the user's configuration folder; a build-tree or portable copy keeps everything
// beside the executable.
struct ProgramLayout {
    bool installed = false;
    QString dataFolder;  // Help.txt is here; ends in '/'
};

// The layout for an executable in appFolder; isDir says whether a folder exists (the real file
// system when not given).
ProgramLayout LayoutFor(const QString& appFolder,
                        const std::function<bool(const QString&)>& isDir = {});

// The running program's layout (LayoutFor(GetAppFolder())).
ProgramLayout GetProgramLayout();

// The user's desktop folder (the home folder where there is none).
QString GetDesktopFolder();

}  // namespace mdlKestrin_File
