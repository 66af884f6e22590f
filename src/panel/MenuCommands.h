#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The command panel's whole vocabulary: every label it shows, where, and what it does. The panel
// builds itself from Table() and dispatches through Find(), so tests read it without a display.
namespace MenuCommands {

enum class Action {
    Open,
    CopyScreen,
    SaveAs,
    QuickSave,
    CloseMe,
    CloseAll,
    New,
    CopyMe,
    Undo,
    Copy,
    Paste,
    Clear,
    CustomSize,
    EditSizeList,
    Gray,
    Annotate,
    RotateCw,
    RotateCcw,
    FlipX,
    FlipY,
    Settings,
    Help,
    About
};

// What happens to the panel around its action.
enum class After {
    Close,
    HideFirst,          // hidden before the action (so it is not captured), closed after
    CloseUnlessRefused  // stays open when the action refuses its input
};

struct Command {
    int index;        // the panel's label number, 0..21; -1 for the about link
    int tab;          // 0, 1 or 2 (TabHeaders()); -1 for the strip below the tabs
    QString group;    // the frame the label sits in; "" for none
    QString caption;  // "" for the about link, whose caption the panel fills in
    QString tooltip;  // "" for none
    QString key;      // the dispatch key
    Action action;
    After after;
};

// Every command, in the order the panel lays them out.
const std::vector<Command>& Table();

// The command whose key is exactly key (letter case and spaces count); nullptr for none.
const Command* Find(const QString& key);

// The three tab captions, tab 0 first.
QStringList TabHeaders();

}  // namespace MenuCommands
