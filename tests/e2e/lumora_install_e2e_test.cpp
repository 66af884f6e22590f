#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "XSession.h"

namespace {

// Runs a program to its end; its exit code (-1 when it could not run or did not end in time)
// and what it printed.
int RunToEnd(const QString& program, const QStringList& args, QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(180000)) {
        p.kill();
        p.waitForFinished(2000);
        return -1;
    }
    if (output != nullptr) {
        *output = QString::fromUtf8(p.readAll());
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// This build installed into a temporary prefix, as a package or `cmake --install` puts it, then
// started from there the way a desktop's "open with" starts it.
TEST(InstalledProgram, OpensAPictureFromItsPrefix) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString p = prefix.path();
    QString log;
    ASSERT_EQ(RunToEnd(QStringLiteral(LUMORA_CMAKE),
                       {"--install", QStringLiteral(LUMORA_BUILD_DIR), "--prefix", p}, &log),
              0)
        << qPrintable(log);

    struct Installed {
        const char* path;
        bool executable;
        int iconSize;  // the picture's width and height; 0 for no picture
    };
    const Installed files[] = {
        {"bin/lumora", true, 0},
        {"libexec/lumora/lumora-decode", true, 0},
        {"share/lumora/Help.txt", false, 0},
        {"share/applications/lumora.desktop", false, 0},
        {"share/icons/hicolor/scalable/apps/lumora.svg", false, 0},
        {"share/icons/hicolor/48x48/apps/lumora.png", false, 48},
        {"share/icons/hicolor/256x256/apps/lumora.png", false, 256},
    };
    for (const Installed& f : files) {
        const QFileInfo info(p + "/" + f.path);
        EXPECT_TRUE(info.isFile() && info.size() > 0) << f.path;
        EXPECT_EQ(info.isExecutable(), f.executable) << f.path;
        if (f.iconSize > 0) {
            EXPECT_EQ(QImage(info.filePath()).size(), QSize(f.iconSize, f.iconSize)) << f.path;
        }
    }
    // Nothing beside the program: it must find its helper and its help in the installed places.
    EXPECT_FALSE(QFileInfo::exists(p + "/bin/lumora-decode"));
    EXPECT_FALSE(QFileInfo::exists(p + "/bin/Help.txt"));

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validator.isEmpty()) {
        QString complaints;
        EXPECT_EQ(RunToEnd(validator, {p + "/share/applications/lumora.desktop"}, &complaints), 0)
            << qPrintable(complaints);
        EXPECT_EQ(complaints.trimmed(), QString());
    }

    XSession x;
    ASSERT_TRUE(x.ok()) << "no virtual display";
    // Settings come from the user's configuration folder: this one makes a window take its
    // picture's size, which is how the test sees both that the picture opened and that the
    // settings were read from there.
    const QString config = x.ProgramFolder() + "/config/Lumora/Lumora";
    ASSERT_TRUE(QDir().mkpath(config));
    QFile options(config + "/Option.ini");
    ASSERT_TRUE(options.open(QIODevice::WriteOnly));
    options.write("ResizeWhenOpen=True\r\n");
    options.close();
    const QString picture = QStringLiteral(LUMORA_TEST_DATA "/jpg_baseline.jpg");
    const QSize pictureSize = QImage(picture).size();
    ASSERT_FALSE(pictureSize.isEmpty());
    ASSERT_TRUE(x.StartInstalled(p + "/bin/lumora", {picture}));
    const qulonglong window = x.FindWindow();
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(XSession::Poll([&] { return x.Geometry(window).size() == pictureSize; }, 15000))
        << "window " << x.Geometry(window).width() << "x" << x.Geometry(window).height();
}

}  // namespace
