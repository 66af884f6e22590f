#include "panel/MenuCommands.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>

namespace {

using MenuCommands::Action;
using MenuCommands::After;

TEST(MenuCommands, EveryLabelIndexOnceAndOneAboutLink) {
    std::map<int, int> seen;
    for (const MenuCommands::Command& c : MenuCommands::Table()) {
        ++seen[c.index];
    }
    for (int i = -1; i <= 21; ++i) {
        EXPECT_EQ(seen[i], 1) << "label " << i;
    }
    EXPECT_EQ(seen.size(), 23u);
}

TEST(MenuCommands, KeysAndActionsAreUniqueAndTabsExist) {
    std::set<QString> keys;
    std::set<Action> actions;
    const int tabs = static_cast<int>(MenuCommands::TabHeaders().size());
    for (const MenuCommands::Command& c : MenuCommands::Table()) {
        EXPECT_TRUE(keys.insert(c.key).second) << qPrintable(c.key);
        EXPECT_TRUE(actions.insert(c.action).second) << qPrintable(c.key);
        EXPECT_TRUE(c.tab >= -1 && c.tab < tabs) << qPrintable(c.key);
        EXPECT_EQ(MenuCommands::Find(c.key), &c) << qPrintable(c.key);
    }
}

TEST(MenuCommands, FindMatchesTheWholeKeyOnly) {
    ASSERT_NE(MenuCommands::Find(QStringLiteral("COPY")), nullptr);
    EXPECT_EQ(MenuCommands::Find(QStringLiteral("COPY"))->action, Action::Copy);
    for (const char* key : {"copy", "COPY ", " COPY", "COPYM", "COPYSCREENX", "ROTATE", "ROTATE90",
                            "Open", "", "CLOSE"}) {
        EXPECT_EQ(MenuCommands::Find(QString::fromLatin1(key)), nullptr) << key;
    }
}

// Keys whose actions are easy to swap without anything else noticing.
struct KeyCase {
    const char* key;
    Action action;
    int index;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.key;
}

class KeyAction : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyAction, DispatchesToItsOwnAction) {
    const MenuCommands::Command* c = MenuCommands::Find(QString::fromLatin1(GetParam().key));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->action, GetParam().action);
    EXPECT_EQ(c->index, GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyAction,
    testing::Values(KeyCase{"ROTATE+90", Action::RotateCw, 10},
                    KeyCase{"ROTATE-90", Action::RotateCcw, 11},
                    KeyCase{"FLIPX", Action::FlipX, 13}, KeyCase{"FLIPY", Action::FlipY, 12},
                    KeyCase{"COPY", Action::Copy, 17}, KeyCase{"COPYME", Action::CopyMe, 15},
                    KeyCase{"COPYSCREEN", Action::CopyScreen, 9},
                    KeyCase{"CLOSEME", Action::CloseMe, 3},
                    KeyCase{"CLOSEALL", Action::CloseAll, 2}, KeyCase{"ABOUT", Action::About, -1}));

TEST(MenuCommands, OnlyCaptureHidesFirstAndOnlyCustomSizeMayStayOpen) {
    for (const MenuCommands::Command& c : MenuCommands::Table()) {
        const After expected = c.action == Action::CopyScreen   ? After::HideFirst
                               : c.action == Action::CustomSize ? After::CloseUnlessRefused
                                                                : After::Close;
        EXPECT_EQ(c.after, expected) << qPrintable(c.key);
    }
}

}  // namespace
