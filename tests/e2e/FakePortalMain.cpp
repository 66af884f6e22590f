// The desktop's screenshot portal, stood in for on the session bus the environment names: it
// answers as its argument says ("file:PATH", "refuse", "cancel", "silent", ...) and prints "ready"
// once it holds the portal's name.

#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>

#include "support/FakePortal.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    FakePortal::Answer answer = FakePortal::Answer::Refuse;
    QString file;
    if (argc < 2 || !FakePortal::ParseAnswer(QString::fromLocal8Bit(argv[1]), &answer, &file)) {
        std::fprintf(stderr, "usage: lumora_fake_portal file:PATH|refuse|cancel|silent|twice\n");
        return 2;
    }
    FakePortal portal(QDBusConnection::sessionBus(), answer, file);
    if (!portal.Register()) {
        std::fprintf(stderr, "lumora_fake_portal: cannot take the portal's name\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
