#include "core/fields_command.h"

#include "find/goto_target.h"
#include "structure/description_loader.h"
#include "structure/fields_output.h"
#include "structure/format_lookup.h"

#include <ostream>

int run_fields(const CommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string path = line.path;
    std::shared_ptr<ByteSource> file;
    try {
        file = std::make_shared<ByteSource>(path);
    } catch (const std::exception& e) {
        err << "quirn: " << e.what() << "\n";
        return 1;
    }
    if (line.format == "none") {
        err << "quirn: no description (--format none)\n";
        return 1;
    }
    const auto folders = format_folders();
    std::string ksy;
    if (!line.format.empty()) {
        std::string error;
        ksy = find_format(line.format, folders, error);
        if (ksy.empty()) {
            err << "quirn: " << error << "\n";
            return 1;
        }
    } else {
        ksy = choose_format(mime_type_of(path), path, folders);
        if (ksy.empty()) {
            err << "quirn: no description for " << path << " (--format chooses one)\n";
            return 1;
        }
    }
    std::shared_ptr<const Description> desc;
    try {
        desc = load_description_file(ksy, folders);
    } catch (const DescriptionError& e) {
        err << e.what() << "\n";
        return 1;
    }
    std::optional<uint64_t> at;
    if (!line.start.at.empty()) {
        const GotoTarget t = parse_goto(line.start.at, file->size(), 0);
        if (!t.valid) {
            err << "quirn: " << line.start.at_option << " " << line.start.at << ": " << t.error << "\n";
            return 1;
        }
        at = t.offset;
    }
    StructureLimits limits;
    if (line.max_elements) limits.max_elements = line.max_elements;
    FieldsOutcome outcome;
    try {
        StructureEngine engine(desc, file, limits);
        outcome = write_fields(engine, out, at);
    } catch (const ParseStop& p) {
        outcome.complete = false;
        outcome.message = p.message;
    } catch (const std::exception& e) {
        outcome.complete = false;
        outcome.message = e.what();
    }
    out.flush();
    if (!outcome.complete) {
        err << path << ": " << outcome.message << "\n";
        return 1;
    }
    return 0;
}
