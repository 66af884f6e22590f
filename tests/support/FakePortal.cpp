#include "support/FakePortal.h"

#include <QTimer>
#include <QUrl>

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
}

FakePortal::FakePortal(const QDBusConnection& bus, Answer answer, const QString& file)
    : mBus(bus), mAnswer(answer), mFile(file) {}

bool FakePortal::Register() {
    return mBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")) &&
           mBus.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
}

bool FakePortal::ParseAnswer(const QString& text, Answer* answer, QString* file) {
    if (text.startsWith(QLatin1String("file:"))) {
        *answer = Answer::File;
        *file = text.mid(5);
        return true;
    }
    const struct {
        const char* name;
        Answer answer;
    } names[] = {{"cancel", Answer::Cancel},
                 {"refuse", Answer::Refuse},
                 {"silent", Answer::Silent},
                 {"twice", Answer::Twice},
                 {"notafile", Answer::NotAFile}};
    for (const auto& n : names) {
        if (text == QLatin1String(n.name)) {
            *answer = n.answer;
            return true;
        }
    }
    return false;
}

QDBusObjectPath FakePortal::Screenshot(const QString& /*parentWindow*/, const QVariantMap& options,
                                       const QDBusMessage& message) {
    ++mRequests;
    // The request object's path, as the portal makes it from the caller's name and token.
    QString sender = message.service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString handle =
        QStringLiteral("%1/request/%2/%3")
            .arg(kPath, sender, options.value(QStringLiteral("handle_token")).toString());
    const QString uri = QUrl::fromLocalFile(mFile).toString();
    // The answer follows the reply, as a signal of the request object.
    QTimer::singleShot(0, this, [this, handle, uri] {
        switch (mAnswer) {
            case Answer::File:
                Respond(handle, 0, uri);
                break;
            case Answer::Cancel:
                Respond(handle, 1, QString());
                break;
            case Answer::Refuse:
                Respond(handle, 2, QString());
                break;
            case Answer::Silent:
                break;
            case Answer::Twice:
                Respond(handle, 0, uri);
                Respond(handle, 0, uri + QStringLiteral(".second"));
                break;
            case Answer::NotAFile:
                Respond(handle, 0, QStringLiteral("https://example.invalid/shot.png"));
                break;
        }
    });
    return QDBusObjectPath(handle);
}

void FakePortal::Respond(const QString& handle, uint code, const QString& uri) {
    QDBusMessage signal = QDBusMessage::createSignal(
        handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
    QVariantMap results;
    if (!uri.isEmpty()) {
        results.insert(QStringLiteral("uri"), uri);
    }
    signal << code << results;
    mBus.send(signal);
}

PrivateSessionBus::PrivateSessionBus() {
    mDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (mDaemon.waitForStarted(10000) && mDaemon.waitForReadyRead(10000)) {
        mAddress = QString::fromUtf8(mDaemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", mAddress.toUtf8());
    }
}

PrivateSessionBus::~PrivateSessionBus() {
    mDaemon.kill();
    mDaemon.waitForFinished();
}

std::unique_ptr<FakePortal> PrivateSessionBus::Portal(FakePortal::Answer answer,
                                                      const QString& file) {
    auto portal = std::make_unique<FakePortal>(
        QDBusConnection::connectToBus(mAddress, QStringLiteral("desktop")), answer, file);
    return portal->Register() ? std::move(portal) : nullptr;
}
