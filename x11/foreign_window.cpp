#include "x11/foreign_window.h"

#include <X11/Xatom.h>

#include <algorithm>

Window VirtualRoot(Display* dpy, Window root) {
    const Atom vroot = XInternAtom(dpy, "__SWM_VROOT", False);
    Window parent = 0, unused = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = root;
    if (XQueryTree(dpy, root, &unused, &parent, &children, &count) == 0) return root;
    for (unsigned i = 0; i < count && found == root; ++i) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        // Any 32-bit type: the daemon writes WINDOW, other tools CARDINAL.
        if (XGetWindowProperty(dpy, children[i], vroot, 0, 1, False, AnyPropertyType, &type, &format, &items, &after,
                               &data) == Success &&
            format == 32 && items == 1) {
            const Window named = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
            if (named != 0) found = named;
        }
        if (data != nullptr) XFree(data);
    }
    if (children != nullptr) XFree(children);
    return found;
}

VisiblePart VisiblePartOf(Display* dpy, Window window, int width, int height, Screen* screen) {
    VisiblePart part{0, 0, std::min(width, WidthOfScreen(screen)), std::min(height, HeightOfScreen(screen))};
    // Only a window larger than the screen shows a part that depends on where it is.
    if (part.width == width && part.height == height) return part;
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, window, RootWindowOfScreen(screen), 0, 0, &rootX, &rootY, &child);
    part.x = std::clamp(-rootX, 0, width - part.width);
    part.y = std::clamp(-rootY, 0, height - part.height);
    return part;
}
