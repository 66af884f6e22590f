#include <gtest/gtest.h>

#include <QApplication>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>

#include "dialogs/FileFilter.h"
#include "dialogs/mdlCommonDialog.h"
#include "dialogs/mdlDialogs.h"
#include "support/ScriptedSeam.h"

namespace {
// Outputs of one dialog call, set to values a call must overwrite.
struct Io {
    QString fileName = "start.jpg";
    QString fileTitle = "stale";
    QString filter;
    qint32 filterIndex = 2;
    qint32 flags = 0x1000;
    bool readOnly = true;
};

bool Open(Io& io, bool mustExist = true, bool multiSelect = false) {
    return mdlCommonDialog::ShowOpenFileDialog(io.fileName, io.fileTitle, mustExist, multiSelect,
                                               io.readOnly, true, io.filter, io.filterIndex,
                                               "/pics", "打开", "jpg", nullptr, io.flags);
}

bool Save(Io& io) {
    return mdlCommonDialog::ShowSaveFileDialog(io.fileName, io.fileTitle, true, io.filter,
                                               io.filterIndex, "/pics", "保存", "jpg", nullptr,
                                               io.flags);
}

TEST(CommonDialog, OpenAsksWithTheFilterAndGivesBackTheChoice) {
    ScriptedSeam seam;
    seam.openAnswers.push_back(ScriptedSeam::Chosen("/pics/a b/猫.png", 13));
    Io io;
    ASSERT_TRUE(Open(io, true, true));

    ASSERT_EQ(seam.openRequests.size(), 1u);
    const ModalSeam::FileDialogRequest& asked = seam.openRequests[0];
    EXPECT_EQ(asked.title, "打开");
    EXPECT_EQ(asked.filters.size(), 14);  // "" stands for the open dialog's default filter
    EXPECT_EQ(asked.filterIndex, 1);
    EXPECT_EQ(asked.fileName, "start.jpg");
    EXPECT_EQ(asked.initialFolder, "/pics");
    EXPECT_EQ(asked.defaultSuffix, "jpg");
    EXPECT_TRUE(asked.mustExist);
    EXPECT_TRUE(asked.multiSelect);

    EXPECT_EQ(io.fileName, "/pics/a b/猫.png");
    EXPECT_EQ(io.fileTitle, "猫.png");
    EXPECT_EQ(io.filter, "所有文件(*.*)|*.*");
    EXPECT_EQ(io.filterIndex, 14);
    EXPECT_EQ(io.flags, 0x1000);
    EXPECT_FALSE(io.readOnly);

    // The filter given back is a filter text of its one type.
    seam.openAnswers.push_back(ScriptedSeam::Chosen("/x.bmp", 0));
    ASSERT_TRUE(Open(io));
    EXPECT_EQ(seam.openRequests[1].filters.size(), 1);
    EXPECT_EQ(seam.openRequests[1].filters[0].patterns, QStringList{"*"});
}

TEST(CommonDialog, SaveHidesReadOnlyAndCancelEmptiesEveryOutput) {
    ScriptedSeam seam;
    seam.saveAnswers.push_back(ScriptedSeam::Chosen("/pics/out.jpg", 0));
    Io io;
    io.filter = "A|*.a|B|*.b";
    io.filterIndex = 99;  // out of range: the first type
    ASSERT_TRUE(Save(io));
    EXPECT_EQ(seam.saveRequests[0].filterIndex, 0);
    EXPECT_TRUE(seam.saveRequests[0].overwritePrompt);
    EXPECT_EQ(io.flags, mdlCommonDialog::kHideReadOnly);
    EXPECT_EQ(io.filter, "A|*.a");

    for (bool save : {false, true}) {
        Io cancelled;
        EXPECT_FALSE(save ? Save(cancelled) : Open(cancelled));  // empty queues cancel
        EXPECT_EQ(cancelled.fileName, "");
        EXPECT_EQ(cancelled.fileTitle, "");
        EXPECT_EQ(cancelled.filter, "");
        EXPECT_EQ(cancelled.filterIndex, 0);
        EXPECT_EQ(cancelled.flags, 0);
    }
}

TEST(CommonDialog, FolderComesBackWithoutTrailingSlash) {
    ScriptedSeam seam;
    seam.folderAnswers = {"/pics/new/", "/", ""};
    EXPECT_EQ(mdlCommonDialog::BrowseForFolder(nullptr, "选择文件夹"), "/pics/new");
    EXPECT_EQ(mdlCommonDialog::BrowseForFolder(nullptr, ""), "/");
    EXPECT_EQ(mdlCommonDialog::BrowseForFolder(nullptr, ""), "");
    EXPECT_EQ(seam.folderPrompts.value(0), "选择文件夹");
}

// Qt reads a name filter's patterns from its last parenthesised group, and only when that group
// holds its own limited characters; whatever we hand it must still filter by the real patterns.
TEST(WidgetFileDialog, QtFiltersByTheRealPatterns) {
    QList<FileFilter> filters = ParseFileFilter(DefaultFileFilter());
    filters +=
        ParseFileFilter("图片(*.bmp)|*.jpg;*.png|中文|*.图|括号|a(1)*|两行\n描述|*.a|冒号在后|x:y");
    ASSERT_EQ(filters.size(), 15);
    ModalSeam::FileDialogRequest request;
    request.filters = filters;
    for (qsizetype i = 0; i < filters.size(); ++i) {
        request.filterIndex = static_cast<int>(i);
        auto dialog = mdlDialogs::BuildFileDialog(nullptr, request, false);
        const auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->nameFilters(), filters[i].patterns)
            << filters[i].description.toStdString();
    }
}

TEST(WidgetFileDialog, SaveDialogIsQtsOwnOnTopWithSuffixAndOverwriteQuestion) {
    QTemporaryDir dir;
    ModalSeam::FileDialogRequest request;
    request.title = "另存为";
    request.filters = ParseFileFilter(DefaultFileFilter());
    request.filterIndex = 1;
    request.initialFolder = dir.path();
    request.defaultSuffix = "jpg";
    request.overwritePrompt = true;
    auto dialog = mdlDialogs::BuildFileDialog(nullptr, request, true);

    EXPECT_EQ(dialog->windowTitle(), "另存为");
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(dialog->nameFilters().value(1), "Bmp图片(*.bmp) (*.bmp)");

    // A typed name without extension gets the suffix; the type in force comes back 0-based.
    dialog->show();
    auto* nameBox = qobject_cast<QLineEdit*>(dialog->focusWidget());
    ASSERT_NE(nameBox, nullptr);
    nameBox->setText("shot");
    const ModalSeam::FileDialogAnswer answer = mdlDialogs::AnswerOf(*dialog, true);
    EXPECT_TRUE(answer.chosen);
    EXPECT_EQ(answer.path.toStdString(), (dir.path() + "/shot.jpg").toStdString());
    EXPECT_EQ(answer.filterIndex, 1);
    EXPECT_FALSE(mdlDialogs::AnswerOf(*dialog, false).chosen);

    request.overwritePrompt = false;
    EXPECT_TRUE(mdlDialogs::BuildFileDialog(nullptr, request, true)
                    ->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST(WidgetFileDialog, OpenModesAndFolderPickerTypeIntoTheNameBox) {
    ModalSeam::FileDialogRequest request;
    request.mustExist = true;
    EXPECT_EQ(mdlDialogs::BuildFileDialog(nullptr, request, false)->fileMode(),
              QFileDialog::ExistingFile);
    request.multiSelect = true;
    EXPECT_EQ(mdlDialogs::BuildFileDialog(nullptr, request, false)->fileMode(),
              QFileDialog::ExistingFiles);

    auto folder = mdlDialogs::BuildFolderDialog(nullptr, "选择文件夹");
    EXPECT_EQ(folder->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(folder->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_TRUE(folder->testOption(QFileDialog::DontUseNativeDialog));
    folder->show();
    ASSERT_NE(folder->focusWidget(), nullptr);
    EXPECT_EQ(folder->focusWidget()->objectName(), "fileNameEdit");
}
}  // namespace
