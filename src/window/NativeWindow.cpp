#include "window/NativeWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#ifdef LUMORA_HAVE_XCB
#include <xcb/randr.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>
#endif

namespace NativeWindow {

#ifdef LUMORA_HAVE_XCB
namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t* Connection() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app != nullptr ? app->connection() : nullptr;
}

// The native window of a top-level widget that has one; 0 otherwise (never creates one).
xcb_window_t WindowId(const QWidget* w) {
    if (w == nullptr || !w->testAttribute(Qt::WA_WState_Created) || w->windowHandle() == nullptr) {
        return 0;
    }
    return static_cast<xcb_window_t>(w->internalWinId());
}

xcb_window_t RootOf(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    return it.rem > 0 ? it.data->root : 0;
}

QString AtomName(xcb_connection_t* c, xcb_atom_t atom) {
    Reply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr));
    if (!reply) {
        return QString();
    }
    return QString::fromLatin1(xcb_get_atom_name_name(reply.get()),
                               xcb_get_atom_name_name_length(reply.get()));
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Set on a window whose input passes through it (SetInputThrough).
constexpr char kInputThrough[] = "lumoraInputThrough";

}  // namespace

bool Available() {
    return Connection() != nullptr;
}

QByteArray ScreenColourProfile() {
    xcb_connection_t* c = Connection();
    if (c == nullptr) {
        return QByteArray();
    }
    const xcb_atom_t property = Atom(c, "_ICC_PROFILE");
    if (property == XCB_ATOM_NONE) {
        return QByteArray();
    }
    // At most 4 MiB (the length counts 32-bit units): a display profile is a few kilobytes.
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, RootOf(c), property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 20),
        nullptr));
    if (!reply || reply->format != 8 || reply->bytes_after != 0) {
        return QByteArray();
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

namespace {
// Places the window: mask names which of x, y, width, height the values give, in that order.
bool Configure(QWidget* window, uint16_t mask, std::initializer_list<int> values) {
    xcb_connection_t* c = Connection();
    const xcb_window_t id = WindowId(window);
    if (c == nullptr || id == 0) {
        return false;
    }
    std::vector<uint32_t> list;
    for (const int v : values) {
        list.push_back(static_cast<uint32_t>(static_cast<int32_t>(v)));  // positions may be < 0
    }
    xcb_configure_window(c, id, mask, list.data());
    xcb_flush(c);
    return true;
}
}  // namespace

bool SetDeviceGeometry(QWidget* window, const QRect& r) {
    return r.width() > 0 && r.height() > 0 &&
           Configure(window,
                     XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                         XCB_CONFIG_WINDOW_HEIGHT,
                     {r.x(), r.y(), r.width(), r.height()});
}

bool MoveDevice(QWidget* window, QPoint p) {
    return Configure(window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, {p.x(), p.y()});
}

std::optional<QPoint> PointerDevicePosition() {
    xcb_connection_t* c = Connection();
    const xcb_window_t root = c ? RootOf(c) : 0;
    if (root == 0) {
        return std::nullopt;
    }
    Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr));
    if (!reply) {
        return std::nullopt;
    }
    return QPoint(reply->root_x, reply->root_y);
}

std::optional<QRect> DeviceGeometry(const QWidget* window) {
    xcb_connection_t* c = Connection();
    const xcb_window_t id = WindowId(window);
    const xcb_window_t root = c ? RootOf(c) : 0;
    if (c == nullptr || id == 0 || root == 0) {
        return std::nullopt;
    }
    Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr));
    Reply<xcb_translate_coordinates_reply_t> t(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, id, root, 0, 0), nullptr));
    if (!g || !t) {
        return std::nullopt;
    }
    return QRect(t->dst_x, t->dst_y, g->width, g->height);
}

QRect ScreenDeviceGeometry(const QScreen* screen) {
    xcb_connection_t* c = Connection();
    const xcb_window_t root = c ? RootOf(c) : 0;
    if (screen == nullptr || root == 0) {
        return QRect();
    }
    Reply<xcb_randr_get_monitors_reply_t> monitors(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
    if (!monitors) {
        return QRect();
    }
    const QPoint origin = screen->geometry().topLeft();
    QRect byOrigin;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* m = it.data;
        const QRect r(m->x, m->y, m->width, m->height);
        if (AtomName(c, m->name) == screen->name()) {
            return r;
        }
        if (r.topLeft() == origin) {
            byOrigin = r;  // a screen keeps its top-left corner in both measures
        }
    }
    if (byOrigin.isValid() || QGuiApplication::screens().size() != 1) {
        return byOrigin;
    }
    // One screen and no monitor to match: the root window is the screen.
    Reply<xcb_get_geometry_reply_t> g(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, root), nullptr));
    return g ? QRect(0, 0, g->width, g->height) : QRect();
}

bool SetDeviceShape(QWidget* window, const std::optional<QRegion>& region) {
    xcb_connection_t* c = Connection();
    const xcb_window_t id = WindowId(window);
    if (c == nullptr || id == 0) {
        return false;
    }
    // A window the input passes through keeps its empty input shape.
    const bool input = !window->property(kInputThrough).toBool();
    if (!region) {
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, id, 0, 0, XCB_NONE);
        if (input) {
            xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_NONE);
        }
        xcb_flush(c);
        return true;
    }
    std::vector<xcb_rectangle_t> rects;
    rects.reserve(size_t(region->rectCount()));
    for (const QRect& r : *region) {
        rects.push_back({static_cast<int16_t>(r.x()), static_cast<int16_t>(r.y()),
                         static_cast<uint16_t>(r.width()), static_cast<uint16_t>(r.height())});
    }
    for (const xcb_shape_kind_t kind : {XCB_SHAPE_SK_BOUNDING, XCB_SHAPE_SK_INPUT}) {
        if (kind == XCB_SHAPE_SK_INPUT && !input) {
            continue;
        }
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED, id, 0, 0,
                             static_cast<uint32_t>(rects.size()), rects.data());
    }
    xcb_flush(c);
    return true;
}

bool SetInputThrough(QWidget* window, bool through) {
    xcb_connection_t* c = Connection();
    const xcb_window_t id = WindowId(window);
    if (c == nullptr || id == 0) {
        return false;
    }
    window->setProperty(kInputThrough, through);
    if (through) {
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                             id, 0, 0, 0, nullptr);
    } else {
        // No input shape of its own: the server takes the visible (bounding) one for it.
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_NONE);
    }
    xcb_flush(c);
    return true;
}

bool AskToFloat(QWidget* window) {
    xcb_connection_t* c = Connection();
    const xcb_window_t id = WindowId(window);
    if (c == nullptr || id == 0) {
        return false;
    }
    const xcb_atom_t property = Atom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t utility = Atom(c, "_NET_WM_WINDOW_TYPE_UTILITY");
    if (property == XCB_ATOM_NONE || utility == XCB_ATOM_NONE) {
        return false;
    }
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, id, property, XCB_ATOM_ATOM, 0, 64), nullptr));
    std::vector<xcb_atom_t> types;
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        types.assign(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
    }
    if (std::find(types.begin(), types.end(), utility) != types.end()) {
        return true;
    }
    // Qt leaves a plain window without the property: normal is said first, so that a window
    // manager reading the first type still sees a normal window.
    if (types.empty()) {
        types.push_back(Atom(c, "_NET_WM_WINDOW_TYPE_NORMAL"));
    }
    types.push_back(utility);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, property, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(types.size()), types.data());
    xcb_flush(c);
    return true;
}

namespace {
// Sees every widget's show before its window maps.
class FloatOnShow : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow() && w->windowType() == Qt::Window) {
                AskToFloat(w);
            }
        }
        return false;
    }
};
}  // namespace

void FloatEveryWindow() {
    static bool installed = false;
    if (Available() && !installed) {
        installed = true;
        qApp->installEventFilter(new FloatOnShow(qApp));
    }
}

bool ReleaseKeyboardFocus(QWidget* window) {
    xcb_connection_t* c = Connection();
    const xcb_window_t id = WindowId(window);
    if (c == nullptr || id == 0) {
        return false;
    }
    Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (focus && focus->focus == id) {
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT,
                            XCB_CURRENT_TIME);
        xcb_flush(c);
    }
    return true;
}

namespace {
// The window's outermost ancestor below the root: its frame when a manager reparented it.
xcb_window_t FrameOf(xcb_connection_t* c, xcb_window_t w, xcb_window_t root) {
    for (int depth = 0; depth < 16; ++depth) {
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
        if (!tree || tree->parent == root || tree->parent == XCB_WINDOW_NONE) {
            return w;
        }
        w = tree->parent;
    }
    return w;
}
}  // namespace

std::vector<QRect> TopLevelWindowsTopFirst() {
    std::vector<QRect> out;
    xcb_connection_t* c = Connection();
    const xcb_window_t root = c ? RootOf(c) : 0;
    if (root == 0) {
        return out;
    }
    std::vector<xcb_window_t> bottomFirst;
    const xcb_atom_t stacking = Atom(c, "_NET_CLIENT_LIST_STACKING");
    Reply<xcb_get_property_reply_t> list(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, stacking, XCB_ATOM_WINDOW, 0, 4096), nullptr));
    if (stacking != XCB_ATOM_NONE && list && list->format == 32 &&
        xcb_get_property_value_length(list.get()) > 0) {
        const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
        const int n = xcb_get_property_value_length(list.get()) / 4;
        for (int i = 0; i < n; ++i) {
            bottomFirst.push_back(FrameOf(c, ids[i], root));
        }
    } else {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        if (tree) {
            const xcb_window_t* kids = xcb_query_tree_children(tree.get());
            bottomFirst.assign(kids, kids + xcb_query_tree_children_length(tree.get()));
        }
    }
    for (auto it = bottomFirst.rbegin(); it != bottomFirst.rend(); ++it) {
        Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, *it), nullptr));
        Reply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, *it), nullptr));
        if (a && g && a->map_state == XCB_MAP_STATE_VIEWABLE &&
            a->_class != XCB_WINDOW_CLASS_INPUT_ONLY) {
            const int b = g->border_width;
            out.emplace_back(g->x, g->y, g->width + 2 * b, g->height + 2 * b);
        }
    }
    return out;
}

#else

bool Available() {
    return false;
}
bool SetDeviceGeometry(QWidget*, const QRect&) {
    return false;
}
bool MoveDevice(QWidget*, QPoint) {
    return false;
}
std::optional<QPoint> PointerDevicePosition() {
    return std::nullopt;
}
std::optional<QRect> DeviceGeometry(const QWidget*) {
    return std::nullopt;
}
QRect ScreenDeviceGeometry(const QScreen*) {
    return QRect();
}
bool SetDeviceShape(QWidget*, const std::optional<QRegion>&) {
    return false;
}
bool SetInputThrough(QWidget*, bool) {
    return false;
}
bool AskToFloat(QWidget*) {
    return false;
}
void FloatEveryWindow() {}
bool ReleaseKeyboardFocus(QWidget*) {
    return false;
}
QByteArray ScreenColourProfile() {
    return QByteArray();
}
std::vector<QRect> TopLevelWindowsTopFirst() {
    return {};
}

#endif

}  // namespace NativeWindow
