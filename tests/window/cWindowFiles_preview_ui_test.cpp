// A large photo opens in two steps: a reduced copy is shown, at the size the window takes for the
// picture, while the full picture decodes; only the full one ever becomes the window's picture,
// and the window's commands wait for it. The two decodes are real; the test holds their results
// back and hands them on in the order each case needs.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <ostream>
#include <vector>

#include "support/TestSupport.h"
#include "window/WindowCoreTest.h"
#include "window/cPictureModel.h"
#include "window/cWindowFiles.h"

namespace {

using Result = cDecodeFront::Result;

struct Order {
    const char* what;
    bool previewFirst;  // the reduced picture is handed on before the full one
    bool previewFails;
    bool fullFails;
    bool previewShown;  // expected
};
void PrintTo(const Order& o, std::ostream* os) {
    *os << o.what;
}

class PreviewOpen : public WindowCoreTest, public testing::WithParamInterface<Order> {
protected:
    void SetUp() override {
        WindowCoreTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        model.SetPicture(TestSupport::PatternImage(40, 30));
        model.mPicFile = QStringLiteral("before.png");
        place.SetDeviceGeometry(kBefore);
        // Grain keeps the photo over the size a preview is asked for at.
        QImage photo(2000, 1500, QImage::Format_RGB32);
        auto* random = QRandomGenerator::global();
        for (int y = 0; y < photo.height(); ++y) {
            random->fillRange(reinterpret_cast<quint32*>(photo.scanLine(y)), photo.width());
        }
        ASSERT_TRUE(photo.save(path, "JPEG", 90));
        ASSERT_GT(QFileInfo(path).size(), 2 * 1024 * 1024);
        QObject::connect(&files, &cWindowFiles::openEnded,
                         [this](bool ok, const QString&) { ended.push_back(ok); });
        QObject::connect(
            &files, &cWindowFiles::previewShown,
            [this](const QImage& reduced, const QString&) { previews.push_back(reduced); });
    }

    // Opens the photo and holds both results back: the full one first, then the reduced one.
    std::vector<Result> OpenHeld() {
        std::vector<Result> held;
        if (!files.LoadFromFile(path)) {
            return held;
        }
        auto* front = files.findChild<cDecodeFront*>();
        QObject::disconnect(front, &cDecodeFront::decoded, &files, nullptr);
        QObject::connect(front, &cDecodeFront::decoded,
                         [&held](const Result& r) { held.push_back(r); });
        const QDeadlineTimer guard(60000);  // only keeps a broken test from hanging
        while (held.size() < 2 && !guard.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        if (held.size() == 2 && held[0].id != files.Jobs().OpenRequest()) {
            std::swap(held[0], held[1]);
        }
        return held;
    }

    const QRect kBefore{200, 100, 40, 30};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    cPictureModel model;
    cWindowFiles files{face, model, place};
    std::vector<bool> ended;
    std::vector<QImage> previews;
};

TEST_P(PreviewOpen, OnlyTheFullPictureBecomesTheWindowsAndAFailureLeavesItAsItWas) {
    const Order& o = GetParam();
    const QImage before = model.Picture();
    std::vector<Result> held = OpenHeld();
    ASSERT_EQ(held.size(), 2U);
    Result full = held[0];
    Result reduced = held[1];
    ASSERT_EQ(full.picture.size(), QSize(2000, 1500));
    const QSize area = ScreenUnits::DeviceWorkArea(nullptr).size();
    // The decoder's own reduction that still covers half the longer side of the work area.
    ASSERT_GE(reduced.picture.width(), std::max(area.width(), area.height()) / 2);
    ASSERT_LT(reduced.picture.width(), full.picture.width());
    ASSERT_EQ(reduced.ownSize, QSize(2000, 1500));
    if (o.previewFails) {
        reduced.picture = QImage();
        reduced.ownSize = QSize();
    }
    if (o.fullFails) {
        full.picture = QImage();
        full.ownSize = QSize();
    }

    files.Decoded(o.previewFirst ? reduced : full);
    if (o.previewShown) {
        ASSERT_EQ(previews.size(), 1U);
        EXPECT_EQ(previews[0].cacheKey(), reduced.picture.cacheKey());
        // The window has the size the picture will have; its picture and commands wait.
        EXPECT_NE(place.DeviceGeometry().size(), kBefore.size());
        EXPECT_EQ(model.Picture().cacheKey(), before.cacheKey());
        EXPECT_TRUE(files.Jobs().IsBusy());
        EXPECT_TRUE(face.waiting && face.waitingOverCrop);
        EXPECT_FALSE(files.SaveToFile(dir.filePath(QStringLiteral("saved.png"))));
        EXPECT_TRUE(ended.empty());
    }
    const QRect shownAt = place.DeviceGeometry();
    files.Decoded(o.previewFirst ? full : reduced);

    EXPECT_EQ(previews.size(), o.previewShown ? 1U : 0U);
    ASSERT_EQ(ended, std::vector<bool>{!o.fullFails});
    EXPECT_FALSE(files.Jobs().IsBusy());
    EXPECT_FALSE(face.waiting || face.waitingOverCrop);
    if (o.fullFails) {
        // As a failed open leaves it: its own picture, file and place, shown again.
        EXPECT_EQ(model.Picture().cacheKey(), before.cacheKey());
        EXPECT_EQ(model.mPicFile, QStringLiteral("before.png"));
        EXPECT_EQ(place.DeviceGeometry(), kBefore);
        EXPECT_GE(face.pictureChanges, 1);
    } else {
        EXPECT_EQ(model.Picture().size(), QSize(2000, 1500));
        EXPECT_EQ(model.mPicFile, path);
        if (o.previewShown) {
            EXPECT_EQ(place.DeviceGeometry(), shownAt);  // sized once, by the reduced picture
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreviewOpen,
    testing::Values(Order{"reduced then full", true, false, false, true},
                    Order{"full first: the reduced one is ignored", false, false, false, false},
                    Order{"reduced, then the full one fails", true, false, true, true},
                    Order{"a failed reduced decode changes nothing", true, true, false, false}));

}  // namespace
