#include <gtest/gtest.h>

#include "browser/QtPrinters.h"
#include "browser/cBrowseLoader.h"

#include <QtCore/qtestsupport_core.h>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <map>

namespace {

// Records what the loader submits and cancels; the test ends decodes in whatever order it likes.
class FakeDecoder : public IThumbnailDecoder {
public:
    struct Request {
        qint64 id;
        QString file;
        int maxSide;
    };
    qint64 Submit(const QString& file, int maxSide) override {
        requests.push_back({++lastId, file, maxSide});
        open[lastId] = file;
        maxOpen = std::max(maxOpen, static_cast<int>(open.size()));
        return lastId;
    }
    void Cancel(qint64 id) override {
        cancelled.push_back(id);
        open.erase(id);
    }
    // Ends the decode of file: a picture of ownSize (reduced to the request's maxSide on its
    // longer side), or none.
    void End(const QString& file, QSize ownSize = QSize(300, 200)) {
        for (auto it = open.begin(); it != open.end(); ++it) {
            if (it->second == file) {
                const qint64 id = it->first;
                open.erase(it);
                QImage picture;
                if (ownSize.isValid()) {
                    const int side = MaxSideOf(id);
                    const QSize reduced = ownSize.width() <= side && ownSize.height() <= side
                                              ? ownSize
                                              : ownSize.scaled(side, side, Qt::KeepAspectRatio);
                    picture = QImage(reduced.expandedTo(QSize(1, 1)), QImage::Format_BGR888);
                    picture.fill(Qt::gray);
                }
                onDecoded(id, picture, ownSize);
                return;
            }
        }
        ADD_FAILURE() << "not in flight: " << file.toStdString();
    }
    int MaxSideOf(qint64 id) const {
        for (const Request& r : requests) {
            if (r.id == id) {
                return r.maxSide;
            }
        }
        return 0;
    }
    bool InFlight(const QString& file) const {
        for (const auto& [id, f] : open) {
            if (f == file) {
                return true;
            }
        }
        return false;
    }

    qint64 lastId = 0;
    std::vector<Request> requests;
    std::map<qint64, QString> open;
    std::vector<qint64> cancelled;
    int maxOpen = 0;
};

class BrowseLoader : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path() + "/";
    }
    // Empty files: the fake never reads them, the lister only needs them to exist.
    QString Touch(const QString& name) {
        QFile f(root + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return root + name;
    }
    void Make(std::unique_ptr<FakeDecoder> decoder, int maxInFlight, int maxAhead) {
        fake = decoder.get();
        loader = std::make_unique<cBrowseLoader>(std::move(decoder), maxInFlight, maxAhead);
        QObject::connect(loader.get(), &cBrowseLoader::itemLoaded,
                         [this](const QImage& thumb, const QString& file) {
                             items << file;
                             sizes << thumb.size();
                         });
        QObject::connect(loader.get(), &cBrowseLoader::finished, [this] { ++finished; });
    }
    bool WaitSubmitted(size_t n) {
        return QTest::qWaitFor([&] { return fake->requests.size() >= n; }, 10000);
    }

    QTemporaryDir dir;
    QString root;
    FakeDecoder* fake = nullptr;
    std::unique_ptr<cBrowseLoader> loader;
    QStringList items;
    QList<QSize> sizes;
    int finished = 0;
};

TEST_F(BrowseLoader, ItemsInListingOrderWhateverOrderDecodesEnd) {
    const QString f10 = Touch("10.jpg");
    const QString f2 = Touch("2.jpg");
    const QString f1 = Touch("1.jpg");
    const QString bad = Touch("bad.jpg");
    QTemporaryDir other;
    const QString single = other.path() + "/single.png";
    QFile(single).open(QIODevice::WriteOnly);
    Make(std::make_unique<FakeDecoder>(), 8, 64);

    loader->Add({dir.path(), single, root + "missing.jpg"});
    EXPECT_TRUE(loader->IsLoading());
    EXPECT_TRUE(fake->requests.empty()) << "nothing is listed on the calling thread";
    ASSERT_TRUE(WaitSubmitted(5));
    EXPECT_EQ(fake->requests[0].file, f1);
    EXPECT_EQ(fake->requests[4].file, single);
    EXPECT_EQ(fake->requests[0].maxSide, 98);

    fake->End(single, QSize(50, 60));
    fake->End(f10, QSize(10000, 50));
    fake->End(bad, QSize());  // no picture: skipped silently
    EXPECT_TRUE(items.isEmpty()) << "nothing before item 1";
    fake->End(f2);
    EXPECT_TRUE(items.isEmpty());
    fake->End(f1);
    EXPECT_EQ(items, (QStringList{f1, f2, f10, single}));
    EXPECT_EQ(sizes, (QList<QSize>{{98, 65}, {98, 65}, {98, 1}, {50, 60}}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished > 0; }, 10000));
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(loader->IsLoading());
    EXPECT_EQ(fake->requests.size(), 5u) << "a missing path is never submitted";
}

// The browser moves between screens while it loads: each file is decoded and its thumbnail made
// for the ratio asked when the file is submitted, whatever the ratio when its decode ends.
TEST_F(BrowseLoader, EachThumbnailIsMadeForTheRatioOfItsSubmission) {
    const QString f1 = Touch("1.jpg");
    const QString f2 = Touch("2.jpg");
    const QString f3 = Touch("3.jpg");
    Make(std::make_unique<FakeDecoder>(), 1, 64);  // one at a time: a submission per end
    double ratio = 1.0;
    loader->SetDeviceRatioSource([&ratio] { return ratio; });
    QList<qreal> ratios;
    QObject::connect(
        loader.get(), &cBrowseLoader::itemLoaded,
        [&ratios](const QImage& thumb, const QString&) { ratios << thumb.devicePixelRatio(); });

    loader->Add({dir.path()});
    ASSERT_TRUE(WaitSubmitted(1));
    EXPECT_EQ(fake->requests[0].maxSide, 98);
    ratio = 2.0;
    fake->End(f1, QSize(3000, 2000));
    ASSERT_EQ(fake->requests.size(), 2u);
    EXPECT_EQ(fake->requests[1].maxSide, 196);
    ratio = 1.5;
    fake->End(f2, QSize(3000, 2000));
    ASSERT_EQ(fake->requests.size(), 3u);
    EXPECT_EQ(fake->requests[2].maxSide, 147);
    ratio = 0;  // no answer from the screen: scale 1
    fake->End(f3, QSize(100, 50));

    EXPECT_EQ(items, (QStringList{f1, f2, f3}));
    EXPECT_EQ(sizes, (QList<QSize>{{98, 65}, {196, 131}, {100, 50}}));
    EXPECT_EQ(ratios, (QList<qreal>{1.0, 2.0, 1.5}));
}

TEST_F(BrowseLoader, BoundedInFlightAndAhead) {
    for (int i = 1; i <= 30; ++i) {
        Touch(QStringLiteral("%1.jpg").arg(i));
    }
    Make(std::make_unique<FakeDecoder>(), 3, 5);
    loader->Add({dir.path()});
    ASSERT_TRUE(WaitSubmitted(3));
    EXPECT_EQ(fake->requests.size(), 3u);
    // Everything but the first ends: made thumbnails wait for it, and at most 5 are held.
    for (int round = 0; round < 10 && fake->open.size() > 1; ++round) {
        for (size_t k = 1; k < fake->requests.size(); ++k) {
            if (fake->open.count(fake->requests[k].id)) {
                fake->End(fake->requests[k].file);
            }
        }
    }
    EXPECT_EQ(fake->requests.size(), 5u);
    EXPECT_TRUE(items.isEmpty());
    fake->End(root + "1.jpg");
    EXPECT_EQ(items.size(), 5);
    while (!fake->open.empty()) {
        fake->End(fake->open.begin()->second);
    }
    EXPECT_EQ(items.size(), 30);
    EXPECT_EQ(items.last(), root + "30.jpg");
    EXPECT_LE(fake->maxOpen, 3);
    EXPECT_EQ(finished, 1);
}

TEST_F(BrowseLoader, CancelDropsEverythingAndLateResultsAreIgnored) {
    const QString a = Touch("a.jpg");
    const QString b = Touch("b.jpg");
    Make(std::make_unique<FakeDecoder>(), 8, 64);
    loader->Add({a, b});
    ASSERT_TRUE(WaitSubmitted(2));
    const qint64 idA = fake->requests[0].id;
    fake->End(b);
    loader->Cancel();
    EXPECT_FALSE(loader->IsLoading());
    EXPECT_EQ(fake->cancelled, std::vector<qint64>{idA}) << "only the unfinished one";
    fake->onDecoded(idA, QImage(10, 10, QImage::Format_BGR888), QSize(10, 10));  // too late

    // A listing still running when cancelled posts nothing into the next load.
    loader->Add({dir.path()});
    loader->Cancel();
    const QString c = Touch("c.jpg");
    loader->Add({c});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake->InFlight(c); }, 10000));
    fake->End(c);
    EXPECT_EQ(items, QStringList{c});
    EXPECT_EQ(finished, 1);
}

TEST_F(BrowseLoader, AHandlerThatCancelsStopsTheEmits) {
    const QString a = Touch("a.jpg");
    const QString b = Touch("b.jpg");
    Make(std::make_unique<FakeDecoder>(), 8, 64);
    QObject::connect(loader.get(), &cBrowseLoader::itemLoaded, [this] { loader->Cancel(); });
    loader->Add({a, b});
    ASSERT_TRUE(WaitSubmitted(2));
    fake->End(b);
    fake->End(a);  // a and b are both ready: only a comes out
    EXPECT_EQ(items, QStringList{a});
    EXPECT_EQ(finished, 0);
    EXPECT_FALSE(loader->IsLoading());
}

}  // namespace
