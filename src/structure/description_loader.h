#pragma once

#include "structure/description.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Loads a description from YAML text. `file` names it in messages; imports
// are looked for beside it, and absolute ones ("/common/x") in `folders`.
// Throws DescriptionError with file:line:col: what.
std::unique_ptr<Description> load_description(const std::string& yaml_text, const std::string& file,
                                              const std::vector<std::string>& folders = {});
std::unique_ptr<Description> load_description_file(const std::string& path,
                                                   const std::vector<std::string>& folders = {});

// Only the meta part (id, extensions, MIME types), for choosing a
// description; nothing is resolved. Throws DescriptionError.
struct DescriptionMeta {
    std::string id;
    std::vector<std::string> extensions, mime_types;
};
DescriptionMeta load_description_meta(const std::string& path);
