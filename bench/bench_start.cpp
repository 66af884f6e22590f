// How long `lumora --capture` takes from being started to its window being shown, beside plain
// `lumora` (an empty window) and `lumora photo.jpg` (a 24 MP photo this program writes first), on
// the X display in DISPLAY (e.g. Xvfb with one 1920 x 1080 screen and no window manager). Shown
// means mapped: the time runs from just before the program is started to the X server's notice
// that a top-level window of that process (its _NET_WM_PID) was mapped, and for the capture also
// has the screen's size. The notices are waited for, not polled, so this program adds no load
// while the other starts. The photo is shown once the screen's centre holds its colour: that one
// pixel is read every millisecond, a load too small to count. Each repetition starts both back to
// back, alternating which comes first, after one unrecorded warm-up of each; every started program
// is ended (SIGTERM) before the next starts. The settings are kept in a temporary folder. Medians,
// with the load average at the start and the end.
// Plain executable: `DISPLAY=:95 build/bench/lumora_start_bench [repetitions, 10] [program]`.

#include "BenchSupport.h"

#include <QFileInfo>
#include <QImage>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTimeoutMs = 20000;
constexpr int kPauseMs = 300;  // between one program's end and the next start

struct Display {
    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    int width = 0;
    int height = 0;
    xcb_atom_t pidAtom = 0;
};

template <typename Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

pid_t WindowPid(const Display& d, xcb_window_t window) {
    Owned<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            d.conn, xcb_get_property(d.conn, 0, window, d.pidAtom, XCB_ATOM_CARDINAL, 0, 1),
            nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 4) {
        return -1;
    }
    return static_cast<pid_t>(*static_cast<const uint32_t*>(xcb_get_property_value(reply.get())));
}

bool ScreenSized(const Display& d, xcb_window_t window) {
    Owned<xcb_get_geometry_reply_t> g(
        xcb_get_geometry_reply(d.conn, xcb_get_geometry(d.conn, window), nullptr), &std::free);
    return g && g->width == d.width && g->height == d.height;
}

void End(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

enum class Run { Capture, Empty, Photo };

const char* NameOf(Run run) {
    switch (run) {
        case Run::Capture:
            return "--capture";
        case Run::Empty:
            return "empty window";
        case Run::Photo:
            return "photo";
    }
    return "";
}

// The photo's colour in its middle third, which the probe waits for.
constexpr QRgb kMiddle = 0xFF00FF;

// A 6000 x 4000 JPEG (quality 90) with the grain of a photo, so that its size and decode time are
// a camera's, and one colour over its middle third. Empty when it cannot be written.
std::string WritePhoto(const std::string& folder) {
    QImage photo(6000, 4000, QImage::Format_RGB888);
    if (photo.isNull()) {
        return {};
    }
    quint32 seed = 12345;
    for (int y = 0; y < photo.height(); ++y) {
        uchar* row = photo.scanLine(y);
        const bool middleRow = y >= photo.height() / 3 && y < photo.height() * 2 / 3;
        for (int x = 0; x < photo.width(); ++x, row += 3) {
            if (middleRow && x >= photo.width() / 3 && x < photo.width() * 2 / 3) {
                row[0] = qRed(kMiddle);
                row[1] = qGreen(kMiddle);
                row[2] = qBlue(kMiddle);
                continue;
            }
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>(seed >> 27);  // 0..31
            row[0] = static_cast<uchar>((x * 200 / photo.width()) + grain);
            row[1] = static_cast<uchar>((y * 200 / photo.height()) + grain);
            row[2] = static_cast<uchar>(((x + y) * 100 / photo.width()) + grain);
        }
    }
    const std::string path = folder + "/photo.jpg";
    return photo.save(QString::fromStdString(path), "JPEG", 90) ? path : std::string();
}

// True when the pixel at the screen's centre is the photo's middle colour (within a JPEG's error).
bool CentreShowsPhoto(const Display& d) {
    Owned<xcb_get_image_reply_t> image(
        xcb_get_image_reply(d.conn,
                            xcb_get_image(d.conn, XCB_IMAGE_FORMAT_Z_PIXMAP, d.root,
                                          static_cast<int16_t>(d.width / 2),
                                          static_cast<int16_t>(d.height / 2), 1, 1, ~0u),
                            nullptr),
        &std::free);
    if (!image || xcb_get_image_data_length(image.get()) < 3) {
        return false;
    }
    const uint8_t* bgr = xcb_get_image_data(image.get());
    return std::abs(bgr[2] - qRed(kMiddle)) < 40 && std::abs(bgr[1] - qGreen(kMiddle)) < 40 &&
           std::abs(bgr[0] - qBlue(kMiddle)) < 40;
}

// Milliseconds from the start to the first matching map (for the photo: to the first look at the
// screen's centre that finds it); negative when it never came.
double StartOnce(Display& d, const std::string& program, Run run, const std::string& photo) {
    while (xcb_generic_event_t* stale = xcb_poll_for_event(d.conn)) {
        std::free(stale);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    std::string option = "--capture";
    std::string file = photo;
    if (run == Run::Capture) {
        argv.push_back(option.data());
    } else if (run == Run::Photo) {
        argv.push_back(file.data());
    }
    argv.push_back(nullptr);
    const bool capture = run == Run::Capture;
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    std::set<xcb_window_t> mapped;  // this program's mapped windows not of the screen's size
    double shownMs = -1;
    const int fd = xcb_get_file_descriptor(d.conn);
    while (shownMs < 0) {
        const double left =
            kTimeoutMs - std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (left <= 0 || ::waitpid(pid, nullptr, WNOHANG) == pid) {
            break;
        }
        if (run == Run::Photo) {
            if (CentreShowsPhoto(d)) {
                shownMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            } else {
                ::usleep(1000);
            }
            continue;
        }
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, std::min(100, static_cast<int>(left) + 1));
        while (xcb_generic_event_t* e = xcb_poll_for_event(d.conn)) {
            const Clock::time_point now = Clock::now();
            xcb_window_t window = 0;
            bool sized = false;
            switch (e->response_type & 0x7f) {
                case XCB_MAP_NOTIFY:
                    window = reinterpret_cast<xcb_map_notify_event_t*>(e)->window;
                    break;
                case XCB_CONFIGURE_NOTIFY: {
                    const auto* c = reinterpret_cast<xcb_configure_notify_event_t*>(e);
                    if (mapped.count(c->window) != 0 && c->width == d.width &&
                        c->height == d.height) {
                        window = c->window;
                        sized = true;
                    }
                    break;
                }
                case XCB_UNMAP_NOTIFY:
                    mapped.erase(reinterpret_cast<xcb_unmap_notify_event_t*>(e)->window);
                    break;
                default:
                    break;
            }
            std::free(e);
            if (window == 0 || shownMs >= 0 || WindowPid(d, window) != pid) {
                continue;
            }
            if (!capture || sized || ScreenSized(d, window)) {
                shownMs = std::chrono::duration<double, std::milli>(now - start).count();
            } else {
                mapped.insert(window);
            }
        }
        if (xcb_connection_has_error(d.conn) != 0) {
            break;
        }
    }
    End(pid);
    return shownMs;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string loadAtStart = LoadAverage();
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string program = argc > 2 ? argv[2] : LUMORA_BENCH_PROGRAM;

    Display d;
    int screenNumber = 0;
    d.conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(d.conn) != 0) {
        std::fprintf(stderr, "lumora_start_bench: needs an X display (e.g. Xvfb)\n");
        return 2;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(d.conn));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    d.root = it.data->root;
    d.width = it.data->width_in_pixels;
    d.height = it.data->height_in_pixels;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(d.conn, d.root, XCB_CW_EVENT_MASK, &mask);
    const char* name = "_NET_WM_PID";
    Owned<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(
            d.conn, xcb_intern_atom(d.conn, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr),
        &std::free);
    if (!atom) {
        return 1;
    }
    d.pidAtom = atom->atom;
    xcb_flush(d.conn);

    // The started programs are X11 ones with settings of their own.
    char folder[] = "/tmp/lumora-start-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        return 1;
    }
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::setenv("XDG_SESSION_TYPE", "x11", 1);
    ::unsetenv("WAYLAND_DISPLAY");

    const std::string photo = WritePhoto(folder);
    if (photo.empty()) {
        std::fprintf(stderr, "lumora_start_bench: cannot write the photo\n");
        return 1;
    }
    std::printf("%s on a %d x %d screen; the photo: 6000 x 4000, %lld bytes\n", program.c_str(),
                d.width, d.height,
                static_cast<long long>(QFileInfo(QString::fromStdString(photo)).size()));
    const Run runs[] = {Run::Capture, Run::Empty, Run::Photo};
    std::map<Run, std::vector<double>> times;
    for (const Run run : runs) {
        StartOnce(d, program, run, photo);  // the warm-up
    }
    for (int i = 0; i < repetitions; ++i) {
        // Each repetition starts the three in another order.
        for (int k = 0; k < 3; ++k) {
            const Run run = runs[(i + k) % 3];
            ::usleep(kPauseMs * 1000);
            const double ms = StartOnce(d, program, run, photo);
            if (ms < 0) {
                std::fprintf(stderr, "lumora_start_bench: %s showed no window\n", NameOf(run));
                return 1;
            }
            std::printf("%-14s %8.1f ms\n", NameOf(run), ms);
            times[run].push_back(ms);
        }
    }
    std::printf("\nmedians of %d, start to shown (load average at start: %s; at end: %s)\n",
                repetitions, loadAtStart.c_str(), LoadAverage().c_str());
    for (const Run run : runs) {
        const std::vector<double>& t = times[run];
        std::printf("%-14s %8.1f ms (least %.1f)\n", NameOf(run), Median(t),
                    *std::min_element(t.begin(), t.end()));
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    xcb_disconnect(d.conn);
    return 0;
}
