#include "panel/frmMenu.h"

#include "base/ScreenUnits.h"
#include "panel/NumberBoxBinding.h"
#include "panel/PanelText.h"
#include "settings/SizeEntry.h"
#include "window/NativeWindow.h"
#include "window/OutlineWidget.h"
#include "window/PictureViewWidget.h"
#include "window/frmResize.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWindow>

namespace {
QPointer<frmMenu> gShared;

constexpr int kStripHeight = 26;  // pixels
const QColor kStripColour(52, 73, 94);
const QColor kSelectedTab(192, 192, 192);  // light grey behind the chosen tab header

QWidget* Strip(QWidget* parent, const QString& name) {
    auto* strip = new QWidget(parent);
    strip->setObjectName(name);
    strip->setAutoFillBackground(true);
    QPalette p = strip->palette();
    p.setColor(QPalette::Window, kStripColour);
    p.setColor(QPalette::WindowText, Qt::white);
    strip->setPalette(p);
    strip->setFixedHeight(kStripHeight);
    return strip;
}
}  // namespace

frmMenu* frmMenu::Shared() {
    if (gShared.isNull()) {
        gShared = new frmMenu;
    }
    return gShared;
}

void frmMenu::ShowMenu(frmResize* iOwner) {
    if (iOwner != nullptr && !iOwner->IsUnloaded()) {
        Shared()->ShowFor(iOwner);
    }
}

void frmMenu::UnloadShared() {
    if (!gShared.isNull()) {
        gShared->Unload();
    }
}

frmMenu::frmMenu()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmMenu"));
    setWindowTitle(QStringLiteral("功能菜单"));
    Build();
    ShowTab(0);
}

frmMenu::~frmMenu() {
    qApp->removeEventFilter(this);
}

QLabel* frmMenu::CommandLabel(const MenuCommands::Command& c, QWidget* parent) {
    auto* l = new QLabel(c.caption, parent);
    l->setObjectName(QStringLiteral("lblCommand_%1").arg(c.index));
    l->setProperty("key", c.key);
    l->setToolTip(c.tooltip);
    l->setCursor(Qt::PointingHandCursor);
    l->setMouseTracking(true);
    l->installEventFilter(this);
    lblCommand[static_cast<size_t>(c.index)] = l;
    return l;
}

void frmMenu::Build() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);

    // Top strip: the tab headers and the close glyph.
    imgNav[0] = Strip(this, QStringLiteral("imgNav_0"));
    auto* top = new QHBoxLayout(imgNav[0]);
    top->setContentsMargins(6, 2, 4, 2);
    const QStringList headers = MenuCommands::TabHeaders();
    for (int i = 0; i < 3; ++i) {
        auto* tab = new QLabel(headers.value(i), imgNav[0]);
        tab->setObjectName(QStringLiteral("lblTab_%1").arg(i));
        tab->setMargin(2);
        tab->setMouseTracking(true);
        tab->installEventFilter(this);
        lblTab[static_cast<size_t>(i)] = tab;
        top->addWidget(tab);
    }
    top->addStretch();
    lblNavClose = new QLabel(QStringLiteral("×"), imgNav[0]);
    lblNavClose->setObjectName(QStringLiteral("lblNavClose"));
    lblNavClose->setToolTip(QStringLiteral("关闭菜单"));
    lblNavClose->setMouseTracking(true);
    lblNavClose->installEventFilter(this);
    top->addWidget(lblNavClose);
    imgNav[0]->installEventFilter(this);
    outer->addWidget(imgNav[0]);
    shpTab = new OutlineWidget(imgNav[0]);
    shpTab->setObjectName(QStringLiteral("shpTab"));
    shpTab->setBorderColor(Qt::white);

    pages = new QStackedWidget(this);
    picTab[0] = BuildBasicPage();
    picTab[1] = BuildSizePage();
    picTab[2] = BuildSpecialPage();
    for (int i = 0; i < 3; ++i) {
        picTab[static_cast<size_t>(i)]->setObjectName(QStringLiteral("picTab_%1").arg(i));
        picTab[static_cast<size_t>(i)]->installEventFilter(this);
        pages->addWidget(picTab[static_cast<size_t>(i)]);
    }
    outer->addWidget(pages);

    // Bottom strip: settings, help and the about link, whatever the page.
    imgNav[1] = Strip(this, QStringLiteral("imgNav_1"));
    auto* bottom = new QHBoxLayout(imgNav[1]);
    bottom->setContentsMargins(8, 2, 8, 2);
    for (const auto& c : MenuCommands::Table()) {
        if (c.tab == -1 && c.index >= 0) {
            bottom->addWidget(CommandLabel(c, imgNav[1]));
        }
    }
    bottom->addStretch();
    lblAbout = new QLabel(QStringLiteral("Lumora"), imgNav[1]);
    lblAbout->setObjectName(QStringLiteral("lblAbout"));
    lblAbout->setProperty("key", QStringLiteral("ABOUT"));
    lblAbout->setCursor(Qt::PointingHandCursor);
    lblAbout->installEventFilter(this);
    bottom->addWidget(lblAbout);
    imgNav[1]->installEventFilter(this);
    outer->addWidget(imgNav[1]);
    adjustSize();
}

int frmMenu::CurrentTab() const {
    return pages->currentIndex();
}

void frmMenu::ShowTab(int i) {
    if (i < 0 || i > 2 || i == mShownTab) {
        return;
    }
    mShownTab = i;
    pages->setCurrentIndex(i);
    for (int k = 0; k < 3; ++k) {
        QLabel* tab = lblTab[static_cast<size_t>(k)];
        QFont f = tab->font();
        f.setBold(k == i);
        tab->setFont(f);
        tab->setAutoFillBackground(k == i);
        QPalette p = tab->palette();
        p.setColor(QPalette::Window, kSelectedTab);
        p.setColor(QPalette::WindowText, k == i ? Qt::black : Qt::white);
        tab->setPalette(p);
    }
    // The frame sits a few pixels around the chosen header, once the strip is laid out.
    imgNav[0]->layout()->activate();
    shpTab->setGeometry(lblTab[static_cast<size_t>(i)]->geometry().adjusted(-2, -2, 2, 2));
    shpTab->raise();
}

// ---- showing and closing ----

void frmMenu::ShowFor(frmResize* iOwner) {
    if (mOwner && mOwner != iOwner) {
        disconnect(mOwner, nullptr, this, nullptr);
    }
    mOwner = iOwner;
    connect(iOwner, &frmResize::unloaded, this, &frmMenu::Unload, Qt::UniqueConnection);
    connect(iOwner, &frmResize::opacityChanged, this, &frmMenu::OnOwnerOpacityChanged,
            Qt::UniqueConnection);
    Highlight(-1);
    ShowTab(0);  // every opening starts on the first page, as a freshly built panel would
    AttachNumberBoxes();
    FillFromOwner();
    ShowAtCursor();
    // Presses in image windows close the panel, also where no window manager moves the focus.
    qApp->installEventFilter(this);
}

void frmMenu::ShowAtCursor() {
    // Placed in device pixels of the screen under the pointer, at that screen's twips per pixel,
    // then back to the logical pixels Qt places windows in.
    const QPoint pointer = QCursor::pos();
    const QScreen* screen = ScreenUnits::ScreenAtLogical(pointer);
    const QSize panel = ScreenUnits::ToDevice(QRect(pointer, size()), screen).size();
    // The window system knows the pointer to the device pixel; Qt's logical position may not.
    const std::optional<QPoint> exact = NativeWindow::PointerDevicePosition();
    const QPointF device =
        exact ? QPointF(*exact) : ScreenUnits::ToDevice(QPointF(pointer), screen);
    const QPoint at = PanelText::PanelPositionPx(device, panel, ScreenUnits::DeviceGeometry(screen),
                                                 ScreenUnits::TwipsPerPixelX(screen),
                                                 ScreenUnits::TwipsPerPixelY(screen));
    move(ScreenUnits::ToLogical(QRect(at, panel), screen).topLeft());
    show();
    NativeWindow::MoveDevice(this, at);  // where logical pixels cannot say it exactly
    raise();
    activateWindow();
}

void frmMenu::Unload() {
    qApp->removeEventFilter(this);
    hide();
    Highlight(-1);
    for (auto& box : mNumberBoxes) {
        box.reset();
    }
    if (mOwner) {
        disconnect(mOwner, nullptr, this, nullptr);
    }
    mOwner = nullptr;
    mDragging = false;
}

void frmMenu::AttachNumberBoxes() {
    if (!mNumberBoxes[0]) {
        mNumberBoxes[0] = std::make_unique<NumberBoxBinding>(txtCCTZ_NewWidth, 1, 999999);
        mNumberBoxes[1] = std::make_unique<NumberBoxBinding>(txtCCTZ_NewHeight, 1, 999999);
        mNumberBoxes[2] = std::make_unique<NumberBoxBinding>(txtTBCL_Touming, 10, 100);
    }
}

void frmMenu::Highlight(int index) {
    if (index == mHoverIndex) {
        return;
    }
    auto style = [](QLabel* l, bool on) {
        if (l == nullptr) {
            return;
        }
        QFont f = l->font();
        f.setBold(on);
        f.setUnderline(on);
        l->setFont(f);
    };
    if (mHoverIndex >= 0) {
        style(lblCommand[static_cast<size_t>(mHoverIndex)], false);
    }
    mHoverIndex = index;
    if (index >= 0) {
        style(lblCommand[static_cast<size_t>(index)], true);
    }
}

bool frmMenu::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && isVisible() && !mInOwnMessage) {
        // Another of the program's windows became active: the panel goes.
        QWidget* active = QApplication::activeWindow();
        if (active != nullptr && active != this && active->window() != this) {
            Unload();
        }
    }
    return QWidget::event(event);
}

void frmMenu::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Unload();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmMenu::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    auto* w = qobject_cast<QWidget*>(watched);
    if (w != nullptr && w->window() != this) {
        // The application-wide filter: any press in an image window closes the panel.
        if (t == QEvent::MouseButtonPress && isVisible() && !mInOwnMessage &&
            qobject_cast<frmResize*>(w->window()) != nullptr) {
            Unload();
        }
        return false;
    }
    if (w == nullptr) {
        return false;
    }
    if (t == QEvent::KeyPress && watched == lstCCTZ_Size) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ApplySizeItem(lstCCTZ_Size->currentItem());
            Unload();
            return true;
        }
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (watched == lblTab[static_cast<size_t>(i)] &&
            (t == QEvent::Enter || t == QEvent::MouseMove || t == QEvent::MouseButtonPress)) {
            ShowTab(i);                            // tabs switch on hover
            return t == QEvent::MouseButtonPress;  // a press on a header is no drag
        }
    }
    if (watched == lblNavClose) {
        if (t == QEvent::MouseMove) {
            const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
            const bool inside = lblNavClose->rect().adjusted(3, 3, -3, -3).contains(p);
            lblNavClose->setFrameShape(inside ? QFrame::Box : QFrame::NoFrame);
        } else if (t == QEvent::Leave) {
            lblNavClose->setFrameShape(QFrame::NoFrame);
        } else if (t == QEvent::MouseButtonRelease) {
            Unload();
            return true;
        }
        return t == QEvent::MouseButtonPress;
    }
    const QVariant key = w->property("key");
    if (key.isValid()) {
        if (t == QEvent::Enter || t == QEvent::MouseMove) {
            const int index = w->objectName().startsWith(QLatin1String("lblCommand_"))
                                  ? w->objectName().mid(11).toInt()
                                  : -1;
            if (index >= 0) {
                Highlight(index);
            }
        } else if (t == QEvent::MouseButtonPress) {
            return true;  // the label takes its press, so it never reaches a drag handle
        } else if (t == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && w->isEnabled() &&
                   w->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            RunCommand(key.toString());
            return true;
        }
        return false;
    }
    // The strips and the pages' background drag the panel like a title bar.
    const bool handle = watched == imgNav[0] || watched == imgNav[1] || watched == picTab[0] ||
                        watched == picTab[1] || watched == picTab[2];
    // Only a press on the handle's own background: a press on a label, a header or a group that
    // did not take it travels up to here too, and must stay a click.
    if (handle && t == QEvent::MouseButtonPress &&
        w->childAt(static_cast<QMouseEvent*>(event)->position().toPoint()) == nullptr) {
        auto* m = static_cast<QMouseEvent*>(event);
        if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
            return true;
        }
        mDragging = m->button() == Qt::LeftButton;
        mDragOffset = m->globalPosition().toPoint() - pos();
        return true;
    }
    if (handle && t == QEvent::MouseMove && mDragging) {
        move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - mDragOffset);
        return true;
    }
    if (handle && t == QEvent::MouseButtonRelease) {
        mDragging = false;
    }
    return false;
}
