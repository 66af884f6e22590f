#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

// What the loader asks of a decoder: reduced decodes in the background, cancellable. Results are
// handed to onDecoded later, from the event loop, never from inside Submit or Cancel.
class IThumbnailDecoder {
public:
    using Done = std::function<void(qint64 id, const QImage& picture, QSize ownSize)>;
    virtual ~IThumbnailDecoder() = default;
    // Starts decoding file at most maxSide pixels on its longer side; returns the request id (> 0).
    virtual qint64 Submit(const QString& file, int maxSide) = 0;
    // No result will come for id.
    virtual void Cancel(qint64 id) = 0;
    // picture is null when the file could not be decoded; ownSize is the file's own size, pixels.
    Done onDecoded;
};

// Loads the browser's thumbnails without ever waiting on a file on the calling (user-interface)
// thread. Paths (files or folders) are listed on a thread of their own, folders in natural name
// order; their files are decoded through the decoder with a bounded number in flight; thumbnails
// come out as itemLoaded in the order the paths were added and listed, never in the order the
// decodes end. A file that cannot be listed or decoded is skipped silently.
//
// Signals are emitted only from the event loop, never from inside a call of this class, so a
// handler may call Add or Cancel.
class cBrowseLoader : public QObject {
    Q_OBJECT
public:
    // decoder: null uses the program's decode front, background lane. maxInFlight: decodes
    // submitted and not yet ended; maxAhead: thumbnails made but held back for one before them.
    explicit cBrowseLoader(std::unique_ptr<IThumbnailDecoder> decoder = nullptr,
                           int maxInFlight = 0, int maxAhead = 64, QObject* parent = nullptr);
    ~cBrowseLoader() override;  // cancels

    // Queues paths after those already queued and starts the load when there is none.
    void Add(const QStringList& paths);
    // Drops whatever is queued, listed or in flight: no itemLoaded and no finished follow for it.
    void Cancel();
    // True from Add until finished or Cancel.
    bool IsLoading() const { return mLoading; }
    // Decodes submitted and not yet ended.
    int InFlight() const { return mInFlight; }
    // Device pixels per logical pixel of the cells the thumbnails go into, asked for each file as
    // it is submitted: its decode and its thumbnail are made for that ratio (ThumbSide), and the
    // thumbnail carries it. Thumbnails already submitted keep theirs. Unset (or null), the ratio
    // is 1.
    void SetDeviceRatioSource(std::function<double()> source);

signals:
    // The next thumbnail, in order; file is the full path.
    void itemLoaded(const QImage& thumbnail, const QString& file);
    // Every path added has been listed and every file tried.
    void finished();

private:
    // A submitted file, from its submission until its thumbnail is emitted or found to be none.
    struct Slot {
        QString file;
        qint64 id = 0;
        double ratio = 1.0;  // device pixels per logical pixel it was submitted for
        bool done = false;
        QImage thumbnail;  // null when the file gave no picture
    };
    struct Listing;
    void StartListing();
    void Listed(quint64 serial, const QStringList& files);
    void ListingEnded(quint64 serial);
    void Decoded(qint64 id, const QImage& picture, QSize ownSize);
    void Pump();
    // Emits the thumbnails at the front that are ready; false when a handler cancelled the load.
    bool Flush();
    void FinishIfDone();

    std::unique_ptr<IThumbnailDecoder> mDecoder;
    std::function<double()> mRatioSource;
    const int mMaxInFlight;
    const int mMaxAhead;
    QStringList mSources;               // paths waiting to be listed
    std::shared_ptr<Listing> mListing;  // the listing running, if any
    quint64 mListingSerial = 0;         // tells a running listing's results from a cancelled one's
    std::deque<QString> mFiles;         // listed files waiting to be submitted
    std::deque<Slot> mWindow;           // submitted files, in order, until emitted
    int mInFlight = 0;
    bool mLoading = false;
    quint64 mGeneration = 0;  // changes on Cancel, so a handler's Cancel stops an emit loop
};
