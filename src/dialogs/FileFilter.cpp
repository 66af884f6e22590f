#include "dialogs/FileFilter.h"

#include <QRegularExpression>

#include "image/MFreeImage.h"

namespace {
// The characters Qt accepts inside the parenthesised pattern group of a name filter (it splits the
// group at spaces; ';' and the rest would stay inside a pattern).
bool IsQtPatternChar(QChar c) {
    if (c.unicode() >= 0x80) {
        return false;
    }
    if (c.isLetterOrNumber()) {
        return true;
    }
    return QStringLiteral("_.,*? +;#-[]@{}/!<>$%&=^~:|").contains(c);
}
}  // namespace

QString DefaultFileFilter() {
    return QStringLiteral(
        "JPEG图片(*.jpg)|*.jpg|Bmp图片(*.bmp)|*.bmp|Gif图片(*.gif)|*.gif|TIFF文档(*.tif)|*.tif|"
        "PNG图片(*.png)|*.png|HEIF图片(*.heic;*.heif)|*.heic;*.heif|AVIF图片(*.avif)|*.avif|"
        "JPEG XL图片(*.jxl)|*.jxl|WebP图片(*.webp)|*.webp|所有文件(*.*)|*.*");
}

QString AllPicturesFilter() {
    QStringList patterns;
    for (const QString& extension : MFreeImage::ReadableExtensions()) {
        patterns << QStringLiteral("*.") + extension;
    }
    return QStringLiteral("所有图片|") + patterns.join(QLatin1Char(';'));
}

QString DefaultOpenFileFilter() {
    return AllPicturesFilter() +
           QStringLiteral(
               "|JPEG图片(*.jpg)|*.jpg|Bmp图片(*.bmp)|*.bmp|Gif图片(*.gif)|*.gif|"
               "TIFF文档(*.tif)|*.tif|HEIF图片(*.heic;*.heif)|*.heic;*.heif|AVIF图片(*.avif)|*."
               "avif|"
               "JPEG XL图片(*.jxl)|*.jxl|PNG图片(*.png)|*.png|PSD图片(*.psd)|*.psd|"
               "TGA图片(*.tga)|*.tga|PCX图片(*.pcx)|*.pcx|ICO图标(*.ico)|*.ico|所有文件(*.*)|*.*");
}

QList<FileFilter> ParseFileFilter(const QString& iFilter) {
    static const QRegularExpression kSeparator(QStringLiteral("[|:]"));
    const QStringList pieces = iFilter.left(kMaxFileFilterLength).split(kSeparator);
    QList<FileFilter> filters;
    for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
        FileFilter filter{pieces[i], pieces[i + 1], {}};
        if (filter.description.isEmpty() || filter.pattern.isEmpty()) {
            continue;
        }
        for (const QString& part : filter.pattern.split(QLatin1Char(';'))) {
            const QString one = part.trimmed();
            if (!one.isEmpty()) {
                filter.patterns << (one == QLatin1String("*.*") ? QStringLiteral("*") : one);
            }
        }
        if (!filter.patterns.isEmpty()) {
            filters << filter;
        }
    }
    return filters;
}

bool QtReadsDescribedForm(const FileFilter& filter) {
    if (filter.description.contains(QLatin1Char('\n')) ||
        filter.description.contains(QLatin1Char('\r'))) {
        return false;
    }
    for (const QString& p : filter.patterns) {
        for (QChar c : p) {
            if (!IsQtPatternChar(c)) {
                return false;
            }
        }
    }
    return true;
}

QString ToQtNameFilter(const FileFilter& filter) {
    const QString patterns = filter.patterns.join(QLatin1Char(' '));
    if (!QtReadsDescribedForm(filter)) {
        return patterns;
    }
    return filter.description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}
