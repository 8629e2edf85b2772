#include "core/application.h"
#include "core/command_line.h"
#include "core/fields_command.h"
#include "work/worker_threads.h"

#include <exception>
#include <iostream>

// The one exit point: every failure arrives here as an exception.
int main(int argc, char** argv) {
    const CommandLine line = parse_command_line(argc, argv);
    switch (line.action) {
        case CommandLine::Action::Usage:
            print_usage(std::cerr, argv[0]);
            return -1;
        case CommandLine::Action::Help:
            print_help(std::cout, argv[0]);
            return 0;
        case CommandLine::Action::Version:
            print_version(std::cout);
            return 0;
        case CommandLine::Action::Error:
            std::cerr << line.error << "\n";
            return 2;
        case CommandLine::Action::Fields:
            return run_fields(line, std::cout, std::cerr);
        case CommandLine::Action::View:
            break;
    }
    int status = 0;
    {
        Application app;
        app.set_fname(line.path);
        app.file_b.path = line.second_path;
        app.start_position = line.start;
        if (!line.charset.empty()) app.charset = *charset_named(line.charset);
        app.fields.format_argument = line.format;
        try {
            app.run();
        } catch (const StartError& e) {
            std::cerr << e.what() << std::endl;
            status = 2;
        } catch (const std::exception& e) {
            std::cerr << e.what() << std::endl;
            status = 1;
        }
    }
    // Workers still in a slow read are not waited for.
    end_process(status);
}
