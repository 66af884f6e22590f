#include <gtest/gtest.h>

#include "browser/BrowseFolder.h"
#include "browser/QtPrinters.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using BrowseFolder::NaturalCompare;

struct OrderCase {
    const char* a;
    const char* b;
    int expected;  // sign of NaturalCompare(a, b)
};

class NaturalOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(NaturalOrder, ComparesLikeAFileManager) {
    const OrderCase c = GetParam();
    const QString a = QString::fromUtf8(c.a);
    const QString b = QString::fromUtf8(c.b);
    EXPECT_EQ(NaturalCompare(a, b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(NaturalCompare(b, a), -c.expected) << "antisymmetric";
}

INSTANTIATE_TEST_SUITE_P(
    Names, NaturalOrder,
    testing::Values(OrderCase{"2.jpg", "10.jpg", -1},        // by value, not by text
                    OrderCase{"img9.png", "img10.png", -1},  // digits inside a name
                    OrderCase{"a2b10", "a2b9", 1},           // every run counts
                    OrderCase{"B.jpg", "a.jpg", 1},          // letter case ignored
                    OrderCase{"abc", "ABD", -1},             //
                    OrderCase{"a", "a1", -1},                // a prefix comes first
                    OrderCase{"007.jpg", "7.jpg", 1},        // equal value: fewer zeros first
                    OrderCase{"0.jpg", "00.jpg", -1},        // zero itself
                    OrderCase{"a.jpg", "A.jpg", 1},          // equal but for case: still total
                    OrderCase{"x99999999999999999999.png", "x100000000000000000000.png", -1},
                    OrderCase{"图2.jpg", "图10.jpg", -1},  // beyond ASCII
                    OrderCase{"same.jpg", "same.jpg", 0}));

// A folder with pictures named so that text order and natural order differ, and entries that
// must not be tried: a subfolder and its file, a FIFO, a looping link, an unreadable file.
TEST(ListFolderFiles, PlainReadableFilesInNaturalOrderWithoutWaiting) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path() + "/";
    for (const char* name : {"10.jpg", "2.jpg", "1.jpg", ".hidden.png", "B.png", "a.png"}) {
        QFile f(root + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    ASSERT_TRUE(QDir(root).mkdir("sub"));
    QFile inner(root + "sub/0.jpg");
    ASSERT_TRUE(inner.open(QIODevice::WriteOnly));
    ASSERT_EQ(mkfifo(QFile::encodeName(root + "pipe.jpg").constData(), 0600), 0);
    ASSERT_EQ(symlink("loop.jpg", QFile::encodeName(root + "loop.jpg").constData()), 0);
    ASSERT_TRUE(QFile::link(root + "2.jpg", root + "3.jpg"));  // a link to a file is a file
    QFile locked(root + "locked.jpg");
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.close();
    ASSERT_TRUE(locked.setPermissions(QFileDevice::WriteOwner));

    QStringList expected;
    for (const char* name :
         {".hidden.png", "1.jpg", "2.jpg", "3.jpg", "10.jpg", "a.png", "B.png"}) {
        expected << root + name;
    }
    if (geteuid() == 0) {
        expected << root + "locked.jpg";  // root reads anything
    }
    EXPECT_EQ(BrowseFolder::ListFolderFiles(dir.path()), expected);
    EXPECT_EQ(BrowseFolder::ListFolderFiles(root), expected) << "a trailing '/' changes nothing";

    // A path given by itself follows the same rule; a folder stands for its files.
    EXPECT_EQ(BrowseFolder::ExpandPath(root + "2.jpg"), QStringList{root + "2.jpg"});
    EXPECT_TRUE(BrowseFolder::ExpandPath(root + "pipe.jpg").isEmpty());
    EXPECT_TRUE(BrowseFolder::ExpandPath(root + "loop.jpg").isEmpty());
    EXPECT_TRUE(BrowseFolder::ExpandPath(root + "missing.jpg").isEmpty());
    EXPECT_TRUE(BrowseFolder::ExpandPath(QString()).isEmpty());
    EXPECT_EQ(BrowseFolder::ExpandPath(root + "sub"), QStringList{root + "sub/0.jpg"});
}

}  // namespace
