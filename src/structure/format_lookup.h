#pragma once

#include <optional>
#include <string>
#include <vector>

// Where descriptions are looked for, in order: each folder of
// $QUIRN_FORMATS (':'-separated), $XDG_DATA_HOME/quirn/formats (or
// ~/.local/share/quirn/formats), then each of $XDG_DATA_DIRS + /quirn/formats.
std::vector<std::string> format_folders();

// The description a --format argument names: a path to a .ksy file, a
// meta/id, or a path below a folder without .ksy ("image/png"). Empty with
// `error` set if none is found.
std::string find_format(const std::string& name, const std::vector<std::string>& folders, std::string& error);

// The first description that declares this MIME type, else the first that
// declares the file name's extension; empty if none does.
std::string choose_format(const std::string& mime_type, const std::string& file_name,
                          const std::vector<std::string>& folders);

// libmagic's MIME type of the first bytes of a file ("image/png"), or "".
std::string mime_type_of(const std::string& path);
