#include "app/mdlMain.h"

#include "app/PlatformChoice.h"
#include "app/mdlKestrin_Command.h"
#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "browser/frmBrowse.h"
#include "dialogs/ProgramInfo.h"
#include "dialogs/frmCloseAll.h"
#include "dialogs/mdlDialogs.h"
#include "panel/frmMenu.h"
#include "panel/frmMenuBuf.h"
#include "settings/mdlOption.h"
#include "window/NativeWindow.h"
#include "window/WindowArithmetic.h"
#include "window/frmResize.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTime>
#include <QTranslator>
#include <cmath>

namespace mdlMain {
namespace {
QList<frmResize*> LoadedImageWindows() {
    QList<frmResize*> out;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* f = qobject_cast<frmResize*>(w);
        if (f && !f->IsUnloaded()) {
            out << f;
        }
    }
    return out;
}

// True while Main runs the event loop: a start-up that fails late then ends the process.
bool gRunning = false;

bool AnyWindowShown() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            return true;
        }
    }
    return false;
}

float SecondsSinceMidnight() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}

// Image windows find the shell through the window services; filled in once the program (or a
// test) links this module.
[[maybe_unused]] const bool gServicesInstalled = (InstallWindowServices(), true);
}  // namespace

void InstallWindowServices() {
    auto& shell = WindowServices::ShellServices();
    shell.openPictureWindow = OpenPictureWindow;
    shell.closeMenusIfLastWindow = CloseMenusIfLastWindow;
    shell.copyPictureWindow = CopyPictureWindow;
    shell.showCloseAll = ShowCloseAll;
    WindowServices::WindowOpeners().commandPanel = frmMenu::ShowMenu;
    WindowServices::WindowOpeners().browser = [](const QStringList& files, frmResize* owner) {
        frmBrowse::Shared()->ShowBrowse(files, owner);
    };
    WindowServices::WindowOpeners().cropMenu = [](frmResize* owner) {
        frmMenuBuf* menu = frmMenuBuf::Shared();
        menu->OwnerForm(owner);
        menu->PopupAt(QCursor::pos());
    };
}

int Main(int argc, char** argv) {
    PlatformChoice::Apply();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(ProgramInfo::ProgramIcon());
    // Standard buttons and dialogs speak the interface's language.
    auto* qtChinese = new QTranslator(&app);
    if (qtChinese->load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(qtChinese);
    }
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    QApplication::setOrganizationName(QStringLiteral("Lumora"));
    mdlDialogs::InstallWidgetSeam();
    InstallWindowServices();
    // Screens measured exactly where the window system can tell (a fractional scale factor
    // leaves Qt's logical size a pixel off).
    ScreenUnits::SetNativeScreenSource(NativeWindow::ScreenDeviceGeometry);
    mdlKestrin_Command::SetProcessArguments(QApplication::arguments().mid(1));

    mdlOption::SetDefaultOptions();
    mdlOption::ReadOptions(QString());
    Start();
    if (QApplication::topLevelWidgets().isEmpty() || ImageWindowCount() == 0) {
        return 0;  // the one file named could not be opened: end quietly
    }
    gRunning = true;
    return QApplication::exec();
}

void Start() {
    const qint32 n = mdlKestrin_Command::GetCommandCount(QString());
    if (n == 0) {
        OpenPictureWindow(QString(), 0, 0);
        return;
    }
    const QString first = mdlKestrin_Command::GetCommand(1);
    // A name that does not exist is no folder: alone it goes to the window, whose open fails.
    if (n != 1 || QFileInfo(first).isDir()) {
        QStringList files;
        for (qint32 i = 1; i <= n; ++i) {
            files << mdlKestrin_Command::GetCommand(i);
        }
        auto* window = new frmResize;
        window->show();
        ShowBrowser(files, window);
        return;
    }
    OpenPictureWindow(first, 0, 0);
}

frmResize* OpenPictureWindow(const QString& path, qint32 left, qint32 top) {
    auto* window = new frmResize;
    const bool placed = left > 0 && top > 0;
    if (path.isEmpty()) {
        if (placed) {
            window->MoveTw(left, top);
        }
        window->show();
        return window;
    }
    if (!window->lnkOpenPicture(path)) {
        window->close();
        delete window;
        return nullptr;
    }
    // The window shows once its picture is there; one whose file cannot be read closes unseen.
    QObject::connect(
        window, &frmResize::openEnded, window,
        [window, placed, left, top](bool ok) {
            if (!ok) {
                window->close();
                if (gRunning && ImageWindowCount() == 0 && !AnyWindowShown()) {
                    QCoreApplication::quit();  // the only file named could not be opened
                }
                return;
            }
            if (placed) {
                window->MoveTw(left, top);
            } else {
                // Sized to its picture now: put it on the screen, centred.
                QRect device = window->DeviceGeometry();
                device.moveCenter(ScreenUnits::DeviceWorkArea(window->screen()).center());
                window->SetDeviceGeometry(device);
            }
            window->show();
        },
        Qt::SingleShotConnection);
    return window;
}

frmResize* CopyPictureWindow(frmResize* source) {
    if (!source) {
        return nullptr;
    }
    // The offset is measured on the source's screen, from its top-left corner.
    const QPointF origin = source->ScreenOriginTw();
    const QPointF p = WindowArithmetic::CascadePosition(
        source->LeftTw() - origin.x(), source->TopTw() - origin.y(),
        ScreenUnits::ScreenWidthTwips(source->screen()),
        ScreenUnits::ScreenHeightTwips(source->screen()));
    auto* window = new frmResize;
    if (!window->AdoptPictureOf(*source)) {
        window->close();
        delete window;
        return nullptr;  // nothing to copy: no new window
    }
    const QPoint at(Rounding::Round32((p.x() + origin.x()) / source->TwipsPerPixelX()),
                    Rounding::Round32((p.y() + origin.y()) / source->TwipsPerPixelY()));
    window->SetDeviceGeometry(QRect(at, source->DeviceGeometry().size()));
    window->show();
    return window;
}

int ImageWindowCount() {
    return static_cast<int>(LoadedImageWindows().size());
}

void CloseMenusIfLastWindow() {
    if (ImageWindowCount() > 1) {
        return;
    }
    frmMenu::UnloadShared();
    frmMenuBuf::UnloadShared();
}

void ShowCloseAll() {
    frmCloseAll::Shared()->ShowModeless();
}

void WaitSeconds(float seconds, const std::function<float()>& timeOfDay,
                 const std::function<void()>& pump) {
    const auto now = timeOfDay ? timeOfDay : std::function<float()>(SecondsSinceMidnight);
    // Lets the queue run, then rests a millisecond so the wait does not hold a core busy.
    const auto run = pump ? pump : std::function<void()>([] {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    });
    if (!std::isfinite(seconds)) {
        seconds = 0;
    }
    const float t0 = now();
    float t = t0;
    do {
        run();
        t = now();
        if (t < t0) {
            t += 86400.0f;  // midnight passed
        }
    } while (!(t - t0 > seconds));
}

Openers& WindowOpeners() {
    return WindowServices::WindowOpeners();
}

void ShowBrowser(const QStringList& files, frmResize* owner) {
    if (WindowOpeners().browser) {
        WindowOpeners().browser(files, owner);
    }
}

void ShowCommandPanel(frmResize* owner) {
    if (WindowOpeners().commandPanel) {
        WindowOpeners().commandPanel(owner);
    }
}

void ShowCropMenu(frmResize* owner) {
    if (WindowOpeners().cropMenu) {
        WindowOpeners().cropMenu(owner);
    }
}

}  // namespace mdlMain
