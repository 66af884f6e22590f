#include "dialogs/frmHelp.h"

#include "dialogs/ModalSeam.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QThreadPool>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QPointer<frmHelp> gShared;

// Help.txt lines up its columns in a fixed-width font and is at most 92 columns wide; the
// window shows that much (beside its scroll bar) and 36 lines where the screen has room.
constexpr int kColumns = 96;
constexpr int kLines = 36;
}  // namespace

frmHelp::frmHelp() {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("帮助"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    txtHelp = new QPlainTextEdit(this);
    txtHelp->setObjectName(QStringLiteral("txtHelp"));
    txtHelp->setReadOnly(true);
    txtHelp->setLineWrapMode(QPlainTextEdit::NoWrap);  // wrapping would break the aligned columns
    // Help.txt counts a Chinese character as two columns; a monospaced CJK font draws it exactly
    // so, and the desktop's fixed font stands in where there is none.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setFamilies({QStringLiteral("Noto Sans Mono CJK SC"), fixed.family()});
    txtHelp->setFont(fixed);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtHelp);

    // Font metrics are logical pixels of a font sized in points, so the window keeps its size to
    // the eye on any screen; a small screen gets most of its room instead.
    const QFontMetrics metrics(txtHelp->font());
    const QMargins around = layout->contentsMargins();
    const int inner = 2 * txtHelp->frameWidth() + qRound(2 * txtHelp->document()->documentMargin());
    QSize want(metrics.horizontalAdvance(QString(kColumns, QLatin1Char('x'))),
               metrics.lineSpacing() * kLines);
    want += QSize(
        around.left() + around.right() + inner + style()->pixelMetric(QStyle::PM_ScrollBarExtent),
        around.top() + around.bottom() + inner);
    if (const QScreen* shown = screen()) {
        want = want.boundedTo(shown->availableGeometry().size() * 9 / 10);
    }
    resize(want);
}

frmHelp* frmHelp::Current() {
    return gShared && gShared->isVisible() ? gShared.data() : nullptr;
}

void frmHelp::ShowHelpFile(const QString& path) {
    // Read on a pool thread; the text comes back queued to the application object, on the
    // user-interface thread.
    QThreadPool::globalInstance()->start([path] {
        QFile file(path);
        const bool read = file.open(QIODevice::ReadOnly | QIODevice::Text);
        const QString text = read ? QString::fromUtf8(file.readAll()) : QString();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [path, read, text] {
                if (!read) {
                    SayMissing(path);
                    return;
                }
                // A closed window is only waiting to be deleted: a new one takes its place.
                if (Current() == nullptr) {
                    gShared = new frmHelp;
                }
                gShared->ShowText(text);
            },
            Qt::QueuedConnection);
    });
}

void frmHelp::SayMissing(const QString& path) {
    ModalSeam::ShowMessage(nullptr, QStringLiteral("找不到帮助文件：") + path, ModalSeam::Critical,
                           QStringLiteral("错误"));
}

void frmHelp::ShowText(const QString& text) {
    txtHelp->setPlainText(text);
    txtHelp->setFocus();
    show();
    raise();
    activateWindow();
}
