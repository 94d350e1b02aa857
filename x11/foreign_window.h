#pragma once

#include <X11/Xlib.h>

// The window that stands for the root: the one a child of root names in its __SWM_VROOT
// property (virtual-root window managers, screen-saver daemons), else root itself.
Window VirtualRoot(Display* dpy, Window root);

// The part of a width x height window that the screen can show, in the window's own
// coordinates: at most the screen's size, however large the window, so its frames are too.
struct VisiblePart {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const VisiblePart& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};
VisiblePart VisiblePartOf(Display* dpy, Window window, int width, int height, Screen* screen);
