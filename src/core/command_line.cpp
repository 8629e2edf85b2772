#include "core/command_line.h"

#include <cstring>
#include <ostream>

#ifndef QUIRN_VERSION
#error "QUIRN_VERSION comes from the build"
#endif

namespace {

// "--at EXPR" or "--at=EXPR": takes the value, moving `i` past it.
bool take_option(const char* name, int argc, char** argv, int& i, std::string& option, std::string& value) {
    const size_t length = std::strlen(name);
    if (std::strncmp(argv[i], name, length) != 0) return false;
    if (argv[i][length] == '=') {
        value = argv[i] + length + 1;
    } else if (argv[i][length] == 0 && i + 1 < argc) {
        value = argv[++i];
    } else {
        return false;
    }
    option = name;
    return true;
}

}  // namespace

namespace {

// The first path is the file, the second the one it is compared with.
bool add_path(CommandLine& line, char* path) {
    if (!line.path) {
        line.path = path;
    } else if (!line.second_path) {
        line.second_path = path;
    } else {
        line.action = CommandLine::Action::Refuse;
        line.refusal = "quirn: at most two files";
        return false;
    }
    line.action = CommandLine::Action::View;
    return true;
}

}  // namespace

CommandLine parse_command_line(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0) {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (std::strcmp(argument, "--version") == 0) {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (std::strcmp(argument, "--") == 0) {
            for (++i; i < argc; ++i) {
                if (!add_path(line, argv[i])) break;
            }
            return line;
        }
        if ((std::strcmp(argument, "--at") == 0 || std::strcmp(argument, "--select") == 0 ||
             std::strcmp(argument, "--shift") == 0) &&
            i + 1 == argc) {
            line.action = CommandLine::Action::Usage;
            return line;  // an option without its value
        }
        if (take_option("--at", argc, argv, i, line.start.at_option, line.start.at) ||
            take_option("--select", argc, argv, i, line.start.select_option, line.start.select) ||
            take_option("--shift", argc, argv, i, line.start.shift_option, line.start.shift)) {
            continue;
        }
        if (argument[0] == '+' && i + 1 < argc) {
            line.start.at_option = "+";
            line.start.at = argument + 1;
            continue;
        }
        if (!add_path(line, argv[i])) return line;
    }
    return line;
}

void print_usage(std::ostream& out, const char* invocation) { out << "usage: " << invocation << " filename\n"; }

void print_help(std::ostream& out, const char* invocation) {
    print_usage(out, invocation);
    out << "\n"
           "Shows any file, device or disk image as hexadecimal and characters, 16 bytes\n"
           "a row, without ever writing it. Use -- before a file whose name starts with -.\n"
           "\n"
           "Keys:\n"
           "  Down, Up                 one row (16 bytes)\n"
           "  Page Down, Page Up       16 rows (256 bytes)\n"
           "  Right, Left              the rows shown less one (74, 1184 bytes, at full height)\n"
           "  Home, End                the start, the last page\n"
           "  F3 ... F9                forward by 2^12, 2^16, ... 2^36 bytes\n"
           "  Shift + F3 ... F9        back by the same\n"
           "\n"
           "  Ctrl+G or :              go to an offset (1f00, #7936, +100, 50%, $-100, 4K)\n"
           "                           or select a range (7e00..7eff, 7e00..+100)\n"
           "  Ctrl+F or /, ?           search forward, backward (7f ?? 4c 46, \"PK\" 03 04)\n"
           "  n, N                     the next match forward, backward\n"
           "  Shift + Up, Down, Page Up, Page Down, Home, End\n"
           "                           move the selection's end (without one: scroll)\n"
           "  Ctrl+A                   select the whole file\n"
           "  Esc                      close the prompt, stop the search, clear the selection\n"
           "  Ctrl+I                   show or hide the inspector: the bytes as values\n"
           "  m then a ... z           set a mark at the first shown row (or the selection)\n"
           "  ' then a ... z           go to that mark; '' back to the view before the last jump\n"
           "  Alt+Left, Alt+Right      back and forward through jumps\n"
           "  Ctrl+C, Ctrl+Shift+C     copy the selection as hex, as text (16 MiB at most)\n"
           "  Ctrl+S                   save the selection to a file (asks for its name)\n"
           "  Ctrl + =, -, 0           zoom in, out, back to 1\n"
           "  Ctrl+M                   the file map in the scrollbar, on or off\n"
           "\n"
           "Two files (quirn A B) are compared side by side, differing bytes marked:\n"
           "  ], [                     the next, previous run of differing bytes\n"
           "  <, >                     shift B against A by one byte\n"
           "  Tab                      the other page takes the focus (copy, save, search)\n"
           "\n"
           "Mouse:\n"
           "  wheel                    one row per notch (with Ctrl: zoom)\n"
           "  drag the scrollbar thumb anywhere in the file\n"
           "  press, drag on the bytes select them (held above or below the rows: scroll)\n"
           "  Shift + press            extend the selection to the byte pressed\n"
           "\n"
           "The page follows the file as it changes: a view of its last page follows it\n"
           "as it grows, and a file that goes keeps its page until one is back at the path.\n"
           "\n"
           "Close the window to quit.\n"
           "\n"
           "Options:\n"
           "  +EXPR, --at EXPR         open with the view at EXPR, in any go-to form\n"
           "  --select RANGE           select RANGE (A..B, B included, or A..+N) and show it\n"
           "  --shift N                with two files: compare byte x of the first with byte\n"
           "                           x + N of the second (any go-to form, -N for a negative)\n"
           "  --                       the next argument is the file, whatever its name\n"
           "  -h, --help               this text\n"
           "  --version                the version\n";
}

void print_version(std::ostream& out) { out << "quirn " << QUIRN_VERSION << "\n"; }
