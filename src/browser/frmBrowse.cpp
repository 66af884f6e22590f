#include "browser/frmBrowse.h"

#include "window/DropPaths.h"

#include "base/GuardedWork.h"
#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "base/mdlKestrin_File.h"
#include "browser/BrowseArithmetic.h"
#include "browser/cBrowseLoader.h"
#include "browser/cOpenTally.h"
#include "browser/mdlMouseScroll.h"
#include "dialogs/ModalSeam.h"
#include "window/WindowServices.h"
#include "window/frmResize.h"
#include "window/mdlAPI_Form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {
QPointer<frmBrowse> gShared;
std::function<bool(frmResize*, const QString&)> gOwnerOpen;

constexpr int kRefreshMs = 200;  // count, range and page follow the load this often
constexpr int kAskAbove = 20;    // more ticked pictures than this: ask before opening

// The room a check box leaves its caption, in logical pixels: its width less the indicator and
// the gap the style puts before the text.
int CaptionWidth(const QCheckBox* chk) {
    QStyleOptionButton option;
    option.initFrom(chk);
    return chk->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, chk).width();
}
}  // namespace

frmBrowse* frmBrowse::Shared() {
    if (gShared.isNull()) {
        gShared = new frmBrowse;
    }
    return gShared;
}

void frmBrowse::setOwnerOpenForTesting(std::function<bool(frmResize*, const QString&)> open) {
    gOwnerOpen = std::move(open);
}

frmBrowse::frmBrowse() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("frmBrowse"));
    setWindowTitle(QStringLiteral("图像浏览"));
    mLoader = new cBrowseLoader(nullptr, 0, 64, this);
    connect(mLoader, &cBrowseLoader::itemLoaded, this, &frmBrowse::ItemLoaded);
    connect(mLoader, &cBrowseLoader::finished, this, &frmBrowse::LoadFinished);
    // Thumbnails are made for the device pixels of the cells on the screen the browser is on.
    mLoader->SetDeviceRatioSource([this] { return devicePixelRatioF(); });
    mRefreshTimer = new QTimer(this);
    mRefreshTimer->setInterval(kRefreshMs);
    connect(mRefreshTimer, &QTimer::timeout, this, [this] {
        if (mRefreshDue) {
            Refresh();
        }
    });
    Build();
    ShowPage(1);
    UpdateCountLabel();
}

frmBrowse::~frmBrowse() {
    if (mdlMouseScroll::HookedForm() == this) {
        mdlMouseScroll::UnhookMouseScroll();
    }
    mLoader->Cancel();
}

// ---- loading ----

bool frmBrowse::ShowBrowse(const QStringList& iFiles, frmResize* iOwnForm) {
    Forget();
    ++mSession;
    if (iFiles.isEmpty()) {
        hide();
        return false;
    }
    mOwnForm = iOwnForm;
    mdlAPI_Form::SetTopMost(this);
    if (!isVisible()) {
        // Where the user looks: centred on the screen of its window (or the primary one).
        adjustSize();
        const QScreen* screen = iOwnForm != nullptr ? iOwnForm->screen() : nullptr;
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        if (screen != nullptr) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
    // Hiding never ends the program by itself: letting go of this when hidden does, once no
    // window is left on the screen (the owner may have closed meanwhile).
    if (!mShownLock) {
        mShownLock = std::make_unique<QEventLoopLocker>();
    }
    mdlMouseScroll::HookMouseScroll(this);
    mGiven = iFiles;
    mLoader->Add(iFiles);
    mRefreshTimer->start();
    return true;
}

void frmBrowse::AddDropped(const QStringList& paths) {
    if (paths.isEmpty()) {
        return;
    }
    mGiven += paths;
    mLoader->Add(paths);
    mRefreshTimer->start();
}

void frmBrowse::ItemLoaded(const QImage& thumbnail, const QString& file) {
    mList.Add(thumbnail, file);
    // An item that lands on the page in view shows at once (at most a page of them); the rest,
    // with the count and the range, follow on the timer.
    const int start = BrowseArithmetic::PageStart(vscBrowse->value());
    if (mList.Count() >= start && mList.Count() < start + BrowseArithmetic::kCells) {
        Refresh();
    } else {
        mRefreshDue = true;
    }
}

void frmBrowse::LoadFinished() {
    mRefreshTimer->stop();
    Refresh();
    if (mList.Count() == 0) {
        // Nothing at all could be loaded: said before the browser goes, so the empty browser does
        // not just vanish.
        const quint64 session = mSession;
        ModalSeam::ShowMessage(this, NothingReadableText(mGiven), ModalSeam::Information,
                               QStringLiteral("图像浏览"));
        if (session == mSession) {
            Unload();
        }
    }
}

void frmBrowse::Refresh() {
    mRefreshDue = false;
    const int before = vscBrowse->value();
    vscBrowse->setMaximum(BrowseArithmetic::ScrollMaximum(mList.Count()));
    if (vscBrowse->value() == before) {
        ShowPage(BrowseArithmetic::PageStart(before));  // else the value change showed it
    }
    UpdateCountLabel();
}

bool frmBrowse::IsLoading() const {
    return mLoader->IsLoading();
}

frmResize* frmBrowse::OwnForm() const {
    return mOwnForm && !mOwnForm->IsUnloaded() ? mOwnForm.data() : nullptr;
}

// ---- page and ticks ----

void frmBrowse::ShowPage(int start) {
    const BrowseArithmetic::PageRange range = BrowseArithmetic::ShowRange(start, mList.Count());
    for (int i = 0; i < BrowseArithmetic::kCells; ++i) {
        const size_t c = static_cast<size_t>(i);
        const int n = range.first + i;
        QCheckBox* chk = chkBrowse[c];
        if (i >= range.Size()) {
            imgBrowse[c]->clear();
            imgBrowse[c]->setFrameShape(QFrame::NoFrame);
            mCellItem[c] = 0;
            chk->setVisible(false);
            continue;
        }
        const BrowseItem& item = mList.Item(n);
        imgBrowse[c]->setPixmap(QPixmap::fromImage(item.Picture));
        imgBrowse[c]->setFrameShape(QFrame::Box);
        mCellItem[c] = n;
        chk->setText(
            BrowseArithmetic::CheckCaption(item.FileName, chk->fontMetrics(), CaptionWidth(chk)));
        chk->setToolTip(mdlKestrin_File::GetFileName(item.FileName));
        chk->setChecked(item.Selected);
        chk->setVisible(true);
    }
}

void frmBrowse::UpdateCountLabel() {
    lblCountTip->setText(mList.CountText());
}

void frmBrowse::CheckClicked(int cell, bool checked) {
    const int n = CellItem(cell);
    if (n != 0 && mList.SetSelected(n, checked)) {
        UpdateCountLabel();
    }
}

void frmBrowse::SelectAll(bool selected) {
    mList.SetAllSelected(selected);
    for (int i = BrowseArithmetic::kCells - 1; i >= 0; --i) {
        if (CellItem(i) != 0) {
            chkBrowse[static_cast<size_t>(i)]->setChecked(selected);
        }
    }
    UpdateCountLabel();
}

void frmBrowse::EventMouseScroll(qint16 iDirect) {
    vscBrowse->setValue(
        BrowseArithmetic::ScrollStep(vscBrowse->value(), iDirect, vscBrowse->maximum()));
}

// ---- opening ----

bool frmBrowse::OpenInOwner(frmResize* owner, const QString& path) {
    bool opened = false;
    GuardedWork::Run("opening a picture in its window", [&] {
        opened = gOwnerOpen ? gOwnerOpen(owner, path) : owner->lnkOpenPicture(path);
    });
    return opened;
}

void frmBrowse::CellClicked(int cell) {
    frmResize* owner = OwnForm();
    const int n = CellItem(cell);
    if (!owner || n == 0) {
        return;
    }
    mClickOpened = mList.Item(n).FileName;
    OpenInOwner(owner, mClickOpened);
}

void frmBrowse::CellDoubleClicked(int cell) {
    frmResize* owner = OwnForm();
    const int n = CellItem(cell);
    // The double click's first click has already opened this file: it is not decoded again.
    if (owner && n != 0 && mList.Item(n).FileName != mClickOpened) {
        OpenInOwner(owner, mList.Item(n).FileName);
    }
    Unload();  // forgets the owner too: the release that ends the double click opens nothing
}

void frmBrowse::OpenSelected() {
    const QStringList files = mList.SelectedFiles();
    const quint64 session = mSession;
    if (files.size() > kAskAbove) {
        const bool yes = ModalSeam::AskQuestion(
            this,
            QStringLiteral("您选中了%1张图片，将为它们打开%1个图片窗口。确定要全部打开吗？")
                .arg(files.size()),
            QStringLiteral("图像浏览"));
        if (!yes || session != mSession) {
            return;  // declined, or the browser closed or started over meanwhile
        }
    }
    mLoader->Cancel();  // the decoders are wanted for the windows now
    // The files that cannot be opened are told together, once every other has opened.
    auto* tally = new cOpenTally(this);
    connect(tally, &cOpenTally::allEnded, this, [tally](const QStringList& failed) {
        tally->deleteLater();
        if (!failed.isEmpty()) {
            ModalSeam::ShowMessage(nullptr, OpenFailedText(failed), ModalSeam::Critical,
                                   QStringLiteral("图像浏览"));
        }
    });
    frmResize* owner = OwnForm();
    qsizetype next = 0;
    if (owner && !files.isEmpty()) {
        const int number = tally->Started(files.first());
        if (OpenInOwner(owner, files.first())) {
            FollowOpen(tally, number, owner);
        } else {
            tally->Ended(number, false);
        }
        next = 1;
    }
    const QList<QPoint> places = BrowseArithmetic::CascadePositions(
        static_cast<int>(files.size() - next), ScreenUnits::ScreenWidthTwips(),
        ScreenUnits::ScreenHeightTwips());
    const auto open = WindowServices::ShellServices().openPictureWindow;
    for (const QPoint& place : places) {
        if (session != mSession) {
            break;
        }
        // One window that cannot open does not stop the others.
        if (open) {
            const int number = tally->Started(files.at(next));
            frmResize* window = nullptr;
            GuardedWork::Run("opening a picture window",
                             [&] { window = open(files.at(next), place.x(), place.y()); });
            if (window != nullptr) {
                FollowOpen(tally, number, window);
            } else {
                tally->Ended(number, false);
            }
        }
        ++next;
    }
    tally->Close();
    if (session == mSession) {
        Unload();
    }
}

void frmBrowse::FollowOpen(cOpenTally* tally, int number, frmResize* window) {
    connect(
        window, &frmResize::openEnded, tally,
        [tally, number](bool ok) { tally->Ended(number, ok); }, Qt::SingleShotConnection);
    // A window closed before its picture came is no failure of the file.
    connect(window, &QObject::destroyed, tally, [tally, number] { tally->Ended(number, true); });
}

// ---- closing ----

void frmBrowse::Forget() {
    mLoader->Cancel();
    mRefreshTimer->stop();
    mRefreshDue = false;
    if (mdlMouseScroll::HookedForm() == this) {
        mdlMouseScroll::UnhookMouseScroll();
    }
    mList.Clear();
    mGiven.clear();
    mOwnForm = nullptr;
    mClickOpened.clear();
    vscBrowse->setRange(1, 1);
    vscBrowse->setValue(1);
    ShowPage(1);
    UpdateCountLabel();
}

void frmBrowse::Unload() {
    ++mSession;
    Forget();
    hide();
    mShownLock.reset();
}

void frmBrowse::closeEvent(QCloseEvent* event) {
    ++mSession;
    Forget();
    event->accept();
    // Released once the close has hidden the window.
    QMetaObject::invokeMethod(
        this, [this] { mShownLock.reset(); }, Qt::QueuedConnection);
}

// ---- mouse and drops ----

bool frmBrowse::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frameBrowse) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            if (DropPaths::AcceptAsCopy(static_cast<QDropEvent*>(event))) {
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* e = static_cast<QDropEvent*>(event);
            const QStringList paths = DropPaths::LocalPaths(e->mimeData());
            DropPaths::AcceptAsCopy(e);
            GuardedWork::Run("adding dropped files", [&] { AddDropped(paths); });
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    for (int i = 0; i < BrowseArithmetic::kCells; ++i) {
        QLabel* img = imgBrowse[static_cast<size_t>(i)];
        if (watched != img) {
            continue;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton && img->rect().contains(e->position().toPoint())) {
                CellClicked(i);
            }
            return true;
        }
        if (event->type() == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                CellDoubleClicked(i);
            }
            return true;
        }
        break;
    }
    return QWidget::eventFilter(watched, event);
}
