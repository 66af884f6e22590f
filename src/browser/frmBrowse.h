#pragma once

#include <QEventLoopLocker>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "browser/cBrowseList.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTimer;
class cBrowseLoader;
class cOpenTally;
class frmResize;

// The thumbnail browser "图像浏览": thumbnails of many pictures, 2 rows of 4 cells a page, each
// with a check box; the ticked ones open in image windows. One shared instance, kept on top;
// closing ("unloading") it hides it, stops its loading and forgets its items and its owner, but
// never deletes it.
//
// Loading never waits on a file: thumbnails arrive from a cBrowseLoader in the order the paths
// were given, and the count, scroll range and page follow a few times a second. Everything the
// user can do (scroll, tick, drop more files, open, close) works while it loads.
//
// Each control's object name is its own name ("imgBrowse_3", "chkBrowse_0", "cmdOpen" …), so
// tests find them by name. Cells are 1500 x 1500 twips, their columns 1660 twips apart, measured in
// device pixels of the browser's screen (100 x 100 logical pixels at every scale factor); their
// thumbnails are made for the cells' device pixels and drawn one picture pixel to one device pixel.
class frmBrowse : public QWidget {
    Q_OBJECT
public:
    // The shared browser, built when first asked for.
    static frmBrowse* Shared();

    // Shows the browser over iOwnForm (which may be null) and starts loading iFiles (files or
    // folders, in order), replacing whatever it showed or was loading. True when loading started;
    // with no path at all the browser closes and the result is false. When the whole load ends
    // with no picture, the browser closes itself.
    bool ShowBrowse(const QStringList& iFiles, frmResize* iOwnForm);
    // One wheel step: +1 scrolls a row down, -1 a row up (from the wheel hook).
    void EventMouseScroll(qint16 iDirect);
    // Closes the browser (see above).
    void Unload();

    // Shows items from start (clamped) in the cells; empties the others.
    void ShowPage(int start);
    void UpdateCountLabel();

    const cBrowseList& Items() const { return mList; }
    // The owning image window; null when there is none or it has closed.
    frmResize* OwnForm() const;
    bool IsLoading() const;
    // The item number shown in a cell (the check box's tag), 0 for an empty cell.
    int CellItem(int cell) const { return mCellItem.at(static_cast<size_t>(cell)); }

    // How a picture opens in the owner: lnkOpenPicture unless a test installs a recorder (null
    // restores it).
    static void setOwnerOpenForTesting(std::function<bool(frmResize*, const QString&)> open);

    // The controls.
    std::array<QLabel*, 8> imgBrowse{};
    std::array<QCheckBox*, 8> chkBrowse{};
    QScrollBar* vscBrowse = nullptr;
    QFrame* frameBrowse = nullptr;
    QLabel* lblCountTip = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* fraOperate = nullptr;
    QPushButton* cmdSelectAll = nullptr;
    QPushButton* cmdSelectNone = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmBrowse();
    ~frmBrowse() override;
    void Build();
    void BuildCells();

    void ItemLoaded(const QImage& thumbnail, const QString& file);
    void LoadFinished();
    void AddDropped(const QStringList& paths);
    // Scroll range, page and count label from the items.
    void Refresh();
    // Stops loading and forgets items, owner and page.
    void Forget();

    void CellClicked(int cell);
    void CellDoubleClicked(int cell);
    void CheckClicked(int cell, bool checked);
    void SelectAll(bool selected);
    void OpenSelected();
    bool OpenInOwner(frmResize* owner, const QString& path);
    // Ends the tally's open number when window's open ends (or the window goes).
    static void FollowOpen(cOpenTally* tally, int number, frmResize* window);

    cBrowseList mList;
    cBrowseLoader* mLoader = nullptr;
    QTimer* mRefreshTimer = nullptr;
    bool mRefreshDue = false;
    QPointer<frmResize> mOwnForm;
    QStringList mGiven;  // the paths given (and dropped) since the browser was shown
    std::unique_ptr<QEventLoopLocker> mShownLock;  // held while the browser is on the screen
    std::array<int, 8> mCellItem{};
    QString mClickOpened;  // what the last single click opened: its double click opens it no more
    quint64 mSession = 0;  // changes on every ShowBrowse and close; a modal wait checks it
};
