// How an image window shows on the desktop: opacity and colour key exclude each other, the
// wheel's opacity steps, and the key's cut made again once per turn of the event loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <ostream>
#include <vector>

#include "window/FakeWindowFace.h"
#include "window/cWindowLooks.h"

namespace {

struct Step {
    enum Kind { Shape, Reset, Opacity, Wheel } kind;
    int value = 0;  // Opacity: percent; Wheel: notches
    // afterwards
    int touming;
    bool shape;
    std::vector<int> alphas;   // every opacity given so far
    std::vector<int> changes;  // every opacity change reported so far
};

struct Case {
    const char* what;
    std::vector<Step> steps;
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class Looks : public testing::TestWithParam<Case> {};

TEST_P(Looks, FollowTheirRules) {
    FakeWindowFace face;
    cWindowLooks looks(face);
    int i = 0;
    for (const Step& s : GetParam().steps) {
        switch (s.kind) {
            case Step::Shape:
                looks.SetShape(4);
                break;
            case Step::Reset:
                looks.ResetShape();
                break;
            case Step::Opacity:
                looks.mTouming = static_cast<qint16>(s.value);
                looks.SetOpacity();
                break;
            case Step::Wheel:
                looks.WheelOpacity(s.value);
                break;
        }
        EXPECT_EQ(looks.mTouming, s.touming) << "step " << i;
        EXPECT_EQ(looks.mFormShape, s.shape) << "step " << i;
        EXPECT_EQ(face.alphas, s.alphas) << "step " << i;
        EXPECT_EQ(face.opacityChanges, s.changes) << "step " << i;
        ++i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Looks,
    testing::Values(Case{"a key ends an opacity and an opacity a key",
                         {{Step::Opacity, 50, 50, false, {128}, {}},
                          {Step::Shape, 0, 100, true, {128}, {}},
                          {Step::Opacity, 70, 70, false, {128, 178}, {}},
                          {Step::Reset, 0, 100, false, {128, 178}, {}}}},
                    Case{"the wheel steps by tens and says each change",
                         {{Step::Opacity, 55, 55, false, {140}, {}},
                          {Step::Wheel, -1, 50, false, {140, 128}, {50}},
                          {Step::Wheel, -9, 10, false, {140, 128, 26}, {50, 10}},
                          {Step::Wheel, -1, 10, false, {140, 128, 26}, {50, 10}},  // at the floor
                          {Step::Wheel, 20, 100, false, {140, 128, 26, 255}, {50, 10, 100}}}},
                    Case{"the wheel over a key ends it",
                         {{Step::Shape, 0, 100, true, {}, {}},
                          {Step::Wheel, -2, 80, false, {204}, {80}}}}));

TEST(WindowLooks, TheKeyIsThePixelInsideTheBandAndItsCutIsMadeOncePerTurn) {
    FakeWindowFace face;
    face.colour = 0x00ABCDEF;
    cWindowLooks looks(face);
    looks.ShapeChanged();  // no key: nothing to cut again
    looks.SetShape(4);
    EXPECT_EQ(face.keys, std::vector<qint32>{0x00ABCDEF});
    looks.ShapeChanged();
    looks.ShapeChanged();
    EXPECT_EQ(face.keyRefreshes, 0);  // not within the turn
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(face.keyRefreshes, 1);
    looks.ShapeChanged();
    looks.ResetShape();  // gone before the turn ended
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(face.keyRefreshes, 1);
    EXPECT_EQ(face.layersCleared, 1);
    looks.SetShape(0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(face.keyRefreshes, 2);
    EXPECT_EQ(face.tips.size(), 0);
}

}  // namespace
