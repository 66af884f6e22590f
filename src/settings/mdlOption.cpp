#include "settings/mdlOption.h"

#include "base/TextUtil.h"
#include "base/mdlKestrin_File.h"
#include "dialogs/FileFilter.h"
#include "settings/OptionTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>

namespace mdlOption {
namespace {

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

void ToDefault(const OptionDef& d, OptionStore& o) {
    switch (d.type) {
        case OptionType::Switch:
            o.*d.flag = d.flagDefault;
            break;
        case OptionType::Folder:
        case OptionType::HandText:
            o.*d.text = d.textDefault ? d.textDefault() : QString();
            break;
        case OptionType::Number:
            o.*d.number = d.numberDefault;
            break;
        case OptionType::SizeList:
            (o.*d.list).clear();
            break;
    }
}

}  // namespace

OptionStore::OptionStore() {
    for (const OptionDef& d : kOptionTable) {
        ToDefault(d, *this);
    }
}

OptionStore& Options() {
    static OptionStore store;
    return store;
}

QString DefaultFileFilter() {
    return ::DefaultFileFilter();
}

QString DefaultOpenFilter() {
    return ::DefaultOpenFileFilter();
}

QString QuickSaveFolderRefusal(const QString& folder) {
    if (folder.isEmpty()) {
        return QStringLiteral("请填写快速保存的文件夹！");
    }
    // Writing a file into a folder takes both its write and its search permission.
    const QFileInfo info(folder);
    if (!info.isDir()) {
        return QStringLiteral("快速保存的文件夹不存在：\n") + folder;
    }
    if (!info.isWritable() || !info.isExecutable()) {
        return QStringLiteral("快速保存的文件夹无法写入：\n") + folder;
    }
    return QString();
}

void SetDefaultOptions() {
    for (const OptionDef& d : kOptionTable) {
        if (d.type != OptionType::SizeList) {
            ToDefault(d, Options());
        }
    }
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
    QStringList lines;
    for (const OptionDef& d : kOptionTable) {
        const QString head = QString::fromLatin1(d.name) + QLatin1Char('=');
        switch (d.type) {
            case OptionType::Switch:
                lines << head + (o.*d.flag ? QStringLiteral("True") : QStringLiteral("False"));
                break;
            case OptionType::Folder:
                lines << head + o.*d.text;
                break;
            case OptionType::HandText:
                break;
            case OptionType::Number:
                lines << head + QString::number(o.*d.number);
                break;
            case OptionType::SizeList:
                for (const QString& entry : (o.*d.list).mid(0, kMaxSizes)) {
                    lines << head + entry;
                }
                break;
        }
    }

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
    // Upper-cased on both sides rather than compared by case folding: files already read that way.
    const QString k = key.toUpper();
    for (const OptionDef& d : kOptionTable) {
        if (k != QString::fromLatin1(d.name).toUpper()) {
            continue;
        }
        switch (d.type) {
            case OptionType::Switch:
                o.*d.flag = OptionToBool(value);
                break;
            case OptionType::Folder: {
                o.*d.text = mdlKestrin_File::WithSlash(TextUtil::TrimSpaces(value));
                break;
            }
            case OptionType::HandText:
                o.*d.text = TextUtil::TrimSpaces(value);
                break;
            case OptionType::Number:
                if (const auto number = OptionNumber(value, d.numberMin, d.numberMax)) {
                    o.*d.number = *number;
                }
                break;
            case OptionType::SizeList:
                if ((o.*d.list).size() < kMaxSizes) {
                    QString entry = value;
                    entry.remove(QLatin1Char(' '));
                    (o.*d.list).append(entry);
                }
                break;
        }
        return true;
    }
    return false;
}

std::optional<int> OptionNumber(const QString& text, int lowest, int highest) {
    const QString digits = TextUtil::TrimSpaces(text);
    // Digits only, an optional sign before them: no "0x", no spaces inside, no exponent.
    static const QRegularExpression kWhole(QStringLiteral("^[+-]?[0-9]{1,9}$"));
    if (!kWhole.match(digits).hasMatch()) {
        return std::nullopt;
    }
    const int number = digits.toInt();
    if (number < lowest || number > highest) {
        return std::nullopt;
    }
    return number;
}

bool OptionToBool(const QString& text) {
    const QString t = text.toUpper();
    return !(t == QLatin1String("FALSE") || t == QLatin1String("0"));
}

}  // namespace mdlOption
