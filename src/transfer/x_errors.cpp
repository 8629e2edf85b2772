#include "transfer/x_errors.h"

#include <X11/Xlib.h>

namespace {

thread_local unsigned long errors = 0;

int count_error(Display*, XErrorEvent*) {
    ++errors;
    return 0;
}

}  // namespace

void install_x_error_handler() { XSetErrorHandler(count_error); }

unsigned long x_errors_seen() { return errors; }
