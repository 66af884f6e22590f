#pragma once

#include <QObject>
#include <QPointF>
#include <functional>
#include <map>

class QTimer;

// Watches the keyboard's modifiers and the pointer for the click-through windows, which get no
// input of their own to learn them from. One timer for all of them, every 50 ms (20 times a
// second at most), running only while one of them is watching.
class ClickThroughPoller : public QObject {
public:
    // keys: the modifiers held now; pointer: desktop device pixels.
    using Listener = std::function<void(Qt::KeyboardModifiers keys, QPointF pointer)>;

    // The one poller, made on first use as a child of the application.
    static ClickThroughPoller& Instance();

    // Starts (or replaces) the listener of who; the timer runs while any is set.
    void Watch(const QObject* who, Listener listener);
    void Unwatch(const QObject* who);
    bool IsPolling() const;

    // One poll: reads the modifiers and the pointer now and tells every listener. The timer's
    // work; tests call the second form with the values they choose.
    void Tick();
    void Tick(Qt::KeyboardModifiers keys, QPointF pointer);

private:
    explicit ClickThroughPoller(QObject* parent);

    QTimer* mTimer = nullptr;
    std::map<const QObject*, Listener> mListeners;
};
