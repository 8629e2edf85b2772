#pragma once

// X errors never end the viewer. Another program that asked for a selection
// may close its window at any time, and the answer to it then fails; Xlib's
// own handler would end the process. The handler installed here counts the
// errors instead, per thread: each X connection is used by one thread, so a
// transfer can tell whether its own requests failed and drop itself.
void install_x_error_handler();
// Errors this thread's connections have seen so far.
unsigned long x_errors_seen();
