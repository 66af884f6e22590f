#include "decode/cDecodeFront.h"

#include <QList>

#include "decode/cDecodePool.h"

cDecodeFront::cDecodeFront(QObject* parent) : QObject(parent) {}

cDecodeFront::~cDecodeFront() {
    // After this no completion of the pool refers to this front; results already posted to it go
    // with it (QObject removes its posted events).
    CancelAll();
}

qint64 cDecodeFront::Submit(const QString& file, Lane lane, int maxSide, bool upright,
                            bool roughly) {
    const qint64 id = cDecodePool::NewTicket();
    mPending.insert(id);
    const cDecodePool::Lane poolLane =
        lane == Lane::Interactive ? cDecodePool::Lane::Interactive : cDecodePool::Lane::Background;
    // Runs on a pool thread; cancelling the request (as the destructor does) waits for it to end
    // and keeps it from starting, so the front it posts to is alive.
    cDecodePool::Shared().Submit(
        id, file, poolLane, maxSide, upright,
        [this, file](qint64 ticket, const cDecodePool::Answer& a) {
            Result result;
            result.id = ticket;
            result.file = file;
            if (a.outcome == cDecodePool::Outcome::Loaded) {
                result.picture = a.picture;
                result.ownSize = a.ownSize;
                result.colour = a.colour;
            }
            QMetaObject::invokeMethod(
                this, [this, result] { Deliver(result); }, Qt::QueuedConnection);
        },
        roughly);
    return id;
}

void cDecodeFront::Cancel(qint64 id) {
    if (mPending.remove(id)) {
        cDecodePool::Shared().Cancel(id);
    }
}

void cDecodeFront::CancelAll() {
    const QList<qint64> ids = mPending.values();
    mPending.clear();
    for (const qint64 id : ids) {
        cDecodePool::Shared().Cancel(id);
    }
}

int cDecodeFront::Pending() const {
    return static_cast<int>(mPending.size());
}

void cDecodeFront::Deliver(const Result& result) {
    // A result posted just before its request was cancelled is dropped here.
    if (mPending.remove(result.id)) {
        emit decoded(result);
    }
}
