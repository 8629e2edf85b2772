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
