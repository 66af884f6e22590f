#include "image/cSaveJob.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "decode/mdlPictureFile.h"
#include "support/TestSupport.h"

using TestSupport::PatternImage;
using TestSupport::SamePixels;

namespace {

// Runs the event loop until done() holds, looking every few milliseconds; false after a minute
// without it, so a hung save fails the test instead of hanging it.
bool RunUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return done();
}

// What a job's finished signals said, and the file and the count of running saves at the time.
struct Report {
    QPointer<cSaveJob> job;
    int count = 0;
    bool ok = false;
    bool onStartingThread = false;
    int runningThen = -1;
    QImage fileThen;
};
using Reports = std::vector<std::shared_ptr<Report>>;

std::shared_ptr<Report> StartRecorded(const QImage& picture, const QString& path,
                                      QObject* parent = nullptr) {
    auto r = std::make_shared<Report>();
    r->job = cSaveJob::Start(picture, path, parent);
    QObject::connect(r->job, &cSaveJob::finished, [r, path](bool ok) {
        ++r->count;
        r->ok = ok;
        r->onStartingThread = QThread::currentThread() == qApp->thread();
        r->runningThen = cSaveJob::Running();
        try {
            r->fileThen = mdlPictureFile::LoadPictureFile(path);
        } catch (...) {
        }
    });
    return r;
}

// Every job has reported and deleted itself: no later signal can come.
bool AllGone(const Reports& reports) {
    return std::all_of(reports.begin(), reports.end(), [](const auto& r) { return !r->job; });
}

class SaveJob : public testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QStringList Files() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir;
};

TEST_F(SaveJob, ParallelSavesEachReportOnceWithTheirFileComplete) {
    const QImage picture = PatternImage(640, 480);
    Reports reports;
    for (const char* name : {"a.png", "b.bmp", "c.tif", "d.tga"}) {
        reports.push_back(StartRecorded(picture, Path(name)));
    }
    ASSERT_TRUE(RunUntil([&] { return AllGone(reports); }));
    int leastRunning = 4;
    for (const auto& r : reports) {
        EXPECT_EQ(r->count, 1);
        EXPECT_TRUE(r->ok);
        EXPECT_TRUE(r->onStartingThread);
        EXPECT_TRUE(SamePixels(r->fileThen, picture));
        leastRunning = std::min(leastRunning, r->runningThen);
    }
    EXPECT_EQ(leastRunning, 0);  // the last to report no longer counts itself
    EXPECT_EQ(Files().size(), 4);
}

struct FailureCase {
    QImage picture;
    const char* name;
};

class SaveJobFailure : public SaveJob, public testing::WithParamInterface<FailureCase> {};

TEST_P(SaveJobFailure, ReportsFalseOnceAndWritesNothing) {
    const auto report = StartRecorded(GetParam().picture, Path(GetParam().name));
    ASSERT_TRUE(RunUntil([&] { return AllGone({report}); }));
    EXPECT_EQ(report->count, 1);
    EXPECT_FALSE(report->ok);
    EXPECT_TRUE(report->onStartingThread);
    EXPECT_TRUE(Files().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Saves, SaveJobFailure,
                         testing::Values(FailureCase{QImage(), "a.png"},              // raises 91
                                         FailureCase{PatternImage(4, 4), "a.xyz"},    // raises 5
                                         FailureCase{PatternImage(4, 4), "no/a.png"}  // false
                                         ));

TEST_F(SaveJob, ParentDeletedMidSaveLeavesACompleteFile) {
    const QImage picture = PatternImage(2000, 1500);
    auto* parent = new QObject;
    const auto report = StartRecorded(picture, Path("big.png"), parent);
    delete parent;
    // The save goes on; its result then arrives for a job that is gone.
    ASSERT_TRUE(RunUntil([] { return cSaveJob::Running() == 0; }));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(report->count, 0);
    EXPECT_TRUE(SamePixels(mdlPictureFile::LoadPictureFile(Path("big.png")), picture));
    EXPECT_EQ(Files(), QStringList({"big.png"}));
}

TEST_F(SaveJob, WaitForAllReturnsWithTheFilesWritten) {
    // No event loop runs meanwhile, as when the process is about to end.
    const QImage picture = PatternImage(1200, 900);
    const Reports reports = {StartRecorded(picture, Path("a.png")),
                             StartRecorded(picture, Path("b.bmp"))};
    cSaveJob::WaitForAll();
    EXPECT_EQ(cSaveJob::Running(), 0);
    EXPECT_TRUE(SamePixels(mdlPictureFile::LoadPictureFile(Path("a.png")), picture));
    EXPECT_TRUE(SamePixels(mdlPictureFile::LoadPictureFile(Path("b.bmp")), picture));
    ASSERT_TRUE(RunUntil([&] { return AllGone(reports); }));
}

}  // namespace

namespace {

// The profile and the quality reach the save: lossless WebP at 100, the profile embedded as is.
TEST_F(SaveJob, CarriesTheProfileAndTheQuality) {
    const QImage picture = PatternImage(64, 48);
    const QByteArray profile = "not parsed by the writer, only carried";
    bool finished = false;
    bool saved = false;
    cSaveJob* job = cSaveJob::Start(picture, Path("a.webp"), nullptr, profile, 100);
    QObject::connect(job, &cSaveJob::finished, [&](bool ok) {
        finished = true;
        saved = ok;
    });
    ASSERT_TRUE(RunUntil([&] { return finished; }));
    ASSERT_TRUE(saved);
    EXPECT_TRUE(SamePixels(mdlPictureFile::LoadPictureFile(Path("a.webp")), picture));
    QFile file(Path("a.webp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("ICCP"));
    EXPECT_TRUE(bytes.contains(profile));
}

}  // namespace
