// vorlex for X11: the host around RainEffect. It owns the X connection, the window, the
// clock and the events; the effect only draws 16-bit frames, which go to the server as
// they are on 16-bit visuals and through PixelConverter on 24/32-bit ones.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "x11/foreign_window.h"
#include "x11/frame_delta.h"
#include "x11/glyph_scale.h"
#include "x11/glyph_search.h"
#include "x11/pixel_convert.h"
#include "x11/rain_effect.h"
#include "x11/saver_options.h"

namespace {

volatile sig_atomic_t gStopSignal = 0;
void OnStopSignal(int) { gStopSignal = 1; }

// X errors: while trapping (the MIT-SHM attach) they are only noted; otherwise an error
// on our drawable means the window went away under us, anything else ends the program.
bool gTrapping = false;
bool gTrapped = false;
bool gWindowGone = false;
XID gTarget = 0;

int OnXError(Display* dpy, XErrorEvent* e) {
    if (gTrapping) {
        gTrapped = true;
        return 0;
    }
    if (e->resourceid == gTarget && (e->error_code == BadWindow || e->error_code == BadDrawable)) {
        gWindowGone = true;
        return 0;
    }
    char text[128];
    XGetErrorText(dpy, e->error_code, text, sizeof text);
    std::fprintf(stderr, "vorlex: X error: %s (request %d)\n", text, e->request_code);
    std::exit(kExitFailure);
}

int OnXIOError(Display*) {
    // The shared segment was marked for removal before the server saw it, so it goes with us.
    std::fprintf(stderr, "vorlex: lost the connection to the X server\n");
    _exit(kExitFailure);
}

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string ProgramDir() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

// The frame the effect draws and the image the server is given, with MIT-SHM when the
// server offers it.
class Presenter {
public:
    Presenter(Display* dpy, Drawable target, Visual* visual, int depth, const PixelConverter* convert)
        : dpy_(dpy), target_(target), visual_(visual), depth_(depth), convert_(convert) {
        gc_ = XCreateGC(dpy_, target_, 0, nullptr);
        int major = 0, minor = 0;
        Bool pixmaps = False;
        useShm_ = XShmQueryVersion(dpy_, &major, &minor, &pixmaps) == True;
        if (useShm_) completionType_ = XShmGetEventBase(dpy_) + ShmCompletion;
    }
    ~Presenter() {
        Release();
        XFreeGC(dpy_, gc_);
    }

    // A frame and image for the part of the window; false when neither kind of image can be had.
    bool Resize(const VisiblePart& part) {
        Release();
        const int width = part.width, height = part.height;
        x_ = part.x;
        y_ = part.y;
        if (useShm_ && !CreateShared(width, height)) useShm_ = false;
        if (!useShm_ && !CreatePlain(width, height)) return false;
        if (image_->bits_per_pixel != (convert_ != nullptr ? 32 : 16)) return false;
        if (convert_ == nullptr) {
            surface_ = {reinterpret_cast<uint16_t*>(image_->data), width, height, image_->bytes_per_line / 2};
        } else {
            frame_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
            surface_ = {frame_.data(), width, height, width};
        }
        return true;
    }

    const SurfaceInfo& Surface() const { return surface_; }
    bool Pending() const { return pending_; }
    bool Shared() const { return useShm_; }

    // The frame's changed rectangles, widened where the visual needs it: with MIT-SHM one
    // image request clipped to them, else a request each.
    void Show(const FrameDelta& delta) {
        if (image_ == nullptr || pending_ || delta.Rects().empty()) return;
        if (convert_ != nullptr)
            delta.Convert(*convert_, surface_, reinterpret_cast<uint32_t*>(image_->data), image_->bytes_per_line / 4);
        if (delta.Whole()) {
            PutWhole();
            return;
        }
        if (!useShm_) {
            for (const PixelRect& r : delta.Rects()) Put(r);
            return;
        }
        // Rows of cells top to bottom, each left to right: the bands the server wants.
        clip_.clear();
        int top = INT_MAX, bottom = 0, left = INT_MAX, right = 0;
        for (const PixelRect& r : delta.Rects()) {
            clip_.push_back({static_cast<short>(r.x), static_cast<short>(r.y), static_cast<unsigned short>(r.width),
                             static_cast<unsigned short>(r.height)});
            top = std::min(top, r.y);
            bottom = std::max(bottom, r.y + r.height);
            left = std::min(left, r.x);
            right = std::max(right, r.x + r.width);
        }
        XSetClipRectangles(dpy_, gc_, x_, y_, clip_.data(), static_cast<int>(clip_.size()), YXBanded);
        clipped_ = true;
        Put({left, top, right - left, bottom - top});
    }
    // Before the compose: the changed cells are widened as they are drawn, while they are in the cache.
    void WidenAsDrawn(FrameDelta& delta) const {
        if (convert_ != nullptr && image_ != nullptr)
            delta.WidenAsDrawn(*convert_, reinterpret_cast<uint32_t*>(image_->data), image_->bytes_per_line / 4);
    }
    // The whole image again, as it is (after an Expose); false when it cannot be sent now.
    bool Resend() {
        if (image_ == nullptr || pending_) return false;
        PutWhole();
        return true;
    }

    // True for the event that tells the server is done with the shared image.
    bool TakeEvent(const XEvent& e) {
        if (!useShm_ || e.type != completionType_) return false;
        pending_ = false;
        return true;
    }
    // A completion that never comes (the window went away meanwhile) must not stop the rain.
    void ExpireWait(double now) {
        if (pending_ && now - pendingSince_ > 1.0) pending_ = false;
    }

private:
    void PutWhole() {
        if (clipped_) XSetClipMask(dpy_, gc_, None);
        clipped_ = false;
        Put({0, 0, image_->width, image_->height});
    }
    void Put(const PixelRect& r) {
        const unsigned w = static_cast<unsigned>(r.width), h = static_cast<unsigned>(r.height);
        if (!useShm_) {
            XPutImage(dpy_, target_, gc_, image_, r.x, r.y, x_ + r.x, y_ + r.y, w, h);
            return;
        }
        XShmPutImage(dpy_, target_, gc_, image_, r.x, r.y, x_ + r.x, y_ + r.y, w, h, True);
        pending_ = true;
        pendingSince_ = Now();
    }

    bool CreateShared(int width, int height) {
        image_ = XShmCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &shm_,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (image_ == nullptr) return false;
        // Marked for removal as soon as we are attached, before the server sees it, and no signal
        // is taken in between: however the program ends, the segment goes with it.
        sigset_t all, old;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &old);
        const size_t bytes = static_cast<size_t>(image_->bytes_per_line) * static_cast<size_t>(image_->height);
        shm_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        void* address = shm_.shmid < 0 ? reinterpret_cast<void*>(-1) : shmat(shm_.shmid, nullptr, 0);
        if (shm_.shmid >= 0) shmctl(shm_.shmid, IPC_RMID, nullptr);
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        if (address == reinterpret_cast<void*>(-1)) return DropShared();
        shm_.shmaddr = image_->data = static_cast<char*>(address);
        shm_.readOnly = False;
        // A remote server cannot attach; it answers with an error.
        gTrapping = true;
        gTrapped = false;
        const Bool attached = XShmAttach(dpy_, &shm_);
        XSync(dpy_, False);
        gTrapping = false;
        if (attached != True || gTrapped) {
            shmdt(shm_.shmaddr);
            image_->data = nullptr;
            return DropShared();
        }
        attached_ = true;
        return true;
    }
    bool DropShared() {
        XDestroyImage(image_);
        image_ = nullptr;
        return false;
    }
    bool CreatePlain(int width, int height) {
        const int bytesPerPixel = convert_ != nullptr ? 4 : 2;
        char* data = static_cast<char*>(std::calloc(static_cast<size_t>(width) * height, bytesPerPixel));
        if (data == nullptr) return false;
        image_ = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, data,
                              static_cast<unsigned>(width), static_cast<unsigned>(height), bytesPerPixel * 8, 0);
        if (image_ == nullptr) {
            std::free(data);
            return false;
        }
        return true;
    }
    void Release() {
        if (image_ == nullptr) return;
        if (attached_) {
            XShmDetach(dpy_, &shm_);
            XSync(dpy_, False);
            shmdt(shm_.shmaddr);
            image_->data = nullptr;
            attached_ = false;
        }
        XDestroyImage(image_);
        image_ = nullptr;
        pending_ = false;
    }

    Display* dpy_;
    Drawable target_;
    int x_ = 0;  // where the image goes in the window
    int y_ = 0;
    Visual* visual_;
    int depth_;
    const PixelConverter* convert_;
    GC gc_;
    bool useShm_ = false;
    bool attached_ = false;
    int completionType_ = -1;
    XShmSegmentInfo shm_ = {};
    XImage* image_ = nullptr;
    std::vector<uint16_t> frame_;
    SurfaceInfo surface_;
    bool pending_ = false;
    double pendingSince_ = 0;
    std::vector<XRectangle> clip_;
    bool clipped_ = false;
};

struct Target {
    Window window = 0;
    bool own = false;
    Visual* visual = nullptr;
    Screen* screen = nullptr;
    int depth = 0;
    int width = 0;
    int height = 0;
};

Window CreateOwnWindow(Display* dpy, const SaverOptions& options, Atom deleteWindow) {
    const int screen = DefaultScreen(dpy);
    const bool full = options.mode == WindowMode::kFullscreen;
    const unsigned w = static_cast<unsigned>(full ? DisplayWidth(dpy, screen) : options.width);
    const unsigned h = static_cast<unsigned>(full ? DisplayHeight(dpy, screen) : options.height);
    Window win = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, w, h, 0, BlackPixel(dpy, screen),
                                     BlackPixel(dpy, screen));
    XStoreName(dpy, win, "vorlex");
    XClassHint hint;
    char name[] = "vorlex", cls[] = "Vorlex";
    hint.res_name = name;
    hint.res_class = cls;
    XSetClassHint(dpy, win, &hint);
    XSetWMProtocols(dpy, win, &deleteWindow, 1);
    if (full) {
        Atom state = XInternAtom(dpy, "_NET_WM_STATE", False);
        Atom fullscreen = XInternAtom(dpy, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(dpy, win, state, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&fullscreen),
                        1);
    }
    XSelectInput(dpy, win, StructureNotifyMask | ExposureMask);
    XMapRaised(dpy, win);
    return win;
}

// The window to draw on when it is not the program's own: the one named, or the (virtual) root;
// 0 for its own window.
Window GivenWindow(Display* dpy, const SaverOptions& options) {
    switch (options.mode) {
        case WindowMode::kRoot:
            return options.windowId != 0 ? options.windowId : VirtualRoot(dpy, DefaultRootWindow(dpy));
        case WindowMode::kWindowId:
            return options.windowId;
        default:
            return 0;
    }
}

// The height the automatic glyph scale goes by: the screen's, or as much of a given window as
// the screen shows. XScreenSaver gives each monitor a window of its own size, so a 1080-line
// monitor beside a 4K one keeps the small glyphs. A window that cannot be read is left to
// FindTarget to report.
int AutoScaleHeight(Display* dpy, const SaverOptions& options) {
    const int screenHeight = DisplayHeight(dpy, DefaultScreen(dpy));
    const Window given = GivenWindow(dpy, options);
    if (given == 0) return screenHeight;
    XWindowAttributes a;
    gTrapping = true;
    gTrapped = false;
    const Status read = XGetWindowAttributes(dpy, given, &a);
    gTrapping = false;
    return read == 0 || gTrapped ? screenHeight : std::min(a.height, HeightOfScreen(a.screen));
}

// The window to draw on, its visual and size; false (said on stderr) when it cannot be had.
bool FindTarget(Display* dpy, const SaverOptions& options, Atom deleteWindow, Target& t) {
    t.window = GivenWindow(dpy, options);
    if (t.window == 0) {
        t.window = CreateOwnWindow(dpy, options, deleteWindow);
        t.own = true;
    }
    gTarget = t.window;
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, t.window, &a) == 0 || gWindowGone) {
        std::fprintf(stderr, "vorlex: no window 0x%lx on this display\n", t.window);
        return false;
    }
    // Structure and exposure events only: the framework owns the window and its other
    // attributes. Frames send only what changed, so exposed parts must be sent again.
    if (!t.own) XSelectInput(dpy, t.window, StructureNotifyMask | ExposureMask);
    t.visual = a.visual;
    t.screen = a.screen;
    t.depth = a.depth;
    t.width = a.width;
    t.height = a.height;
    return true;
}

// The 16-bit layout a visual takes as it is; -1 when it needs the conversion pass,
// -2 when it cannot be drawn on at all.
int LayoutFor(const Target& t) {
    const Visual* v = t.visual;
    if (v->c_class != TrueColor) return -2;
    if (t.depth == 16 && v->red_mask == 0xF800 && v->green_mask == 0x07E0 && v->blue_mask == 0x001F) return kColor565;
    if (t.depth == 15 && v->red_mask == 0x7C00 && v->green_mask == 0x03E0 && v->blue_mask == 0x001F) return kColor555;
    if (t.depth == 24 || t.depth == 32) return -1;
    return -2;
}

int Run(const SaverOptions& options) {
    // A named glyph file is the only one taken, at its own size; otherwise the search at the
    // scale asked for. The automatic scale needs the screen's height: the display opens first.
    const bool named = !options.glyphPath.empty();
    int scale = named ? 1 : options.scale;
    Display* dpy = scale == 0 ? XOpenDisplay(nullptr) : nullptr;
    if (dpy != nullptr) {
        XSetErrorHandler(OnXError);
        scale = AutoGlyphScale(AutoScaleHeight(dpy, options));
    }
    const std::vector<std::string> candidates =
        named ? std::vector<std::string>{options.glyphPath}
              : GlyphCandidates(std::getenv("XDG_DATA_HOME"), std::getenv("XDG_DATA_DIRS"), std::getenv("HOME"),
                                ProgramDir(), VORLEX_DATA_FROM_PROGRAM);
    std::string tried, found, note;
    std::unique_ptr<Animation> glyphs = LoadScaledGlyphSet(candidates, scale, kColor565, tried, found, note);
    if (!note.empty()) std::fprintf(stderr, "vorlex: %s\n", note.c_str());
    if (glyphs == nullptr) {
        std::fprintf(stderr, "vorlex: %s%s\n", named ? "cannot use the glyph file " : "no usable glyph file; tried ",
                     tried.c_str());
        if (dpy != nullptr) XCloseDisplay(dpy);
        return kExitUnusable;
    }

    if (dpy == nullptr) dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "vorlex: cannot open display \"%s\"\n", XDisplayName(nullptr));
        return kExitFailure;
    }
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIOError);
    const Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);

    Target target;
    if (!FindTarget(dpy, options, deleteWindow, target)) {
        XCloseDisplay(dpy);
        return kExitUnusable;
    }
    const int layoutOrWide = LayoutFor(target);
    if (layoutOrWide == -2) {
        std::fprintf(stderr,
                     "vorlex: cannot draw on a %d-bit visual of class %d: it needs TrueColor at 16 bits (5-6-5 or "
                     "5-5-5), 24 or 32 bits\n",
                     target.depth, target.visual->c_class);
        XCloseDisplay(dpy);
        return kExitUnusable;
    }
    PixelConverter converter;
    const bool wide = layoutOrWide == -1;
    const ColorType layout = wide ? kColor565 : layoutOrWide;
    if (wide && !converter.Build(layout, static_cast<uint32_t>(target.visual->red_mask),
                                 static_cast<uint32_t>(target.visual->green_mask),
                                 static_cast<uint32_t>(target.visual->blue_mask))) {
        std::fprintf(stderr, "vorlex: the visual's colour masks are unusable\n");
        XCloseDisplay(dpy);
        return kExitUnusable;
    }
    if (layout != kColor565) {
        glyphs = LoadFirstGlyphSet({found}, layout, tried, found);
        if (glyphs == nullptr) {
            std::fprintf(stderr, "vorlex: no usable glyph file; tried %s\n", tried.c_str());
            XCloseDisplay(dpy);
            return kExitUnusable;
        }
    }

    const uint32_t seed = options.seeded ? options.seed : static_cast<uint32_t>(time(nullptr) ^ (getpid() << 16));
    RainEffect effect(std::move(glyphs), layout, options.density, options.highlight, seed);
    FrameDelta delta;
    int exitCode = kExitOk;
    {
        Presenter presenter(dpy, target.window, target.visual, target.depth, wide ? &converter : nullptr);
        VisiblePart part = VisiblePartOf(dpy, target.window, target.width, target.height, target.screen);
        bool reshape = true;
        const double delay = static_cast<double>(options.delayUsec) * 1e-6;
        double next = Now(), fpsStart = next, fps = 0;
        int fpsFrames = 0;
        bool quit = false;
        while (!quit && gStopSignal == 0) {
            // One read of the socket a wake-up: the events it brought are taken from the queue.
            for (int n = XPending(dpy); !quit && n > 0; n = XEventsQueued(dpy, QueuedAlready)) {
                XEvent e;
                XNextEvent(dpy, &e);
                if (presenter.TakeEvent(e)) continue;
                switch (e.type) {
                    case ConfigureNotify:
                        if (e.xconfigure.window == target.window) {
                            const VisiblePart seen = VisiblePartOf(dpy, target.window, e.xconfigure.width,
                                                                   e.xconfigure.height, target.screen);
                            reshape = reshape || !(seen == part);
                            part = seen;
                        }
                        break;
                    case Expose:
                        if (e.xexpose.count == 0 && !presenter.Resend()) delta.DrawWhole();
                        break;
                    case DestroyNotify:
                        if (e.xdestroywindow.window == target.window) quit = true;
                        break;
                    case ClientMessage:
                        if (static_cast<Atom>(e.xclient.data.l[0]) == deleteWindow) quit = true;
                        break;
                    default:
                        break;
                }
            }
            if (quit || gWindowGone) break;
            const double now = Now();
            presenter.ExpireWait(now);
            if (reshape && !presenter.Pending()) {
                reshape = false;
                if (!presenter.Resize(part) || !effect.Reshape(part.width, part.height)) {
                    std::fprintf(stderr, "vorlex: cannot make a %dx%d frame\n", part.width, part.height);
                    exitCode = kExitFailure;
                    break;
                }
                delta.Reshape(part.width, part.height, effect.CellWidth(), effect.CellHeight());
            }
            if (!presenter.Pending() && now >= next) {
                if (options.showFps) delta.Redraw({0, 0, kFpsCounterWidth, kFpsCounterHeight});
                presenter.WidenAsDrawn(delta);
                effect.Draw(
                    presenter.Surface(), [] { return gStopSignal != 0; }, delta.Begin());
                delta.End();
                if (gStopSignal != 0) break;
                ++fpsFrames;
                if (now - fpsStart >= 1.0) {
                    fps = fpsFrames / (now - fpsStart);
                    fpsStart = now;
                    fpsFrames = 0;
                }
                if (options.showFps) DrawFpsCounter(presenter.Surface(), layout, fps);
                presenter.Show(delta);
                next += delay;
                if (next < now) next = now + delay;  // fell behind: do not race to catch up
            }
            XFlush(dpy);
            // A signal that lands just before the wait is seen when it ends: within one frame.
            const double untilNext = next - Now();
            // Until the next frame is due, a completion need not wake us: it is read with the
            // frame's events, one wake-up a frame. A late one is waited for on the socket.
            const bool sleep = presenter.Pending() && untilNext > 0;
            const double wait = presenter.Pending() && !sleep ? 0.1 : untilNext;
            // The flush may already have read the completion into Xlib's queue: the socket then stays quiet.
            if (wait <= 0 || gStopSignal != 0 || XEventsQueued(dpy, QueuedAlready) > 0) continue;
            pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
            poll(&fd, sleep ? 0 : 1, static_cast<int>(wait * 1000) + 1);
        }
    }
    if (target.own && !gWindowGone) XDestroyWindow(dpy, target.window);
    XCloseDisplay(dpy);
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    SaverOptions options;
    std::string error;
    switch (ParseSaverOptions(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), options, error)) {
        case ParseResult::kHelp:
            std::fputs(SaverUsage(), stdout);
            return kExitOk;
        case ParseResult::kError:
            std::fprintf(stderr, "vorlex: %s (-help lists the options)\n", error.c_str());
            return kExitUsage;
        case ParseResult::kRun:
            break;
    }
    // The handler only raises a flag: the wait wakes, a frame being drawn stops part-way,
    // and the loop ends.
    struct sigaction sa = {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    return Run(options);
}
