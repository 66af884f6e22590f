#pragma once

#include <QFontMetrics>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>

// The measuring and paging rules of the thumbnail browser, apart from its widgets. Items are
// numbered from 1 in the order they were added; cells 0..7 show a page, in rows of 4.
namespace BrowseArithmetic {

constexpr int kCells = 8;
constexpr int kColumns = 4;
constexpr int kThumbSide = 98;  // device pixels at scale 1: the largest thumbnail side

// The largest thumbnail side, in device pixels, for cells shown at deviceRatio device pixels per
// logical pixel: 98 x the ratio, rounded half to even (98 at 1, 147 at 1.5, 196 at 2). A ratio
// that is not positive counts as 1.
int ThumbSide(double deviceRatio);

// Thumbnail size in pixels for a picture of ownSize pixels: a picture within maxSide x maxSide
// keeps its size (never enlarged); a larger one is scaled by maxSide / its longer side (single
// precision), each side rounded half to even and never below 1. Empty for a size that is not
// positive.
QSize ThumbnailSize(QSize ownSize, int maxSide = kThumbSide);

// The thumbnail of a decoded picture whose file holds ownSize pixels (the decoded picture may be
// a reduced decode of it; an invalid ownSize means the picture is at its own size), for cells at
// deviceRatio: ThumbnailSize(ownSize, ThumbSide(deviceRatio)) device pixels, carrying that ratio
// as its devicePixelRatio so that it is drawn one picture pixel to one device pixel. Always a new
// picture that shares no pixels with decoded; null when decoded is null or cannot be scaled.
QImage MakeThumbnail(const QImage& decoded, QSize ownSize, double deviceRatio = 1.0);

// The scroll bar's range for count items: 1 .. count div 4, but never below 1 (a bar cannot hold
// a maximum under its minimum; with fewer than 8 items it stays on the first page anyway).
int ScrollMaximum(int count);

// The first item shown for a scroll value: (value - 1) * 4 + 1.
int PageStart(int value);

// The items a page shows, in cells 0, 1, ...: first..last (last < first for none). start is
// clamped to 1..count first.
struct PageRange {
    int first = 1;
    int last = 0;
    int Size() const { return last >= first ? last - first + 1 : 0; }
};
PageRange ShowRange(int start, int count);

// The scroll value after one wheel step: value + direct, kept within 1..maximum.
int ScrollStep(int value, int direct, int maximum);

// Where the pictures opened in new windows go, twips, for a screen of screenW x screenH twips:
// the first at (screenW / 4, screenH / 6) rounded half to even, each next 500 right and down;
// one that would start right of 3/4 of the screen's width or below 3/4 of its height goes back to
// the first place.
QList<QPoint> CascadePositions(int n, double screenW, double screenH);

// "总共N张图片，您选中了其中的M张。"
QString CountText(int total, int selected);

// A check box caption for a path: its file name, with "&" doubled so it shows as itself instead
// of marking a shortcut.
QString CheckCaption(const QString& path);

// The same caption made to fit width logical pixels of metrics' font: a file name too long for it
// keeps its start and its end (where the extension and any numbering are) around a "…".
QString CheckCaption(const QString& path, const QFontMetrics& metrics, int width);

}  // namespace BrowseArithmetic
