// A plain window that writes down the input it gets, one line each, to the file named by its first
// argument: "press X Y BUTTON", "release X Y BUTTON", "wheel X Y DELTA" (desktop pixels) and
// "key NAME". The end-to-end tests put it under an image window to see what passes through.
// Further arguments: the window's rectangle, X Y WIDTH HEIGHT.

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QTextStream>
#include <QWheelEvent>

namespace {

class Recorder : public QRasterWindow {
public:
    explicit Recorder(const QString& path) : mFile(path) {
        mFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(QRect(QPoint(), size()), QColor(30, 60, 120));
    }
    void mousePressEvent(QMouseEvent* e) override { Mouse("press", e); }
    void mouseReleaseEvent(QMouseEvent* e) override { Mouse("release", e); }
    void wheelEvent(QWheelEvent* e) override {
        const QPoint at = e->globalPosition().toPoint();
        Write(QStringLiteral("wheel %1 %2 %3").arg(at.x()).arg(at.y()).arg(e->angleDelta().y()));
    }
    void keyPressEvent(QKeyEvent* e) override {
        Write(QStringLiteral("key ") + QKeySequence(e->key()).toString());
    }

private:
    void Mouse(const char* what, const QMouseEvent* e) {
        const QPoint at = e->globalPosition().toPoint();
        Write(QStringLiteral("%1 %2 %3 %4")
                  .arg(QLatin1String(what))
                  .arg(at.x())
                  .arg(at.y())
                  .arg(static_cast<int>(e->button())));
    }
    // Each line is on disk as soon as it is written: the test reads the file while this runs.
    void Write(const QString& line) {
        mFile.write((line + QLatin1Char('\n')).toUtf8());
        mFile.flush();
    }

    QFile mFile;
};

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        return 2;
    }
    Recorder window(args[1]);
    window.setTitle(QStringLiteral("click recorder"));
    window.setGeometry(args[2].toInt(), args[3].toInt(), args[4].toInt(), args[5].toInt());
    window.show();
    return app.exec();
}
