#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QVariantMap>

// A screenshot through the desktop's portal (org.freedesktop.portal.Screenshot, over the session
// bus), for Wayland sessions, where an X11 program cannot read the screen. The request is
// non-interactive and answered asynchronously: exactly one of taken or refused follows each
// Request, unless it is cancelled. Answers to a request no longer waited for, and second answers,
// are ignored.
class cScreenshotPortal : public QObject {
    Q_OBJECT
public:
    explicit cScreenshotPortal(QObject* parent = nullptr);
    ~cScreenshotPortal() override;

    // Asks for a screenshot; a request still waiting is given up first.
    void Request();
    // Gives up the request waiting, if any: nothing follows for it.
    void Cancel();
    bool IsWaiting() const { return mWaiting; }

    // True when captures go through the portal: LUMORA_CAPTURE=portal, or a Wayland session
    // (XDG_SESSION_TYPE=wayland or WAYLAND_DISPLAY set) unless LUMORA_CAPTURE=x11.
    static bool Wanted();
    // How long an answer is waited for: 30 s, or LUMORA_PORTAL_TIMEOUT_MS.
    static int TimeoutMs();
    // True for a file the portal left in a temporary place ($XDG_RUNTIME_DIR or the temporary
    // folder), which is deleted once read; a file saved elsewhere (the Pictures folder) stays.
    static bool IsTemporary(const QString& path);

    // Where a screen lies in a screenshot of the portal, which shows the whole desktop (desktop:
    // the screens' device rectangles together; screen: the one wanted). A shot of the desktop's
    // size holds it at its place, a shot of the screen's size is that screen, any other is taken
    // as the desktop in other pixels and the part is scaled to match. Empty when nothing is left.
    static QRect ScreenPart(QSize shot, const QRect& desktop, const QRect& screen);

signals:
    // The screenshot is in the local file at path.
    void taken(const QString& path);
    // No screenshot: cancelled or refused by the person or the desktop, no portal, no answer in
    // time, or an answer that names no local file.
    void refused(const QString& why);

private slots:
    void OnResponse(uint response, const QVariantMap& results);

private:
    void Listen(const QString& handle);
    void StopListening();
    void Refuse(const QString& why);

    QString mHandle;  // the request object whose Response is awaited
    QTimer mTimeout;
    bool mWaiting = false;
    quint64 mSerial = 0;  // counts requests, so a late call reply is known as stale
};
