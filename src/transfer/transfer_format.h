#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "render/charsets.h"

// What copy and save write and say: the selection as hexadecimal pairs or as
// text, sizes as people read them, and the name a save starts from.

// Writes "xx " for each of the n bytes (3 n characters) and returns the end.
// The caller drops the last space.
char* append_hex(const uint8_t* bytes, size_t n, char* out);

// Writes the bytes as text: each as the character the page shows for it in
// `charset`, in UTF-8 (at most three characters a byte; room for 3 n must be
// there); tab, line feed and carriage return as themselves, and '.' for a
// byte the set draws as another control symbol or a dot. Returns the end.
char* append_text(const uint8_t* bytes, size_t n, Charset charset, char* out);

// The forms a copy comes in besides hex and text, made from all its bytes;
// `first` is the offset of the first, for the dump.
//   CArray:  "unsigned char data[N] = {" and 12 values a line, "0x7f, ..."
//   Base64:  one line, padded
//   Dump:    the page's rows as text: the full offset, 16 hexadecimal
//            pairs, and the bytes as ASCII with "." for the rest
//   Python:  b'\x7fELF...' as Python writes bytes
enum class CopyForm { CArray, Base64, Dump, Python };
std::string format_copy(CopyForm form, const uint8_t* bytes, size_t n, uint64_t first);

// "1 byte", "9 bytes", "2 MiB", "3.2 GiB".
std::string size_text(uint64_t bytes);
// Every digit, grouped: "16,777,217 bytes".
std::string exact_size_text(uint64_t bytes);

// The file's name, then the range's first and last byte in hexadecimal:
// "disk.img.7e00-1ffdff.bin".
std::string default_save_name(const std::string& path, uint64_t first, uint64_t last);

// "saving 42% 1.2 GB/s  Esc cancels".
std::string save_progress_line(uint64_t done, uint64_t total, double seconds);
