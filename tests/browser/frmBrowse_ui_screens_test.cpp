#include "browser/BrowseUiSupport.h"

#include <QLabel>
#include <QScreen>

// Screen A at scale 1, screen B right of it at scale 2 (support/two_screens.json).

namespace {

class BrowserOnTwoScreens : public BrowseFixture {
protected:
    void SetUp() override {
        BrowseFixture::SetUp();
        ScreenUnits::OverrideForTesting(0, 0);  // what each screen says
    }
    static bool WaitOnScreen(QWidget* w, const char* name) {
        return QTest::qWaitFor([w, name] { return w->screen()->name() == name; }, 5000);
    }
};

TEST_F(BrowserOnTwoScreens, ThumbnailsAreMadeForTheDevicePixelsOfTheBrowsersScreen) {
    const QString wide = Picture("1.png", QSize(392, 196), root + "pics");
    Picture("2.png", QSize(50, 60), root + "pics");
    frmResize* owner = Owner();
    owner->move(1200, 100);
    ASSERT_TRUE(WaitOnScreen(owner, "B"));
    frmBrowse* b = frmBrowse::Shared();
    ASSERT_TRUE(b->ShowBrowse({root + "pics"}, owner));
    ASSERT_TRUE(WaitOnScreen(b, "B")) << "opens on its owner's screen";
    ASSERT_TRUE(WaitLoaded(b));

    // Twice the device pixels in a cell of the same logical size, drawn one to one.
    EXPECT_EQ(b->imgBrowse[0]->size(), QSize(100, 100));
    EXPECT_EQ(b->imgBrowse[0]->pixmap().size(), QSize(196, 98));
    EXPECT_EQ(b->imgBrowse[0]->pixmap().devicePixelRatio(), 2.0);
    EXPECT_EQ(b->imgBrowse[1]->pixmap().size(), QSize(50, 60)) << "never enlarged";
    EXPECT_EQ(b->imgBrowse[1]->pixmap().devicePixelRatio(), 2.0);

    // On screen A the next thumbnails are made at scale 1; those made stay as they are.
    b->move(100, 100);
    ASSERT_TRUE(WaitOnScreen(b, "A"));
    Drop(b->frameBrowse, {wide});
    ASSERT_TRUE(WaitLoaded(b));
    ASSERT_EQ(b->Items().Count(), 3);
    EXPECT_EQ(b->Items().Item(1).Picture.size(), QSize(196, 98));
    EXPECT_EQ(b->Items().Item(3).Picture.size(), QSize(98, 49));
    EXPECT_EQ(b->imgBrowse[2]->pixmap().devicePixelRatio(), 1.0);
    EXPECT_EQ(b->imgBrowse[0]->size(), QSize(100, 100));
}

}  // namespace
