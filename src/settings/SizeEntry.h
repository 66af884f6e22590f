#pragma once

#include <QSize>
#include <QString>
#include <QtGlobal>
#include <optional>

// Reading and writing the size fields and size-list entries of the command panel and the options
// dialog, and the opacity field. Sizes are in pixels. "Trimmed" means leading and trailing spaces
// (code 32) removed, as everywhere in the program's option texts.
namespace SizeEntry {

// The size a field stands for: the trimmed text is a plain decimal number (optional '+' or '-',
// digits, optional '.' and more digits; at least one digit; no exponent, separators, hex, NaN or
// infinity), and its value rounded half to even is > 0 and fits 32 signed bits. Otherwise nullopt.
std::optional<qint32> ParseSizeNumber(const QString& text);

// A size-list entry: "width*height" or "width height", optionally followed by "(name)". The
// entry is trimmed and cut before its first '('; it splits at the first '*', or without one at
// the first space; each side, trimmed, must pass ParseSizeNumber. Otherwise nullopt.
std::optional<QSize> ParseSizeItem(const QString& entry);

// The entry that stands for the picture's own size (pixels): "800 * 600(原始图片大小)".
QString OriginalSizeEntry(qint32 w, qint32 h);

// A common size as the size list shows it, in the form of the entry above: "640*480(VGA)" reads
// "640 * 480(VGA)", "1024 768" reads "1024 * 768". Text that is no size stays as it is.
QString ListEntry(const QString& stored);

// One size-list row as the options dialog edits it.
struct Parts {
    QString width;
    QString height;
    QString name;
};

// name: the text after the row's first '(', trailing spaces and then one ')' removed ("" without a
// '('). width and height: the trimmed texts around the first '*' of the row cut before that '(';
// a side that is not a valid size number, or both sides when there is no '*', become "0".
Parts SplitForEdit(const QString& row);

// The row the options dialog stores: width + "*" + height, then "(" + name + ")" when the name,
// trimmed, is not empty. Control characters are removed from all three first (CleanText without
// the trim), so an edited row can never start a new line of the option file.
QString BuildEntry(const QString& width, const QString& height, const QString& name);

// text without control characters (below U+0020, U+007F, U+2028, U+2029), then trimmed. For
// folder fields written to the option file.
QString CleanText(const QString& text);

// The opacity field: trimmed text of an optional sign and digits whose value fits 16 signed bits;
// otherwise nullopt.
std::optional<qint16> ParseOpacity(const QString& text);

// The opacity a window gets for a typed value: 10 to 100 percent. At least 10, since 0 or below
// would leave an invisible window nobody can click; at most 100, all a window can show.
qint16 WindowOpacity(qint16 typed);

// The opacity a window gets for the opacity box's text: its value within 10 to 100, digits too
// many for 16 bits counting as above 100; nullopt for text that is no number.
std::optional<qint16> OpacityOfText(const QString& text);

}  // namespace SizeEntry
