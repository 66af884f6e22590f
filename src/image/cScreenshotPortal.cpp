#include "image/cScreenshotPortal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "base/Rounding.h"

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// True when path lies inside folder (both made canonical where they exist).
bool Inside(const QString& path, const QString& folder) {
    if (folder.isEmpty()) {
        return false;
    }
    const QString f = QFileInfo(folder).canonicalFilePath();
    const QString p = QFileInfo(path).canonicalFilePath();
    return !f.isEmpty() && !p.isEmpty() && p.startsWith(f + QLatin1Char('/'));
}
}  // namespace

cScreenshotPortal::cScreenshotPortal(QObject* parent) : QObject(parent) {
    mTimeout.setSingleShot(true);
    connect(&mTimeout, &QTimer::timeout, this,
            [this] { Refuse(QStringLiteral("no answer from the screenshot portal")); });
}

cScreenshotPortal::~cScreenshotPortal() {
    StopListening();
}

bool cScreenshotPortal::Wanted() {
    const QByteArray forced = qgetenv("LUMORA_CAPTURE").trimmed().toLower();
    if (forced == "portal") {
        return true;
    }
    if (forced == "x11") {
        return false;
    }
    return qgetenv("XDG_SESSION_TYPE").trimmed().toLower() == "wayland" ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int cScreenshotPortal::TimeoutMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("LUMORA_PORTAL_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : 30000;
}

bool cScreenshotPortal::IsTemporary(const QString& path) {
    return Inside(path, qEnvironmentVariable("XDG_RUNTIME_DIR")) || Inside(path, QDir::tempPath());
}

QRect cScreenshotPortal::ScreenPart(QSize shot, const QRect& desktop, const QRect& screen) {
    const QRect all(QPoint(), shot);
    if (shot.isEmpty() || desktop.isEmpty() || screen.isEmpty()) {
        return QRect();
    }
    if (shot == desktop.size()) {
        return screen.translated(-desktop.topLeft()).intersected(all);
    }
    if (shot == screen.size()) {
        return all;
    }
    const double fx = double(shot.width()) / desktop.width();
    const double fy = double(shot.height()) / desktop.height();
    const QRect part(Rounding::Round32((screen.x() - desktop.x()) * fx),
                     Rounding::Round32((screen.y() - desktop.y()) * fy),
                     Rounding::Round32(screen.width() * fx),
                     Rounding::Round32(screen.height() * fy));
    return part.intersected(all);
}

void cScreenshotPortal::Request() {
    Cancel();
    const quint64 serial = ++mSerial;
    mWaiting = true;
    mTimeout.start(TimeoutMs());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // Reported after this call returns, as every answer is.
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (mSerial == serial) {
                    Refuse(QStringLiteral("no session bus"));
                }
            },
            Qt::QueuedConnection);
        return;
    }
    // The answer comes as a signal of a request object whose path the portal derives from our
    // name and a token: listen there before asking, so an early answer is not missed.
    const QString token =
        QStringLiteral("lumora%1_%2").arg(QCoreApplication::applicationPid()).arg(serial);
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    Listen(QStringLiteral("%1/request/%2/%3").arg(kPath, sender, token));

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kScreenshot, QStringLiteral("Screenshot"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("interactive"), false);
    options.insert(QStringLiteral("modal"), false);
    call << QString() << options;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, TimeoutMs()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, serial](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (mSerial != serial || !mWaiting) {
                    return;  // a request given up since
                }
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (reply.isError()) {
                    Refuse(reply.error().message());
                    return;
                }
                const QString handle = reply.value().path();
                if (handle != mHandle) {
                    Listen(handle);  // an older portal that names its own request object
                }
            });
}

void cScreenshotPortal::Cancel() {
    mWaiting = false;
    mTimeout.stop();
    StopListening();
}

void cScreenshotPortal::Listen(const QString& handle) {
    StopListening();
    mHandle = handle;
    QDBusConnection::sessionBus().connect(QString(), mHandle, kRequest, QStringLiteral("Response"),
                                          this, SLOT(OnResponse(uint, QVariantMap)));
}

void cScreenshotPortal::StopListening() {
    if (!mHandle.isEmpty()) {
        QDBusConnection::sessionBus().disconnect(QString(), mHandle, kRequest,
                                                 QStringLiteral("Response"), this,
                                                 SLOT(OnResponse(uint, QVariantMap)));
        mHandle.clear();
    }
}

void cScreenshotPortal::Refuse(const QString& why) {
    if (!mWaiting) {
        return;
    }
    Cancel();
    emit refused(why);
}

void cScreenshotPortal::OnResponse(uint response, const QVariantMap& results) {
    if (!mWaiting) {
        return;  // a second answer, or one to a request given up
    }
    if (response != 0) {
        Refuse(response == 1 ? QStringLiteral("cancelled") : QStringLiteral("refused"));
        return;
    }
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    if (!uri.isValid() || !uri.isLocalFile()) {
        Refuse(QStringLiteral("the portal named no local file"));
        return;
    }
    Cancel();
    emit taken(uri.toLocalFile());
}
