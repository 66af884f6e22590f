#pragma once

#include <QString>

#include "settings/mdlOption.h"

class QWidget;

// The options dialog's side of kOptionTable: each bound option is shown in, and taken from, the
// controls its row names, found among form's children by object name. A control that is missing,
// or not of the kind its binding needs, leaves that option out.
namespace OptionControls {

// Shows every bound option of o in its controls.
void Load(QWidget* form, const mdlOption::OptionStore& o);

// Takes every bound option from its controls into o; a folder or number box gets its cleaned
// text back. Returns "" when everything is taken, else why a control's content is refused, in the
// interface's words (see mdlOption::QuickSaveFolderRefusal and the number options' refusals),
// the refused control then holding the focus; o is then partly changed, so callers pass a copy.
QString Save(QWidget* form, mdlOption::OptionStore& o);

}  // namespace OptionControls
