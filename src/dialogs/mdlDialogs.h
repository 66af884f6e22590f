#pragma once

#include <QFileDialog>
#include <QString>
#include <memory>

#include "dialogs/ModalSeam.h"

class QWidget;

namespace mdlDialogs {
// Installs the real widget implementation of the modal seam (message boxes, questions, file and
// folder dialogs, desktop services).
void InstallWidgetSeam();

// The dialogs the widget seam shows, built but not yet shown; the caller runs and owns them.
// Both are Qt's own file dialog rather than the desktop's, so they behave the same everywhere, and
// stay on top like the message boxes. The file-name box has the focus when they open: a path typed
// there and Return choose it.
//
// Open (save = false) or save dialog for request over owner (may be null).
std::unique_ptr<QFileDialog> BuildFileDialog(QWidget* owner,
                                             const ModalSeam::FileDialogRequest& request,
                                             bool save);
// Folder picker over owner, prompt as its title ("" = the dialog's own).
std::unique_ptr<QFileDialog> BuildFolderDialog(QWidget* owner, const QString& prompt);

// What a file dialog built by BuildFileDialog answers once closed (accepted = it returned
// Accepted): the first selected file and the 0-based file type in force.
ModalSeam::FileDialogAnswer AnswerOf(const QFileDialog& dialog, bool accepted);
}  // namespace mdlDialogs
