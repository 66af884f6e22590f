// Photos in an image window: one taken with the camera turned opens upright unless AutoRotate is
// off, and a name that is not valid UTF-8 fails like a missing file.

#include <gtest/gtest.h>

#include <cstdio>

#include <QFile>
#include <QTemporaryDir>

#include "app/mdlMain.h"
#include "settings/mdlOption.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);

// A JPEG's colour: within a small distance of what was written.
bool Near(QRgb a, QRgb b) {
    return qAbs(qRed(a) - qRed(b)) < 60 && qAbs(qGreen(a) - qGreen(b)) < 60 &&
           qAbs(qBlue(a) - qBlue(b)) < 60;
}

class PhotoWindow : public WindowFixture {
protected:
    static frmResize* NewWindow() {
        auto* w = new frmResize;
        w->show();
        return w;
    }
    static QSize OwnSize(const frmResize* w) { return QSize(w->mOrgWidth, w->mOrgHeight); }
};

TEST_F(PhotoWindow, ATurnedPhotoOpensUprightUnlessAutoRotateIsOff) {
    // Stored 300 x 200 with orientation 6: upright it stands 200 x 300, red at the top left.
    const QString photo = TestSupport::DataFile("jpg_phone6.jpg");
    mdlOption::Options().ResizeWhenOpen = true;
    frmResize* w = NewWindow();
    ASSERT_TRUE(w->lnkOpenPicture(photo));
    ASSERT_TRUE(WaitForOpen(w));
    EXPECT_EQ(OwnSize(w), QSize(200, 300));
    EXPECT_EQ(w->size(), QSize(200, 300));
    EXPECT_TRUE(Near(w->lnkGetCopyPicture().pixel(3, 3), kRed));

    // The option is looked at by each open.
    mdlOption::Options().AutoRotate = false;
    ASSERT_TRUE(w->lnkOpenPicture(photo));
    ASSERT_TRUE(WaitForOpen(w));
    EXPECT_EQ(OwnSize(w), QSize(300, 200));
    EXPECT_EQ(w->size(), QSize(300, 200));
    EXPECT_TRUE(Near(w->lnkGetCopyPicture().pixel(3, 3), kGreen));
}

TEST_F(PhotoWindow, ANameThatIsNotUtf8FailsLikeAMissingFile) {
    // A picture on disk under a name with bytes no UTF-8 text holds, as another system may have
    // written it; the program only ever sees the name as text.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray raw = QFile::encodeName(dir.path()) + "/photo\xff\xfe.jpg";
    {
        QFile source(TestSupport::DataFile("jpg_phone6.jpg"));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        std::FILE* f = std::fopen(raw.constData(), "wb");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f),
                  static_cast<size_t>(bytes.size()));
        std::fclose(f);
    }
    const QString name = QFile::decodeName(raw);

    frmResize* w = NewWindow();
    const QSize before = OwnSize(w);
    for (const QString& path : {name, dir.filePath("missing.jpg")}) {
        EXPECT_FALSE(w->lnkOpenPicture(path)) << qPrintable(path);
        emit w->imgView->filesDropped({path});
        EXPECT_EQ(w->mPicFile, "");
        EXPECT_EQ(OwnSize(w), before);
    }
    const int windows = mdlMain::ImageWindowCount();
    EXPECT_EQ(mdlMain::OpenPictureWindow(name, 0, 0), nullptr);
    EXPECT_EQ(mdlMain::ImageWindowCount(), windows);
}

}  // namespace
