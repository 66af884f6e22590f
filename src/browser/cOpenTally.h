#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

// Follows the opens that one "open the ticked pictures" starts, so that the files that could not
// be opened are told in one message once every open has ended, not one by one nor not at all.
// An open ends when its window shows the picture, when the file is refused, or when its window
// goes before either (which is no failure of the file).
class cOpenTally : public QObject {
    Q_OBJECT
public:
    explicit cOpenTally(QObject* parent = nullptr);

    // An open of file has started; the number to end it with.
    int Started(const QString& file);
    // The open numbered number has ended; ok false when its file could not be opened. Numbers
    // that ended already, or were never given, are ignored.
    void Ended(int number, bool ok);
    // No more opens will start: allEnded follows once the last one has ended (here, when none
    // is running).
    void Close();

signals:
    // Once, after Close and the end of every open: the files that could not be opened, in the
    // order they were started (empty when all opened).
    void allEnded(const QStringList& failed);

private:
    void ReportIfDone();

    struct Open {
        QString file;
        bool running = true;
        bool failed = false;
    };
    std::vector<Open> mOpens;
    int mRunning = 0;
    bool mClosed = false;
    bool mReported = false;
};

// The browser's message for files that could not be opened: a heading, then one full path a
// line; past fifteen files, how many more.
QString OpenFailedText(const QStringList& files);

// The browser's message when nothing it was given holds a picture it can read: a heading, then
// the paths given, as OpenFailedText lists them.
QString NothingReadableText(const QStringList& paths);
