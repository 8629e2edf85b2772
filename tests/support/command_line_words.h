#pragma once

#include "core/command_line.h"

#include <string>
#include <vector>

// The command line `quirn WORDS...` parsed; the words stay alive until the
// next call, as argv's do for the program.
inline CommandLine parse_words(std::vector<std::string> words) {
    static std::vector<std::string> kept;
    static std::vector<char*> argv;
    kept = std::move(words);
    kept.insert(kept.begin(), "quirn");
    argv.clear();
    for (auto& word : kept) argv.push_back(word.data());
    return parse_command_line(int(argv.size()), argv.data());
}
