#include <gtest/gtest.h>

#include "base/mdlKestrin_File.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using namespace mdlKestrin_File;

TEST(SplitPath, CutsAtTheLastSlash) {
    QString folder = "keep";
    QString name = "keep";
    EXPECT_FALSE(SplitPath("   ", folder, name));
    EXPECT_EQ(folder, "keep");  // untouched for an empty path
    EXPECT_EQ(name, "keep");

    EXPECT_TRUE(SplitPath("/a.jpg", folder, name));
    EXPECT_EQ(folder, "/");
    EXPECT_EQ(name, "a.jpg");

    EXPECT_FALSE(SplitPath("a.jpg", folder, name));
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "a.jpg");

    EXPECT_TRUE(SplitPath("  /pics/sub/  ", folder, name));
    EXPECT_EQ(folder, "/pics/sub/");
    EXPECT_EQ(name, "");
}

TEST(FileNameAndExt, OnlyTheNamePartCounts) {
    EXPECT_EQ(GetFileName("a.jpg"), "");  // a bare name has no folder, so no name
    EXPECT_EQ(GetFileName("/x/a b.jpg"), "a b.jpg");
    EXPECT_EQ(GetFileExt("/x.y/file"), "");  // the dot is in the folder
    EXPECT_EQ(GetFileExt("/a.tar.gz"), "gz");
    EXPECT_EQ(GetFileExt("/P.JPG"), "JPG");
    EXPECT_EQ(GetFileExt("/trailing."), "");
}

TEST(GetNewFileName, WalksTheNumberedNames) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString base = dir.path() + "/图 a.jpg";
    const QString folder = dir.path() + "/";

    // free "new " name, even though the file itself does not exist
    EXPECT_EQ(GetNewFileName(base), folder + "new 图 a.jpg");

    QFile(folder + "new 图 a.jpg").open(QIODevice::WriteOnly);
    QFile(folder + "new(1) 图 a.jpg").open(QIODevice::WriteOnly);
    EXPECT_EQ(GetNewFileName(base), folder + "new(2) 图 a.jpg");

    // a read-only file still counts as taken; a folder of that name is not looked for
    QFile ro(folder + "new(2) 图 a.jpg");
    ro.open(QIODevice::WriteOnly);
    ro.close();
    ro.setPermissions(QFileDevice::ReadOwner);
    QDir(folder).mkdir("new(3) 图 a.jpg");
    EXPECT_EQ(GetNewFileName(base), folder + "new(3) 图 a.jpg");

    // a link whose target is gone is still a name in use: a save must not write through it
    QFile::link(folder + "elsewhere/gone.jpg", folder + "new(3) 图 a.jpg.tmp");
    QDir(folder).rmdir("new(3) 图 a.jpg");
    QFile::rename(folder + "new(3) 图 a.jpg.tmp", folder + "new(3) 图 a.jpg");
    EXPECT_EQ(GetNewFileName(base), folder + "new(4) 图 a.jpg");

    EXPECT_EQ(GetNewFileName("bare.jpg"), "");
}

TEST(GetNewFileName, EmptyWhenAllThousandAreTaken) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    QFile(folder + "new x.png").open(QIODevice::WriteOnly);
    for (int i = 1; i <= 1000; ++i) {
        QFile(folder + QString("new(%1) x.png").arg(i)).open(QIODevice::WriteOnly);
    }
    EXPECT_EQ(GetNewFileName(folder + "x.png"), "");
    QFile::remove(folder + "new(1000) x.png");
    EXPECT_EQ(GetNewFileName(folder + "x.png"), folder + "new(1000) x.png");
}

TEST(GetNewFileName, TestsAndReturnsTheFinalName) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    const auto withX = [](const QString& candidate) { return candidate + ".x"; };
    // the candidate itself being taken does not matter, only what it becomes
    QFile(folder + "new a").open(QIODevice::WriteOnly);
    EXPECT_EQ(GetNewFileName(folder + "a", withX), folder + "new a.x");
    QFile(folder + "new a.x").open(QIODevice::WriteOnly);
    EXPECT_EQ(GetNewFileName(folder + "a", withX), folder + "new(1) a.x");
}

TEST(Folders, EndInASlashAndExist) {
    for (const QString& f : {GetAppFolder(), GetDesktopFolder()}) {
        EXPECT_TRUE(f.endsWith('/')) << f.toStdString();
        EXPECT_TRUE(QDir(f).exists()) << f.toStdString();
    }
}

// An installed program is one whose share folder sits beside its bin folder; everything else keeps
// its files beside the executable.
TEST(ProgramLayout, InstalledOnlyWithItsShareFolder) {
    struct Row {
        const char* appFolder;
        QStringList folders;  // the folders that exist
        bool installed;
        const char* dataFolder;
    };
    const Row rows[] = {
        {"/usr/bin/", {"/usr/share/lumora/"}, true, "/usr/share/lumora/"},
        {"/opt/lumora/bin", {"/opt/lumora/share/lumora/"}, true, "/opt/lumora/share/lumora/"},
        {"/home/u/build-dev/", {}, false, "/home/u/build-dev/"},
        {"/usr/local/bin/", {"/usr/local/share/"}, false, "/usr/local/bin/"},   // no lumora in it
        {"/usr/local/bin/", {"/usr/share/lumora/"}, false, "/usr/local/bin/"},  // another prefix's
    };
    for (const Row& r : rows) {
        const auto exists = [&](const QString& folder) { return r.folders.contains(folder); };
        const ProgramLayout layout = LayoutFor(r.appFolder, exists);
        EXPECT_EQ(layout.installed, r.installed) << r.appFolder;
        EXPECT_EQ(layout.dataFolder, r.dataFolder) << r.appFolder;
    }
}

}  // namespace
