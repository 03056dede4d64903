// The real program on a real X display (Xvfb) under Openbox, a window manager
// that reparents every window into a frame of its own, driven as a user would:
// several launches in a row, each pressing "Select Extract File(s)" with nothing
// chosen and dragging the main window. On each, the notice must open over the
// main window and the drag must move it exactly as far as the pointer went.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPoint>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "main_dialog.h"
#include "orvendel_app.h"
#include "product.h"
#include "resource.h"

// This process builds the main dialog offscreen, only to learn where its
// controls lie; it holds a name of its own so that it never meets the program.
SingleInstanceGuard g_instanceGuard{"orvendel-desktop-tests-" + std::to_string(::getpid())};
COrvendelApp theApp;

void PrintTo(const QPoint& point, std::ostream* out) { *out << "(" << point.x() << ", " << point.y() << ")"; }

namespace {

using Clock = std::chrono::steady_clock;

// Waits until `done` holds, looking every 10 ms; false when `seconds` pass first.
bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (!done()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Starts `argv` with `env` added to this process's environment; -1 on failure.
pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keepFd = -1) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    for (const std::string& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) ::close(fd);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

void Stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }  // windows come and go

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    QPoint Centre() const { return {x + width / 2, y + height / 2}; }
    QPoint TopLeft() const { return {x, y}; }
};

// An X display of its own with Openbox on it.
class Desktop {
public:
    Desktop() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_server = Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "-nolisten",
                          "tcp"},
                         {}, fds[1]);
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (number.empty()) return;
        m_name = ":" + number;
        m_display = XOpenDisplay(m_name.c_str());
        if (m_display == nullptr) return;
        XSetErrorHandler(IgnoreXErrors);
        m_root = DefaultRootWindow(m_display);
        // Selected so that the window manager's move requests reach us too.
        XSelectInput(m_display, m_root, SubstructureNotifyMask);
        m_wm = Start({"openbox"}, {"DISPLAY=" + m_name});
        const Atom wmSelection = XInternAtom(m_display, "WM_S0", False);
        m_ready = WaitFor([&] { return XGetSelectionOwner(m_display, wmSelection) != None; }, 20);
    }
    ~Desktop() {
        Stop(m_wm);
        if (m_display) XCloseDisplay(m_display);
        Stop(m_server);
    }

    bool Ready() const { return m_ready; }
    const std::string& Name() const { return m_name; }

    // The top-level windows the window manager shows for process `pid`, oldest first.
    std::vector<Window> WindowsOf(pid_t pid) {
        std::vector<Window> found;
        for (Window window : WindowList("_NET_CLIENT_LIST")) {
            XWindowAttributes attributes;
            if (Cardinal(window, "_NET_WM_PID") == static_cast<long>(pid) &&
                XGetWindowAttributes(m_display, window, &attributes) && attributes.map_state == IsViewable)
                found.push_back(window);
        }
        return found;
    }

    // Where the window's client area lies on the screen.
    Rect Place(Window window) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(m_display, window, &attributes);
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(m_display, window, m_root, 0, 0, &x, &y, &child);
        return {x, y, attributes.width, attributes.height};
    }

    std::string Title(Window window) {
        XTextProperty text{};
        std::string title;
        if (XGetWMName(m_display, window, &text) && text.value) title.assign(reinterpret_cast<char*>(text.value));
        if (text.value) XFree(text.value);
        return title;
    }

    void MovePointer(QPoint to) {
        XTestFakeMotionEvent(m_display, -1, to.x(), to.y(), 0);
        XFlush(m_display);
    }
    void Button(bool down) {
        XTestFakeButtonEvent(m_display, 1, down ? True : False, 0);
        XFlush(m_display);
    }
    void Click(QPoint at) {
        MovePointer(at);
        Button(true);
        Button(false);
    }

    // Asks the window to close, as its title bar's close box would.
    void Close(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XFlush(m_display);
    }

    // Forgets the move requests seen so far.
    void ForgetMoveRequests() {
        MoveRequested();
        m_moveRequests = 0;
    }
    // Whether a window asked the window manager to move it along with the
    // pointer (a request to cancel a move does not count).
    bool MoveRequested() {
        constexpr long kMoveByPointer = 8;
        const Atom moveResize = XInternAtom(m_display, "_NET_WM_MOVERESIZE", False);
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == ClientMessage && event.xclient.message_type == moveResize &&
                event.xclient.data.l[2] == kMoveByPointer)
                ++m_moveRequests;
        }
        return m_moveRequests > 0;
    }

private:
    std::vector<Window> WindowList(const char* property) {
        std::vector<Window> windows;
        Atom type;
        int format;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, m_root, XInternAtom(m_display, property, False), 0, 4096, False, XA_WINDOW,
                               &type, &format, &count, &after, &data) == Success &&
            data && format == 32) {
            const auto* list = reinterpret_cast<const Window*>(data);
            windows.assign(list, list + count);
        }
        if (data) XFree(data);
        return windows;
    }

    long Cardinal(Window window, const char* property) {
        Atom type;
        int format;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        long value = -1;
        if (XGetWindowProperty(m_display, window, XInternAtom(m_display, property, False), 0, 1, False, XA_CARDINAL,
                               &type, &format, &count, &after, &data) == Success &&
            data && count == 1)
            value = *reinterpret_cast<const long*>(data);
        if (data) XFree(data);
        return value;
    }

    pid_t m_server = -1;
    pid_t m_wm = -1;
    std::string m_name;
    Display* m_display = nullptr;
    Window m_root = 0;
    bool m_ready = false;
    int m_moveRequests = 0;
};

// Where the main dialog's controls lie, from the dialog built offscreen.
struct Layout {
    QPoint size;
    QPoint selectExtract;  // the button's centre
    QPoint surface;        // a point of the dialog's own surface, on no control
};

Layout MainDialogLayout() {
    static int argc = 1;
    static char name[] = "openbox_tests";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    COrvendelDlg dlg;
    dlg.Create();
    Layout layout;
    layout.size = {dlg.width(), dlg.height()};
    layout.selectExtract = dlg.Item(IDC_SELECT_EXTRACT)->geometry().center();
    // Low on the left, clear of every control by a few pixels.
    for (int y = dlg.height() - 12; y > dlg.height() / 2 && layout.surface.isNull(); y -= 4) {
        for (int x = 12; x < dlg.width() / 2; x += 4) {
            bool clear = true;
            for (int dy = -4; dy <= 4 && clear; dy += 4)
                for (int dx = -4; dx <= 4 && clear; dx += 4) clear = dlg.childAt(x + dx, y + dy) == nullptr;
            if (clear) {
                layout.surface = {x, y};
                break;
            }
        }
    }
    return layout;
}

}  // namespace

TEST(Openbox, EveryLaunchPutsTheNoticeOverTheMainWindowAndDragsItAsFarAsThePointer) {
    const Layout layout = MainDialogLayout();
    ASSERT_FALSE(layout.surface.isNull()) << "no free point on the main dialog to drag it by";
    Desktop desktop;
    ASSERT_TRUE(desktop.Ready()) << "Xvfb with Openbox did not start (scripts/install-deps installs them)";

    for (int launch = 1; launch <= 3; ++launch) {
        SCOPED_TRACE("launch " + std::to_string(launch));
        pid_t program = Start({ORVENDEL_PROGRAM}, {"DISPLAY=" + desktop.Name(), "QT_QPA_PLATFORM=xcb"});
        ASSERT_GT(program, 0);
        struct Ender {
            pid_t& pid;
            ~Ender() { Stop(pid); }
        } ender{program};

        Window main = 0;
        ASSERT_TRUE(WaitFor(
            [&] {
                const std::vector<Window> shown = desktop.WindowsOf(program);
                if (shown.size() == 1) main = shown[0];
                return main != 0;
            },
            30))
            << "the main window did not appear";
        const Rect before = desktop.Place(main);
        ASSERT_EQ(QPoint(before.width, before.height), layout.size)
            << "the first window is not the main window laid out as offscreen (is the program running already?)";
        EXPECT_EQ(desktop.Title(main), kProductTitle);

        // "Select Extract File(s)" with no file chosen: a notice over the main window.
        desktop.Click(before.TopLeft() + layout.selectExtract);
        Window notice = 0;
        ASSERT_TRUE(WaitFor(
            [&] {
                for (Window window : desktop.WindowsOf(program))
                    if (window != main) notice = window;
                return notice != 0;
            },
            20))
            << "no notice appeared";
        EXPECT_EQ(desktop.Title(notice), kProductTitle);
        const QPoint off = desktop.Place(notice).Centre() - before.Centre();
        // The toolkit leaves room for a frame above the box; nothing more.
        EXPECT_LE(std::abs(off.x()), 40) << "the notice's centre lies " << off.x() << ", " << off.y() << " px off";
        EXPECT_LE(std::abs(off.y()), 40) << "the notice's centre lies " << off.x() << ", " << off.y() << " px off";
        desktop.Close(notice);
        ASSERT_TRUE(WaitFor([&] { return desktop.WindowsOf(program).size() == 1; }, 20)) << "the notice stayed";

        // A drag by a point of the window's surface, 50 by 25 px.
        const QPoint from = before.TopLeft() + layout.surface;
        const QPoint to = from + QPoint(50, 25);
        desktop.ForgetMoveRequests();
        desktop.MovePointer(from);
        desktop.Button(true);
        ASSERT_TRUE(WaitFor([&] { return desktop.MoveRequested(); }, 20)) << "the press started no move";
        // The window manager moves the window from its first pointer motion on.
        int step = 0;
        const bool moving = WaitFor(
            [&] {
                ++step;
                desktop.MovePointer(from + QPoint(10 * std::min(step, 4), 5 * std::min(step, 4)) + QPoint(step % 2, 0));
                return desktop.Place(main).TopLeft() != before.TopLeft();
            },
            20);
        desktop.MovePointer(to);
        WaitFor([&] { return desktop.Place(main).TopLeft() == before.TopLeft() + (to - from); }, 5);
        desktop.Button(false);
        ASSERT_TRUE(moving) << "the window did not follow the pointer";
        const QPoint moved = desktop.Place(main).TopLeft() - before.TopLeft();
        EXPECT_EQ(moved, to - from) << "the drag moved the window by " << moved.x() << ", " << moved.y();
    }
}
