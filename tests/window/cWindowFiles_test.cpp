// An image window's work that takes time, as its logic runs it: the wait, what a close does
// meanwhile, the newest open winning, the topmost band around every dialog, and capture's end.

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

#include <FreeImage.h>

#include "image/ColourDescription.h"
#include "image/MFreeImage.h"
#include "support/ColourSupport.h"
#include "support/ScriptedSeam.h"
#include "support/TestSupport.h"
#include "window/WindowCoreTest.h"
#include "window/cPictureModel.h"
#include "window/cWindowFiles.h"

namespace {

using TestSupport::DataFile;
using TestSupport::PatternImage;

// What a signal of cWindowFiles brought, each time: whether it went well, and the file.
struct Arrivals {
    std::vector<std::pair<bool, QString>> seen;

    void Add(bool ok, const QString& file = QString()) {
        seen.emplace_back(ok, file);
        if (mLoop != nullptr && size() >= mWant) {
            mLoop->quit();
        }
    }
    int size() const { return static_cast<int>(seen.size()); }
    // Runs the event loop until count have come; false when they never do (the work runs on
    // other threads and processes; a generous failsafe ends the wait).
    bool WaitFor(int count) {
        if (size() < count) {
            QEventLoop loop;
            mLoop = &loop;
            mWant = count;
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            loop.exec();
            mLoop = nullptr;
        }
        return size() >= count;
    }

private:
    QEventLoop* mLoop = nullptr;
    int mWant = 0;
};

class Files : public WindowCoreTest {
protected:
    void SetUp() override {
        WindowCoreTest::SetUp();
        model.SetPicture(PatternImage(40, 30));
        place.SetDeviceGeometry(QRect(200, 100, 40, 30));
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&files, &cWindowFiles::saveEnded,
                         [this](bool ok, const QString& path) { saved.Add(ok, path); });
        QObject::connect(&files, &cWindowFiles::openEnded,
                         [this](bool ok, const QString& file) { opened.Add(ok, file); });
        QObject::connect(&files, &cWindowFiles::captureEnded,
                         [this](bool ok) { captured.Add(ok); });
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    ScriptedSeam seam;
    QTemporaryDir dir;
    cPictureModel model;
    cWindowFiles files{face, model, place};
    Arrivals saved;
    Arrivals opened;
    Arrivals captured;
};

struct Command {
    const char* what;
    std::function<bool(cWindowFiles&, const QString& file)> run;  // false: refused
};
void PrintTo(const Command& c, std::ostream* os) {
    *os << c.what;
}

class WhileSaving : public Files, public testing::WithParamInterface<Command> {};

TEST_P(WhileSaving, EveryCommandWaitsAndNoDialogOpens) {
    ASSERT_TRUE(files.SaveToFile(Path("a.png")));
    EXPECT_TRUE(files.Jobs().IsBusy());
    EXPECT_TRUE(face.waiting && face.waitingOverCrop);
    face.fileName = DataFile(QStringLiteral("base.png"));
    EXPECT_FALSE(GetParam().run(files, face.fileName));
    EXPECT_TRUE(face.asked.empty());
    EXPECT_TRUE(seam.questions.empty());
    EXPECT_TRUE(face.visible);
    EXPECT_FALSE(files.Jobs().IsOpening());

    ASSERT_TRUE(saved.WaitFor(1));
    EXPECT_FALSE(files.Jobs().IsBusy());
    EXPECT_FALSE(face.waiting);
    EXPECT_EQ(saved.size(), 1);  // only the first save ran
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WhileSaving,
    testing::Values(
        Command{"save", [](cWindowFiles& f, const QString&) { return f.SaveToFile("/tmp/x.png"); }},
        Command{"open", [](cWindowFiles& f, const QString& file) { return f.LoadFromFile(file); }},
        Command{"open dialog",
                [](cWindowFiles& f, const QString&) {
                    f.cmdOpenPicture();
                    return false;
                }},
        Command{"save as",
                [](cWindowFiles& f, const QString&) {
                    f.cmdSaveAs();
                    return false;
                }},
        Command{"quick save",
                [](cWindowFiles& f, const QString&) {
                    f.cmdQuickSave();
                    return false;
                }},
        Command{"capture", [](cWindowFiles& f, const QString&) {
                    f.cmdLoadPictureFromScreen();
                    return false;
                }}));

TEST_F(Files, ClosedWhileSavingItHidesAndClosesOnceTheSaveIsReported) {
    ASSERT_TRUE(files.SaveToFile(Path("a.png")));
    EXPECT_TRUE(files.Close());  // the window only hides
    EXPECT_EQ(face.closes, 0);
    ASSERT_TRUE(saved.WaitFor(1));
    EXPECT_TRUE(saved.seen[0].first);
    ASSERT_EQ(seam.messages.size(), 1U);  // reported first ...
    EXPECT_EQ(face.closes, 1);            // ... then closed
    EXPECT_FALSE(files.Close());          // idle now: a close closes
}

TEST_F(Files, TheNewestOpenWinsAndAWindowClosedMeanwhileTakesNone) {
    EXPECT_FALSE(files.LoadFromFile(dir.path()));  // a folder is no picture
    ASSERT_TRUE(files.LoadFromFile(DataFile(QStringLiteral("base.png"))));
    ASSERT_TRUE(files.LoadFromFile(DataFile(QStringLiteral("bmp_24.bmp"))));
    EXPECT_TRUE(face.waiting && !face.waitingOverCrop);
    ASSERT_TRUE(opened.WaitFor(1));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.seen[0], std::make_pair(true, DataFile(QStringLiteral("bmp_24.bmp"))));
    EXPECT_EQ(model.mPicFile, DataFile(QStringLiteral("bmp_24.bmp")));
    EXPECT_FALSE(face.waiting);

    const QImage shown = model.Picture();
    ASSERT_TRUE(files.LoadFromFile(DataFile(QStringLiteral("base.png"))));
    face.unloaded = true;
    ASSERT_TRUE(opened.WaitFor(2));
    EXPECT_FALSE(opened.seen[1].first);
    EXPECT_EQ(model.mPicFile, DataFile(QStringLiteral("bmp_24.bmp")));
    EXPECT_EQ(model.Picture().cacheKey(), shown.cacheKey());
    EXPECT_FALSE(files.LoadFromFile(DataFile(QStringLiteral("base.png"))));
}

TEST_F(Files, AnOpenThatFailsToShowStillEndsAndSaysSo) {
    face.failRedraw = true;
    ASSERT_TRUE(files.LoadFromFile(DataFile(QStringLiteral("base.png"))));
    ASSERT_TRUE(opened.WaitFor(1));
    EXPECT_EQ(opened.seen[0], std::make_pair(false, DataFile(QStringLiteral("base.png"))));
    EXPECT_FALSE(face.waiting);
}

TEST_F(Files, EveryDialogIsOpenedOutOfTheTopmostBandAndTheBandComesBack) {
    face.fileName.clear();  // every dialog cancelled
    ASSERT_TRUE(model.Gray(model.Picture().size()).done);
    files.cmdOpenPicture();
    EXPECT_FALSE(model.CanUndo());  // the history goes even when cancelled
    files.cmdSaveAs();
    EXPECT_EQ(face.asked, (std::vector<bool>{false, true}));
    EXPECT_EQ(face.suspends, 2);
    EXPECT_EQ(face.restores, 2);
    // A completed name that exists is asked about; no leaves everything as it was.
    face.fileName = Path("photo.JPG");
    QFile taken(Path("photo.JPG.jpg"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    files.cmdSaveAs();
    EXPECT_EQ(seam.questions.size(), 1U);
    EXPECT_FALSE(files.Jobs().IsBusy());
    EXPECT_EQ(face.suspends, 3);
    EXPECT_EQ(face.restores, 3);
}

TEST_F(Files, ACaptureIntoAWindowNeverShownStaysQuietWhenItBringsNothing) {
    face.visible = true;
    EXPECT_FALSE(files.CaptureScreenAt(nullptr));  // already shown
    face.visible = false;
    ASSERT_TRUE(files.CaptureScreenAt(nullptr));  // no screen: nothing to take, at once
    ASSERT_EQ(captured.size(), 1);
    EXPECT_FALSE(captured.seen[0].first);
    EXPECT_EQ(face.shows, 0);
    EXPECT_TRUE(face.tips.isEmpty());
    EXPECT_FALSE(files.Jobs().IsBusy());
    EXPECT_FALSE(face.waiting);
}

}  // namespace

namespace {

bool Near(QRgb a, QRgb b, int by) {
    return qAbs(qRed(a) - qRed(b)) <= by && qAbs(qGreen(a) - qGreen(b)) <= by &&
           qAbs(qBlue(a) - qBlue(b)) <= by;
}

// A photo in Adobe RGB opens showing its maker's colours; saved to a format that carries a
// profile it keeps its own values and that profile; saved to one that carries none it gets the
// colours it showed, in sRGB.
TEST_F(Files, APictureKeepsItsColoursThroughOpenAndSave) {
    QImage flat(40, 30, QImage::Format_BGR888);
    flat.fill(QColor(120, 180, 60));
    const QByteArray adobe = ColourSupport::AdobeRgb();
    ASSERT_TRUE(MFreeImage::SavePictureFile(flat, Path("adobe.png"), nullptr, adobe));
    ASSERT_TRUE(files.LoadFromFile(Path("adobe.png")));
    ASSERT_TRUE(opened.WaitFor(1));
    ASSERT_TRUE(opened.seen[0].first);
    EXPECT_EQ(model.Profile(), adobe);
    EXPECT_TRUE(Near(model.ScreenPicture().pixel(5, 5), qRgb(81, 181, 42), 1));

    struct Saved {
        const char* name;
        QRgb values;
        QByteArray profile;
    };
    for (const Saved& s : {Saved{"again.jpg", qRgb(120, 180, 60), adobe},
                           Saved{"again.tif", qRgb(120, 180, 60), adobe},
                           Saved{"again.bmp", qRgb(81, 181, 42), QByteArray()}}) {
        SCOPED_TRACE(s.name);
        const int before = saved.size();
        ASSERT_TRUE(files.SaveToFile(Path(QLatin1String(s.name))));
        ASSERT_TRUE(saved.WaitFor(before + 1));
        ColourDescription read;
        const QImage back = MFreeImage::ImageToPicture(
            MFreeImage::LoadImageFile(Path(QLatin1String(s.name)), false, &read), true);
        EXPECT_TRUE(Near(back.pixel(5, 5), s.values, 3)) << std::hex << back.pixel(5, 5);
        EXPECT_EQ(read.icc, s.profile);
    }

    // A profile the decoder cannot use: shown as sRGB, and saved so, without it.
    ASSERT_TRUE(MFreeImage::SavePictureFile(flat, Path("bad.png"), nullptr, "no profile at all"));
    ASSERT_TRUE(files.LoadFromFile(Path("bad.png")));
    ASSERT_TRUE(opened.WaitFor(2));
    EXPECT_TRUE(model.ProfileRefused());
    EXPECT_TRUE(Near(model.ScreenPicture().pixel(5, 5), qRgb(120, 180, 60), 0));
    const int before = saved.size();
    ASSERT_TRUE(files.SaveToFile(Path("bad.jpg")));
    ASSERT_TRUE(saved.WaitFor(before + 1));
    ColourDescription read;
    FreeImage_Unload(MFreeImage::LoadImageFile(Path("bad.jpg"), false, &read));
    EXPECT_TRUE(read.icc.isEmpty());
}

}  // namespace
