#include "window/cBackup.h"

#include "base/NumberedError.h"

#include <limits>

cBackup::cBackup() : mEntries(2) {}

bool cBackup::BackupPicture(const QImage& iPicture, const QString& iNextOper, qint32 iNextLeft,
                            qint32 iNextTop) {
    if (mCount < mMaxUndoCount) {
        ++mCount;
    } else {
        // Full: the oldest entry makes room for the new one.
        for (int i = 2; i <= mMaxUndoCount; ++i) {
            mEntries[i - 1] = std::move(mEntries[i]);
        }
    }
    Entry& e = mEntries[mCount];
    e.Picture = iPicture;
    e.NextOper = iNextOper;
    e.NextLeft = iNextLeft;
    e.NextTop = iNextTop;
    return true;
}

bool cBackup::RestorePicture() {
    if (mCount < 1) {
        return false;
    }
    mEntries[mCount] = Entry();
    --mCount;
    return true;
}

void cBackup::ClearBackup() {
    for (int i = 1; i <= mCount; ++i) {
        mEntries[i] = Entry();
    }
    mCount = 0;
}

qint32 cBackup::MaxUndoCount() const {
    return mMaxUndoCount;
}

void cBackup::setMaxUndoCount(qint32 iNewMaxCount) {
    if (iNewMaxCount < 1) {
        return;
    }
    if (iNewMaxCount > std::numeric_limits<qint16>::max()) {
        throw NumberedError(6, QStringLiteral("cBackup"), QString::fromLatin1(ErrorText::Overflow));
    }
    const auto newMax = static_cast<qint16>(iNewMaxCount);
    if (newMax < mCount) {
        // Keep the newest entries: they are the ones an undo reaches first, and no read may
        // ever look past the bound.
        const int drop = mCount - newMax;
        for (int i = 1; i <= newMax; ++i) {
            mEntries[i] = std::move(mEntries[i + drop]);
        }
        mCount = newMax;
    }
    mEntries.resize(newMax + 1);
    mMaxUndoCount = newMax;
}

qint32 cBackup::Count() const {
    return mCount;
}

const cBackup::Entry* cBackup::Newest() const {
    return mCount > 0 ? &mEntries[mCount] : nullptr;
}

QImage cBackup::NowPicture() const {
    const Entry* e = Newest();
    return e ? e->Picture : QImage();
}

QString cBackup::NextOper() const {
    const Entry* e = Newest();
    return e ? e->NextOper : QString();
}

qint32 cBackup::NextLeft() const {
    const Entry* e = Newest();
    return e ? e->NextLeft : -1;
}

qint32 cBackup::NextTop() const {
    const Entry* e = Newest();
    return e ? e->NextTop : -1;
}
