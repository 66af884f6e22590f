#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The process-wide option store and its file, Option.ini. Everyone reads the store directly;
// nothing is notified when it changes, so a changed option takes effect when next looked at.
namespace mdlOption {

inline constexpr int kMaxSizes = 20;

// The options' defaults, and how each is read and written, are in kOptionTable
// (settings/OptionTable.h); a new store holds every default.
struct OptionStore {
    OptionStore();

    bool ResizeWhenOpen;
    bool ResizeWhenRotate;
    bool AlwaysTop;
    bool DisplayBorder;
    // A JPEG whose EXIF orientation says it was taken turned or mirrored opens upright, its own
    // size the upright one (windows and thumbnails); off, as the file's pixels are stored.
    bool AutoRotate;
    QString QuickSavePath;  // empty, or a folder ending in '/'
    // The quality HEIC, AVIF, JPEG XL and WebP are saved at, 1 to 100 (100 lossless); JPEG keeps
    // its own.
    int SaveQuality;
    QString SupportFileOpen;
    QString SupportFileSave;
    // Common sizes, "width*height" optionally followed by "(name)", in pixels; at most kMaxSizes,
    // in file order. Entry 1 of the panel is CYSizeList[0].
    QStringList CYSizeList;

    qint16 CYSizeCount() const { return static_cast<qint16>(CYSizeList.size()); }
};

// The one store of the process.
OptionStore& Options();

// The save dialog's default filter (see ::DefaultFileFilter): description and pattern alternate,
// split by '|'.
QString DefaultFileFilter();

// The open dialog's default filter (see ::DefaultOpenFileFilter): all pictures first.
QString DefaultOpenFilter();

// Why folder cannot be the quick-save folder, as the options dialog says it: empty, not an
// existing folder, or one this user may not write into. "" when it can.
QString QuickSaveFolderRefusal(const QString& folder);

// Puts the nine scalar options to their defaults; the size list is left as it is.
void SetDefaultOptions();

// Option.ini in the user's configuration folder for an installed program; beside the executable
// for a build-tree or portable one when that folder can be written (the configuration folder
// otherwise).
QString GetOptionFile();

// Reads settings from path (empty: GetOptionFile()). True when the whole file was read without
// error; settings applied before an error stay applied.
bool ReadOptions(const QString& path = QString());

// Writes the settings to path (empty: GetOptionFile()), UTF-8 with CR LF line ends, replacing the
// old file only once the new one is complete. True when written and closed without error.
// AutoRotate and SaveQuality are the last lines, after the keys older files hold, which still
// read (without them, they keep their defaults).
bool WriteOptions(const QString& path = QString());

// Applies one key (any letter case) and value; false for an unknown key.
bool ApplyOption(const QString& key, const QString& value);

// The whole decimal number text stands for (spaces around it ignored), when it lies within
// [lowest, highest]; nullopt otherwise.
std::optional<int> OptionNumber(const QString& text, int lowest, int highest);

// "FALSE" and "0" (any letter case) are false; every other text, the empty one included, is true.
bool OptionToBool(const QString& text);

}  // namespace mdlOption
