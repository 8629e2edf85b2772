// Every fixed text the viewer shows fits its place at the default width:
// the label line's messages, menus and hints, a prompt's messages beside
// its input, the status line's own segments and the help. The texts are
// read from the sources themselves, so that one added later is held to
// its place too.
#include "core/command_line.h"
#include "find/find_state.h"
#include "render/page_geometry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#ifndef QUIRN_SOURCE_DIR
#error "QUIRN_SOURCE_DIR comes from the build"
#endif

namespace {

// A statement of a source file, and the texts its string literals make, as
// the glyphs draw them: the literals one after the other, a new text after
// each '?' or ':' of a choice, which picks one of them.
struct Statement {
    std::string code;  // with the literals' contents left out
    std::vector<std::string> texts{""};
};

// The cells a character of a literal takes: an escape as the character it
// stands for; "\u2026", the ellipsis, as the three dots the glyphs draw.
std::string unescaped(const std::string& literal) {
    std::string text;
    for (size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] != '\\' || i + 1 == literal.size()) {
            if ((uint8_t(literal[i]) & 0xC0) != 0x80) text += literal[i] & 0x80 ? '?' : literal[i];
            continue;
        }
        const char e = literal[++i];
        if (e == 'u') {
            text += "...";
            i += 4;
        } else if (e == 'x') {
            text += '?';
            while (i + 1 < literal.size() && std::isxdigit(uint8_t(literal[i + 1]))) ++i;
        } else {
            text += e == 'n' || e == 't' ? ' ' : e;
        }
    }
    return text;
}

// The statements of a C++ source: split at ';', '{' and '}' outside
// literals, comments left out.
std::vector<Statement> statements_of(const std::string& source) {
    std::vector<Statement> all(1);
    for (size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            i = source.find('\n', i);
            if (i == std::string::npos) break;
        } else if (c == '/' && i + 1 < source.size() && source[i + 1] == '*') {
            i = source.find("*/", i) + 1;
        } else if (c == '"' || c == '\'') {
            size_t end = i + 1;
            while (end < source.size() && source[end] != c) end += source[end] == '\\' ? 2 : 1;
            if (c == '"') all.back().texts.back() += unescaped(source.substr(i + 1, end - i - 1));
            all.back().code += c;
            all.back().code += c;
            i = end;
        } else if (c == ';' || c == '{' || c == '}') {
            all.emplace_back();
        } else if ((c == '?' || c == ':') && source.compare(i, 2, "::") != 0 &&
                   (i == 0 || source[i - 1] != ':')) {
            all.back().code += c;
            all.back().texts.emplace_back();
        } else {
            all.back().code += c;
        }
    }
    return all;
}

std::string read_source(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Where texts are shown: the sources that make them, the statements that
// do (matched on their code, literals emptied), and the cells there.
struct Place {
    const char* where;
    std::vector<const char*> files;  // under src/
    const char* statement;
    size_t cells;
};

TEST(TextsFit, EveryFixedTextFitsItsPlace) {
    const Place places[] = {
        {"the label line's messages",
         {"core/find_commands.cpp", "core/transfer_commands.cpp", "core/history_commands.cpp",
          "core/compare_commands.cpp", "core/identify_commands.cpp", "core/map_commands.cpp",
          "core/watch_commands.cpp", "core/status_commands.cpp", "core/inspect_commands.cpp",
          "core/select_commands.cpp", "core/navigation.cpp"},
         R"(\bstatus\s*\+?=)", label_line_cells},
        {"the label line's menus and hints", {"core/watch_commands.cpp"}, R"(^\s*(if \(.*\)\s*)?return "")",
         label_line_cells},
        {"the live file's and the compare's lines", {"watch/live_file.cpp", "compare/compare_state.cpp"},
         R"(\breturn "")", label_line_cells},
        {"a prompt's messages", {"base/goto_target.cpp", "select/goto_range.cpp", "find/search_pattern.cpp"},
         R"(\berror\s*=)", prompt_message_cells},
        {"a prompt's messages after two blanks", {"find/find_state.cpp"}, R"(\bafter\s*=)",
         prompt_message_cells + 2},
        {"the status line's own segments", {"status/status_line.cpp"}, R"(emplace_back\()", size_t(status_cells)},
    };
    for (const Place& place : places) {
        size_t texts = 0;
        const std::regex statement(place.statement);
        for (const char* file : place.files) {
            const std::string path = std::string(QUIRN_SOURCE_DIR) + "/src/" + file;
            ASSERT_TRUE(std::filesystem::exists(path)) << path;
            for (const Statement& s : statements_of(read_source(path))) {
                if (!std::regex_search(s.code, statement)) continue;
                for (const std::string& text : s.texts) {
                    if (text.empty()) continue;
                    ++texts;
                    EXPECT_LE(text.size(), place.cells)
                        << file << ": \"" << text << "\" in " << place.where << " (" << place.cells << " cells)";
                }
            }
        }
        EXPECT_GT(texts, 0u) << "no texts found for " << place.where << ": the table is out of date";
    }
}

// The help, as F1 shows it beside the page and --help prints it.
TEST(TextsFit, EveryHelpLineFitsTheHelpPanel) {
    const std::vector<std::string>& lines = help_lines();
    EXPECT_LE(lines.size() - 1, size_t(help_panel_lines)) << "the panel shows all but the first, empty, line";
    for (const std::string& line : lines) EXPECT_LE(line.size(), size_t(help_cells)) << line;
}

}  // namespace
