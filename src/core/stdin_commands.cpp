// Standard input: `-` names it; the reader keeps it in a spool file that the
// viewer shows as a live file, and its notices are the watcher's for it.
#include "core/application.h"

#include <cstring>

void Application::open_standard_input() {
    for (ShownFile* file : {&file_a, &file_b}) {
        if (!file->path || std::strcmp(file->path, "-") != 0) continue;
        stdin_reader.open(STDIN_FILENO);
        file->path = stdin_reader.path();
        file->standard_input = true;
        status_line.put("standard input", {{"", standard_input_text(0, stdin_reader.ended(), 0)}});
    }
}

void Application::on_stdin_notice() {
    stdin_reader.take_notice();  // copies from now on send another notice
    const bool ended = stdin_reader.ended();
    status_line.put("standard input", {{"", standard_input_text(stdin_reader.copied(), ended, stdin_reader.error())}});
    on_watch_notice();
}
