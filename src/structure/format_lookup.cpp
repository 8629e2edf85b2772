#include "structure/format_lookup.h"
#include "structure/description_loader.h"

#include <magic.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Folders are walked this deep and this far at most, so that a folder of
// many files cannot hold up the start.
constexpr int max_depth = 4;
constexpr size_t max_files = 4096;

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t colon = s.find(':', start);
        const std::string part = s.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!part.empty()) out.push_back(part);
        if (colon == std::string::npos) return out;
        start = colon + 1;
    }
}

// Every .ksy below the folders, in folder order and then by name.
std::vector<fs::path> all_descriptions(const std::vector<std::string>& folders) {
    std::vector<fs::path> out;
    for (const auto& folder : folders) {
        std::error_code ec;
        std::vector<fs::path> here;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end && here.size() < max_files; it.increment(ec)) {
            if (it.depth() >= max_depth) it.disable_recursion_pending();
            if (it->path().extension() == ".ksy" && it->is_regular_file(ec)) here.push_back(it->path());
        }
        std::sort(here.begin(), here.end());
        out.insert(out.end(), here.begin(), here.end());
    }
    return out;
}

}  // namespace

std::vector<std::string> format_folders() {
    std::vector<std::string> out;
    if (const char* q = std::getenv("QUIRN_FORMATS")) out = split(q);
    const char* data_home = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (data_home && *data_home) out.push_back(std::string(data_home) + "/quirn/formats");
    else if (home && *home) out.push_back(std::string(home) + "/.local/share/quirn/formats");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    for (const auto& d : split(dirs && *dirs ? dirs : "/usr/local/share:/usr/share")) out.push_back(d + "/quirn/formats");
    return out;
}

std::string find_format(const std::string& name, const std::vector<std::string>& folders, std::string& error) {
    std::error_code ec;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ksy") == 0) {
        if (fs::is_regular_file(name, ec)) return name;
        error = "no description " + name;
        return {};
    }
    for (const auto& folder : folders) {
        const fs::path p = fs::path(folder) / (name + ".ksy");
        if (fs::is_regular_file(p, ec)) return p.string();
    }
    for (const auto& p : all_descriptions(folders)) {
        try {
            if (load_description_meta(p.string()).id == name) return p.string();
        } catch (const DescriptionError&) {
        }
    }
    error = "no description named " + name;
    return {};
}

std::string choose_format(const std::string& mime_type, const std::string& file_name,
                          const std::vector<std::string>& folders) {
    std::string ext = fs::path(file_name).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string by_extension;
    for (const auto& p : all_descriptions(folders)) {
        DescriptionMeta m;
        try {
            m = load_description_meta(p.string());
        } catch (const DescriptionError&) {
            continue;
        }
        if (!mime_type.empty() && std::find(m.mime_types.begin(), m.mime_types.end(), mime_type) != m.mime_types.end())
            return p.string();
        if (by_extension.empty() && !ext.empty()) {
            for (auto e : m.extensions) {
                std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return std::tolower(c); });
                if (e == ext) by_extension = p.string();
            }
        }
    }
    return by_extension;
}

std::string mime_type_of(const std::string& path) {
    magic_t cookie = magic_open(MAGIC_MIME_TYPE | MAGIC_NO_CHECK_COMPRESS | MAGIC_NO_CHECK_TAR);
    if (!cookie) return {};
    std::string out;
    if (magic_load(cookie, nullptr) == 0) {
        std::ifstream in(path, std::ios::binary);
        std::string head(65536, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<size_t>(in.gcount()));
        if (const char* t = magic_buffer(cookie, head.data(), head.size())) out = t;
    }
    magic_close(cookie);
    return out;
}
