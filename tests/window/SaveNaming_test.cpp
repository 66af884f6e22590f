#include "window/SaveNaming.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "image/cSaveJob.h"
#include "settings/mdlOption.h"

namespace {

// "@" stands for the test's folder, which holds p/, out/ and desk/ (the desktop).
struct QuickSaveCase {
    const char* what;
    const char* picFile;
    const char* quickSavePath;
    const char* present;  // ';'-separated: "f:" a file, "l:" a dangling link, "d:" a folder
    const char* target;
    const char* picFileAfter;
    const char* filter;  // nullptr: the default save filter
};

class QuickSaveTarget : public testing::TestWithParam<QuickSaveCase> {
protected:
    QString At(const char* path) const { return QString::fromUtf8(path).replace('@', dir.path()); }
    QTemporaryDir dir;
};

TEST_P(QuickSaveTarget, IsTheFirstFreeFinalName) {
    const QuickSaveCase& c = GetParam();
    SCOPED_TRACE(c.what);
    for (const char* sub : {"p", "out", "desk"}) {
        ASSERT_TRUE(QDir(dir.path()).mkdir(sub));
    }
    for (const QString& entry : At(c.present).split(';', Qt::SkipEmptyParts)) {
        const QString path = entry.mid(2);
        const bool made = entry[0] == 'f'   ? QFile(path).open(QIODevice::WriteOnly)
                          : entry[0] == 'l' ? QFile::link(dir.path() + "/gone", path)
                                            : QDir().mkdir(path);
        ASSERT_TRUE(made) << qPrintable(entry);
    }
    QString picFile = At(c.picFile);
    const QString filter = c.filter ? QString(c.filter) : mdlOption::DefaultFileFilter();
    EXPECT_EQ(
        SaveNaming::QuickSaveTarget(picFile, At(c.quickSavePath), filter, At("@/desk/"), picFile),
        At(c.target));
    EXPECT_EQ(picFile, At(c.picFileAfter));
}

const char* const kDefault = nullptr;

INSTANTIATE_TEST_SUITE_P(
    Names, QuickSaveTarget,
    testing::Values(
        QuickSaveCase{"tga is not in the filter", "@/p/a.tga", "", "", "@/p/new a.tga.jpg",
                      "@/p/a.tga", kDefault},
        QuickSaveCase{"png is", "@/p/a.png", "", "", "@/p/new a.png", "@/p/a.png", kDefault},
        QuickSaveCase{"past taken names", "@/p/a.jpg", "", "f:@/p/new a.jpg;f:@/p/new(1) a.jpg",
                      "@/p/new(2) a.jpg", "@/p/a.jpg", kDefault},
        QuickSaveCase{"a dangling link takes a name, a folder does not", "@/p/a.jpg", "",
                      "l:@/p/new a.jpg;d:@/p/new(1) a.jpg", "@/p/new(1) a.jpg", "@/p/a.jpg",
                      kDefault},
        QuickSaveCase{"pasted: the desktop", "", "", "", "@/desk/new noname.jpg",
                      "@/desk/noname.jpg", kDefault},
        QuickSaveCase{"quick-save folder", "@/p/a.bmp", "@/out/", "", "@/out/new a.bmp",
                      "@/p/a.bmp", kDefault},
        QuickSaveCase{"pasted, quick-save folder", "", "@/out/", "", "@/out/new noname.jpg", "",
                      kDefault},
        QuickSaveCase{"*.T is inside *.TIF", "@/p/x.t", "", "", "@/p/new x.t", "@/p/x.t", kDefault},
        QuickSaveCase{"no extension", "@/p/scan", "", "", "@/p/new scan.jpg", "@/p/scan", kDefault},
        QuickSaveCase{"the filter ignores case, the save does not", "@/p/a.Bmp", "", "",
                      "@/p/new a.Bmp.bmp", "@/p/a.Bmp", kDefault},
        QuickSaveCase{"the completed name is the one tested", "@/p/photo.JPG", "",
                      "f:@/p/new photo.JPG.jpg", "@/p/new(1) photo.JPG.jpg", "@/p/photo.JPG",
                      kDefault},
        QuickSaveCase{"heic keeps its format", "@/p/a.heic", "", "", "@/p/new a.heic", "@/p/a.heic",
                      kDefault},
        QuickSaveCase{"and heif", "@/p/a.heif", "", "", "@/p/new a.heif", "@/p/a.heif", kDefault},
        QuickSaveCase{"avif", "@/p/a.avif", "", "", "@/p/new a.avif", "@/p/a.avif", kDefault},
        QuickSaveCase{"jxl", "@/p/a.jxl", "", "", "@/p/new a.jxl", "@/p/a.jxl", kDefault},
        QuickSaveCase{"webp", "@/p/a.webp", "", "", "@/p/new a.webp", "@/p/a.webp", kDefault},
        QuickSaveCase{"a phone's name: completed as JPG is", "@/p/IMG.HEIC", "", "",
                      "@/p/new IMG.HEIC.heic", "@/p/IMG.HEIC", kDefault},
        QuickSaveCase{"a filter of its own", "@/p/a.png", "", "", "@/p/new a.png", "@/p/a.png",
                      "PNG|*.png"},
        QuickSaveCase{"listed, not writable: kept", "@/p/a.pcx", "", "", "@/p/new a.pcx",
                      "@/p/a.pcx", "PCX|*.pcx"}));

TEST(QuickSaveTargetAgain, APastedPictureKeepsItsDesktopName) {
    QTemporaryDir dir;
    const QString desk = dir.path() + "/";
    const QString filter = mdlOption::DefaultFileFilter();
    QString picFile;
    const QString first = SaveNaming::QuickSaveTarget(picFile, "", filter, desk, picFile);
    ASSERT_EQ(first, desk + "new noname.jpg");
    ASSERT_TRUE(QFile(first).open(QIODevice::WriteOnly));
    EXPECT_EQ(SaveNaming::QuickSaveTarget(picFile, "", filter, desk, picFile),
              desk + "new(1) noname.jpg");
    EXPECT_EQ(picFile, desk + "noname.jpg");
}

}  // namespace

TEST(QuickSaveTargetAgain, ANameASaveIsStillWritingIsTaken) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString picture = dir.path() + QStringLiteral("/a.bmp");
    const QString first = dir.path() + QStringLiteral("/new a.bmp");
    // A picture large enough that its save is still running when the next name is chosen.
    QImage big(3000, 2000, QImage::Format_BGR888);
    big.fill(Qt::darkCyan);
    cSaveJob* job = cSaveJob::Start(big, first);
    bool ended = false;
    QObject::connect(job, &cSaveJob::finished, [&ended](bool) { ended = true; });
    QString picFile = picture;
    const QString second = SaveNaming::QuickSaveTarget(
        picture, QString(), mdlOption::DefaultFileFilter(), QString(), picFile);
    const bool stillWriting = !ended && cSaveJob::IsWriting(first);
    cSaveJob::WaitForAll();
    QCoreApplication::sendPostedEvents();
    if (stillWriting) {
        EXPECT_EQ(second, dir.path() + QStringLiteral("/new(1) a.bmp"));
    }
    EXPECT_NE(second, first);
    EXPECT_FALSE(cSaveJob::IsWriting(first));
}
