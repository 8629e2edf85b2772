#include "support/temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>

TempFile::TempFile(const std::vector<uint8_t>& bytes) : TempFile(bytes.size(), 0, bytes) {}

namespace {

std::string make_folder(std::string pattern) {
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
}

}  // namespace

TempFile::TempFile(uint64_t size, uint64_t position, const std::vector<uint8_t>& bytes) {
    dir_ = make_folder("/tmp/quirn-test-XXXXXX");
    path_ = dir_ + "/file.bin";
    try {
        resize(size);
    } catch (const std::runtime_error&) {
        // ext4 ends files at 16 TiB less 4 KiB; tmpfs takes larger sparse files.
        std::filesystem::remove_all(dir_);
        dir_ = make_folder("/dev/shm/quirn-test-XXXXXX");
        path_ = dir_ + "/file.bin";
        resize(size);
    }
    write_at(position, bytes);
}

TempFile::~TempFile() { std::filesystem::remove_all(dir_); }

void TempFile::write_at(uint64_t position, const std::vector<uint8_t>& bytes) const {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0 || ::pwrite(fd, bytes.data(), bytes.size(), off_t(position)) != ssize_t(bytes.size())) {
        throw std::runtime_error("cannot write " + path_);
    }
    ::close(fd);
}

void TempFile::resize(uint64_t size) const {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0 || ::ftruncate(fd, off_t(size)) != 0) {
        throw std::runtime_error("cannot resize " + path_);
    }
    ::close(fd);
}

std::vector<uint8_t> counting_bytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = uint8_t(i % 251);
    }
    return bytes;
}

std::vector<uint8_t> every_byte_value() {
    std::vector<uint8_t> bytes(256);
    for (size_t i = 0; i < 256; ++i) {
        bytes[i] = uint8_t(i);
    }
    return bytes;
}

std::vector<uint8_t> random_bytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) {
        byte = uint8_t(generator());
    }
    return bytes;
}

std::vector<uint8_t> text_bytes(size_t count) {
    static const std::string lines =
        "The viewer reads a window of the file around the shown rows.\n"
        "\tA search runs on a worker; the page stays live.\r\n"
        "Holes are found with SEEK_DATA and SEEK_HOLE, 4096 bytes at a time.\n";
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = uint8_t(lines[i % lines.size()]);
    }
    return bytes;
}

std::vector<uint8_t> machine_code_bytes(size_t count, unsigned seed) {
    // Prologues, moves, calls, compares, branches and returns.
    static const std::vector<std::vector<uint8_t>> opcodes = {
        {0x55}, {0x48, 0x89, 0xe5}, {0x48, 0x83, 0xec}, {0xe8}, {0x8b, 0x45}, {0x89, 0x7d},
        {0x48, 0x8d, 0x3d}, {0x31, 0xc0}, {0x74}, {0x75}, {0xc3}, {0x0f, 0x1f, 0x44, 0x00, 0x00}};
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes;
    bytes.reserve(count + 8);
    while (bytes.size() < count) {
        const size_t k = generator() % opcodes.size();
        bytes.insert(bytes.end(), opcodes[k].begin(), opcodes[k].end());
        const int operand = k == 3 || k == 6 ? 4 : k == 2 || k == 4 || k == 5 || k == 8 || k == 9 ? 1 : 0;
        for (int i = 0; i < operand; ++i) {
            bytes.push_back(uint8_t(generator()));
        }
    }
    bytes.resize(count);
    return bytes;
}

void write_map_regions(const TempFile& file, uint64_t region) {
    file.resize(0);
    file.write_at(0, machine_code_bytes(region, 7));
    file.write_at(region, std::vector<uint8_t>(region, 0));
    file.write_at(2 * region, text_bytes(region));
    file.write_at(4 * region, random_bytes(region, 8));
}
