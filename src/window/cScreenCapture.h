#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include "decode/cDecodeFront.h"

#include <QScreen>
class cScreenshotPortal;

// One image window's screen capture: X11's grab of the screen, or on Wayland sessions, where the
// X server holds no picture of the screen, the desktop's screenshot portal, whose file is read in
// the guarded decoder like any other and then cut to the screen wanted. The picture is the
// screen's, pixel for pixel, at its device size. Exactly one ended follows each Start.
class cScreenCapture : public QObject {
    Q_OBJECT
public:
    explicit cScreenCapture(QObject* parent = nullptr);
    ~cScreenCapture() override;

    // Captures target once delayMs have passed (the screen repaints without the window
    // meanwhile; the event loop runs). With no delay the grab happens now, and an X11 grab ends
    // before Start returns. Not called again before ended.
    void Start(QScreen* target, int delayMs);
    // The window closed: a capture waiting for the portal or its file ends at once with no
    // picture (queued), one still in its delay ends with none when the delay is over. The
    // portal's temporary file goes whether it was read or not, here or when this goes.
    void Abandon();

    // The screen's part of a screenshot of the whole desktop (desktop: the screens' device
    // rectangles together; screen: the one wanted), brought to the screen's device size. Null
    // when nothing of it is left.
    static QImage ScreenOf(const QImage& shot, const QRect& desktop, const QRect& screen);

signals:
    // The capture has ended: picture is null when the platform gave none (refused, failed,
    // abandoned) or target has gone.
    void ended(QScreen* target, const QImage& picture);

private:
    void Grab();
    void ReadShot(const QString& path);
    void ShotRead(const cDecodeFront::Result& result);
    void DropShotFile();
    void End(const QImage& picture);

    QPointer<QScreen> mTarget;
    bool mAbandoned = false;
    cScreenshotPortal* mPortal = nullptr;  // made at the first capture through the portal
    cDecodeFront* mDecoder = nullptr;      // made at the first portal file read
    QString mShotFile;                     // the portal's file being read
    qint64 mShotRequest = 0;               // its decode; 0 when none runs
};
