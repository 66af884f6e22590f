#include "base/mdlKestrin_File.h"

#include "base/TextUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace mdlKestrin_File {
QString WithSlash(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder
                                                                 : folder + QLatin1Char('/');
}

namespace {
// Whatever its permissions, a name that exists as a file is taken; a folder of that name is not
// looked for. A link counts as taken even when what it points to is gone, so a save never
// writes through it.
bool FileExists(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() || (info.exists() && !info.isDir());
}
}  // namespace

bool SplitPath(const QString& path, QString& folder, QString& name) {
    const QString p = TextUtil::TrimSpaces(path);
    if (p.isEmpty()) {
        return false;
    }
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        folder.clear();
        name = p;
        return false;
    }
    folder = p.left(slash + 1);
    name = p.mid(slash + 1);
    return true;
}

QString GetFileName(const QString& path) {
    QString folder;
    QString name;
    return SplitPath(path, folder, name) ? name : QString();
}

QString GetFileExt(const QString& path) {
    const QString name = GetFileName(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString GetNewFileName(const QString& path,
                       const std::function<QString(const QString&)>& iFinalName,
                       const std::function<bool(const QString&)>& iAlsoTaken) {
    QString folder;
    QString name;
    if (!SplitPath(path, folder, name)) {
        return QString();
    }
    const auto finalName = [&iFinalName](const QString& candidate) {
        return iFinalName ? iFinalName(candidate) : candidate;
    };
    const auto taken = [&iAlsoTaken](const QString& candidate) {
        return FileExists(candidate) || (iAlsoTaken && iAlsoTaken(candidate));
    };
    const QString first = finalName(folder + QStringLiteral("new ") + name);
    if (!taken(first)) {
        return first;
    }
    for (int i = 1; i <= 1000; ++i) {
        const QString candidate = finalName(folder + QStringLiteral("new(%1) ").arg(i) + name);
        if (!taken(candidate)) {
            return candidate;
        }
    }
    return QString();
}

QString GetAppFolder() {
    QString dir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return WithSlash(QDir::fromNativeSeparators(dir));
}

ProgramLayout LayoutFor(const QString& appFolder,
                        const std::function<bool(const QString&)>& isDir) {
    const QString folder = WithSlash(QDir::fromNativeSeparators(appFolder));
    const QString share = WithSlash(QDir::cleanPath(folder + QStringLiteral("../share/lumora")));
    const bool installed = isDir ? isDir(share) : QFileInfo(share).isDir();
    ProgramLayout layout;
    layout.installed = installed;
    layout.dataFolder = installed ? share : folder;
    return layout;
}

ProgramLayout GetProgramLayout() {
    return LayoutFor(GetAppFolder());
}

QString GetDesktopFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).trimmed();
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::homePath();
    }
    return WithSlash(QDir::fromNativeSeparators(dir));
}

}  // namespace mdlKestrin_File
