#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QWidget>

#include "app/mdlKestrin_Command.h"
#include "base/ScreenUnits.h"
#include "settings/mdlOption.h"
#include "support/ScriptedSeam.h"
#include "window/frmResize.h"

// Window tests run at 15 twips per pixel on a 1024 x 768 screen, with default options (windows
// not kept on top), scripted modal answers, and no window left behind.
class WindowFixture : public testing::Test {
protected:
    void SetUp() override {
        ScreenUnits::OverrideForTesting(15, 15, 1024, 768);
        mdlOption::SetDefaultOptions();
        mdlOption::Options().AlwaysTop = false;
    }
    void TearDown() override {
        CloseAllWindows();
        mdlKestrin_Command::SetProcessArguments({});
        ScreenUnits::OverrideForTesting(0, 0);
    }
    static void CloseAllWindows() {
        // A top-level widget may own another (a menu's popup): delete only what is still alive.
        QList<QPointer<QWidget>> all;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            all << w;
        }
        for (const QPointer<QWidget>& w : all) {
            delete w.data();
        }
    }
    // Waits for the open the window has started (files are read in the background); true when the
    // picture arrived.
    static bool WaitForOpen(frmResize* w) {
        QSignalSpy ended(w, &frmResize::openEnded);
        return ended.wait(30000) && ended.first().first().toBool();
    }
    ScriptedSeam seam;
};
