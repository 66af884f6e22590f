// The soak's dispatcher: which action comes next, and how the soak waits for the work an action
// starts.

#include "soak/SoakActions.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "browser/frmBrowse.h"
#include "dialogs/frmCloseAll.h"
#include "image/cSaveJob.h"
#include "panel/frmMenu.h"
#include "panel/frmMenuBuf.h"
#include "window/frmResize.h"

frmResize* SoakContext::AnyWindow() {
    windows.Scan();
    // Only what a person can reach: a window still waiting for its picture is not on the screen.
    QList<frmResize*> shown;
    for (frmResize* w : windows.Live()) {
        if (w->isVisible()) {
            shown << w;
        }
    }
    return shown.isEmpty() ? nullptr : shown.at(rng.Below(static_cast<int>(shown.size())));
}

QPoint SoakContext::AnyPointOf(QWidget* w) {
    const auto along = [this](int extent) {
        const int last = qMax(0, extent - 1);
        switch (rng.Below(6)) {
            case 0:
                return 0;
            case 1:
                return qMin(2, last);
            case 2:
                return last;
            case 3:
                return qMax(0, last - 2);
            default:
                return rng.Between(0, last);
        }
    };
    return {along(w->width()), along(w->height())};
}

namespace SoakActions {
namespace {
bool gCloseAllConfirmed = false;

void RecordExit(int) {
    gCloseAllConfirmed = true;
}

struct Weighted {
    int weight;
    void (*perform)(SoakContext&);
};

// How often a person does each thing, roughly.
const Weighted kActions[] = {
    {8, OpenInWindow},  {4, OpenNewWindow},   {10, DragPicture},
    {8, DrawCrop},      {6, DragCrop},        {5, CropMenu},
    {10, PressKey},     {6, Clipboard},       {3, DropOnWindow},
    {4, CloseWindow},   {2, TimerTick},       {14, PanelCommand},
    {6, PanelSize},     {5, PanelAppearance}, {5, Options},
    {8, Browser},       {1, CloseAllDialog},  {2, SaveIntoRemovedFolder},
    {5, PanelGestures}, {6, Wheel},
};

bool Quiet() {
    if (cSaveJob::Running() != 0) {
        return false;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        const auto* w = qobject_cast<frmResize*>(top);
        if (w != nullptr && (w->IsBusy() || w->IsOpening())) {
            return false;
        }
    }
    return true;
}
}  // namespace

bool CloseAllConfirmed() {
    return gCloseAllConfirmed;
}

void AfterCloseAll() {
    gCloseAllConfirmed = false;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* w = qobject_cast<frmResize*>(top)) {
            w->close();
        }
    }
    if (auto* browser = frmBrowse::Shared()) {
        browser->Unload();
    }
}

bool WaitForQuiet(int capMs) {
    const bool quiet = QTest::qWaitFor(Quiet, capMs);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return quiet;
}

void PerformOne(SoakContext& ctx) {
    static bool hooked = false;
    if (!hooked) {
        frmCloseAll::setExitForTesting(RecordExit);
        hooked = true;
    }
    ctx.windows.Scan();
    const int live = static_cast<int>(ctx.windows.Live().size());
    if (live > 0 && !ctx.AnyWindow()) {
        WaitForQuiet(60000);  // the windows still opening show (or go) first
    }
    // Without a window there is little to do: a person starts the program again.
    if (!ctx.AnyWindow()) {
        ctx.Note(QStringLiteral("start: one empty window"));
        auto* w = new frmResize;
        w->show();
        return;
    }
    // Many windows: a person closes some.
    if (live > 10 && ctx.rng.Chance(50)) {
        CloseWindow(ctx);
        return;
    }
    int total = 0;
    for (const Weighted& a : kActions) {
        total += a.weight;
    }
    int pick = ctx.rng.Below(total);
    for (const Weighted& a : kActions) {
        if (pick < a.weight) {
            a.perform(ctx);
            return;
        }
        pick -= a.weight;
    }
}

}  // namespace SoakActions
