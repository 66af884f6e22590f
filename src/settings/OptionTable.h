#pragma once

#include "settings/mdlOption.h"

// The one table of the options: each option's name in Option.ini, how its line is read and
// written, its default, and the options dialog's control that shows it. The store's defaults,
// ApplyOption, WriteOptions and the dialog's load and save are all driven by it, so an option is
// declared in one row and nowhere else.
namespace mdlOption {

// How an option's value is read from, and written to, its line of Option.ini.
enum class OptionType {
    // bool. Read through OptionToBool; written "True" or "False".
    Switch,
    // QString, "" or a folder ending in '/'. Read trimmed, with '/' added when not empty;
    // written as held.
    Folder,
    // QString. Read trimmed; never written, so only a file edited by hand changes it.
    HandText,
    // int. Read as a whole decimal number; a value outside [numberMin, numberMax], or no number,
    // leaves the option as it was. Written as a decimal number.
    Number,
    // QStringList, one line per entry, in order. Read with every space removed, lines past
    // kMaxSizes ignored; written as held, at most kMaxSizes. SetDefaultOptions leaves it alone.
    SizeList,
};

// How the options dialog shows an option. Controls are found by their object names.
enum class BindingKind {
    None,  // not in the dialog
    // controls[0]: a QCheckBox, checked for true.
    CheckBox,
    // controls[0], [1]: QRadioButtons "beside the picture" ("") and "in this folder";
    // controls[2]: the QLineEdit holding that folder. A save with "in this folder" and no folder
    // is refused.
    FolderChoice,
    // controls[0]: a QListWidget, one row per entry. The dialog's size editor changes the store
    // at each commit, so a save takes nothing from it.
    ListBox,
    // controls[0]: a QLineEdit holding the number. A save with a text that is not a whole number
    // within the option's range is refused with the option's refusal.
    NumberBox,
};

struct Binding {
    BindingKind kind = BindingKind::None;
    const char* controls[3] = {};
};

struct OptionDef {
    const char* name;  // as written; read in any letter case
    OptionType type;
    // The store's member: flag for a Switch, text for a Folder or HandText, list for a SizeList.
    bool OptionStore::*flag = nullptr;
    QString OptionStore::*text = nullptr;
    QStringList OptionStore::*list = nullptr;
    bool flagDefault = false;
    QString (*textDefault)() = nullptr;  // null: ""; a list's default is always empty
    Binding binding;
    // A Number: its member, default, range, and why the dialog refuses a text (UTF-8).
    int OptionStore::*number = nullptr;
    int numberDefault = 0;
    int numberMin = 0;
    int numberMax = 0;
    const char* numberRefusal = nullptr;
};

constexpr Binding CheckBox(const char* box) {
    return {BindingKind::CheckBox, {box}};
}
constexpr Binding FolderChoice(const char* besidePicture, const char* inFolder,
                               const char* folderBox) {
    return {BindingKind::FolderChoice, {besidePicture, inFolder, folderBox}};
}
constexpr Binding ListBox(const char* list) {
    return {BindingKind::ListBox, {list}};
}
constexpr Binding NumberBox(const char* box) {
    return {BindingKind::NumberBox, {box}};
}

constexpr OptionDef SwitchOption(const char* name, bool OptionStore::*member, bool byDefault,
                                 Binding binding) {
    return {name, OptionType::Switch, member, nullptr, nullptr, byDefault, nullptr, binding};
}
constexpr OptionDef FolderOption(const char* name, QString OptionStore::*member, Binding binding) {
    return {name, OptionType::Folder, nullptr, member, nullptr, false, nullptr, binding};
}
constexpr OptionDef HandTextOption(const char* name, QString OptionStore::*member,
                                   QString (*byDefault)()) {
    return {name, OptionType::HandText, nullptr, member, nullptr, false, byDefault, Binding{}};
}
constexpr OptionDef NumberOption(const char* name, int OptionStore::*member, int byDefault,
                                 int lowest, int highest, const char* refusal, Binding binding) {
    return {name,   OptionType::Number, nullptr, nullptr, nullptr, false, nullptr, binding,
            member, byDefault,          lowest,  highest, refusal};
}
constexpr OptionDef SizeListOption(const char* name, QStringList OptionStore::*member,
                                   Binding binding) {
    return {name, OptionType::SizeList, nullptr, nullptr, member, false, nullptr, binding};
}

// In the order Option.ini holds them. AutoRotate and SaveQuality come after the lines older
// files hold.
inline constexpr OptionDef kOptionTable[] = {
    SwitchOption("ResizeWhenOpen", &OptionStore::ResizeWhenOpen, true,
                 CheckBox("chkAutoResizeOnLoad")),
    SwitchOption("ResizeWhenRotate", &OptionStore::ResizeWhenRotate, true,
                 CheckBox("chkAutoResizeOnRotate")),
    SizeListOption("CYSize", &OptionStore::CYSizeList, ListBox("lstSize")),
    SwitchOption("AlwaysTop", &OptionStore::AlwaysTop, true, CheckBox("chkDisplayTopMost")),
    SwitchOption("DisplayBorder", &OptionStore::DisplayBorder, false, CheckBox("chkDisplayBorder")),
    FolderOption("QuickSavePath", &OptionStore::QuickSavePath,
                 FolderChoice("optQuickSaveSame", "optQuickSaveOther", "txtQuickSave")),
    SwitchOption("AutoRotate", &OptionStore::AutoRotate, true, CheckBox("chkAutoRotate")),
    NumberOption("SaveQuality", &OptionStore::SaveQuality, 90, 1, 100,
                 "请输入 1 到 100 之间的保存质量！", NumberBox("txtSaveQuality")),
    HandTextOption("SupportFileOpen", &OptionStore::SupportFileOpen, &DefaultOpenFilter),
    HandTextOption("SupportFileSave", &OptionStore::SupportFileSave, &DefaultFileFilter),
};

}  // namespace mdlOption
