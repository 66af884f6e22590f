#include "image/SaveFailure.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "image/MFreeImage.h"
#include "support/TestSupport.h"

namespace {

TEST(SaveFailure, EachErrnoIsToldAsItsReason) {
    const std::pair<int, const char*> table[] = {
        {EACCES, "没有写入权限"}, {EPERM, "没有写入权限"},   {EROFS, "没有写入权限"},
        {ENOENT, "文件夹不存在"}, {ENOTDIR, "文件夹不存在"}, {ENOSPC, "磁盘已满"},
        {EDQUOT, "磁盘已满"},     {EIO, "文件无法写入"}};
    for (const auto& [error, reason] : table) {
        EXPECT_EQ(SaveFailureReason(SaveFailureOfErrno(error)), QString::fromUtf8(reason)) << error;
    }
}

struct RealCase {
    const char* target;  // in a folder that holds "ro/" (no write bit) and the plain file "file"
    SaveFailure why;
};

class RealSave : public testing::TestWithParam<RealCase> {};

TEST_P(RealSave, TellsWhyAndWritesNothing) {
    const RealCase& c = GetParam();
    if (c.why == SaveFailure::NoPermission && ::geteuid() == 0) {
        GTEST_SKIP() << "root writes into a folder without its write bit";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    QFile(dir.filePath("ro")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
    SaveFailure why = SaveFailure::None;
    bool ok = false;
    try {
        ok = MFreeImage::SavePictureFile(TestSupport::PatternImage(8, 6), dir.filePath(c.target),
                                         &why);
    } catch (...) {  // a format that is not written raises as well
    }
    QFile(dir.filePath("ro"))
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(ok, c.why == SaveFailure::None);
    EXPECT_EQ(QFile::exists(dir.filePath(c.target)), ok);
}

INSTANTIATE_TEST_SUITE_P(Targets, RealSave,
                         testing::Values(RealCase{"a.png", SaveFailure::None},
                                         RealCase{"gone/a.png", SaveFailure::NoFolder},
                                         RealCase{"file/a.png", SaveFailure::NoFolder},
                                         RealCase{"a.qqq", SaveFailure::NoFormat},
                                         RealCase{"a.pcx", SaveFailure::NoFormat},
                                         RealCase{"ro/a.png", SaveFailure::NoPermission}));

}  // namespace
