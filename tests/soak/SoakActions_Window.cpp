// What a person does to an image window itself: opening, dragging, crop rectangles, keys, the
// clipboard, drops and closing.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include "app/mdlMain.h"
#include "browser/frmBrowse.h"
#include "panel/frmMenu.h"
#include "panel/frmMenuBuf.h"
#include "soak/SoakActions.h"
#include "support/TestSupport.h"
#include "window/CropRectWidget.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

namespace SoakActions {
namespace {
QString Where(QPoint p) {
    return QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y());
}

void Mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons held, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held, mods);
    QApplication::sendEvent(target, &e);
}

// A press, a few moves and a release with one button, as a hand drags.
void Drag(SoakContext& ctx, QWidget* target, QPoint from, QPoint to, Qt::MouseButton button) {
    const QPointer<QWidget> alive = target;
    const Qt::KeyboardModifiers mods = ctx.rng.Chance(15) ? Qt::ShiftModifier : Qt::NoModifier;
    Mouse(target, QEvent::MouseButtonPress, from, button, button, mods);
    const int steps = ctx.rng.Between(1, 4);
    for (int i = 1; i <= steps && alive; ++i) {
        Mouse(target, QEvent::MouseMove, from + (to - from) * i / steps, Qt::NoButton, button,
              mods);
    }
    if (alive) {
        Mouse(target, QEvent::MouseButtonRelease, to, button, Qt::NoButton, mods);
    }
}

QPoint Offset(SoakContext& ctx) {
    const int reach = ctx.rng.Chance(20) ? 2000 : 150;
    return {ctx.rng.Between(-reach, reach), ctx.rng.Between(-reach, reach)};
}

void Drop(QWidget* target, const QStringList& paths, bool asText) {
    QMimeData data;
    if (asText) {
        data.setText(paths.join('\n'));
    } else {
        QList<QUrl> urls;
        for (const QString& p : paths) {
            urls << QUrl::fromLocalFile(p);
        }
        data.setUrls(urls);
    }
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}
}  // namespace

void OpenInWindow(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    const QString path = ctx.world.AnyOpenPath(ctx.rng);
    ctx.Note(QStringLiteral("open in a window: ") + path);
    w->lnkOpenPicture(path);
    if (ctx.rng.Chance(20)) {
        // A second open before the first arrived: the newest wins.
        const QString next = ctx.world.AnyOpenPath(ctx.rng);
        ctx.Note(ctx.note + QStringLiteral(", then ") + next);
        w->lnkOpenPicture(next);
    }
}

void OpenNewWindow(SoakContext& ctx) {
    switch (ctx.rng.Below(3)) {
        case 0: {
            const QString path = ctx.world.AnyOpenPath(ctx.rng);
            ctx.Note(QStringLiteral("new window with ") + path);
            mdlMain::OpenPictureWindow(path, ctx.rng.Between(0, 9000), ctx.rng.Between(0, 9000));
            break;
        }
        case 1: {
            frmResize* w = ctx.AnyWindow();
            ctx.Note(QStringLiteral("duplicate a window"));
            mdlMain::CopyPictureWindow(w);
            break;
        }
        default:
            ctx.Note(QStringLiteral("new empty window"));
            mdlMain::OpenPictureWindow(QString(), 0, 0);
            break;
    }
}

void DragPicture(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    const QPoint from = ctx.AnyPointOf(w->imgView);
    const QPoint to = from + Offset(ctx);
    ctx.Note(QStringLiteral("left drag on a picture from ") + Where(from) + " to " + Where(to));
    Drag(ctx, w->imgView, from, to, Qt::LeftButton);
}

void DrawCrop(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    const QPoint from = ctx.AnyPointOf(w->imgView);
    const QPoint to = ctx.rng.Chance(80) ? ctx.AnyPointOf(w->imgView) : from + Offset(ctx);
    ctx.Note(QStringLiteral("right drag (crop rectangle) from ") + Where(from) + " to " +
             Where(to));
    Drag(ctx, w->imgView, from, to, Qt::RightButton);
}

void DragCrop(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    if (!w->lblCrop->isVisible()) {
        const QPoint from = ctx.AnyPointOf(w->imgView);
        ctx.Note(QStringLiteral("right drag to draw a rectangle, then drag it"));
        Drag(ctx, w->imgView, from, ctx.AnyPointOf(w->imgView), Qt::RightButton);
        frmMenu::UnloadShared();
        if (!w->lblCrop->isVisible()) {
            return;
        }
    }
    if (ctx.rng.Chance(25)) {
        static const Qt::Key arrows[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
        const Qt::Key arrow = arrows[ctx.rng.Below(4)];
        ctx.Note(QStringLiteral("arrow key on the crop rectangle"));
        QTest::keyClick(w, arrow, ctx.rng.Chance(50) ? Qt::ControlModifier : Qt::NoModifier);
        return;
    }
    const QPoint from = ctx.AnyPointOf(w->lblCrop);
    const QPoint to = from + Offset(ctx);
    ctx.Note(QStringLiteral("drag the crop rectangle from ") + Where(from) + " to " + Where(to));
    Drag(ctx, w->lblCrop, from, to, ctx.rng.Chance(85) ? Qt::LeftButton : Qt::RightButton);
}

void CropMenu(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    // The menu pops up when the right button lets go over a rectangle.
    ctx.Note(QStringLiteral("crop menu"));
    if (!w->lblCrop->isVisible()) {
        Drag(ctx, w->imgView, ctx.AnyPointOf(w->imgView), ctx.AnyPointOf(w->imgView),
             Qt::RightButton);
        frmMenu::UnloadShared();
    }
    if (w->lblCrop->isVisible()) {
        const QPoint at = ctx.AnyPointOf(w->lblCrop);
        Mouse(w->lblCrop, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
        Mouse(w->lblCrop, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    }
    frmMenuBuf* menu = frmMenuBuf::Shared();
    if (ctx.rng.Chance(15)) {
        // The window goes while its menu is up.
        ctx.Note(ctx.note + QStringLiteral(": the window closes under it"));
        w->close();
    }
    switch (ctx.rng.Below(4)) {
        case 0:
            ctx.Note(ctx.note + QStringLiteral(": crop"));
            menu->mnuCrop->trigger();
            break;
        case 1:
            ctx.Note(ctx.note + QStringLiteral(": mask"));
            menu->mnuMask->trigger();
            break;
        case 2:
            ctx.Note(ctx.note + QStringLiteral(": dismissed"));
            menu->mnuRightCrop->close();
            break;
        default:
            ctx.Note(ctx.note + QStringLiteral(": left open"));
            break;
    }
}

void PressKey(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* name;
    };
    static const Key keys[] = {
        {Qt::Key_Escape, Qt::NoModifier, "Esc"},
        {Qt::Key_Delete, Qt::NoModifier, "Delete"},
        {Qt::Key_Menu, Qt::NoModifier, "Menu"},
        {Qt::Key_N, Qt::NoModifier, "N"},
        {Qt::Key_O, Qt::NoModifier, "O"},
        {Qt::Key_S, Qt::NoModifier, "S"},
        {Qt::Key_A, Qt::NoModifier, "A"},
        {Qt::Key_C, Qt::NoModifier, "C"},
        {Qt::Key_Left, Qt::NoModifier, "Left"},
        {Qt::Key_Up, Qt::ControlModifier, "Ctrl+Up"},
        {Qt::Key_Right, Qt::ControlModifier, "Ctrl+Right"},
        {Qt::Key_Down, Qt::NoModifier, "Down"},
        {Qt::Key_C, Qt::ControlModifier, "Ctrl+C"},
        {Qt::Key_V, Qt::ControlModifier, "Ctrl+V"},
        {Qt::Key_Z, Qt::ControlModifier, "Ctrl+Z"},
        {Qt::Key_S, Qt::ControlModifier, "Ctrl+S"},
        {Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+S"},
        {Qt::Key_O, Qt::ControlModifier, "Ctrl+O"},
        {Qt::Key_W, Qt::ControlModifier, "Ctrl+W"},
        {Qt::Key_F1, Qt::NoModifier, "F1"},
        {Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier,
         "Ctrl+Shift+Alt+F12"},
    };
    // Destructive keys less often, so windows live long enough to gather history.
    const Key& k = keys[static_cast<size_t>(ctx.rng.Below(static_cast<int>(std::size(keys))))];
    if ((k.key == Qt::Key_Escape || k.key == Qt::Key_Delete || k.key == Qt::Key_W) &&
        ctx.rng.Chance(60)) {
        ctx.Note(QStringLiteral("key Ctrl+Z"));
        w->activateWindow();
        QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
        return;
    }
    ctx.Note(QStringLiteral("key ") + QLatin1String(k.name));
    w->activateWindow();
    QTest::keyClick(w, k.key, k.mods);
}

// Wheel turns over the picture: single notches, touchpad fractions, or a storm of them in one
// turn of the event loop; plain, with Ctrl (opacity) or with Shift (nothing).
void Wheel(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    QWidget* target = ctx.rng.Chance(80) ? static_cast<QWidget*>(w->imgView) : w;
    const QPoint at = ctx.AnyPointOf(target);
    const int mod = ctx.rng.Below(5);
    const Qt::KeyboardModifiers mods = mod < 3    ? Qt::NoModifier
                                       : mod == 3 ? Qt::ControlModifier
                                                  : Qt::ShiftModifier;
    const int delta = (ctx.rng.Chance(50) ? 1 : -1) * (ctx.rng.Chance(70) ? 120 : 15);
    const int events = ctx.rng.Chance(10) ? ctx.rng.Between(100, 400) : ctx.rng.Between(1, 3);
    ctx.Note(QStringLiteral("wheel %1 x %2 mods %3 at %4")
                 .arg(events)
                 .arg(delta)
                 .arg(mod)
                 .arg(Where(at)));
    const QPointer<QWidget> alive = target;
    for (int i = 0; i < events && alive; ++i) {
        QWheelEvent e(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &e);
    }
}

void Clipboard(SoakContext& ctx) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    switch (ctx.rng.Below(6)) {
        case 0:
            ctx.Note(QStringLiteral("clipboard: text"));
            clipboard->setText(QStringLiteral("some words"));
            break;
        case 1: {
            ctx.Note(QStringLiteral("clipboard: a picture"));
            clipboard->setImage(TestSupport::PatternImage(
                ctx.rng.Between(1, 300), ctx.rng.Between(1, 300), QImage::Format_ARGB32));
            break;
        }
        case 2: {
            ctx.Note(QStringLiteral("clipboard: a damaged picture"));
            auto* data = new QMimeData;
            data->setData(ctx.rng.Pick({"image/png", "image/bmp", "image/jpeg"}),
                          ctx.world.DamagedBytes(ctx.rng));
            clipboard->setMimeData(data);
            break;
        }
        case 3:
            ctx.Note(QStringLiteral("clipboard: emptied"));
            clipboard->clear();
            break;
        case 4: {
            frmResize* w = ctx.AnyWindow();
            ctx.Note(QStringLiteral("clipboard: copy a window"));
            w->cmdCopy();
            break;
        }
        default: {
            frmResize* w = ctx.AnyWindow();
            ctx.Note(QStringLiteral("clipboard: paste"));
            w->cmdPaste();
            break;
        }
    }
}

void DropOnWindow(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    QStringList paths;
    if (ctx.rng.Chance(50)) {
        paths << ctx.world.AnyOpenPath(ctx.rng);
    } else {
        paths = ctx.world.AnyBrowseList(ctx.rng);
    }
    const bool asText = ctx.rng.Chance(10);
    ctx.Note(QStringLiteral("drop on a window: ") + paths.join(QStringLiteral(", ")));
    Drop(w->imgView, paths, asText);
}

void CloseWindow(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    const QList<frmResize*> live = ctx.windows.Live();
    frmResize* panelOwner = frmMenu::Shared()->Owner();
    frmResize* browserOwner = frmBrowse::Shared()->OwnForm();
    switch (ctx.rng.Below(4)) {
        case 0:
            if (panelOwner) {
                w = panelOwner;
                ctx.Note(QStringLiteral("close the panel's owner"));
                break;
            }
            [[fallthrough]];
        case 1:
            if (browserOwner) {
                w = browserOwner;
                ctx.Note(QStringLiteral("close the browser's owner"));
                break;
            }
            [[fallthrough]];
        default:
            ctx.Note(QStringLiteral("close window %1 of %2").arg(live.indexOf(w)).arg(live.size()));
            break;
    }
    if (ctx.rng.Chance(30)) {
        // Closed while it saves or captures.
        ctx.Note(ctx.note + QStringLiteral(" while it captures the screen"));
        w->cmdLoadPictureFromScreen();
    }
    w->close();
}

void TimerTick(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    const int second = ctx.rng.Below(60);
    ctx.Note(QStringLiteral("timer tick at second %1").arg(second));
    w->TimerTick(second);
}

void SaveIntoRemovedFolder(SoakContext& ctx) {
    frmResize* w = ctx.AnyWindow();
    const QString folder = ctx.world.Saves + "/doomed";
    QDir().mkpath(folder);
    ctx.seam.nextSavePath = folder + "/" + ctx.rng.Pick({"a.png", "b.jpg", "c.bmp", "d.tif"});
    ctx.Note(QStringLiteral("save as ") + ctx.seam.nextSavePath +
             QStringLiteral(", and the folder is removed meanwhile"));
    w->cmdSaveAs();
    ctx.seam.nextSavePath.clear();
    QDir(folder).removeRecursively();
}

}  // namespace SoakActions
