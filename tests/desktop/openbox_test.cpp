// The real program on a display of its own (Xvfb) under Openbox, a window manager
// that reparents every window into a frame, driven through the X server as a user
// would: several launches in a row, each pressing "Select Extract File(s)" with
// nothing chosen, then dragging the main window by its surface, tapping it and
// flicking it. The notice must open over the main window; a drag or a flick must
// move it exactly as far as the pointer went while the button was held, and a
// tap not at all, with nothing moving it after the release.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRect>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "main_dialog.h"
#include "orvendel_app.h"
#include "resource.h"

// This process lays the main dialog out offscreen, only to learn where its
// controls lie; it holds a name of its own so that it never meets the program.
SingleInstanceGuard g_instanceGuard{"orvendel-desktop-tests-" + std::to_string(::getpid())};
COrvendelApp theApp;

void PrintTo(const QPoint& point, std::ostream* out) { *out << "(" << point.x() << ", " << point.y() << ")"; }

namespace {

// Waits until `done` holds, looking every 10 ms; false when `seconds` pass first.
bool WaitFor(const std::function<bool()>& done, int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Starts `argv` with `env` added to the environment, its output dropped.
pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keepFd = -1) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    for (const std::string& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 1024; ++fd)
        if (fd > 2 && fd != keepFd) ::close(fd);
        else if (fd <= 2) ::dup2(null, fd);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

struct Process {
    pid_t pid;
    ~Process() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
};

// An X display of its own with Openbox on it.
class Desktop {
public:
    Desktop() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_server.pid = Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                              "-nolisten", "tcp"},
                             {}, fds[1]);
        ::close(fds[1]);
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') m_name += c;
        ::close(fds[0]);
        m_name = ":" + m_name;
        m_display = XOpenDisplay(m_name.c_str());
        if (m_display == nullptr) return;
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows come and go
        m_root = DefaultRootWindow(m_display);
        m_wm.pid = Start({"openbox"}, {"DISPLAY=" + m_name});
        const Atom manager = XInternAtom(m_display, "WM_S0", False);
        m_ready = WaitFor([&] { return XGetSelectionOwner(m_display, manager) != None; }, 20);
    }
    ~Desktop() {
        if (m_display) XCloseDisplay(m_display);
    }

    bool Ready() const { return m_ready; }
    const std::string& Name() const { return m_name; }

    // The windows that the window manager shows for process `pid`, oldest first.
    std::vector<Window> WindowsOf(pid_t pid) {
        std::vector<Window> shown;
        for (long window : Property(m_root, "_NET_CLIENT_LIST")) {
            XWindowAttributes attributes;
            if (Property(window, "_NET_WM_PID") == std::vector<long>{pid} &&
                XGetWindowAttributes(m_display, window, &attributes) && attributes.map_state == IsViewable)
                shown.push_back(window);
        }
        return shown;
    }

    // Where the window's own area lies on the screen.
    QRect Place(Window window) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(m_display, window, &attributes);
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(m_display, window, m_root, 0, 0, &x, &y, &child);
        return {x, y, attributes.width, attributes.height};
    }

    void MovePointer(QPoint to) {
        XTestFakeMotionEvent(m_display, -1, to.x(), to.y(), 0);
        XFlush(m_display);
    }
    void Button(bool down) {
        XTestFakeButtonEvent(m_display, 1, down ? True : False, 0);
        XFlush(m_display);
    }

    // Waits until no client holds or freezes the pointer. A window manager that
    // takes a press before the window does (Openbox, to focus and raise it) holds
    // the pointer's later events back until it lets the press through, and the
    // server then reports them all where the pointer is by then: a move made in
    // that moment reads, to any client, as made before the release.
    bool WaitForPointerFree() {
        return WaitFor(
            [&] {
                if (XGrabPointer(m_display, m_root, False, 0, GrabModeAsync, GrabModeAsync, None, None,
                                 CurrentTime) != GrabSuccess)
                    return false;
                XUngrabPointer(m_display, CurrentTime);
                XSync(m_display, False);
                return true;
            },
            5);
    }

    // Asks the window to close, as a title bar's close box does.
    void Close(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XFlush(m_display);
    }

private:
    // A property of 32-bit items (window ids, numbers).
    std::vector<long> Property(Window window, const char* name) {
        Atom type;
        int format;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<long> items;
        if (XGetWindowProperty(m_display, window, XInternAtom(m_display, name, False), 0, 4096, False,
                               AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
            data && format == 32)
            items.assign(reinterpret_cast<const long*>(data), reinterpret_cast<const long*>(data) + count);
        if (data) XFree(data);
        return items;
    }

    Process m_server{-1};  // destroyed last
    Process m_wm{-1};
    std::string m_name;
    Display* m_display = nullptr;
    Window m_root = 0;
    bool m_ready = false;
};

// Where the main dialog's Select Extract button and a point of its own surface,
// clear of every control, lie within it, and its size.
struct Layout {
    QSize size;
    QPoint selectExtract;
    QPoint surface;
};

Layout MainDialogLayout() {
    static int argc = 1;
    static char name[] = "desktop_openbox_tests";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    COrvendelDlg dlg;
    dlg.Create();
    Layout layout{dlg.size(), dlg.Item(IDC_SELECT_EXTRACT)->geometry().center(), {}};
    for (int y = dlg.height() - 12; y > dlg.height() / 2 && layout.surface.isNull(); y -= 4) {
        for (int x = 12; x < dlg.width() / 2 && layout.surface.isNull(); x += 4) {
            bool clear = true;
            for (int d = 0; d < 9 && clear; ++d)
                clear = dlg.childAt(x + 4 * (d % 3 - 1), y + 4 * (d / 3 - 1)) == nullptr;
            if (clear) layout.surface = {x, y};
        }
    }
    return layout;
}

}  // namespace

TEST(Openbox, EveryLaunchPutsTheNoticeOverTheMainWindowAndMovesItOnlyWhileTheButtonIsHeld) {
    const Layout layout = MainDialogLayout();
    ASSERT_FALSE(layout.surface.isNull()) << "no free point on the main dialog to drag it by";
    Desktop desktop;
    ASSERT_TRUE(desktop.Ready()) << "Xvfb with Openbox did not start (scripts/install-deps installs them)";

    for (int launch = 1; launch <= 3; ++launch) {
        SCOPED_TRACE("launch " + std::to_string(launch));
        Process program{Start({ORVENDEL_PROGRAM}, {"DISPLAY=" + desktop.Name(), "QT_QPA_PLATFORM=xcb"})};
        std::vector<Window> shown;
        ASSERT_TRUE(WaitFor([&] { return (shown = desktop.WindowsOf(program.pid)).size() == 1; }, 30))
            << "the main window did not appear";
        const Window main = shown[0];
        const QRect before = desktop.Place(main);
        ASSERT_EQ(before.size(), layout.size)
            << "the first window is not the main window laid out as offscreen (is the program running already?)";

        // "Select Extract File(s)" with no file chosen, the main window standing at
        // `at`: a notice over the main window, closed again. The notice shows that
        // the program and the window manager have handled every earlier pointer
        // event; the main window leaving `at` ends the wait at once.
        const auto noticeOver = [&](QPoint at) {
            desktop.MovePointer(at + layout.selectExtract);
            desktop.Button(true);
            desktop.Button(false);
            const bool appeared = WaitFor(
                [&] {
                    return (shown = desktop.WindowsOf(program.pid)).size() == 2 ||
                           desktop.Place(main).topLeft() != at;
                },
                20);
            if (!appeared || shown.size() != 2) return false;
            const Window notice = shown[0] == main ? shown[1] : shown[0];
            // Centred, but for the room the toolkit keeps for a title bar above the
            // box (up to 40 px) and the frame's side (up to 10 px), before and after
            // the window manager frames it.
            const QPoint off = desktop.Place(notice).center() - desktop.Place(main).center();
            EXPECT_TRUE(std::abs(off.x()) <= 20 && std::abs(off.y()) <= 50)
                << "the notice's centre lies " << off.x() << ", " << off.y() << " px from the main window's";
            desktop.Close(notice);
            return WaitFor([&] { return desktop.WindowsOf(program.pid).size() == 1; }, 20);
        };
        ASSERT_TRUE(noticeOver(before.topLeft())) << "no notice appeared, or it stayed";

        // A drag by a point of the window's own surface, 50 by 25 px, held until
        // the window has followed.
        QPoint at = before.topLeft();
        const QPoint by(50, 25);
        desktop.MovePointer(at + layout.surface);
        desktop.Button(true);
        desktop.MovePointer(at + layout.surface + by / 2);
        const bool moving = WaitFor([&] { return desktop.Place(main).topLeft() != at; }, 20);
        desktop.MovePointer(at + layout.surface + by);
        WaitFor([&] { return desktop.Place(main).topLeft() == at + by; }, 5);
        desktop.Button(false);
        ASSERT_TRUE(moving) << "the window did not follow the pointer";
        EXPECT_EQ(desktop.Place(main).topLeft() - at, by);
        at += by;

        // A tap (press and release at once, as a touchpad sends them), then a flick
        // (press, 10 by 5 px, release, all at once), each followed, once the pointer
        // is free again, by a bare move of the pointer: the tap leaves the window in
        // place, the flick moves it 10 by 5, and neither leaves it following the
        // pointer.
        for (const QPoint flick : {QPoint(0, 0), QPoint(10, 5)}) {
            SCOPED_TRACE(flick.isNull() ? "tap" : "flick");
            desktop.MovePointer(at + layout.surface);
            desktop.Button(true);
            if (!flick.isNull()) desktop.MovePointer(at + layout.surface + flick);
            desktop.Button(false);
            EXPECT_TRUE(desktop.WaitForPointerFree()) << "the pointer stayed held after the release";
            desktop.MovePointer(at + layout.surface + flick + QPoint(100, 60));
            at += flick;
            EXPECT_TRUE(noticeOver(at)) << "the window moved after the release, or no notice appeared";
            EXPECT_EQ(desktop.Place(main).topLeft(), at);
            at = desktop.Place(main).topLeft();
        }
    }
}
