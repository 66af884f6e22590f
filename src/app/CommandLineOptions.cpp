#include "app/CommandLineOptions.h"

#include <QFileInfo>

#include "dialogs/mdlKestrin_Version.h"

namespace CommandLineOptions {
namespace {

struct Option {
    const char* name;
    Action action;
};

constexpr Option kOptions[] = {
    {"--capture", Action::Capture}, {"--select", Action::Select},   {"--paste", Action::Paste},
    {"--help", Action::Help},       {"--version", Action::Version},
};

QString UsageError(const QString& what) {
    return QStringLiteral("lumora: %1 (see lumora --help)").arg(what);
}

}  // namespace

Parsed Parse(const QStringList& arguments) {
    Parsed out;
    QStringList actions;
    bool optionsEnded = false;
    for (const QString& a : arguments) {
        if (optionsEnded || !a.startsWith(QLatin1String("--"))) {
            out.paths << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const Option* known = nullptr;
        for (const Option& o : kOptions) {
            if (a == QLatin1String(o.name)) {
                known = &o;
            }
        }
        if (known == nullptr) {
            out.error = UsageError(QStringLiteral("unknown option '%1'").arg(a));
            return out;
        }
        actions << a;
        out.action = known->action;
    }
    if (actions.size() > 1) {
        out.error = UsageError(QStringLiteral("'%1' and '%2' cannot be given together")
                                   .arg(actions.at(0), actions.at(1)));
    } else if (!actions.isEmpty() && !out.paths.isEmpty()) {
        out.error = UsageError(QStringLiteral("'%1' takes no paths").arg(actions.at(0)));
    }
    return out;
}

QString Usage() {
    return QStringLiteral(
        "Usage: lumora [PICTURE | FOLDER...]\n"
        "       lumora --capture | --select | --paste | --help | --version\n"
        "\n"
        "Opens one picture in its own window, or the thumbnail browser for a folder or several\n"
        "paths; with no argument, an empty window.\n"
        "\n"
        "  --capture   a new window holding the screen under the pointer\n"
        "  --select    freezes the screens to select a region (a drag) or a window (a click);\n"
        "              Enter or a double click pins it where it was, Ctrl+C copies it, C copies\n"
        "              the colour under the pointer, arrows move it (Shift grows, Ctrl shrinks),\n"
        "              Esc ends (exit status 1 when no window is left)\n"
        "  --paste     a new window holding the picture on the clipboard (exit status 1 when\n"
        "              there is none)\n"
        "  --help      this text\n"
        "  --version   the version\n"
        "  --          ends the options: every argument after it is a path\n"
        "\n"
        "A path that begins with \"--\" opens as lumora -- --name or lumora ./--name.\n");
}

QString VersionLine() {
    return QStringLiteral("Lumora %1.%2(%3)")
        .arg(mdlKestrin_Version::kMajor)
        .arg(mdlKestrin_Version::kMinor)
        .arg(mdlKestrin_Version::GetDevNumber());
}

QString CannotOpenLine(const QString& path) {
    const QFileInfo info(path);
    QString reason = QStringLiteral("not a picture this program reads");
    if (!info.exists()) {
        reason = QStringLiteral("no such file");  // a link to nothing too
    } else if (!info.isFile()) {
        reason = QStringLiteral("not a regular file");
    } else if (!info.isReadable()) {
        reason = QStringLiteral("permission denied");
    }
    return QStringLiteral("lumora: cannot open %1: %2").arg(path, reason);
}

}  // namespace CommandLineOptions
