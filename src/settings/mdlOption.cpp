#include "settings/mdlOption.h"

#include "base/TextUtil.h"
#include "base/mdlKestrin_File.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>

namespace mdlOption {
namespace {

// The Boolean options: file key (upper case), the name written to the file, member, default.
// In the order they are written; the size lines go between the second and the third, the
// quick-save folder between the fourth and the fifth.
struct BoolOption {
    const char* key;
    const char* name;
    bool OptionStore::*member;
    bool byDefault;
};
constexpr BoolOption kBoolOptions[] = {
    {"RESIZEWHENOPEN", "ResizeWhenOpen", &OptionStore::ResizeWhenOpen, false},
    {"RESIZEWHENROTATE", "ResizeWhenRotate", &OptionStore::ResizeWhenRotate, true},
    {"ALWAYSTOP", "AlwaysTop", &OptionStore::AlwaysTop, true},
    {"DISPLAYBORDER", "DisplayBorder", &OptionStore::DisplayBorder, false},
    {"AUTOROTATE", "AutoRotate", &OptionStore::AutoRotate, true},
};

// An option file is a few hundred bytes; anything past this is not an option file and is not
// read into memory.
constexpr qint64 kMaxFileBytes = 1 << 20;

QString Decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    // Files written by hand on Chinese systems come in GBK.
    QStringDecoder gbk("GBK");
    if (gbk.isValid()) {
        text = gbk(bytes);
        if (!gbk.hasError()) {
            return text;
        }
    }
    return QString::fromLatin1(bytes);
}

QString PathOrDefault(const QString& path) {
    return TextUtil::TrimSpaces(path.isEmpty() ? GetOptionFile() : path);
}

}  // namespace

OptionStore& Options() {
    static OptionStore store = [] {
        OptionStore s;
        s.SupportFileOpen = DefaultOpenFilter();
        s.SupportFileSave = DefaultFileFilter();
        return s;
    }();
    return store;
}

QString DefaultFileFilter() {
    return QStringLiteral(
        "JPEG图片(*.jpg)|*.jpg|Bmp图片(*.bmp)|*.bmp|Gif图片(*.gif)|*.gif|TIFF文档(*.tif)|*.tif|"
        "所有文件(*.*)|*.*");
}

QString DefaultOpenFilter() {
    return QStringLiteral(
        "JPEG图片(*.jpg)|*.jpg|Bmp图片(*.bmp)|*.bmp|Gif图片(*.gif)|*.gif|TIFF文档(*.tif)|*.tif|"
        "HEIF图片(*.heic;*.heif)|*.heic;*.heif|AVIF图片(*.avif)|*.avif|JPEG XL图片(*.jxl)|*.jxl|"
        "所有文件(*.*)|*.*");
}

void SetDefaultOptions() {
    OptionStore& o = Options();
    for (const BoolOption& b : kBoolOptions) {
        o.*b.member = b.byDefault;
    }
    o.QuickSavePath.clear();
    o.SupportFileOpen = DefaultOpenFilter();
    o.SupportFileSave = DefaultFileFilter();
}

QString GetOptionFile() {
    const QString appFolder = mdlKestrin_File::GetAppFolder();
    const QFileInfo folder(appFolder);
    // An installed program's folder is shared by every user: its settings are each user's own.
    if (!mdlKestrin_File::GetProgramLayout().installed && folder.isDir() && folder.isWritable()) {
        return appFolder + QStringLiteral("Option.ini");
    }
    QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (config.isEmpty()) {
        config = QDir::homePath() + QStringLiteral("/.config/Lumora");
    }
    QDir().mkpath(config);
    return QDir::fromNativeSeparators(config) + QStringLiteral("/Option.ini");
}

bool ReadOptions(const QString& path) {
    const QString file = PathOrDefault(path);
    if (file.isEmpty()) {
        return false;
    }
    const QFileInfo info(file);
    if (!info.exists() || info.isDir()) {
        return false;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray bytes = f.read(kMaxFileBytes);
    const bool ok = f.error() == QFileDevice::NoError && f.atEnd();
    f.close();
    if (!ok) {
        // Cut short: a line (or a character) broken at the cut is not applied half.
        const qsizetype lastEnd = std::max(bytes.lastIndexOf('\r'), bytes.lastIndexOf('\n'));
        bytes.truncate(lastEnd < 0 ? 0 : lastEnd + 1);
    }

    // A line ends at CR, CR LF or (for files edited here) LF.
    const QString text = Decode(bytes);
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n')) {
            ++end;
        }
        const QString line = text.mid(start, end - start);
        if (end < n && text.at(end) == QLatin1Char('\r') && end + 1 < n &&
            text.at(end + 1) == QLatin1Char('\n')) {
            ++end;
        }
        start = end + 1;

        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            continue;
        }
        ApplyOption(TextUtil::TrimSpaces(line.left(eq)), TextUtil::TrimSpaces(line.mid(eq + 1)));
    }
    return ok;
}

bool WriteOptions(const QString& path) {
    const QString file = PathOrDefault(path);
    if (file.isEmpty()) {
        return false;
    }
    const OptionStore& o = Options();
    auto boolLine = [&o](const BoolOption& b) {
        return QString::fromLatin1(b.name) + QLatin1Char('=') +
               (o.*b.member ? QStringLiteral("True") : QStringLiteral("False"));
    };
    QStringList lines;
    lines << boolLine(kBoolOptions[0]) << boolLine(kBoolOptions[1]);
    for (qsizetype i = 0; i < o.CYSizeList.size() && i < kMaxSizes; ++i) {
        lines << QStringLiteral("CYSize=") + o.CYSizeList.at(i);
    }
    lines << boolLine(kBoolOptions[2]) << boolLine(kBoolOptions[3]);
    lines << QStringLiteral("QuickSavePath=") + o.QuickSavePath;
    lines << boolLine(kBoolOptions[4]);

    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

bool ApplyOption(const QString& key, const QString& value) {
    OptionStore& o = Options();
    const QString k = key.toUpper();
    for (const BoolOption& b : kBoolOptions) {
        if (k == QLatin1String(b.key)) {
            o.*b.member = OptionToBool(value);
            return true;
        }
    }
    if (k == QLatin1String("CYSIZE")) {
        if (o.CYSizeList.size() < kMaxSizes) {
            QString entry = value;
            entry.remove(QLatin1Char(' '));
            o.CYSizeList.append(entry);
        }
        return true;
    }
    if (k == QLatin1String("QUICKSAVEPATH")) {
        QString folder = TextUtil::TrimSpaces(value);
        if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) {
            folder += QLatin1Char('/');
        }
        o.QuickSavePath = folder;
        return true;
    }
    if (k == QLatin1String("SUPPORTFILEOPEN")) {
        o.SupportFileOpen = TextUtil::TrimSpaces(value);
        return true;
    }
    if (k == QLatin1String("SUPPORTFILESAVE")) {
        o.SupportFileSave = TextUtil::TrimSpaces(value);
        return true;
    }
    return false;
}

bool OptionToBool(const QString& text) {
    const QString t = text.toUpper();
    return !(t == QLatin1String("FALSE") || t == QLatin1String("0"));
}

}  // namespace mdlOption
