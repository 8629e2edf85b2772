#include "core/command_line.h"

#include <cstring>
#include <ostream>

#ifndef QUIRN_VERSION
#error "QUIRN_VERSION comes from the build"
#endif

CommandLine parse_command_line(int argc, char** argv) {
    CommandLine line;
    if (argc <= 1) {
        return line;
    }
    const char* first = argv[1];
    if (std::strcmp(first, "-h") == 0 || std::strcmp(first, "--help") == 0) {
        line.action = CommandLine::Action::Help;
    } else if (std::strcmp(first, "--version") == 0) {
        line.action = CommandLine::Action::Version;
    } else if (std::strcmp(first, "--") == 0) {
        if (argc > 2) {
            line.action = CommandLine::Action::View;
            line.path = argv[2];
        }
    } else {
        line.action = CommandLine::Action::View;
        line.path = argv[1];
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
           "  Ctrl+F or /, ?           search forward, backward (7f ?? 4c 46, \"PK\" 03 04)\n"
           "  n, N                     the next match forward, backward\n"
           "  Esc                      close the prompt, cancel the search, clear the mark\n"
           "  Ctrl+C, Ctrl+Shift+C     copy the selection as hex, as text (16 MiB at most)\n"
           "  Ctrl+S                   save the selection to a file (asks for its name)\n"
           "  Ctrl + =, -, 0           zoom in, out, back to 1\n"
           "\n"
           "Mouse:\n"
           "  wheel                    one row per notch (with Ctrl: zoom)\n"
           "  drag the scrollbar thumb anywhere in the file\n"
           "\n"
           "Close the window to quit.\n"
           "\n"
           "Options:\n"
           "  -h, --help               this text\n"
           "  --version                the version\n";
}

void print_version(std::ostream& out) { out << "quirn " << QUIRN_VERSION << "\n"; }
