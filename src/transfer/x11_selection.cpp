#include "transfer/x11_selection.h"

#include "transfer/x_errors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const long piece_bytes = 1 << 20;  // a request to the server, far below its largest

}  // namespace

struct X11Selection::Server {
    Display* display = nullptr;
    Window window = 0;
    Atom clipboard = 0, targets = 0, utf8 = 0, text_atom = 0, incr = 0, store = 0;
    long length = 0;  // bytes of the text held in `store`
    unsigned long errors_before_sync = 0;  // x_errors_seen() at the last check
    int wake[2] = {-1, -1};
    std::thread thread;
    std::mutex mutex;
    std::string pending;
    bool has_pending = false;
    std::atomic<bool> quit{false};

    // An incremental transfer under way to one requestor's property.
    struct Transfer {
        Window requestor;
        Atom property;
        Atom type;
        long sent;
    };
    std::vector<Transfer> transfers;

    bool connect() {
        install_x_error_handler();
        display = XOpenDisplay(nullptr);
        if (!display) return false;
        const Window root = DefaultRootWindow(display);
        window = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(display, window, PropertyChangeMask);
        clipboard = XInternAtom(display, "CLIPBOARD", False);
        targets = XInternAtom(display, "TARGETS", False);
        utf8 = XInternAtom(display, "UTF8_STRING", False);
        text_atom = XInternAtom(display, "TEXT", False);
        incr = XInternAtom(display, "INCR", False);
        store = XInternAtom(display, "QUIRN_SELECTION", False);
        if (pipe(wake) != 0) return false;
        thread = std::thread(&Server::run, this);
        return true;
    }

    void store_text(const std::string& text) {
        // In the largest requests the server takes: it copies the property
        // as it grows, so fewer and larger appends cost less.
        long units = XExtendedMaxRequestSize(display);
        if (units == 0) units = XMaxRequestSize(display);
        const size_t step = size_t(std::max(piece_bytes, (units * 4 - 64) & ~3L));
        XDeleteProperty(display, window, store);
        for (size_t at = 0; at < text.size(); at += step) {
            const int n = int(std::min<size_t>(step, text.size() - at));
            XChangeProperty(display, window, store, utf8, 8, PropModeAppend,
                            reinterpret_cast<const unsigned char*>(text.data() + at), n);
        }
        length = long(text.size());
        transfers.clear();
        XSetSelectionOwner(display, clipboard, window, CurrentTime);
        XSetSelectionOwner(display, XA_PRIMARY, window, CurrentTime);
        XFlush(display);
    }

    // Bytes [at, at + n) of the stored text; at is a multiple of four.
    std::vector<unsigned char> piece(long at, long n) {
        std::vector<unsigned char> bytes;
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, store, at / 4, (n + 3) / 4, False, AnyPropertyType, &type, &format,
                               &items, &after, &data) == Success && data) {
            bytes.assign(data, data + std::min<unsigned long>(items, static_cast<unsigned long>(n)));
            XFree(data);
        }
        return bytes;
    }

    void answer(const XSelectionRequestEvent& request) {
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = request.display;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        reply.property = request.property != None ? request.property : request.target;
        if (request.target == targets) {
            const Atom offered[] = {targets, utf8, XA_STRING, text_atom};
            XChangeProperty(display, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offered), 4);
        } else if (request.target == utf8 || request.target == XA_STRING || request.target == text_atom) {
            const Atom type = request.target == text_atom ? utf8 : request.target;
            if (length <= piece_bytes) {
                const std::vector<unsigned char> bytes = piece(0, length);
                XChangeProperty(display, request.requestor, reply.property, type, 8, PropModeReplace, bytes.data(),
                                int(bytes.size()));
            } else {
                // The requestor deletes the property to ask for each next
                // piece; its window's end drops the transfer.
                XSelectInput(display, request.requestor, PropertyChangeMask | StructureNotifyMask);
                const long size = length;
                XChangeProperty(display, request.requestor, reply.property, incr, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(&size), 1);
                transfers.push_back({request.requestor, reply.property, type, 0});
            }
        } else {
            reply.property = None;
        }
        XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        if (!requests_held()) drop(request.requestor);
    }

    // Whether the requests sent since the last check all succeeded. The
    // requestor's window may be gone (a paste killed midway): its errors
    // are counted, not fatal, and its transfer is then dropped.
    bool requests_held() {
        XSync(display, False);
        const bool held = x_errors_seen() == errors_before_sync;
        errors_before_sync = x_errors_seen();
        return held;
    }

    void drop(Window requestor) {
        for (auto it = transfers.begin(); it != transfers.end();) {
            it = it->requestor == requestor ? transfers.erase(it) : it + 1;
        }
    }

    void next_piece(const XPropertyEvent& event) {
        if (event.state != PropertyDelete) return;
        for (auto it = transfers.begin(); it != transfers.end(); ++it) {
            if (it->requestor != event.window || it->property != event.atom) continue;
            const std::vector<unsigned char> bytes = piece(it->sent, std::min(piece_bytes, length - it->sent));
            XChangeProperty(display, it->requestor, it->property, it->type, 8, PropModeReplace, bytes.data(),
                            int(bytes.size()));
            it->sent += long(bytes.size());
            const Window requestor = it->requestor;
            if (bytes.empty()) {  // the empty piece ends the transfer
                XSelectInput(display, requestor, NoEventMask);
                transfers.erase(it);
            }
            if (!requests_held()) drop(requestor);
            return;
        }
    }

    void run() {
        pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wake[0], POLLIN, 0}};
        while (!quit) {
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == SelectionRequest) {
                    answer(event.xselectionrequest);
                } else if (event.type == PropertyNotify) {
                    next_piece(event.xproperty);
                } else if (event.type == DestroyNotify) {
                    drop(event.xdestroywindow.window);
                } else if (event.type == SelectionClear) {
                    // Another copy, maybe the viewer's own short one: once
                    // neither selection is ours, the text leaves the server.
                    if (XGetSelectionOwner(display, clipboard) != window &&
                        XGetSelectionOwner(display, XA_PRIMARY) != window) {
                        XDeleteProperty(display, window, store);
                        length = 0;
                        transfers.clear();
                    }
                }
            }
            std::unique_lock<std::mutex> lock(mutex);
            if (has_pending) {
                std::string text = std::move(pending);
                has_pending = false;
                lock.unlock();
                store_text(text);
                continue;
            }
            lock.unlock();
            XFlush(display);
            poll(fds, 2, -1);
            if (fds[1].revents & POLLIN) {
                char drained[64];
                (void)!read(wake[0], drained, sizeof drained);
            }
        }
    }

    ~Server() {
        if (thread.joinable()) {
            quit = true;
            (void)!write(wake[1], "q", 1);
            thread.join();
        }
        if (display) XCloseDisplay(display);
        for (int fd : wake) {
            if (fd >= 0) close(fd);
        }
    }
};

X11Selection::X11Selection() = default;
X11Selection::~X11Selection() = default;

bool X11Selection::offer(std::string text) {
    if (!server_) {
        auto server = std::make_unique<Server>();
        if (!server->connect()) return false;
        server_ = std::move(server);
    }
    Server& s = *server_;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.pending = std::move(text);
        s.has_pending = true;
    }
    (void)!write(s.wake[1], "o", 1);
    return true;
}
