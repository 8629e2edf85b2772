#include "e2e/vanishing_requestor.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <thread>

namespace {

// Waits for the selection's answer to `window`, at most ten seconds.
bool answered(Display* display, Window window, XEvent& event) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (XCheckTypedWindowEvent(display, window, SelectionNotify, &event)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// The test's own requests may meet a window that is gone too.
int ignore_error(Display*, XErrorEvent*) { return 0; }

}  // namespace

void vanishing_paste(const std::string& selection, bool after_first_piece) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, window, PropertyChangeMask);
    const Atom property = XInternAtom(display, "QUIRN_TEST_PASTE", False);
    XConvertSelection(display, XInternAtom(display, selection.c_str(), False), XInternAtom(display, "UTF8_STRING", False),
                      property, window, CurrentTime);
    XEvent event;
    if (after_first_piece && answered(display, window, event) && event.xselection.property != None) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format, &items, &after,
                           &data);
        if (data) XFree(data);
        if (type == XInternAtom(display, "INCR", False)) XDeleteProperty(display, window, property);  // the next piece
    }
    XDestroyWindow(display, window);
    XSync(display, False);
    XCloseDisplay(display);
}

unsigned long selection_owner(const std::string& selection) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    const Window owner = XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False));
    XCloseDisplay(display);
    return owner;
}

long property_length(unsigned long window, const std::string& property) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    XSetErrorHandler(ignore_error);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, property.c_str(), False), 0, 0, False, AnyPropertyType,
                       &type, &format, &items, &after, &data);
    if (data) XFree(data);
    XCloseDisplay(display);
    return type == None ? 0 : long(after);
}
