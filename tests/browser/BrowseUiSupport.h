#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "browser/QtPrinters.h"
#include "browser/frmBrowse.h"
#include "support/WindowFixture.h"
#include "window/WindowServices.h"
#include "window/frmResize.h"

// Browser tests: pictures written into a temporary folder, the owner's opens and new windows
// recorded instead of performed, and the real decoding behind the browser.
class BrowseFixture : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        root = dir.path() + "/";
        savedOpen = WindowServices::ShellServices().openPictureWindow;
        WindowServices::ShellServices().openPictureWindow = [this](const QString& path, qint32 left,
                                                                   qint32 top) {
            windows.push_back({path, QPoint(left, top)});
            return static_cast<frmResize*>(nullptr);
        };
        frmBrowse::setOwnerOpenForTesting([this](frmResize* owner, const QString& path) {
            ownerOpens.push_back({owner, path});
            return true;
        });
    }
    void TearDown() override {
        frmBrowse::setOwnerOpenForTesting(nullptr);
        WindowServices::ShellServices().openPictureWindow = savedOpen;
        WindowFixture::TearDown();
    }

    // A picture of the given size, written as PNG into folder (created when needed).
    QString Picture(const QString& name, QSize size = QSize(40, 30), const QString& folder = {}) {
        const QString base = folder.isEmpty() ? root : folder + "/";
        QDir().mkpath(base);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        EXPECT_TRUE(image.save(base + name, "PNG"));
        return base + name;
    }
    // n pictures 1.png .. n.png in a folder of their own; returns the folder.
    QString Folder(const QString& name, int n) {
        const QString folder = root + name;
        for (int i = 1; i <= n; ++i) {
            Picture(QStringLiteral("%1.png").arg(i), QSize(20, 20), folder);
        }
        return folder;
    }
    frmResize* Owner() {
        auto* w = new frmResize;
        w->show();
        return w;
    }
    static bool WaitLoaded(frmBrowse* b) {
        return QTest::qWaitFor([b] { return !b->IsLoading(); }, 60000);
    }
    // A drop of paths as a file manager makes it: the drag enters, then lets go.
    static void Drop(QWidget* target, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths) {
            urls << QUrl::fromLocalFile(p);
        }
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    }
    // The item numbers the cells show, 0 for an empty cell.
    static std::vector<int> Cells(frmBrowse* b) {
        std::vector<int> out;
        for (int i = 0; i < 8; ++i) {
            out.push_back(b->CellItem(i));
        }
        return out;
    }

    struct NewWindow {
        QString path;
        QPoint place;  // twips
    };
    struct OwnerOpen {
        frmResize* owner;
        QString path;
    };
    QTemporaryDir dir;
    QString root;
    std::vector<NewWindow> windows;
    std::vector<OwnerOpen> ownerOpens;
    std::function<frmResize*(const QString&, qint32, qint32)> savedOpen;
};
