#pragma once

#include <gtest/gtest.h>

#include "base/ScreenUnits.h"
#include "settings/mdlOption.h"
#include "window/FakeWindowFace.h"
#include "window/cWindowPlacement.h"

// The image window's classes tested without widgets: on a 1024 x 768 screen at 15 twips per
// pixel, with default options, through a fake face whose shown size follows the placement.
class WindowCoreTest : public testing::Test {
protected:
    void SetUp() override {
        ScreenUnits::OverrideForTesting(15, 15, 1024, 768);
        mdlOption::SetDefaultOptions();
        face.place = &place;
    }
    void TearDown() override { ScreenUnits::OverrideForTesting(0, 0); }

    FakeWindowFace face;
    cWindowPlacement place{face};
};
