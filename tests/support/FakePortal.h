#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QVariantMap>
#include <memory>

// A stand-in for the desktop's screenshot portal on a private session bus: it answers every
// Screenshot request the way it is told, as the desktop would (a file, a refusal, nothing, ...).
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    enum class Answer {
        File,      // response 0 with the file's file:// address
        Cancel,    // response 1
        Refuse,    // response 2
        Silent,    // no response at all
        Twice,     // the file, then a second answer naming another file
        NotAFile,  // response 0 with an address that is not file://
    };

    FakePortal(const QDBusConnection& bus, Answer answer, const QString& file);
    // Takes the portal's name and object on the bus; false when that fails.
    bool Register();
    int Requests() const { return mRequests; }
    // Reads "file:PATH", "cancel", "refuse", "silent", "twice" or "notafile".
    static bool ParseAnswer(const QString& text, Answer* answer, QString* file);

public slots:
    QDBusObjectPath Screenshot(const QString& parentWindow, const QVariantMap& options,
                               const QDBusMessage& message);

private:
    void Respond(const QString& handle, uint code, const QString& uri);

    QDBusConnection mBus;
    Answer mAnswer;
    QString mFile;
    int mRequests = 0;
};

// A session bus of this process's own (a dbus-daemon it starts and ends): while it lives, this
// process's session bus is it. Tests that use one run one per process, as CTest runs them.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    bool ok() const { return !mAddress.isEmpty(); }
    // The portal on its own connection (another name on the bus, as the desktop is).
    std::unique_ptr<FakePortal> Portal(FakePortal::Answer answer, const QString& file);

private:
    QProcess mDaemon;
    QString mAddress;
};
