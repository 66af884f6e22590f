#include "window/ClickThroughPoller.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <vector>

#include "base/ScreenUnits.h"

ClickThroughPoller::ClickThroughPoller(QObject* parent) : QObject(parent) {
    mTimer = new QTimer(this);
    mTimer->setInterval(50);
    connect(mTimer, &QTimer::timeout, this, [this] { Tick(); });
}

ClickThroughPoller& ClickThroughPoller::Instance() {
    // Owned by the application, so its timer goes before the event loop's thread data does.
    static QPointer<ClickThroughPoller> instance;
    if (!instance) {
        instance = new ClickThroughPoller(QCoreApplication::instance());
    }
    return *instance;
}

void ClickThroughPoller::Watch(const QObject* who, Listener listener) {
    mListeners[who] = std::move(listener);
    if (!mTimer->isActive()) {
        mTimer->start();
    }
}

void ClickThroughPoller::Unwatch(const QObject* who) {
    mListeners.erase(who);
    if (mListeners.empty()) {
        mTimer->stop();
    }
}

bool ClickThroughPoller::IsPolling() const {
    return mTimer->isActive();
}

void ClickThroughPoller::Tick() {
    const QPoint logical = QCursor::pos();
    Tick(QGuiApplication::queryKeyboardModifiers(),
         ScreenUnits::ToDevice(QPointF(logical), ScreenUnits::ScreenAtLogical(logical)));
}

void ClickThroughPoller::Tick(Qt::KeyboardModifiers keys, QPointF pointer) {
    // A listener may stop watching, or another start, while they are told.
    std::vector<const QObject*> who;
    who.reserve(mListeners.size());
    for (const auto& entry : mListeners) {
        who.push_back(entry.first);
    }
    for (const QObject* w : who) {
        const auto it = mListeners.find(w);
        if (it != mListeners.end()) {
            const Listener listener = it->second;
            listener(keys, pointer);
        }
    }
}
