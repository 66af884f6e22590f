#include "image/SaveFailure.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "base/NumberedError.h"
#include "image/MFreeImage.h"
#include "support/TestSupport.h"

namespace {

// ---- the reason an errno value is told as ----

struct ErrnoCase {
    int error;
    const char* reason;
};

class SaveFailureOfErrnoTest : public testing::TestWithParam<ErrnoCase> {};

TEST_P(SaveFailureOfErrnoTest, NamesTheReasonInTheInterfacesWords) {
    EXPECT_EQ(SaveFailureReason(SaveFailureOfErrno(GetParam().error)),
              QString::fromUtf8(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SaveFailureOfErrnoTest,
    testing::Values(ErrnoCase{EACCES, "没有写入权限"}, ErrnoCase{EPERM, "没有写入权限"},
                    ErrnoCase{EROFS, "没有写入权限"}, ErrnoCase{ENOENT, "文件夹不存在"},
                    ErrnoCase{ENOTDIR, "文件夹不存在"}, ErrnoCase{ENOSPC, "磁盘已满"},
                    ErrnoCase{EDQUOT, "磁盘已满"}, ErrnoCase{EIO, "文件无法写入"},
                    ErrnoCase{0, "文件无法写入"}));

TEST(SaveFailedMessage, KeepsItsFirstLineAndAddsTheFileAndTheReason) {
    EXPECT_EQ(SaveFailedMessage(QStringLiteral("/图片/a.png"), SaveFailure::NoFormat),
              QStringLiteral("保存失败！\n文件：/图片/a.png\n原因：不是 Lumora 能保存的图片格式"));
}

// ---- real saves that fail, and why ----

struct RealCase {
    const char* name;
    const char* target;  // under the test's folder, which holds "ro/" (no write bit) and "file"
    SaveFailure why;
};

class SaveFailureOfSave : public testing::TestWithParam<RealCase> {};

TEST_P(SaveFailureOfSave, TellsWhyAndWritesNothing) {
    const RealCase& c = GetParam();
    // Root writes into a folder without its write bit: that row means something only for others
    // (the errno table above covers the reason for everyone).
    if (c.why == SaveFailure::NoPermission && ::geteuid() == 0) {
        GTEST_SKIP() << "root may write anywhere";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    QFile(dir.filePath("ro")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    QFile plain(dir.filePath("file"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    SaveFailure why = SaveFailure::None;
    bool ok = false;
    try {
        ok = MFreeImage::SavePictureFile(TestSupport::PatternImage(8, 6), dir.filePath(c.target),
                                         &why);
    } catch (const NumberedError& e) {
        EXPECT_EQ(e.number(), 5);  // only a format that is not written raises
    }
    QFile(dir.filePath("ro"))
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(ok, c.why == SaveFailure::None);
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(QFile::exists(dir.filePath(c.target)), ok);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, SaveFailureOfSave,
    testing::Values(RealCase{"Written", "a.png", SaveFailure::None},
                    RealCase{"MissingFolder", "gone/a.png", SaveFailure::NoFolder},
                    RealCase{"FolderIsAFile", "file/a.png", SaveFailure::NoFolder},
                    RealCase{"UnknownExtension", "a.qqq", SaveFailure::NoFormat},
                    RealCase{"ReadOnlyFormat", "a.heic", SaveFailure::NoFormat},
                    RealCase{"NoWriteBit", "ro/a.png", SaveFailure::NoPermission}),
    [](const testing::TestParamInfo<RealCase>& info) { return info.param.name; });

}  // namespace
