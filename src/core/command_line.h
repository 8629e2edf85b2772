#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>

// Where the view starts: a go-to expression, and a range to select, each
// with the option as typed, for messages.
struct StartPosition {
    std::string at_option, at;
    std::string select_option, select;
};

// A start position the go-to prompt would refuse: the run ends before any
// window opens, with this message and status 2.
class StartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the arguments ask for: a file to view, or a text to print.
struct CommandLine {
    enum class Action { View, Help, Version, Usage };
    Action action = Action::Usage;
    char* path = nullptr;  // the file, for View; borrowed from argv
    StartPosition start;
};

// -h or --help and --version print; +EXPR, --at EXPR (or --at=EXPR) and
// --select RANGE place the view; -- makes the next argument the file,
// whatever its name; the first other argument is the file, and those after
// it are ignored. A lone +NAME is a file: +EXPR needs a file after it.
CommandLine parse_command_line(int argc, char** argv);

void print_usage(std::ostream& out, const char* invocation);
void print_help(std::ostream& out, const char* invocation);
void print_version(std::ostream& out);
