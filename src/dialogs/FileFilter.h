#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One file type of the open and save dialogs, read from the program's filter text.
struct FileFilter {
    QString description;  // as written, e.g. "JPEG图片(*.jpg)"
    QString pattern;      // as written, e.g. "*.jpg;*.jpeg" or "*.*"
    // What names are matched against: each ';'-separated part of the pattern, trimmed, with "*.*"
    // as "*" so that names without a dot are shown too. Never empty.
    QStringList patterns;
};

// The longest filter text read, in UTF-16 units; anything after it is ignored.
inline constexpr int kMaxFileFilterLength = 32767;

// The save dialog's file types when the option file names none: JPEG, BMP, GIF, TIFF, PNG, HEIF,
// AVIF, JPEG XL, WebP, all files. Quick save keeps a picture's extension only when it appears here,
// so it lists only formats that are written.
QString DefaultFileFilter();

// "所有图片" and every pattern a picture can be opened by (MFreeImage::ReadableExtensions), as one
// description|pattern pair.
QString AllPicturesFilter();

// The open dialog's file types when the option file names none: all pictures first, then JPEG,
// BMP, GIF, TIFF, HEIF, AVIF, JPEG XL, PNG, PSD, TGA, PCX, ICO, all files.
QString DefaultOpenFileFilter();

// Reads "description|pattern|description|pattern…". Both '|' and ':' separate pieces (so a ':'
// in a description splits it and shifts every later pair by one); pieces pair up in order as
// description, pattern. A pair with an empty piece, a pattern naming nothing (only ';' and
// spaces) and an unpaired last piece are dropped. Text past kMaxFileFilterLength is ignored.
QList<FileFilter> ParseFileFilter(const QString& iFilter);

// True when Qt can read this filter's patterns back out of "description (patterns)": Qt takes them
// from a trailing parenthesised group of a limited character set, on one line.
bool QtReadsDescribedForm(const FileFilter& filter);

// The filter as a Qt name filter: "description (p1 p2)", or just "p1 p2" when Qt could not read
// the patterns out of the described form (the file type then shows by its patterns).
QString ToQtNameFilter(const FileFilter& filter);
