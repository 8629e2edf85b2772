#pragma once

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

// Where the view starts: a go-to expression, and a range to select, each
// with the option as typed, for messages.
struct StartPosition {
    std::string at_option, at;
    std::string select_option, select;
    std::string shift_option, shift;  // of a compare: byte x of the first file faces x + shift of the second
};

// A start position the go-to prompt would refuse: the run ends before any
// window opens, with this message and status 2.
class StartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the arguments ask for: a file to view, a text to print, or a refusal.
struct CommandLine {
    enum class Action { View, Fields, Help, Version, Usage, Error };
    Action action = Action::Usage;
    char* path = nullptr;  // the file, for View; borrowed from argv
    char* second_path = nullptr;  // the file it is compared with, if any
    StartPosition start;
    std::string charset;   // as given to --charset, checked; "" for the default
    std::string format;    // --format: a description's name or path, "none", or "" to choose by the file
    uint64_t max_elements = 0;  // --max-elements: the most elements of one repeat; 0 for the default
    std::string error;     // for Error: the line to print, before any window, with status 2
};

// -h or --help and --version print; +EXPR, --at EXPR (or --at=EXPR) and
// --select RANGE place the view; --charset NAME picks the character set;
// --shift N shifts a compare; --fields prints the file's fields and exits,
// --format X chooses their description, --max-elements N bounds a repeat; -- ends the options: the arguments after it
// are files, whatever their names. The first other argument is the file, a
// second the file it is compared with, and a third is refused; options after
// them count as before. A lone +NAME is a file: +EXPR needs a file. Any other
// argument that starts with - is refused.
CommandLine parse_command_line(int argc, char** argv);

void print_usage(std::ostream& out, const char* invocation);
// The help's lines after the usage line: what --help prints and F1 shows.
const std::vector<std::string>& help_lines();
void print_help(std::ostream& out, const char* invocation);
void print_version(std::ostream& out);
