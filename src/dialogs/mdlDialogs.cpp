#include "dialogs/mdlDialogs.h"

#include "dialogs/ModalSeam.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>

namespace mdlDialogs {
namespace {
class WidgetHandler final : public ModalSeam::Handler {
public:
    int Message(QObject* owner, const QString& text, int style, const QString& title) override {
        QMessageBox box(
            style == ModalSeam::Critical ? QMessageBox::Critical : QMessageBox::Information, title,
            text, QMessageBox::Ok, qobject_cast<QWidget*>(owner));
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        box.exec();
        return 1;
    }
    bool OpenExternal(const QString& pathOrUrl) override {
        const QUrl url =
            QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl) : QUrl(pathOrUrl);
        return QDesktopServices::openUrl(url);
    }
};
}  // namespace

void InstallWidgetSeam() {
    static WidgetHandler handler;
    ModalSeam::Install(&handler);
}

}  // namespace mdlDialogs
