#include "app/mdlMain.h"

#include "app/CommandLineOptions.h"
#include "app/PlatformChoice.h"
#include "app/mdlKestrin_Command.h"
#include "base/Rounding.h"
#include "base/ScreenUnits.h"
#include "browser/BrowseArithmetic.h"
#include "browser/frmBrowse.h"
#include "dialogs/ModalSeam.h"
#include "dialogs/ProgramInfo.h"
#include "dialogs/frmCloseAll.h"
#include "dialogs/mdlDialogs.h"
#include "image/ScreenColour.h"
#include "panel/frmMenu.h"
#include "panel/frmMenuBuf.h"
#include "settings/mdlOption.h"
#include "window/NativeWindow.h"
#include "window/WindowArithmetic.h"
#include "window/WorkAreaPlacement.h"
#include "window/frmRegionSelect.h"
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
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

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
// The exit status a command-line action that failed late asks for (0: the event loop's own).
int gExitStatus = 0;

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

// The work area of the screen a window of r (desktop device pixels) lies on, or nearest to.
QRect WorkAreaAt(const QRect& r) {
    return ScreenUnits::DeviceWorkArea(ScreenUnits::ScreenAtDevice(r.center()));
}

// Moves the window, as it is, inside the work area of its screen.
void PlaceInside(frmResize* window) {
    const QRect r = window->DeviceGeometry();
    const QRect area = WorkAreaAt(r);
    if (!area.isEmpty()) {
        window->SetDeviceGeometry(QRect(WorkAreaPlacement::Inside(r, area), r.size()));
    }
}

// A window of the browser's cascade, at its step left/top (twips): there when it lies inside the
// work area, otherwise wrapped to the area's top-left corner with the step's offset from the
// cascade's first place.
void PlaceInCascade(frmResize* window, qint32 left, qint32 top) {
    window->MoveTw(left, top);
    const QRect r = window->DeviceGeometry();
    const QRect area = WorkAreaAt(r);
    if (area.isEmpty()) {
        return;
    }
    const QList<QPoint> first = BrowseArithmetic::CascadePositions(
        1, ScreenUnits::ScreenWidthTwips(), ScreenUnits::ScreenHeightTwips());
    const QPoint fromStart(Rounding::Round32((left - first.first().x()) / window->TwipsPerPixelX()),
                           Rounding::Round32((top - first.first().y()) / window->TwipsPerPixelY()));
    window->SetDeviceGeometry(QRect(WorkAreaPlacement::Cascaded(r, fromStart, area), r.size()));
}

// Shows a window and, when one of the program's windows has the keyboard (N, 新建, a copy, the
// browser's 打开), hands it on to the new one: a window manager that guards focus (mutter) would
// otherwise map it unfocused and below the window it came from, which then hides it wholly. At
// start-up the window manager decides, as for any program.
void ShowInFront(frmResize* window) {
    const bool ours = QApplication::activeWindow() != nullptr;
    window->show();
    if (ours) {
        window->activateWindow();
    }
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
    // Help, version and usage errors answer without a display.
    QStringList given;
    for (int i = 1; i < argc; ++i) {
        given << QString::fromLocal8Bit(argv[i]);
    }
    const CommandLineOptions::Parsed early = CommandLineOptions::Parse(given);
    if (!early.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(early.error));
        return 2;
    }
    if (early.action == CommandLineOptions::Action::Help) {
        std::fputs(qUtf8Printable(CommandLineOptions::Usage()), stdout);
        return 0;
    }
    if (early.action == CommandLineOptions::Action::Version) {
        std::printf("%s\n", qUtf8Printable(CommandLineOptions::VersionLine()));
        return 0;
    }
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
    // Pictures float at their own size and place under a tiling window manager too.
    NativeWindow::FloatEveryWindow();
    // Pictures are shown in the screen's colours: known before the first worker starts.
    ScreenColour::SetProfile(NativeWindow::ScreenColourProfile());
    // Qt has taken its own options out of the arguments by now.
    const CommandLineOptions::Parsed parsed =
        CommandLineOptions::Parse(QApplication::arguments().mid(1));
    mdlKestrin_Command::SetProcessArguments(parsed.paths);

    mdlOption::SetDefaultOptions();
    mdlOption::ReadOptions(QString());
    if (parsed.action == CommandLineOptions::Action::Capture) {
        StartCapture();
    } else if (parsed.action == CommandLineOptions::Action::Select) {
        if (!StartSelect()) {
            return 1;
        }
        gRunning = true;
        const int status = QApplication::exec();
        return gExitStatus != 0 ? gExitStatus : status;
    } else if (parsed.action == CommandLineOptions::Action::Paste) {
        if (!StartPaste()) {
            return 1;
        }
    } else {
        Start();
    }
    if (QApplication::topLevelWidgets().isEmpty() || ImageWindowCount() == 0) {
        return gExitStatus;  // the one file named could not be opened: 1, said on standard error
    }
    gRunning = true;
    const int status = QApplication::exec();
    return gExitStatus != 0 ? gExitStatus : status;
}

void StartCapture() {
    // The screen under the pointer, exactly as C fills a window, with no window to hide first.
    const std::optional<QPoint> exact = NativeWindow::PointerDevicePosition();
    QScreen* target =
        exact ? ScreenUnits::ScreenAtDevice(*exact) : ScreenUnits::ScreenAtLogical(QCursor::pos());
    auto* window = new frmResize;
    QObject::connect(
        window, &frmResize::captureEnded, window,
        [window](bool ok) {
            if (!ok) {
                std::fprintf(stderr, "lumora: the screen capture was refused\n");
                gExitStatus = 1;
                window->close();
                QCoreApplication::exit(1);
            }
        },
        Qt::SingleShotConnection);
    window->CaptureScreenAt(target);
}

bool StartSelect() {
    auto* selection = new frmRegionSelect(qApp);
    QObject::connect(selection, &frmRegionSelect::ended, qApp, [](bool pinned) {
        if (!pinned && ImageWindowCount() == 0) {
            gExitStatus = 1;  // nothing was left on the screen: a script can tell
            QCoreApplication::exit(1);
        }
    });
    if (!selection->Start()) {
        std::fprintf(stderr, "lumora: the screen capture was refused\n");
        delete selection;
        return false;
    }
    return true;
}

bool StartPaste() {
    auto* window = new frmResize;
    if (!window->PasteClipboard()) {
        ModalSeam::ShowMessage(nullptr, QStringLiteral("剪贴板中没有图片"), 64,
                               QStringLiteral("Lumora"));
        window->close();
        delete window;
        return false;
    }
    // At its own size (fitted to the screen), in the middle of the screen under the pointer.
    window->ApplyViewSize(window->mOrgWidth, window->mOrgHeight);
    QRect device = window->DeviceGeometry();
    device.moveCenter(
        ScreenUnits::DeviceWorkArea(ScreenUnits::ScreenAtLogical(QCursor::pos())).center());
    window->SetDeviceGeometry(device);
    PlaceInside(window);  // a picture as large as the screen is taller than its work area
    ShowInFront(window);
    return true;
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
    // A picture that cannot be opened says why on standard error, whenever it turns out.
    // The process then ends with status 1 when no window is left, so a script can tell.
    frmResize* window = OpenPictureWindow(first, 0, 0);
    if (window == nullptr) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(CommandLineOptions::CannotOpenLine(first)));
        gExitStatus = 1;
        return;
    }
    QObject::connect(
        window, &frmResize::openEnded, window,
        [first](bool ok) {
            if (!ok) {
                std::fprintf(stderr, "%s\n",
                             qUtf8Printable(CommandLineOptions::CannotOpenLine(first)));
                if (ImageWindowCount() == 0) {
                    gExitStatus = 1;
                }
            }
        },
        Qt::SingleShotConnection);
}

frmResize* OpenPictureWindow(const QString& path, qint32 left, qint32 top) {
    auto* window = new frmResize;
    const bool placed = left > 0 && top > 0;
    if (path.isEmpty()) {
        if (placed) {
            // A new window beside the one it came from (N, 新建): on the screen even at its edge.
            window->MoveTw(left, top);
            PlaceInside(window);
        }
        ShowInFront(window);
        return window;
    }
    if (!window->lnkOpenPicture(path)) {
        window->close();
        delete window;
        return nullptr;
    }
    // The window shows once its picture is there (a large photo's reduced copy, or the picture);
    // one whose file cannot be read closes, unseen unless its reduced copy was shown.
    const auto show = [window, placed, left, top, shown = std::make_shared<bool>(false)] {
        if (std::exchange(*shown, true)) {
            return;
        }
        if (placed) {
            PlaceInCascade(window, left, top);  // the browser's windows
        } else {
            // Sized to its picture now: put it on the screen, centred.
            QRect device = window->DeviceGeometry();
            device.moveCenter(ScreenUnits::DeviceWorkArea(window->screen()).center());
            window->SetDeviceGeometry(device);
            PlaceInside(window);
        }
        ShowInFront(window);
    };
    QObject::connect(window, &frmResize::previewShown, window, show, Qt::SingleShotConnection);
    QObject::connect(
        window, &frmResize::openEnded, window,
        [window, show](bool ok) {
            if (!ok) {
                window->close();
                if (gRunning && ImageWindowCount() == 0 && !AnyWindowShown()) {
                    QCoreApplication::quit();  // the only file named could not be opened
                }
                return;
            }
            show();
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
    window->SetDeviceGeometry(QRect(at, window->DeviceGeometry().size()));
    ShowInFront(window);
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
