#pragma once

#include <QString>
#include <QStringList>

// The options a desktop shortcut or a script gives on the command line. Arguments that begin with
// "--" are options and "--" alone ends them; every other argument is a path, as it always was.
namespace CommandLineOptions {

enum class Action {
    Open,     // the paths, as they always were (none: an empty window)
    Capture,  // --capture: a new window holding the screen under the pointer
    Select,   // --select: a region or a window of the frozen screens, pinned where it was
    Paste,    // --paste: a new window holding the clipboard's picture
    Help,     // --help: the usage, to standard output
    Version,  // --version: "Lumora " and the version the About box shows
};

struct Parsed {
    Action action = Action::Open;
    QStringList paths;
    // Not empty for a usage error: the one line for standard error (exit status 2).
    QString error;
};

Parsed Parse(const QStringList& arguments);

// The text --help prints.
QString Usage();

// "Lumora " and the version, as --version prints it.
QString VersionLine();

// Why a picture named on the command line could not be opened, as the one line for standard
// error: "lumora: cannot open PATH: " and the reason (a file that is there and can be read, but
// not as a picture: "not a picture this program reads").
QString CannotOpenLine(const QString& path);

}  // namespace CommandLineOptions
