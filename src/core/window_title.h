#pragma once

#include <string>

// The window's title: the path as typed, followed by " - quirn". Window
// systems take titles as UTF-8 and drop a title that is not, so a byte that
// is not part of valid UTF-8 (a Latin-1 file name, say) is shown as U+FFFD,
// and so is a control character (a newline, say); any other path stays byte
// for byte. A compare's title holds both paths, the first file's first.
std::string window_title(const char* path, const char* second_path = nullptr);
