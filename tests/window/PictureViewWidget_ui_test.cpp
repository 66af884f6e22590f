#include <gtest/gtest.h>

#include "image/mdlPhotoShop.h"
#include "support/TestSupport.h"
#include "window/PictureViewWidget.h"

#include <QApplication>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace {

struct StretchCase {
    QImage::Format format;
    QSize picture;  // pixels
    QSize view;     // pixels
};

void PrintTo(const StretchCase& c, std::ostream* os) {
    *os << "format " << int(c.format) << ", " << c.picture.width() << "x" << c.picture.height()
        << " shown at " << c.view.width() << "x" << c.view.height();
}

// The shown picture is the window's own stretch of its picture, whatever the picture's format,
// widened to opaque 32-bit pixels: view widths cover every remainder of the four-pixel groups.
class ShownPicture : public testing::TestWithParam<StretchCase> {};

TEST_P(ShownPicture, IsTheStretchAsOpaque32BitPixels) {
    const StretchCase& c = GetParam();
    const QImage picture =
        TestSupport::PatternImage(c.picture.width(), c.picture.height(), c.format);
    PictureViewWidget view;
    view.setPicture(picture);
    view.resize(c.view);

    const QImage& shown = view.shownPicture();
    ASSERT_EQ(shown.size(), c.view);
    EXPECT_EQ(shown.format(), QImage::Format_RGB32);
    EXPECT_TRUE(TestSupport::SamePixels(
        shown, mdlPhotoShop::ScalePicture(picture, c.view.width(), c.view.height())));
    // The alpha byte is written too: the paint copies these words as they are.
    for (int y = 0; y < shown.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(shown.constScanLine(y));
        for (int x = 0; x < shown.width(); ++x) {
            ASSERT_EQ(row[x] >> 24, 0xFFu) << "pixel " << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ShownPicture,
                         testing::Values(StretchCase{QImage::Format_BGR888, {7, 5}, {1, 1}},
                                         StretchCase{QImage::Format_BGR888, {7, 5}, {2, 3}},
                                         StretchCase{QImage::Format_BGR888, {7, 5}, {3, 2}},
                                         StretchCase{QImage::Format_BGR888, {7, 5}, {4, 4}},
                                         StretchCase{QImage::Format_BGR888, {7, 5}, {5, 3}},
                                         StretchCase{QImage::Format_BGR888, {7, 5}, {13, 6}},
                                         StretchCase{QImage::Format_BGR888, {40, 30}, {11, 9}},
                                         StretchCase{QImage::Format_RGB888, {7, 5}, {10, 4}},
                                         StretchCase{QImage::Format_Indexed8, {7, 5}, {9, 7}},
                                         StretchCase{QImage::Format_Indexed8, {30, 20}, {6, 3}},
                                         StretchCase{QImage::Format_Mono, {9, 5}, {11, 5}},
                                         StretchCase{QImage::Format_RGB16, {7, 5}, {10, 3}},
                                         StretchCase{QImage::Format_RGB32, {7, 5}, {7, 3}},
                                         StretchCase{QImage::Format_ARGB32, {7, 5}, {6, 6}}));

// A palette picture is stretched from a 24-bit copy kept between sizes; a new picture must not
// be stretched from the old copy, nor shown from the old size's cache.
TEST(PictureView, NewPictureAtTheSameSizeReplacesTheKeptCopies) {
    PictureViewWidget view;
    view.resize(9, 7);
    view.setPicture(TestSupport::PatternImage(7, 5, QImage::Format_Indexed8));
    ASSERT_FALSE(view.shownPicture().isNull());

    const QImage next =
        TestSupport::PatternImage(5, 7, QImage::Format_Indexed8).mirrored(true, true);
    view.setPicture(next);
    EXPECT_TRUE(
        TestSupport::SamePixels(view.shownPicture(), mdlPhotoShop::ScalePicture(next, 9, 7)));

    view.resize(4, 3);  // a new size stretches the new picture's copy again
    EXPECT_TRUE(
        TestSupport::SamePixels(view.shownPicture(), mdlPhotoShop::ScalePicture(next, 4, 3)));
}

TEST(PictureView, PaintsTheShownPictureAndNothingWithoutAPicture) {
    PictureViewWidget view;
    view.resize(13, 6);
    view.setPicture(TestSupport::PatternImage(7, 5));
    QImage target(view.size(), QImage::Format_RGB32);
    target.fill(Qt::black);
    view.render(&target);
    EXPECT_TRUE(TestSupport::SamePixels(target, view.shownPicture()));

    view.setPicture(QImage());
    EXPECT_TRUE(view.shownPicture().isNull());
    view.render(&target);  // the background, no crash
    view.resize(0, 0);
    EXPECT_TRUE(view.shownPicture().isNull());
}

// A reduced picture is painted over the area until the next picture, while the picture itself
// stays what is shown for saving, copying and the colour key.
TEST(PictureView, APreviewIsPaintedOnlyUntilTheNextPicture) {
    PictureViewWidget view;
    view.resize(13, 6);
    const QImage picture = TestSupport::PatternImage(7, 5);
    const QImage reduced = TestSupport::PatternImage(3, 2, QImage::Format_Indexed8);
    view.setPicture(picture);
    view.setPreview(reduced);
    QImage target(view.size(), QImage::Format_RGB32);
    view.render(&target);
    EXPECT_TRUE(TestSupport::SamePixels(
        target, mdlPhotoShop::ScalePicture(mdlPhotoShop::CopyPicture24(reduced), 13, 6)));
    EXPECT_TRUE(
        TestSupport::SamePixels(view.shownPicture(), mdlPhotoShop::ScalePicture(picture, 13, 6)));

    const QImage next = picture.mirrored(true, false);
    view.setPicture(next);  // the full picture came
    view.render(&target);
    EXPECT_TRUE(TestSupport::SamePixels(target, mdlPhotoShop::ScalePicture(next, 13, 6)));
    view.setPreview(reduced);
    view.setPreview(QImage());  // taken away: the picture shows again
    EXPECT_EQ(view.paintedPicture().cacheKey(), view.shownPicture().cacheKey());
}

}  // namespace

namespace {
// A translucent premultiplied picture shows the colour bytes it stores, exactly as the window's
// copy of it (which is what is saved and copied) holds them.
TEST(PictureView, TranslucentPictureShowsWhatItsCopyHolds) {
    for (QImage::Format f : {QImage::Format_ARGB32_Premultiplied, QImage::Format_ARGB32}) {
        QImage picture(4, 3, f);
        picture.fill(qRgba(50, 25, 10, 128));  // stored bytes; premultiplied: (100,50,20) at half
        PictureViewWidget view;
        view.setPicture(picture);
        view.resize(8, 6);
        const QImage copy = mdlPhotoShop::ScalePicture(mdlPhotoShop::CopyPicture24(picture), 8, 6);
        ASSERT_EQ(copy.pixelColor(0, 0), QColor(50, 25, 10)) << f;
        EXPECT_TRUE(TestSupport::SamePixels(view.shownPicture(), copy)) << f;
    }
}
}  // namespace

// Hands drops to the view's own handler, as the drag machinery would.
class DropTarget : public PictureViewWidget {
public:
    using PictureViewWidget::dropEvent;
};

// A file manager may take an accepted "move" as leave to delete the source: drops are copies.
TEST(PictureView, DropsAreTakenAsCopiesNeverAsMoves) {
    DropTarget view;
    QStringList dropped;
    QObject::connect(&view, &PictureViewWidget::filesDropped,
                     [&](const QStringList& paths) { dropped = paths; });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/p/a.png")),
                  QUrl(QStringLiteral("https://host/b.png"))});
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    drop.ignore();
    view.dropEvent(&drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(dropped, QStringList{QStringLiteral("/p/a.png")});

    QDropEvent moveOnly(QPointF(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    moveOnly.ignore();
    dropped.clear();
    view.dropEvent(&moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());
    EXPECT_TRUE(dropped.isEmpty());
}
