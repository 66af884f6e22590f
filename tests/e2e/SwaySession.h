#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// A Sway session of the test's own: a private session bus, Sway on its headless backend (a
// 1280 x 800 output of one colour) with Xwayland, PipeWire and the desktop's screenshot portal
// with its wlroots backend. Sway refuses to run as root, so a test run as root runs the session
// and every program in it as an unprivileged user (LUMORA_TEST_USER, lumora-test when unset,
// made by scripts/setup); a test run as anyone else runs them as itself.
//
// Started in the constructor; stopped in the destructor, which also ends anything the session's
// programs left behind (the test process adopts its orphans while the session lives).
class SwaySession {
public:
    explicit SwaySession(QColor background);
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    bool ok() const { return mError.isEmpty(); }
    // Why the session could not start, with what its programs said.
    QString Error() const { return mError; }
    // The session's own folder (its user's home), owned by that user.
    QString Folder() const { return mFolder; }
    // Makes a file the test wrote there the session user's.
    void GiveToUser(const QString& path) const;

    // Starts a program as the session's user with the session's environment (and extra); it is
    // ended with the session or by Stop.
    QProcess* Start(const QString& program, const QStringList& args,
                    const QMap<QString, QString>& extra = {});
    void Stop(QProcess* p);
    // Runs a program as the session's user to its end; its standard output.
    QByteArray Run(const QString& program, const QStringList& args, int limitMs = 10000);

    // A window Sway manages, as its tree reports it.
    struct Window {
        qulonglong x11 = 0;  // the X window's id; 0 for a Wayland client
        QRect rect;          // the container on the output, borders included
        QRect content;       // the client's own area, relative to rect
        QString border;      // none, pixel, normal or csd (the client draws its own)
        bool floating = false;
        bool focused = false;
    };
    std::vector<Window> Windows();
    // What the output shows (grim); a null image when it could not be read.
    QImage Screenshot();

private:
    QStringList Runner() const;
    QProcess* Launch(const QString& program, const QStringList& args,
                     const QMap<QString, QString>& env);
    bool WaitForBusName(const QString& name, int limitMs);
    void Fail(const QString& why);

    QString mUser;  // empty: the test's own user
    QString mFolder;
    QMap<QString, QString> mEnv;
    std::vector<std::unique_ptr<QProcess>> mProcesses;  // started order: stopped in reverse
    QString mError;
};
