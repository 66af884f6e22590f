#include "browser/cBrowseList.h"

#include "browser/BrowseArithmetic.h"

void cBrowseList::Clear() {
    mItems.clear();
    mSelected = 0;
}

void cBrowseList::Add(const QImage& thumbnail, const QString& fileName) {
    mItems.push_back({thumbnail, fileName, true});
    ++mSelected;
}

bool cBrowseList::SetSelected(int n, bool selected) {
    if (n < 1 || n > Count()) {
        return false;
    }
    BrowseItem& item = mItems[static_cast<size_t>(n - 1)];
    if (item.Selected != selected) {
        item.Selected = selected;
        mSelected += selected ? 1 : -1;
    }
    return true;
}

void cBrowseList::SetAllSelected(bool selected) {
    for (BrowseItem& item : mItems) {
        item.Selected = selected;
    }
    mSelected = selected ? Count() : 0;
}

QStringList cBrowseList::SelectedFiles() const {
    QStringList out;
    for (const BrowseItem& item : mItems) {
        if (item.Selected) {
            out << item.FileName;
        }
    }
    return out;
}

QString cBrowseList::CountText() const {
    return BrowseArithmetic::CountText(Count(), mSelected);
}
