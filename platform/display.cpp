#include "platform/display.h"

#if ZANEK_HAVE_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <deque>
#endif

namespace zanek::display {

#if ZANEK_HAVE_X11

namespace {

// A frame's time: the window is brought up to date at most this often
// while the program draws.
constexpr std::chrono::milliseconds kFrame(40);

bool display_named() {
    const char* name = std::getenv("DISPLAY");
    return name != nullptr && *name != '\0';
}

// Errors of single requests (a refused colour, a window already gone) are
// not fatal to the run: the window simply shows less.
int ignore_error(Display*, XErrorEvent*) { return 0; }

class XWindow;
void connection_lost(Display*, void* window);
// The lost connection is handled by connection_lost; nothing more to do.
int io_error(Display*) { return 0; }

class XWindow {
public:
    bool open() {
        if (tried_) return dpy_ != nullptr;
        tried_ = true;
        if (!display_named()) return false;
        dpy_ = XOpenDisplay(nullptr);
        if (!dpy_) return false;
        XSetErrorHandler(ignore_error);
#if ZANEK_HAVE_X11_EXIT_HANDLER
        // A display that goes away (the X server ends) is a window closed:
        // the run goes on without it instead of ending at once.
        XSetIOErrorHandler(io_error);
        XSetIOErrorExitHandler(dpy_, connection_lost, this);
        // A write to the vanished server then fails instead of ending the
        // program by a signal.
        std::signal(SIGPIPE, SIG_IGN);
#endif
        screen_ = DefaultScreen(dpy_);
        allocate_palette();
        return true;
    }

    void show(const Surface& s, int width, int height, const std::string& title) {
        if (!open() || closed_) return;
        if (win_ == 0) create(width, height, title);
        else if (width != width_ || height != height_) resize(width, height);
        put(s);
    }

    void show_now_and_then(const Surface& s) {
        if (win_ == 0 || closed_ || s.revision() == shown_revision_) return;
        if (std::chrono::steady_clock::now() - shown_at_ < kFrame) return;
        put(s);
    }

    std::optional<std::pair<int, int>> wait_click(const Surface& s) {
        if (win_ == 0 || closed_) return std::nullopt;
        put(s);
        while (clicks_.empty() && !closed_) take_events(true);
        if (closed_) return std::nullopt;
        const auto c = clicks_.front();
        clicks_.pop_front();
        return c;
    }

    bool closed() const { return closed_; }
    // The connection to the display is lost: nothing may use it again.
    void lost() {
        closed_ = true;
        clicks_.clear();
    }

private:
    void allocate_palette() {
        const Colormap map = DefaultColormap(dpy_, screen_);
        const auto& pal = palette16();
        for (int i = 0; i < 16; ++i) {
            XColor c{};
            c.red = static_cast<unsigned short>(pal[i].r * 257);
            c.green = static_cast<unsigned short>(pal[i].g * 257);
            c.blue = static_cast<unsigned short>(pal[i].b * 257);
            c.flags = DoRed | DoGreen | DoBlue;
            pixel_[i] = XAllocColor(dpy_, map, &c) ? c.pixel : (i == 0 ? BlackPixel(dpy_, screen_) : WhitePixel(dpy_, screen_));
        }
    }

    void create(int width, int height, const std::string& title) {
        width_ = width;
        height_ = height;
        const Window root = RootWindow(dpy_, screen_);
        win_ = XCreateSimpleWindow(dpy_, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                   pixel_[0], pixel_[0]);
        XStoreName(dpy_, win_, title.c_str());
        XClassHint cls{const_cast<char*>("zanek"), const_cast<char*>("Zanek")};
        XSetClassHint(dpy_, win_, &cls);
        fix_size();
        wm_delete_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(dpy_, win_, &wm_delete_, 1);
        XSelectInput(dpy_, win_, ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
        gc_ = XCreateGC(dpy_, win_, 0, nullptr);
        make_backing();
        XMapWindow(dpy_, win_);
        XFlush(dpy_);
    }

    // The window cannot be resized by the user: the picture has one size.
    void fix_size() {
        XSizeHints* hints = XAllocSizeHints();
        if (!hints) return;
        hints->flags = PPosition | PMinSize | PMaxSize;
        hints->x = hints->y = 0;
        hints->min_width = hints->max_width = width_;
        hints->min_height = hints->max_height = height_;
        XSetWMNormalHints(dpy_, win_, hints);
        XFree(hints);
    }

    void resize(int width, int height) {
        width_ = width;
        height_ = height;
        fix_size();
        XResizeWindow(dpy_, win_, static_cast<unsigned>(width), static_cast<unsigned>(height));
        make_backing();
    }

    // The server-side copy of the picture, set as the window's background.
    void make_backing() {
        if (backing_) XFreePixmap(dpy_, backing_);
        if (image_) XDestroyImage(image_);  // frees its pixel buffer too
        const int depth = DefaultDepth(dpy_, screen_);
        backing_ = XCreatePixmap(dpy_, win_, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                                 static_cast<unsigned>(depth));
        image_ = XCreateImage(dpy_, DefaultVisual(dpy_, screen_), static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                              static_cast<unsigned>(width_), static_cast<unsigned>(height_), 32, 0);
        if (image_) {
            image_->data = static_cast<char*>(std::calloc(static_cast<std::size_t>(image_->bytes_per_line), height_));
            if (!image_->data) {
                XDestroyImage(image_);
                image_ = nullptr;
            }
        }
        XSetWindowBackgroundPixmap(dpy_, win_, backing_);
        shown_revision_ = ~0ull;
    }

    // Copies the picture into the backing pixmap and lets the server repaint.
    void put(const Surface& s) {
        if (!image_ || closed_ || s.revision() == shown_revision_) return;
        const bool fast = image_->bits_per_pixel == 32 && image_->byte_order == LSBFirst;
        for (int y = 0; y < height_; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(image_->data + static_cast<std::size_t>(y) * image_->bytes_per_line);
            for (int x = 0; x < width_; ++x) {
                const int v = s.get(x, y);
                const unsigned long p = pixel_[v < 0 ? 0 : v];
                if (fast) row[x] = static_cast<uint32_t>(p);
                else XPutPixel(image_, x, y, p);
            }
        }
        XPutImage(dpy_, backing_, gc_, image_, 0, 0, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
        XClearWindow(dpy_, win_);
        XFlush(dpy_);
        take_events(false);
        shown_revision_ = s.revision();
        shown_at_ = std::chrono::steady_clock::now();
    }

    // Reads the events the server has sent: left-button releases become
    // clicks, a request to close the window ends it. With block, waits for
    // at least one event. The wait is a poll of the connection rather than
    // Xlib's blocking read, which cannot survive a lost connection.
    void take_events(bool block) {
        if (block) {
            while (!closed_ && XPending(dpy_) == 0) {
                pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
                ::poll(&p, 1, 1000);
            }
        }
        while (!closed_ && XPending(dpy_) > 0) {
            XEvent e;
            XNextEvent(dpy_, &e);
            if (e.type == ButtonRelease && e.xbutton.button == Button1 && e.xbutton.window == win_) {
                clicks_.emplace_back(e.xbutton.x, e.xbutton.y);
            } else if (e.type == ClientMessage && static_cast<Atom>(e.xclient.data.l[0]) == wm_delete_) {
                close_window();
            } else if (e.type == DestroyNotify && e.xdestroywindow.window == win_) {
                closed_ = true;
            }
        }
    }

    void close_window() {
        closed_ = true;
        clicks_.clear();
        XDestroyWindow(dpy_, win_);
        XFlush(dpy_);
    }

    bool tried_ = false;
    Display* dpy_ = nullptr;
    int screen_ = 0;
    Window win_ = 0;
    Pixmap backing_ = 0;
    GC gc_ = nullptr;
    XImage* image_ = nullptr;
    Atom wm_delete_ = 0;
    unsigned long pixel_[16] = {};
    int width_ = 0, height_ = 0;
    bool closed_ = false;
    std::deque<std::pair<int, int>> clicks_;
    unsigned long long shown_revision_ = ~0ull;
    std::chrono::steady_clock::time_point shown_at_{};
};

XWindow& window() {
    static XWindow w;
    return w;
}

void connection_lost(Display*, void* window) { static_cast<XWindow*>(window)->lost(); }

}  // namespace

bool built_in() { return true; }
bool available() { return window().open(); }
void show(const Surface& picture, int width, int height, const std::string& title) {
    window().show(picture, width, height, title);
}
void show_now_and_then(const Surface& picture) { window().show_now_and_then(picture); }
std::optional<std::pair<int, int>> wait_click(const Surface& picture) { return window().wait_click(picture); }
bool closed() { return window().closed(); }

#else  // built without the X11 headers: no window

bool built_in() { return false; }
bool available() { return false; }
void show(const Surface&, int, int, const std::string&) {}
void show_now_and_then(const Surface&) {}
std::optional<std::pair<int, int>> wait_click(const Surface&) { return std::nullopt; }
bool closed() { return false; }

#endif

}  // namespace zanek::display
