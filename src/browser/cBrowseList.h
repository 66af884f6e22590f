#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

// One loaded picture of the browser.
struct BrowseItem {
    QImage Picture;    // the thumbnail, at most 98 x 98 pixels, its own copy
    QString FileName;  // full path
    bool Selected = true;
};

// The browser's items, numbered 1..Count() in the order they were added, with their ticks.
class cBrowseList {
public:
    void Clear();
    // Appends an item, ticked.
    void Add(const QImage& thumbnail, const QString& fileName);

    int Count() const { return static_cast<int>(mItems.size()); }
    int SelectedCount() const { return mSelected; }
    // Item n, 1 <= n <= Count().
    const BrowseItem& Item(int n) const { return mItems.at(static_cast<size_t>(n - 1)); }

    // Ticks or unticks item n; false (and nothing changes) for a number out of range.
    bool SetSelected(int n, bool selected);
    void SetAllSelected(bool selected);

    // The paths of the ticked items, in item order.
    QStringList SelectedFiles() const;
    // The count label's text.
    QString CountText() const;

private:
    std::vector<BrowseItem> mItems;
    int mSelected = 0;
};
