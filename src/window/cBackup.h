#pragma once

#include <QImage>
#include <QString>
#include <QVector>

// The image window's undo history: a bounded stack of pictures as they were shown before a
// destructive edit, each with the tag of that edit and the crop rectangle's offsets (pixels).
// The window sets the bound to 1, so each new edit replaces the previous snapshot; when the
// history is full, a push drops the oldest entry.
//
// A snapshot shares the caller's QImage (implicit sharing): the history keeps the picture
// alive, and the caller's later changes detach from it rather than altering the snapshot.
class cBackup {
public:
    cBackup();

    // Pushes a new newest entry (tag "CROP", "MASK" or "GRAD"; offsets in pixels). Always true.
    bool BackupPicture(const QImage& iPicture, const QString& iNextOper, qint32 iNextLeft,
                       qint32 iNextTop);
    // Drops the newest entry; false when the history is empty. Read the newest entry's
    // NowPicture/NextOper/NextLeft/NextTop before calling it.
    bool RestorePicture();
    // Empties the history and releases its pictures at once.
    void ClearBackup();

    // The bound, 1 at creation. Values below 1 are ignored; values above 32767 raise
    // NumberedError 6 (Overflow) and change nothing. Lowering the bound below Count keeps the
    // newest entries that fit and lowers Count with it.
    qint32 MaxUndoCount() const;
    void setMaxUndoCount(qint32 iNewMaxCount);

    qint32 Count() const;
    // The newest entry, or the empty values: a null picture, "", -1, -1.
    QImage NowPicture() const;
    QString NextOper() const;
    qint32 NextLeft() const;  // pixels
    qint32 NextTop() const;   // pixels

private:
    struct Entry {
        QImage Picture;
        QString NextOper;
        qint32 NextLeft = 0;
        qint32 NextTop = 0;
    };

    const Entry* Newest() const;

    // Index 0 is never used; entries 1 .. mCount hold the history, oldest first.
    QVector<Entry> mEntries;
    qint16 mCount = 0;
    qint16 mMaxUndoCount = 1;
};
