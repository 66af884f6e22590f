#include "browser/cOpenTally.h"

namespace {
// More lines than this would make a message box taller than the screen.
constexpr int kMaxListed = 15;

QString Listed(const QString& heading, const QStringList& paths) {
    QString text = heading;
    for (qsizetype i = 0; i < paths.size() && i < kMaxListed; ++i) {
        text += QLatin1Char('\n') + paths[i];
    }
    if (paths.size() > kMaxListed) {
        text += QStringLiteral("\n……还有 %1 个").arg(paths.size() - kMaxListed);
    }
    return text;
}
}  // namespace

cOpenTally::cOpenTally(QObject* parent) : QObject(parent) {}

int cOpenTally::Started(const QString& file) {
    mOpens.push_back({file, true, false});
    ++mRunning;
    return static_cast<int>(mOpens.size()) - 1;
}

void cOpenTally::Ended(int number, bool ok) {
    if (number < 0 || number >= static_cast<int>(mOpens.size())) {
        return;
    }
    Open& open = mOpens[static_cast<size_t>(number)];
    if (!open.running) {
        return;
    }
    open.running = false;
    open.failed = !ok;
    --mRunning;
    ReportIfDone();
}

void cOpenTally::Close() {
    mClosed = true;
    ReportIfDone();
}

void cOpenTally::ReportIfDone() {
    if (!mClosed || mRunning > 0 || mReported) {
        return;
    }
    mReported = true;
    QStringList failed;
    for (const Open& open : mOpens) {
        if (open.failed) {
            failed << open.file;
        }
    }
    emit allEnded(failed);
}

QString OpenFailedText(const QStringList& files) {
    return Listed(QStringLiteral("以下图片无法打开："), files);
}

QString NothingReadableText(const QStringList& paths) {
    return Listed(QStringLiteral("这里没有 Lumora 能读取的图片："), paths);
}
