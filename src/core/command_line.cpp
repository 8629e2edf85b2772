#include "core/command_line.h"

#include "render/charsets.h"

#include <cstdlib>
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

// The first file is the one shown, the second the one it is compared with.
bool add_path(CommandLine& line, char* path) {
    if (!line.path) {
        line.path = path;
    } else if (!line.second_path) {
        line.second_path = path;
    } else {
        return false;
    }
    return true;
}

}  // namespace

CommandLine parse_command_line(int argc, char** argv) {
    CommandLine line;
    const auto refuse = [&line](const std::string& message) {
        line.action = CommandLine::Action::Error;
        line.error = "quirn: " + message;
        return line;
    };
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options_ended) {
            if (!add_path(line, argv[i])) return refuse("at most two files");
            continue;
        }
        if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0) {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (std::strcmp(argument, "--version") == 0) {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (std::strcmp(argument, "--") == 0) {
            options_ended = true;
            continue;
        }
        if (std::strcmp(argument, "--fields") == 0) {
            line.action = CommandLine::Action::Fields;
            continue;
        }
        for (const char* name : {"--at", "--select", "--charset", "--shift", "--format", "--max-elements"}) {
            if (std::strcmp(argument, name) == 0 && i + 1 == argc) return refuse(std::string(name) + " needs a value");
        }
        std::string charset_option, format_option, limit_option, limit;
        if (take_option("--max-elements", argc, argv, i, limit_option, limit)) {
            char* end = nullptr;
            const unsigned long long n = std::strtoull(limit.c_str(), &end, 10);
            if (limit.empty() || *end || n == 0 || limit[0] == '-') return refuse("--max-elements needs a count above 0");
            line.max_elements = n;
            continue;
        }
        const struct {
            const char* name;
            std::string& option;
            std::string& value;
        } valued[] = {{"--format", format_option, line.format},
                      {"--at", line.start.at_option, line.start.at},
                      {"--select", line.start.select_option, line.start.select},
                      {"--charset", charset_option, line.charset},
                      {"--shift", line.start.shift_option, line.start.shift}};
        bool taken = false;
        for (const auto& option : valued) {
            if (!take_option(option.name, argc, argv, i, option.option, option.value)) continue;
            // "--charset=" and "--at ''" give an empty value, which no option takes.
            if (option.value.empty()) return refuse(std::string(option.name) + " needs a value");
            taken = true;
            break;
        }
        if (taken) continue;
        if (argument[0] == '+' && (i + 1 < argc || line.path)) {
            line.start.at_option = "+";
            line.start.at = argument + 1;
            continue;
        }
        if (argument[0] == '-' && argument[1] != 0) {
            return refuse("unknown option " + std::string(argument) + " (use -- before a file whose name starts with -)");
        }
        if (!add_path(line, argv[i])) return refuse("at most two files");
    }
    if (!line.charset.empty() && !charset_named(line.charset)) {
        return refuse("unknown character set " + line.charset + " (" + charset_list() + ")");
    }
    if (line.action == CommandLine::Action::Fields) {
        if (!line.path) return refuse("--fields needs a file");
        if (line.second_path) return refuse("--fields takes one file");
        return line;
    }
    if (!line.start.shift_option.empty() && line.path && !line.second_path) return refuse("--shift needs two files");
    if (line.path && line.second_path && std::strcmp(line.path, "-") == 0 && std::strcmp(line.second_path, "-") == 0) {
        return refuse("standard input can be shown only once");
    }
    if (line.path) line.action = CommandLine::Action::View;
    return line;
}

void print_usage(std::ostream& out, const char* invocation) { out << "usage: " << invocation << " filename\n"; }

const std::vector<std::string>& help_lines() {
    static const std::vector<std::string> lines = {
        "",
        "Shows any file, device or disk image as hexadecimal and characters, 16 bytes",
        "a row, without ever writing it. Use -- before a file whose name starts with -.",
        "The status line below the page shows the first shown row's offset, the",
        "file's size and the selection.",
        "",
        "Keys:",
        "  Down, Up                 one row (16 bytes)",
        "  Page Down, Page Up       16 rows (256 bytes)",
        "  Right, Left              the rows shown less one (74 rows at full height)",
        "  Home, End                the start, the last page",
        "  F3 ... F9                forward by 2^12, 2^16, ... 2^36 bytes",
        "  Shift + F3 ... F9        back by the same",
        "",
        "  Ctrl+G or :              go to an offset (1f00, #7936, +100, 50%, $, $-10, 4K)",
        "                           or select a range (7e00..7eff, 7e00..+100, 0..$)",
        "                           or a partition (p2, p2$) or a field (@chunks[3].len)",
        "  Ctrl+F or /, ?           search forward, backward (7f ?? 4c 46, \"PK\" 03 04);",
        "                           opens with the last search; typing replaces it",
        "  n, N                     the next match forward, backward",
        "  }, {                     the next, previous embedded file (the first scans)",
        "  Shift + Up, Down, Page Up, Page Down, Home, End",
        "                           move the selection's end (without one: scroll)",
        "  Ctrl+A                   select the whole file",
        "  Esc                      close the prompt or the help, stop a search or scan,",
        "                           cancel a copy or save, clear the selection",
        "  m then a ... z           set a mark at the first shown row (or the selection)",
        "  ' then a ... z           go to that mark; '' to the view before the last jump",
        "  Alt+Left, Alt+Right      back and forward through jumps",
        "  Ctrl+C                   copy the selection as hex, or as text when it was",
        "                           selected in the characters (16 MiB at most)",
        "  Ctrl+Shift+C             copy it in the other form",
        "  Ctrl+Alt+C               copy as hex, text, C array, base64, dump, Python",
        "  Ctrl+S                   save the selection to a file (asks for its name)",
        "  #                        hash the selection (or the file) into the clipboard",
        "  Ctrl+I                   show or hide the inspector: the bytes as values",
        "  Ctrl+M                   the file map in the scrollbar, on or off",
        "  F2; ., ,                 the structure's fields as a tree; the next, previous",
        "  Ctrl+T                   next character set: " + charset_list(),
        "  Ctrl + =, -, 0           zoom in, out, back to 1",
        "  F1                       show or hide this help",
        "  Ctrl+Q; q, Ctrl+W        quit (q and Ctrl+W while no prompt is open)",
        "",
        "Two files (quirn A B) are compared side by side, differing bytes marked:",
        "  ], [                     the next, previous run of differing bytes",
        "  <, >                     shift B against A by one byte",
        "  Tab                      the other page takes the focus (copy, save, search)",
        "",
        "In a prompt:",
        "  Enter                    go, search or save",
        "  Tab                      search: hexadecimal or text",
        "  Alt+C                    search text: any case or exact",
        "  Ctrl+U                   clear the input",
        "  Ctrl+W, Ctrl+Backspace   delete the last word",
        "",
        "Mouse:",
        "  wheel                    one row per notch (with Ctrl: zoom)",
        "  drag the scrollbar thumb anywhere in the file",
        "  press the track          a screen up or down, repeated while held",
        "  press, drag on the bytes select them (held above or below the rows: scroll)",
        "  Shift + press            extend the selection to the byte pressed",
        "",
        "The page follows the file as it changes: a view of its last page follows it",
        "as it grows, and a file that goes keeps its page until one is back at the path.",
        "",
        "Options:",
        "  +EXPR, --at EXPR         open with the view at EXPR, in any go-to form",
        "  --select RANGE           select RANGE (A..B, B included, or A..+N) and show it",
        "  --charset NAME           bytes 128 to 255 as " + charset_list(),
        "  --shift N                with two files: compare byte x of the first with byte",
        "                           x + N of the second (N in any go-to form, or -N)",
        "  --fields FILE            print its fields as JSON Lines (--at: those at EXPR)",
        "  --format NAME|PATH|none  their description; --max-elements N bounds a repeat",
        "  -                        standard input, in place of a file, as it arrives",
        "  --                       the next argument is the file, whatever its name",
        "  -h, --help               this text",
        "  --version                the version",
    };
    return lines;
}

void print_help(std::ostream& out, const char* invocation) {
    print_usage(out, invocation);
    for (const std::string& line : help_lines()) out << line << "\n";
}

void print_version(std::ostream& out) { out << "quirn " << QUIRN_VERSION << "\n"; }
