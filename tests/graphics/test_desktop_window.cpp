// The graphics window on a real X display (a virtual one, Xvfb): a whole
// run in window mode shows the viewer in a window, clicks sent through the
// X server delete an atom and quit, the window shows the picture in memory
// pixel for pixel, and closing the window answers the end screen as Quit.
// A scripted run on the same display shows no window, and a run whose
// display goes away ends by itself.
// Skipped, with a message, where Xvfb or the X11 and XTest headers are not
// installed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/bitmap.h"
#include "platform/surface.h"
#include "tests/support/test_support.h"

#if ZANEK_TEST_XTEST
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#endif

namespace zanek::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#if ZANEK_TEST_XTEST

std::string program_on_path(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        const std::string candidate = dirs.substr(at, end - at) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        at = end + 1;
    }
    return std::string();
}

// Polls until done() or the time is up; true when done.
bool eventually(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto until = Clock::now() + limit;
    while (Clock::now() < until) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

// A child process, ended when the test leaves.
class Child {
public:
    ~Child() { stop(); }
    void start(const std::function<void()>& in_child) {
        pid_ = ::fork();
        if (pid_ == 0) {
            in_child();
            ::_exit(127);
        }
    }
    // The exit status once the child has ended by itself, else nothing.
    std::optional<int> finished() {
        if (pid_ <= 0) return status_;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = 0;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return status_;
    }
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
    std::optional<int> status_;
};


// Xvfb on a display number it chooses itself among the free ones.
class VirtualDisplay {
public:
    bool start(const std::string& xvfb) {
        int fds[2];
        if (::pipe(fds) != 0) return false;
        server_.start([&] {
            ::close(fds[0]);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            const std::string fd = std::to_string(fds[1]);
            ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
                    static_cast<char*>(nullptr));
        });
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (::poll(&p, 1, 20000) > 0) {
            char c = 0;
            if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        ::close(fds[0]);
        if (number.empty()) return false;
        name_ = ":" + number;
        dpy_ = XOpenDisplay(name_.c_str());
        return dpy_ != nullptr;
    }
    ~VirtualDisplay() { end(); }
    // The X server goes away.
    void end() {
        if (dpy_) XCloseDisplay(dpy_);
        dpy_ = nullptr;
        server_.stop();
    }
    const std::string& name() const { return name_; }
    Display* dpy() const { return dpy_; }

private:
    Child server_;
    std::string name_;
    Display* dpy_ = nullptr;
};

// The program's window: found by its title among the top-level windows.
Window find_window(Display* dpy, const std::string& title) {
    Window root = DefaultRootWindow(dpy), parent = 0, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(dpy, root, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; ++i) {
            char* name = nullptr;
            XWindowAttributes a{};
            if (XFetchName(dpy, children[i], &name) && name) {
                if (title == name && XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable)
                    found = children[i];
                XFree(name);
            }
        }
        if (children) XFree(children);
    }
    return found;
}

// The window's pixels as palette indexes, rows top first; -1 for a colour
// that is none of the palette's.
struct Shot {
    int width = 0, height = 0;
    std::vector<int> index;
    int at(int x, int y) const { return index[static_cast<std::size_t>(y) * width + x]; }
};

Shot screenshot(Display* dpy, Window win, int width, int height) {
    Shot s;
    XImage* image = XGetImage(dpy, win, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                              ZPixmap);
    if (!image) return s;
    s.width = width;
    s.height = height;
    s.index.assign(static_cast<std::size_t>(width) * height, -1);
    const auto& pal = palette16();
    // Xvfb's 24-bit TrueColor: 8 bits a component, red highest.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            const unsigned r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            for (int k = 0; k < 16; ++k)
                if (pal[k].r == r && pal[k].g == g && pal[k].b == b) s.index[static_cast<std::size_t>(y) * width + x] = k;
        }
    XDestroyImage(image);
    return s;
}

void click(Display* dpy, Window win, int x, int y) {
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, win, DefaultRootWindow(dpy), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);
}

// What a window manager sends when the user closes a window.
void ask_to_close(Display* dpy, Window win) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = win;
    e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, win, False, NoEventMask, &e);
    XSync(dpy, False);
}


// The atoms of an exported SHELX file: the lines between FVAR and HKLF.
int exported_atoms(const std::string& path) {
    int n = 0;
    bool atoms = false;
    for (const std::string& line : split_lines(read_file(path))) {
        if (line.rfind("HKLF", 0) == 0) break;
        if (atoms && line.find_first_not_of(' ') != std::string::npos) ++n;
        if (line.rfind("FVAR", 0) == 0) atoms = true;
    }
    return n;
}

// Runs the program in dir, its console output to console.out; with a
// display name the run has that display, else none; with an events file
// the clicks come from it.
void start_zanek(Child& child, const std::string& dir, const std::string& display, const std::string& events = "") {
    child.start([&] {
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        const int in = ::open("/dev/null", O_RDONLY), out = ::open("console.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        if (events.empty()) ::unsetenv("ZANEK_EVENTS");
        else ::setenv("ZANEK_EVENTS", events.c_str(), 1);
        if (display.empty()) ::unsetenv("DISPLAY");
        else ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("ZANEK_CLOCK", kFixedClock, 1);
        ::setenv("CRYSDIR", (source_dir() + "/data/").c_str(), 1);
        ::execl(ZANEK_EXE, "zanek", "job.cmd", "job.lis", static_cast<char*>(nullptr));
    });
}

#endif

TEST(DesktopWindow, RealClicksDeleteAnAtomAndTheWindowShowsThePictureInMemory) {
#if !ZANEK_TEST_XTEST
    GTEST_SKIP() << "built without the X11 and XTest headers (Debian: libx11-dev, libxtst-dev): "
                    "the desktop window is not tested";
#else
    const std::string xvfb = program_on_path("Xvfb");
    if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed (Debian: xvfb): the desktop window is not tested";
    VirtualDisplay x;
    ASSERT_TRUE(x.start(xvfb)) << "Xvfb did not start";
    Display* dpy = x.dpy();

    // A scripted run on the same display: the script wins, no window is
    // shown, every wait finds no more clicks and answers Quit, and the run
    // ends by itself exporting every atom.
    const std::string scripted_dir = job_copy("desktop_scripted", "rand_pbar1_c14o2", true);
    write_file(scripted_dir + "/events", "# no clicks\n");
    Child scripted;
    start_zanek(scripted, scripted_dir, x.name(), "events");
    bool window_seen = false;
    ASSERT_TRUE(eventually([&] {
        window_seen = window_seen || find_window(dpy, "ZANEK graphics window") != 0;
        return scripted.finished().has_value();
    })) << "the scripted run did not end by itself";
    EXPECT_FALSE(window_seen);
    EXPECT_EQ(*scripted.finished(), 0);

    const std::string dir = job_copy("desktop_window", "rand_pbar1_c14o2", true);
    Child run;
    start_zanek(run, dir, x.name());
    const auto give_up = [&](const char* what) {
        run.stop();
        return std::string(what) + "\n" + read_file(dir + "/console.out");
    };

    // The viewer: its main menu shown (the "Delete" button's face, cyan)
    // and a model drawn in style 2, whose atoms carry a white highlight
    // one pixel right of and two above their centre.
    Window win = 0;
    Shot shot;
    int atom_x = -1, atom_y = -1;
    const bool viewer = eventually([&] {
        if (run.finished()) return true;
        if (!win) win = find_window(dpy, "ZANEK graphics window");
        if (!win) return false;
        shot = screenshot(dpy, win, 640, 480);
        if (shot.index.empty() || shot.at(70, 310) != 3) return false;
        for (int y = 30; y < 440 && atom_x < 0; ++y)
            for (int x = 90; x < 630 && atom_x < 0; ++x)
                if (shot.at(x, y) == 15 && shot.at(x - 1, y + 2) > 0 && shot.at(x - 1, y + 2) != 15) atom_x = x - 1, atom_y = y + 2;
        return atom_x >= 0;
    });
    ASSERT_TRUE(viewer && win && atom_x >= 0) << give_up("no viewer in the window");

    // "Delete", the atom, "Done"; a click on the title strip saves the
    // picture in memory as hcopy.bmp.
    click(dpy, win, 40, 310);
    click(dpy, win, atom_x, atom_y);
    click(dpy, win, 445, 470);
    click(dpy, win, 200, 10);
    std::optional<Bitmap> picture;
    ASSERT_TRUE(eventually([&] {
        picture = read_bmp(dir + "/hcopy.bmp");
        return picture && picture->width == 640 && picture->height == 480;
    })) << give_up("no hard copy of the picture");

    // The window shows that picture, pixel for pixel, once it waits again.
    int differ = 0;
    const bool same = eventually([&] {
        shot = screenshot(dpy, win, 640, 480);
        differ = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) differ += shot.at(x, y) != picture->at(x, y);
        return differ == 0;
    }, std::chrono::seconds(10));
    EXPECT_TRUE(same) << differ << " pixels of the window differ from the picture in memory";

    // Quit the viewer; on the end screen (the "Delete" button gone) the
    // window is closed as a window manager would close it: that is Quit.
    click(dpy, win, 40, 10);
    ASSERT_TRUE(eventually([&] {
        shot = screenshot(dpy, win, 640, 480);
        return run.finished() || (!shot.index.empty() && shot.at(70, 310) == 0 && shot.at(70, 10) == 3);
    })) << give_up("no end screen");
    ask_to_close(dpy, win);

    ASSERT_TRUE(eventually([&] { return run.finished().has_value(); })) << give_up("the run did not end");
    EXPECT_EQ(*run.finished(), 0) << read_file(dir + "/console.out");
    const std::string listing = read_file(dir + "/job.lis");
    EXPECT_NE(listing.find(" The following Atom(s) has been deleted :"), std::string::npos);
    EXPECT_NE(listing.find("== ZANEK ends ok"), std::string::npos);
    const int all_atoms = exported_atoms(scripted_dir + "/rand_pbar1_c14o2.ins");
    EXPECT_GT(all_atoms, 1);
    EXPECT_EQ(exported_atoms(dir + "/rand_pbar1_c14o2.ins"), all_atoms - 1);

    // A display that goes away while the viewer waits is a window closed:
    // the run ends by itself, its listing complete.
    const std::string lost_dir = job_copy("desktop_lost", "rand_pbar1_c14o2", true);
    Child lost;
    start_zanek(lost, lost_dir, x.name());
    ASSERT_TRUE(eventually([&] {
        const Window w = find_window(dpy, "ZANEK graphics window");
        return lost.finished() || (w && screenshot(dpy, w, 640, 480).at(70, 310) == 3);
    })) << "no viewer in the window";
    x.end();
    ASSERT_TRUE(eventually([&] { return lost.finished().has_value(); })) << "the run did not end without its display";
    EXPECT_EQ(*lost.finished(), 0) << read_file(lost_dir + "/console.out");
    EXPECT_NE(read_file(lost_dir + "/job.lis").find("== ZANEK ends ok"), std::string::npos);
#endif
}

}  // namespace
}  // namespace zanek::test
