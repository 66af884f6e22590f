#include "dialogs/mdlDialogs.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <memory>

namespace mdlDialogs {
namespace {
// Runs a modal dialog and gives its result, or whenGone when it was destroyed meanwhile (its owner
// closed under it), in which case the pointer lets go of it.
template <typename Dialog>
int RunModal(std::unique_ptr<Dialog>& dialog, int whenGone) {
    QPointer<Dialog> alive(dialog.get());
    const int result = dialog->exec();
    if (!alive) {
        (void)dialog.release();
        return whenGone;
    }
    return result;
}

void CommonSetUp(QFileDialog& dialog, const QString& title) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (!title.isEmpty()) {
        dialog.setWindowTitle(title);
    }
}

class WidgetHandler final : public ModalSeam::Handler {
public:
    int Message(QObject* owner, const QString& text, int style, const QString& title) override {
        auto box = std::make_unique<QMessageBox>(
            style == ModalSeam::Critical ? QMessageBox::Critical : QMessageBox::Information, title,
            text, QMessageBox::Ok, qobject_cast<QWidget*>(owner));
        box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        RunModal(box, QMessageBox::Ok);
        return 1;
    }
    bool OpenExternal(const QString& pathOrUrl) override {
        const QUrl url =
            QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl) : QUrl(pathOrUrl);
        return QDesktopServices::openUrl(url);
    }
    void StartProgram(const QString& program, const QStringList& arguments,
                      std::function<void(ModalSeam::ProgramEnd)> whenEnded) override {
        // Owned by the application until it ends: a program still running when Lumora quits is
        // let go of then. Its output goes where Lumora's does, so nothing fills an unread pipe.
        auto* process = new QProcess(QCoreApplication::instance());
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        auto report =
            std::make_shared<std::function<void(ModalSeam::ProgramEnd)>>(std::move(whenEnded));
        // A program that cannot start reports FailedToStart and never finishes; one that started
        // reports finished() once (a crash too). Queued, so the caller hears of it only later.
        QObject::connect(
            process, &QProcess::errorOccurred, process,
            [process, report](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    process->deleteLater();
                    (*report)(ModalSeam::ProgramEnd::NotStarted);
                }
            },
            Qt::QueuedConnection);
        QObject::connect(
            process, &QProcess::finished, process,
            [process, report](int exitCode, QProcess::ExitStatus status) {
                process->deleteLater();
                (*report)(status == QProcess::NormalExit && exitCode == 0
                              ? ModalSeam::ProgramEnd::Succeeded
                              : ModalSeam::ProgramEnd::Failed);
            },
            Qt::QueuedConnection);
        process->start(program, arguments);
    }
    ModalSeam::FileDialogAnswer OpenFile(QObject* owner,
                                         const ModalSeam::FileDialogRequest& request) override {
        return Run(owner, request, false);
    }
    ModalSeam::FileDialogAnswer SaveFile(QObject* owner,
                                         const ModalSeam::FileDialogRequest& request) override {
        return Run(owner, request, true);
    }
    QString Folder(QObject* owner, const QString& prompt) override {
        auto dialog = BuildFolderDialog(qobject_cast<QWidget*>(owner), prompt);
        if (RunModal(dialog, QDialog::Rejected) != QDialog::Accepted) {
            return {};
        }
        return dialog->selectedFiles().value(0);
    }
    bool Question(QObject* owner, const QString& text, const QString& title) override {
        auto box = std::make_unique<QMessageBox>(QMessageBox::Question, title, text,
                                                 QMessageBox::Yes | QMessageBox::No,
                                                 qobject_cast<QWidget*>(owner));
        box->setDefaultButton(QMessageBox::Yes);
        box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        return RunModal(box, QMessageBox::No) == QMessageBox::Yes;
    }

private:
    static ModalSeam::FileDialogAnswer Run(QObject* owner,
                                           const ModalSeam::FileDialogRequest& request, bool save) {
        auto dialog = BuildFileDialog(qobject_cast<QWidget*>(owner), request, save);
        const bool accepted = RunModal(dialog, QDialog::Rejected) == QDialog::Accepted;
        return accepted ? AnswerOf(*dialog, true) : ModalSeam::FileDialogAnswer{};
    }
};
}  // namespace

void InstallWidgetSeam() {
    static WidgetHandler handler;
    ModalSeam::Install(&handler);
}

std::unique_ptr<QFileDialog> BuildFileDialog(QWidget* owner,
                                             const ModalSeam::FileDialogRequest& request,
                                             bool save) {
    auto dialog = std::make_unique<QFileDialog>(owner);
    CommonSetUp(*dialog, request.title);
    if (save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(request.multiSelect ? QFileDialog::ExistingFiles
                            : request.mustExist ? QFileDialog::ExistingFile
                                                : QFileDialog::AnyFile);
    }
    dialog->setDefaultSuffix(request.defaultSuffix);
    if (!request.filters.isEmpty()) {
        QStringList names;
        bool allDescribed = true;
        for (const FileFilter& filter : request.filters) {
            names << ToQtNameFilter(filter);
            allDescribed = allDescribed && QtReadsDescribedForm(filter);
        }
        // The descriptions already name their patterns; showing Qt's copy as well would say it
        // twice. A filter shown by its patterns alone would lose them, so then all keep them.
        dialog->setOption(QFileDialog::HideNameFilterDetails, allDescribed);
        dialog->setNameFilters(names);
        const int index = std::clamp(request.filterIndex, 0, static_cast<int>(names.size()) - 1);
        dialog->selectNameFilter(names[index]);
    }
    if (!request.initialFolder.isEmpty()) {
        dialog->setDirectory(request.initialFolder);
    }
    if (!request.fileName.isEmpty()) {
        dialog->selectFile(request.fileName);
    }
    return dialog;
}

std::unique_ptr<QFileDialog> BuildFolderDialog(QWidget* owner, const QString& prompt) {
    auto dialog = std::make_unique<QFileDialog>(owner);
    CommonSetUp(*dialog, prompt);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    return dialog;
}

ModalSeam::FileDialogAnswer AnswerOf(const QFileDialog& dialog, bool accepted) {
    ModalSeam::FileDialogAnswer answer;
    answer.path = accepted ? dialog.selectedFiles().value(0) : QString();
    answer.chosen = !answer.path.isEmpty();
    if (!answer.chosen) {
        return answer;
    }
    // With the details hidden the selected name filter is the shortened text, and two file types
    // may read the same, so the position comes from the type box itself where there is one.
    if (const auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        answer.filterIndex = std::max(0, types->currentIndex());
    } else {
        answer.filterIndex = std::max(
            0, static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())));
    }
    return answer;
}

}  // namespace mdlDialogs
