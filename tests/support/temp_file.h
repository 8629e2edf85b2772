#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A file made for one test in a private folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes);
    // A sparse file of `size` bytes holding `bytes` at `position`.
    TempFile(uint64_t size, uint64_t position, const std::vector<uint8_t>& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }
    char* c_path() { return path_.data(); }
    void write_at(uint64_t position, const std::vector<uint8_t>& bytes) const;
    void resize(uint64_t size) const;

private:
    std::string dir_;
    std::string path_;
};

std::vector<uint8_t> counting_bytes(size_t count);  // byte i is i mod 251
std::vector<uint8_t> every_byte_value();
std::vector<uint8_t> random_bytes(size_t count, unsigned seed);

// Lines of English text, and x86-64 instructions with random operands.
std::vector<uint8_t> text_bytes(size_t count);
std::vector<uint8_t> machine_code_bytes(size_t count, unsigned seed);

// A file of five regions of `region` bytes (a multiple of 4 KiB), in this
// order: machine code, zeros, text, a hole, random bytes.
enum class MapRegion { Code, Zeros, Text, Hole, Random };
inline constexpr int map_regions = 5;
void write_map_regions(const TempFile& file, uint64_t region);
