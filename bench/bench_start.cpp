// How long `lumora --capture` takes from being started to its window being shown, beside plain
// `lumora` (an empty window), on the X display in DISPLAY (e.g. Xvfb with one 1920 x 1080 screen
// and no window manager). Shown means mapped: the time runs from just before the program is
// started to the X server's notice that a top-level window of that process (its _NET_WM_PID) was
// mapped, and for the capture also has the screen's size. The notices are waited for, not polled,
// so this program adds no load while the other starts. Each repetition starts both back to back,
// alternating which comes first, after one unrecorded warm-up of each; every started program is
// ended (SIGTERM) before the next starts. The settings are kept in a temporary folder. Medians,
// with the load average at the start and the end.
// Plain executable: `DISPLAY=:95 build/bench/lumora_start_bench [repetitions, 10] [program]`.

#include "BenchSupport.h"

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

// Milliseconds from the start to the first matching map; negative when it never came.
double StartOnce(Display& d, const std::string& program, bool capture) {
    while (xcb_generic_event_t* stale = xcb_poll_for_event(d.conn)) {
        std::free(stale);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    std::string option = "--capture";
    if (capture) {
        argv.push_back(option.data());
    }
    argv.push_back(nullptr);
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

    std::printf("%s on a %d x %d screen\n", program.c_str(), d.width, d.height);
    StartOnce(d, program, true);
    StartOnce(d, program, false);
    std::vector<double> capture;
    std::vector<double> plain;
    for (int i = 0; i < repetitions; ++i) {
        for (int half = 0; half < 2; ++half) {
            const bool isCapture = (half == 0) == (i % 2 == 0);
            ::usleep(kPauseMs * 1000);
            const double ms = StartOnce(d, program, isCapture);
            if (ms < 0) {
                std::fprintf(stderr, "lumora_start_bench: %s showed no window\n",
                             isCapture ? "--capture" : "the empty window");
                return 1;
            }
            std::printf("%-14s %8.1f ms\n", isCapture ? "--capture" : "empty window", ms);
            (isCapture ? capture : plain).push_back(ms);
        }
    }
    std::printf("\nmedians of %d, start to shown (load average at start: %s; at end: %s)\n",
                repetitions, loadAtStart.c_str(), LoadAverage().c_str());
    std::printf("--capture      %8.1f ms (least %.1f)\n", Median(capture),
                *std::min_element(capture.begin(), capture.end()));
    std::printf("empty window   %8.1f ms (least %.1f)\n", Median(plain),
                *std::min_element(plain.begin(), plain.end()));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    xcb_disconnect(d.conn);
    return 0;
}
