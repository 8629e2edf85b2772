#pragma once

#include "core/command_line.h"

#include <iosfwd>

// `quirn --fields FILE`: prints the file's fields as JSON Lines on `out`,
// messages on `err`; the exit status: 0 when the whole tree was read, 1 when
// the description was refused or the reading stopped.
int run_fields(const CommandLine& line, std::ostream& out, std::ostream& err);
