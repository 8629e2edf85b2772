#pragma once

#include <iosfwd>

// What the first argument asks for: a file to view, or a text to print.
struct CommandLine {
    enum class Action { View, Help, Version, Usage };
    Action action = Action::Usage;
    char* path = nullptr;  // the file, for View; borrowed from argv
};

// The first argument alone decides: -h or --help, --version, -- (the next
// argument is the file, whatever its name), or else the file itself.
CommandLine parse_command_line(int argc, char** argv);

void print_usage(std::ostream& out, const char* invocation);
void print_help(std::ostream& out, const char* invocation);
void print_version(std::ostream& out);
