#pragma once

#include <cstddef>
#include <memory>
#include <string>

// Serves a text too long for SDL's clipboard as the X clipboard and the
// primary selection, with the protocol's incremental transfer (INCR). It runs
// on a thread with an X connection of its own. The text is kept on the X
// server, as a property of its own window, so the viewer's memory is
// returned once the text is handed over.
class X11Selection {
public:
    X11Selection();
    ~X11Selection();
    X11Selection(const X11Selection&) = delete;
    X11Selection& operator=(const X11Selection&) = delete;

    // Takes the text and returns at once; the thread puts it on the server
    // and owns both selections until another program takes them. Connects
    // on first use; false when there is no X display to connect to.
    bool offer(std::string text);

private:
    struct Server;
    std::unique_ptr<Server> server_;
};
