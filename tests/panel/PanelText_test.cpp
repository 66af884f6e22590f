#include "panel/PanelText.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct ColourCase {
    qint32 colour;
    const char* text;
};

void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << c.text;
}

class PointColorText : public testing::TestWithParam<ColourCase> {};

TEST_P(PointColorText, ShowsRedGreenBlueFromTheLowByteUp) {
    EXPECT_EQ(PanelText::PointColorText(GetParam().colour), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Colours, PointColorText,
    testing::Values(ColourCase{-1, "<ERROR>"}, ColourCase{0x00FF8040, "RGB: 40 80 FF"},
                    ColourCase{0, "RGB: 00 00 00"}, ColourCase{0x12345678, "RGB: 78 56 34"},
                    ColourCase{-2, "RGB: FE FF FF"},
                    ColourCase{static_cast<qint32>(0x80000000u), "RGB: 00 00 00"}));

struct PositionCase {
    const char* what;
    QPoint pointer;
    QSize panel;
    QRect screen;
    QPoint expected;
};

void PrintTo(const PositionCase& c, std::ostream* os) {
    *os << c.what;
}

class PanelPosition : public testing::TestWithParam<PositionCase> {};

TEST_P(PanelPosition, StaysOnTheScreenOfThePointer) {
    const PositionCase& c = GetParam();
    EXPECT_EQ(PanelText::PanelPosition(c.pointer, c.panel, c.screen), c.expected) << c.what;
}

const QSize kPanel(4500, 5700);
const QRect kScreen(0, 0, 28800, 16200);
const QRect kRightScreen(28800, 0, 28800, 16200);
const QRect kLeftScreen(-28800, -1200, 28800, 16200);

INSTANTIATE_TEST_SUITE_P(
    Pointers, PanelPosition,
    testing::Values(
        PositionCase{
            "bottom-right corner: flips both ways", {28500, 15000}, kPanel, kScreen, {24000, 9300}},
        PositionCase{"top-left corner", {0, 0}, kPanel, kScreen, {1, 1}},
        PositionCase{"room enough", {1000, 2000}, kPanel, kScreen, {1000, 2000}},
        PositionCase{
            "touching the edges exactly stays", {24300, 10500}, kPanel, kScreen, {24300, 10500}},
        PositionCase{"one twip over flips", {24301, 10501}, kPanel, kScreen, {19801, 4801}},
        PositionCase{
            "flipped past the left edge", {3000, 3000}, {5000, 14000}, {0, 0, 6000, 15000}, {1, 1}},
        PositionCase{
            "second monitor, bottom-right", {57300, 15000}, kPanel, kRightScreen, {52800, 9300}},
        PositionCase{"second monitor, its left edge", {28800, 0}, kPanel, kRightScreen, {28801, 1}},
        PositionCase{
            "second monitor, too wide", {57000, 100}, {30000, 100}, kRightScreen, {28801, 100}},
        PositionCase{"monitor left of and above the primary",
                     {-300, 14000},
                     kPanel,
                     kLeftScreen,
                     {-4800, 8300}},
        PositionCase{"monitor left of the primary, its top edge",
                     {-20000, -1200},
                     kPanel,
                     kLeftScreen,
                     {-20000, -1199}}));

// The same panel at the same place to the eye at every scale: device pixels of the pointer's
// screen at that screen's twips per device pixel.
struct DeviceCase {
    const char* what;
    QPointF pointer;  // device pixels
    QSize panel;
    QRect screen;
    double twips;  // per device pixel
    QPoint expected;
};

void PrintTo(const DeviceCase& c, std::ostream* os) {
    *os << c.what;
}

class PanelPositionPx : public testing::TestWithParam<DeviceCase> {};

TEST_P(PanelPositionPx, IsTheSamePlaceAtEveryScale) {
    const DeviceCase& c = GetParam();
    EXPECT_EQ(PanelText::PanelPositionPx(c.pointer, c.panel, c.screen, c.twips, c.twips),
              c.expected)
        << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Scales, PanelPositionPx,
    testing::Values(
        DeviceCase{
            "scale 1, bottom-right", {1900, 1000}, {300, 380}, {0, 0, 1920, 1080}, 15, {1600, 620}},
        DeviceCase{"scale 2, bottom-right",
                   {3800, 2000},
                   {600, 760},
                   {0, 0, 3840, 2160},
                   7.5,
                   {3200, 1240}},
        DeviceCase{"scale 1.5, bottom-right",
                   {2850, 1500},
                   {450, 570},
                   {0, 0, 2880, 1620},
                   10,
                   {2400, 930}},
        DeviceCase{"scale 1.25, a fractional pointer",
                   {13.3, 25.5},
                   {375, 475},
                   {0, 0, 2400, 1350},
                   12,
                   {13, 26}},
        DeviceCase{"scale 2, top-left", {0, 0}, {600, 760}, {0, 0, 3840, 2160}, 7.5, {0, 0}},
        DeviceCase{"scale 2, right of a 1920 screen, its left edge",
                   {1920, 0},
                   {600, 760},
                   {1920, 0, 3840, 2160},
                   7.5,
                   {1920, 0}},
        DeviceCase{"scale 2, right of a 1920 screen, bottom-right",
                   {5750, 2150},
                   {600, 760},
                   {1920, 0, 3840, 2160},
                   7.5,
                   {5150, 1390}}));

}  // namespace
