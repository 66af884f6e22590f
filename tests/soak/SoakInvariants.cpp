#include "soak/SoakInvariants.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "browser/frmBrowse.h"
#include "panel/frmMenu.h"
#include "panel/frmMenuBuf.h"
#include "window/PictureViewWidget.h"
#include "window/UndoBudget.h"
#include "window/frmResize.h"

// ---- windows in a stable order ----

void SoakWindows::Scan() {
    mKnown.removeAll(QPointer<frmResize>());
    QList<frmResize*> fresh;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* f = qobject_cast<frmResize*>(w);
        if (f != nullptr && std::none_of(mKnown.begin(), mKnown.end(),
                                         [f](const QPointer<frmResize>& k) { return k == f; })) {
            fresh << f;
        }
    }
    // The application keeps its windows in a hash: several that appear in one action are put in
    // an order of their own, by what they show and where.
    std::sort(fresh.begin(), fresh.end(), [](frmResize* a, frmResize* b) {
        const auto key = [](frmResize* w) {
            return std::make_tuple(w->mPicFile, w->x(), w->y(), w->width(), w->height());
        };
        return key(a) < key(b);
    });
    for (frmResize* f : fresh) {
        mKnown << f;
    }
}

QList<frmResize*> SoakWindows::Live() const {
    QList<frmResize*> out;
    for (const QPointer<frmResize>& w : mKnown) {
        if (w && !w->IsUnloaded()) {
            out << w.data();
        }
    }
    return out;
}

QList<frmResize*> SoakWindows::All() const {
    QList<frmResize*> out;
    for (const QPointer<frmResize>& w : mKnown) {
        if (w) {
            out << w.data();
        }
    }
    return out;
}

// ---- the checks ----

void SoakInvariants::Watch(const QStringList& folders) {
    mFolders = folders;
    mWatched = Snapshot(folders);
}

QMap<QString, SoakInvariants::FileState> SoakInvariants::Snapshot(const QStringList& folders) {
    QMap<QString, FileState> out;
    for (const QString& folder : folders) {
        QDirIterator it(folder,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            out.insert(info.filePath(), {info.isDir() ? -1 : info.size(), info.lastModified()});
        }
    }
    return out;
}

QString SoakInvariants::Check(const SoakWindows& windows, const QString& tempRoot,
                              bool quiet) const {
    const QList<frmResize*> live = windows.Live();
    for (frmResize* w : live) {
        if (quiet && !w->isVisible()) {
            // Nothing it waits for: a loaded window nobody can see or reach.
            return QStringLiteral("window %1 is loaded but not on the screen").arg(live.indexOf(w));
        }
        const QString wrong = CheckWindow(w);
        if (!wrong.isEmpty()) {
            return QStringLiteral("window %1: ").arg(live.indexOf(w)) + wrong;
        }
    }
    QString wrong = CheckOwners(live);
    if (wrong.isEmpty()) {
        wrong = CheckFiles(tempRoot);
    }
    return wrong;
}

QString SoakInvariants::CheckWindow(frmResize* w) const {
    const QImage picture = w->Picture();
    if (picture.isNull()) {
        return QStringLiteral("has no picture");
    }
    if (QSize(w->mOrgWidth, w->mOrgHeight) != picture.size()) {
        return QStringLiteral("reports %1 x %2 for a picture of %3 x %4")
            .arg(w->mOrgWidth)
            .arg(w->mOrgHeight)
            .arg(picture.width())
            .arg(picture.height());
    }
    const int b = w->mFormBorder;
    if (b != 0 && b != 4) {
        return QStringLiteral("border %1").arg(b);
    }
    // A hidden window is laid out when it shows (Qt holds its resize events until then).
    if (w->isVisible() && !w->IsBusy() &&
        w->imgView->geometry() != w->rect().adjusted(b, b, -b, -b)) {
        return QStringLiteral("picture at %1,%2 %3 x %4 in a window of %5 x %6 with border %7")
            .arg(w->imgView->x())
            .arg(w->imgView->y())
            .arg(w->imgView->width())
            .arg(w->imgView->height())
            .arg(w->width())
            .arg(w->height())
            .arg(b);
    }
    if (w->imgView->picture().cacheKey() != w->ScreenPicture().cacheKey() ||
        w->ScreenPicture().size() != picture.size()) {
        return QStringLiteral("shows another picture than it holds");
    }
    // What a repaint would draw: the picture at exactly the control's size.
    const QSize area = w->imgView->size();
    if (w->isVisible() && !area.isEmpty() && w->imgView->shownPicture().size() != area) {
        return QStringLiteral("draws %1 x %2 into %3 x %4")
            .arg(w->imgView->shownPicture().width())
            .arg(w->imgView->shownPicture().height())
            .arg(area.width())
            .arg(area.height());
    }
    if (w->UndoSteps() < 0 || w->valHaveBackup() != (w->UndoSteps() > 0) ||
        UndoBudget::Held() < 0) {
        return QStringLiteral("history of %1 steps, undo %2, %3 bytes held")
            .arg(w->UndoSteps())
            .arg(w->valHaveBackup())
            .arg(UndoBudget::Held());
    }
    if (w->mTouming < 10) {  // typed values above 100 are kept
        return QStringLiteral("opacity %1").arg(w->mTouming);
    }
    return QString();
}

QString SoakInvariants::CheckOwners(const QList<frmResize*>& live) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        frmResize* owner = nullptr;
        QString what;
        bool shown = top->isVisible();
        if (auto* panel = qobject_cast<frmMenu*>(top)) {
            owner = panel->Owner();
            what = QStringLiteral("the command panel");
        } else if (auto* menu = qobject_cast<frmMenuBuf*>(top)) {
            owner = menu->Owner();
            what = QStringLiteral("the crop menu");
            shown = false;  // the form itself is never shown
        } else if (auto* browser = qobject_cast<frmBrowse*>(top)) {
            owner = browser->OwnForm();
            for (int cell = 0; cell < 8; ++cell) {
                if (browser->CellItem(cell) < 0 ||
                    browser->CellItem(cell) > browser->Items().Count()) {
                    return QStringLiteral("the browser shows item %1 of %2")
                        .arg(browser->CellItem(cell))
                        .arg(browser->Items().Count());
                }
            }
            what = QStringLiteral("the browser");
            shown = false;  // it may stay without an owner
        } else {
            continue;
        }
        if (owner != nullptr && !live.contains(owner)) {
            return what + QStringLiteral(" holds a window that is closed");
        }
        if (shown && owner == nullptr) {
            return what + QStringLiteral(" is shown without an owner");
        }
    }
    return QString();
}

QString SoakInvariants::CheckFiles(const QString& tempRoot) const {
    const auto now = Snapshot(mFolders);
    for (auto it = mWatched.begin(); it != mWatched.end(); ++it) {
        if (!now.contains(it.key())) {
            return it.key() + QStringLiteral(" was removed");
        }
        if (!(now.value(it.key()) == it.value())) {
            return it.key() + QStringLiteral(" was changed");
        }
    }
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (!mWatched.contains(it.key())) {
            return it.key() + QStringLiteral(" was made");
        }
    }
    // A save leaves no half-written file under another name (QSaveFile's are name.XXXXXX).
    QDirIterator all(tempRoot, QDir::Files | QDir::Hidden | QDir::System,
                     QDirIterator::Subdirectories);
    static const QRegularExpression partial(QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    while (all.hasNext()) {
        const QString path = all.next();
        if (partial.match(path).hasMatch() && !path.contains(QLatin1String("/xdg/"))) {
            return path + QStringLiteral(" is left over from a save");
        }
    }
    return QString();
}
