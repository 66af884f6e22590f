#include "settings/SizeEntry.h"

#include <QLocale>
#include <algorithm>
#include <limits>

#include "base/Rounding.h"
#include "base/TextUtil.h"

namespace SizeEntry {

namespace {

bool IsAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool IsSign(QChar c) {
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

// [+-]? digits [. digits] or [+-]? . digits: ASCII digits only, so full-width or other scripts'
// digits, exponents and separators never reach the number conversion.
bool IsPlainDecimal(const QString& s) {
    qsizetype i = 0;
    if (i < s.size() && IsSign(s.at(i))) {
        ++i;
    }
    int digits = 0;
    while (i < s.size() && IsAsciiDigit(s.at(i))) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < s.size() && IsAsciiDigit(s.at(i))) {
            ++i;
            ++digits;
        }
    }
    return digits > 0 && i == s.size();
}

bool IsControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7F || u == 0x2028 || u == 0x2029;
}

QString WithoutControls(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (!IsControl(c)) {
            out += c;
        }
    }
    return out;
}

QString SizeOrZero(const QString& text) {
    return ParseSizeNumber(text) ? text : QStringLiteral("0");
}

}  // namespace

std::optional<qint32> ParseSizeNumber(const QString& text) {
    const QString t = TextUtil::TrimSpaces(text);
    if (!IsPlainDecimal(t)) {
        return std::nullopt;
    }
    // The C locale, not the user's: "2.5" must read the same under a decimal comma.
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok) {
        return std::nullopt;  // too large for a double: far out of range anyway
    }
    const double r = Rounding::RoundHalfEven(value);
    if (r < 1.0 || r > static_cast<double>(std::numeric_limits<qint32>::max())) {
        return std::nullopt;
    }
    return static_cast<qint32>(r);
}

std::optional<QSize> ParseSizeItem(const QString& entry) {
    QString s = TextUtil::TrimSpaces(entry);
    const qsizetype paren = s.indexOf(QLatin1Char('('));
    if (paren >= 0) {
        s.truncate(paren);
    }
    qsizetype cut = s.indexOf(QLatin1Char('*'));
    if (cut < 0) {
        cut = s.indexOf(QLatin1Char(' '));
    }
    if (cut < 0) {
        return std::nullopt;
    }
    const std::optional<qint32> w = ParseSizeNumber(s.left(cut));
    const std::optional<qint32> h = ParseSizeNumber(s.mid(cut + 1));
    if (!w || !h) {
        return std::nullopt;
    }
    return QSize(*w, *h);
}

QString OriginalSizeEntry(qint32 w, qint32 h) {
    return TextUtil::SizeText(w, h) + QStringLiteral("(原始图片大小)");
}

QString ListEntry(const QString& stored) {
    const std::optional<QSize> size = ParseSizeItem(stored);
    if (!size) {
        return stored;
    }
    const qsizetype paren = stored.indexOf(QLatin1Char('('));
    const QString name = paren >= 0 ? TextUtil::TrimSpaces(stored.mid(paren)) : QString();
    return TextUtil::SizeText(size->width(), size->height()) + name;
}

Parts SplitForEdit(const QString& row) {
    Parts p;
    QString s = row;
    const qsizetype paren = s.indexOf(QLatin1Char('('));
    if (paren >= 0) {
        QString name = s.mid(paren + 1);
        while (name.endsWith(QLatin1Char(' '))) {
            name.chop(1);
        }
        if (name.endsWith(QLatin1Char(')'))) {
            name.chop(1);
        }
        p.name = name;
        s.truncate(paren);
    }
    const qsizetype star = s.indexOf(QLatin1Char('*'));
    if (star >= 0) {
        p.width = SizeOrZero(TextUtil::TrimSpaces(s.left(star)));
        p.height = SizeOrZero(TextUtil::TrimSpaces(s.mid(star + 1)));
    } else {
        p.width = QStringLiteral("0");
        p.height = QStringLiteral("0");
    }
    return p;
}

QString BuildEntry(const QString& width, const QString& height, const QString& name) {
    QString entry = WithoutControls(width) + QLatin1Char('*') + WithoutControls(height);
    const QString n = WithoutControls(name);
    if (!TextUtil::TrimSpaces(n).isEmpty()) {
        entry += QLatin1Char('(') + n + QLatin1Char(')');
    }
    return entry;
}

QString CleanText(const QString& text) {
    return TextUtil::TrimSpaces(WithoutControls(text));
}

std::optional<qint16> ParseOpacity(const QString& text) {
    const QString t = TextUtil::TrimSpaces(text);
    qsizetype i = 0;
    const bool negative = !t.isEmpty() && t.at(0) == QLatin1Char('-');
    if (!t.isEmpty() && IsSign(t.at(0))) {
        ++i;
    }
    if (i == t.size()) {
        return std::nullopt;
    }
    // Accumulated with a bound check per digit, so no length of digits can overflow.
    qint32 magnitude = 0;
    const qint32 limit = negative ? -qint32{std::numeric_limits<qint16>::min()}
                                  : qint32{std::numeric_limits<qint16>::max()};
    for (; i < t.size(); ++i) {
        if (!IsAsciiDigit(t.at(i))) {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (t.at(i).unicode() - u'0');
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    return static_cast<qint16>(negative ? -magnitude : magnitude);
}

qint16 WindowOpacity(qint16 typed) {
    return std::clamp<qint16>(typed, 10, 100);
}

std::optional<qint16> OpacityOfText(const QString& text) {
    if (const auto typed = ParseOpacity(text)) {
        return WindowOpacity(*typed);
    }
    const QString t = TextUtil::TrimSpaces(text);
    const bool digits = !t.isEmpty() && std::all_of(t.begin(), t.end(), IsAsciiDigit);
    return digits ? std::optional<qint16>(100) : std::nullopt;
}

}  // namespace SizeEntry
