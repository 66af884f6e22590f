#include "settings/OptionControls.h"

#include "base/mdlKestrin_File.h"
#include "settings/OptionTable.h"
#include "settings/SizeEntry.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

namespace OptionControls {
namespace {

using mdlOption::BindingKind;
using mdlOption::OptionDef;

template <typename T>
T* Control(QWidget* form, const OptionDef& d, int i) {
    return form->findChild<T*>(QString::fromLatin1(d.binding.controls[i]));
}

struct FolderControls {
    QRadioButton* besidePicture;
    QRadioButton* inFolder;
    QLineEdit* folderBox;

    FolderControls(QWidget* form, const OptionDef& d)
        : besidePicture(Control<QRadioButton>(form, d, 0)),
          inFolder(Control<QRadioButton>(form, d, 1)),
          folderBox(Control<QLineEdit>(form, d, 2)) {}
    bool Found() const { return besidePicture && inFolder && folderBox; }
};

}  // namespace

void Load(QWidget* form, const mdlOption::OptionStore& o) {
    for (const OptionDef& d : mdlOption::kOptionTable) {
        switch (d.binding.kind) {
            case BindingKind::None:
                break;
            case BindingKind::CheckBox:
                if (auto* box = Control<QCheckBox>(form, d, 0)) {
                    box->setChecked(o.*d.flag);
                }
                break;
            case BindingKind::FolderChoice: {
                const FolderControls c(form, d);
                if (!c.Found()) {
                    break;
                }
                const QString& folder = o.*d.text;
                if (!folder.isEmpty()) {
                    c.inFolder->setChecked(true);
                    c.folderBox->setText(folder);
                } else {
                    c.besidePicture->setChecked(true);
                }
                break;
            }
            case BindingKind::ListBox:
                if (auto* list = Control<QListWidget>(form, d, 0)) {
                    list->clear();
                    list->addItems(o.*d.list);
                }
                break;
            case BindingKind::NumberBox:
                if (auto* box = Control<QLineEdit>(form, d, 0)) {
                    box->setText(QString::number(o.*d.number));
                }
                break;
        }
    }
}

QString Save(QWidget* form, mdlOption::OptionStore& o) {
    for (const OptionDef& d : mdlOption::kOptionTable) {
        switch (d.binding.kind) {
            case BindingKind::None:
            case BindingKind::ListBox:
                break;
            case BindingKind::CheckBox:
                if (const auto* box = Control<QCheckBox>(form, d, 0)) {
                    o.*d.flag = box->isChecked();
                }
                break;
            case BindingKind::FolderChoice: {
                const FolderControls c(form, d);
                if (!c.Found()) {
                    break;
                }
                QString folder;
                if (c.inFolder->isChecked()) {
                    folder = mdlKestrin_File::WithSlash(SizeEntry::CleanText(c.folderBox->text()));
                    c.folderBox->setText(folder);
                    const QString refusal = mdlOption::QuickSaveFolderRefusal(folder);
                    if (!refusal.isEmpty()) {
                        c.folderBox->setFocus();
                        return refusal;
                    }
                }
                o.*d.text = folder;
                break;
            }
            case BindingKind::NumberBox:
                if (auto* box = Control<QLineEdit>(form, d, 0)) {
                    const auto number =
                        mdlOption::OptionNumber(box->text(), d.numberMin, d.numberMax);
                    if (!number) {
                        box->setFocus();
                        return QString::fromUtf8(d.numberRefusal);
                    }
                    box->setText(QString::number(*number));
                    o.*d.number = *number;
                }
                break;
        }
    }
    return QString();
}

}  // namespace OptionControls
