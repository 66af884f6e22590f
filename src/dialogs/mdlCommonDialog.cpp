#include "dialogs/mdlCommonDialog.h"

#include <QFileInfo>
#include <QWidget>

#include "dialogs/FileFilter.h"
#include "dialogs/ModalSeam.h"

namespace mdlCommonDialog {
namespace {
struct Outputs {
    QString& fileName;
    QString& fileTitle;
    QString& filter;
    qint32& filterIndex;
    qint32& flags;
};

ModalSeam::FileDialogRequest MakeRequest(const QString& fileName, const QList<FileFilter>& filters,
                                         qint32 filterIndex, const QString& initialFolder,
                                         const QString& title, const QString& defaultExt) {
    ModalSeam::FileDialogRequest request;
    request.title = title;
    request.filters = filters;
    request.filterIndex = filterIndex >= 1 && filterIndex <= filters.size() ? filterIndex - 1 : 0;
    request.fileName = fileName;
    request.initialFolder = initialFolder;
    request.defaultSuffix = defaultExt;
    return request;
}

QList<FileFilter> FiltersOf(const QString& filterText, const QString& whenEmpty) {
    return ParseFileFilter(filterText.isEmpty() ? whenEmpty : filterText);
}

// Writes the outputs of a finished dialog; flagsOnChoice is what ioFlags becomes on a choice.
bool Finish(const ModalSeam::FileDialogAnswer& answer, const QList<FileFilter>& filters,
            qint32 flagsOnChoice, Outputs out) {
    if (!answer.chosen || answer.path.isEmpty()) {
        out.fileName.clear();
        out.fileTitle.clear();
        out.filter.clear();
        out.filterIndex = 0;
        out.flags = 0;
        return false;
    }
    out.fileName = answer.path;
    out.fileTitle = QFileInfo(answer.path).fileName();
    if (answer.filterIndex >= 0 && answer.filterIndex < filters.size()) {
        const FileFilter& chosen = filters[answer.filterIndex];
        out.filter = chosen.description + QLatin1Char('|') + chosen.pattern;
        out.filterIndex = answer.filterIndex + 1;
    } else {
        out.filter.clear();
        out.filterIndex = 0;
    }
    out.flags = flagsOnChoice;
    return true;
}
}  // namespace

bool ShowOpenFileDialog(QString& ioFileName, QString& ioFileTitle, bool iMustExist,
                        bool iMultiSelect, bool& ioReadOnly, bool iHideReadOnly, QString& ioFilter,
                        qint32& ioFilterIndex, const QString& iInitialFolder, const QString& iTitle,
                        const QString& iDefaultExt, QWidget* iOwner, qint32& ioFlags) {
    Q_UNUSED(iHideReadOnly);
    const QList<FileFilter> filters = FiltersOf(ioFilter, DefaultOpenFileFilter());
    ModalSeam::FileDialogRequest request =
        MakeRequest(ioFileName, filters, ioFilterIndex, iInitialFolder, iTitle, iDefaultExt);
    request.mustExist = iMustExist;
    request.multiSelect = iMultiSelect;
    ioReadOnly = false;
    return Finish(ModalSeam::ShowOpenFile(iOwner, request), filters, ioFlags,
                  {ioFileName, ioFileTitle, ioFilter, ioFilterIndex, ioFlags});
}

bool ShowSaveFileDialog(QString& ioFileName, QString& ioFileTitle, bool iOverwritePrompt,
                        QString& ioFilter, qint32& ioFilterIndex, const QString& iInitialFolder,
                        const QString& iTitle, const QString& iDefaultExt, QWidget* iOwner,
                        qint32& ioFlags) {
    const QList<FileFilter> filters = FiltersOf(ioFilter, DefaultFileFilter());
    ModalSeam::FileDialogRequest request =
        MakeRequest(ioFileName, filters, ioFilterIndex, iInitialFolder, iTitle, iDefaultExt);
    request.overwritePrompt = iOverwritePrompt;
    return Finish(ModalSeam::ShowSaveFile(iOwner, request), filters, kHideReadOnly,
                  {ioFileName, ioFileTitle, ioFilter, ioFilterIndex, ioFlags});
}

QString BrowseForFolder(QWidget* iOwner, const QString& iPrompt) {
    QString folder = ModalSeam::PickFolder(iOwner, iPrompt);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    return folder;
}

}  // namespace mdlCommonDialog
