// Colours as a person sees them: a picture in Adobe RGB shows its maker's colours on an sRGB
// screen, and where a colour manager has set the screen's profile on the root window, pictures
// are shown in it.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QColorSpace>
#include <QDir>
#include <QImage>

#include "../support/ColourSupport.h"
#include "XSession.h"

namespace {

bool Near(QRgb a, QRgb b) {
    return qAbs(qRed(a) - qRed(b)) <= 2 && qAbs(qGreen(a) - qGreen(b)) <= 2 &&
           qAbs(qBlue(a) - qBlue(b)) <= 2;
}

// A 64 x 48 PNG of one colour, with iProfile in its iCCP chunk when given.
QString FlatPng(const QString& folder, const char* name, QRgb colour, const QByteArray& iProfile) {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(colour);
    if (!iProfile.isEmpty()) {
        picture.setColorSpace(QColorSpace::fromIccProfile(iProfile));
    }
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    return picture.save(path, "PNG") ? path : QString();
}

// Sets the root window's _ICC_PROFILE, as a colour manager does.
bool SetScreenProfile(const QString& display, const QByteArray& profile) {
    xcb_connection_t* c = xcb_connect(display.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    const char name[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    bool ok = atom != nullptr;
    if (ok) {
        xcb_generic_error_t* error = xcb_request_check(
            c, xcb_change_property_checked(
                   c, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_CARDINAL, 8,
                   static_cast<uint32_t>(profile.size()), profile.constData()));
        ok = error == nullptr;
        std::free(error);
    }
    std::free(atom);
    xcb_disconnect(c);
    return ok;
}

class Colours : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "no virtual display"; }

    // Opens path and waits until the middle of its window shows expected; the colour it showed.
    QRgb Shown(const QString& path, QRgb expected) {
        EXPECT_TRUE(x.StartLumora({path}));
        const qulonglong window = x.FindWindow();
        EXPECT_NE(window, 0u);
        const QPoint middle = x.Geometry(window).center();
        const QImage shot =
            x.WaitForScreen([&](const QImage& s) { return Near(s.pixel(middle), expected); });
        return shot.pixel(middle);
    }

    XSession x;
};

TEST_F(Colours, AnAdobeRgbPictureShowsItsMakersColoursOnAnSrgbScreen) {
    const QString png = FlatPng(QDir::tempPath(), "lumora-adobe.png", qRgb(120, 180, 60),
                                ColourSupport::AdobeRgb());
    ASSERT_FALSE(png.isEmpty());
    const QRgb shown = Shown(png, qRgb(81, 181, 42));
    EXPECT_TRUE(Near(shown, qRgb(81, 181, 42))) << std::hex << shown;
    QFile::remove(png);
}

TEST_F(Colours, PicturesAreShownInTheProfileAColourManagerSetForTheScreen) {
    ASSERT_TRUE(SetScreenProfile(x.display(), ColourSupport::AdobeRgb()));
    // sRGB's (81, 181, 42) is Adobe RGB's (120, 180, 60): what an Adobe RGB screen must be sent.
    const QString png =
        FlatPng(QDir::tempPath(), "lumora-srgb.png", qRgb(81, 181, 42), QByteArray());
    ASSERT_FALSE(png.isEmpty());
    const QRgb shown = Shown(png, qRgb(120, 180, 60));
    EXPECT_TRUE(Near(shown, qRgb(120, 180, 60))) << std::hex << shown;
    QFile::remove(png);
}

}  // namespace
