#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

class frmResize;

// The image windows in the order the soak first saw them, so that "the third window" names the
// same window on every replay of a seed.
class SoakWindows {
public:
    // Takes in windows that appeared since the last call and forgets deleted ones.
    void Scan();
    // The windows that are loaded (not closed), oldest first.
    QList<frmResize*> Live() const;
    // Every window still in memory, closed ones included.
    QList<frmResize*> All() const;

private:
    QList<QPointer<frmResize>> mKnown;
};

// What must hold after every action. Each check gives "" when it holds, or what is wrong.
class SoakInvariants {
public:
    // Remembers the files outside the temporary folders that the soak watches: every file under
    // each folder (sizes and times), which no action may change.
    void Watch(const QStringList& folders);

    // quiet: the work the actions started has ended (nothing opens, saves or captures).
    QString Check(const SoakWindows& windows, const QString& tempRoot, bool quiet) const;

private:
    struct FileState {
        qint64 size;
        QDateTime modified;
        bool operator==(const FileState& o) const {
            return size == o.size && modified == o.modified;
        }
    };
    static QMap<QString, FileState> Snapshot(const QStringList& folders);

    QString CheckWindow(frmResize* w) const;
    static QString CheckOwners(const QList<frmResize*>& live);
    QString CheckFiles(const QString& tempRoot) const;

    QStringList mFolders;
    QMap<QString, FileState> mWatched;
};
