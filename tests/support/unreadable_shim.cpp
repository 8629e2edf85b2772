// A stand-in for a disk with bad sectors: preloaded (or linked before the C
// library), it makes reads of one file fail with EIO wherever they touch the
// byte range named by QUIRN_UNREADABLE="PATH:FIRST:END" (END exclusive;
// decimal or 0x-prefixed hexadecimal). A read that touches the range fails as
// a whole, as a disk's does, so a reader must step around it to get the rest.
// QUIRN_SHRUNK="PATH:SIZE" makes reads of a file end at SIZE, as when it is
// cut after it was measured. QUIRN_SLOW="PATH:MS" makes every read of a
// file take MS milliseconds more, as a failing disk's do. These files also
// refuse to be mapped and to be copied by the kernel, so that every byte
// goes through a read. Any other file, or with the variables unset,
// everything is passed on unchanged.
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Whether `fd` is the file the variable names; its two numbers (the second
// defaults to the first) in first and end.
bool configured(int fd, uint64_t& first, uint64_t& end, const char* variable = "QUIRN_UNREADABLE") {
    if (fd < 0) return false;
    const char* setting = std::getenv(variable);
    if (!setting) return false;
    const std::string text(setting);
    size_t second = text.rfind(':');
    size_t one = second == std::string::npos || second == 0 ? std::string::npos : text.rfind(':', second - 1);
    if (std::string(variable) != "QUIRN_UNREADABLE") one = second;
    if (one == std::string::npos) return false;
    const std::string path = text.substr(0, one);
    first = std::strtoull(text.c_str() + one + 1, nullptr, 0);
    end = std::strtoull(text.c_str() + second + 1, nullptr, 0);
    struct stat open_file {}, named {};
    const int saved = errno;
    const bool same = fstat(fd, &open_file) == 0 && S_ISREG(open_file.st_mode) && stat(path.c_str(), &named) == 0 &&
                      open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
    errno = saved;
    return same;
}

bool touches(int fd, uint64_t at, uint64_t count) {
    uint64_t first = 0, end = 0;
    return count > 0 && configured(fd, first, end) && at < end && first < at + count;
}

// A read of the slow file first sleeps its delay.
void delay_if_slow(int fd) {
    uint64_t milliseconds = 0, unused = 0;
    if (configured(fd, milliseconds, unused, "QUIRN_SLOW")) usleep(useconds_t(milliseconds * 1000));
}

ssize_t failed(int error) {
    errno = error;
    return -1;
}

}  // namespace

extern "C" {

ssize_t pread64(int fd, void* buffer, size_t count, off_t at) {
    static const auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread64");
    delay_if_slow(fd);
    if (touches(fd, uint64_t(at), count)) return failed(EIO);
    uint64_t size = 0, unused = 0;
    if (configured(fd, size, unused, "QUIRN_SHRUNK")) {
        if (uint64_t(at) >= size) return 0;
        count = size_t(std::min<uint64_t>(count, size - uint64_t(at)));
    }
    return real(fd, buffer, count, at);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t at) { return pread64(fd, buffer, count, at); }

ssize_t read(int fd, void* buffer, size_t count) {
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    delay_if_slow(fd);
    uint64_t first = 0, end = 0;
    if (count > 0 && configured(fd, first, end)) {
        const off_t at = lseek(fd, 0, SEEK_CUR);
        if (at >= 0 && uint64_t(at) < end && first < uint64_t(at) + count) return failed(EIO);
    }
    return real(fd, buffer, count);
}

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off_t at) {
    static const auto real = next<void* (*)(void*, size_t, int, int, int, off_t)>("mmap64");
    uint64_t first = 0, end = 0;
    if (!(flags & MAP_ANONYMOUS) && (configured(fd, first, end) || configured(fd, first, end, "QUIRN_SLOW"))) {
        errno = ENODEV;
        return MAP_FAILED;
    }
    return real(address, length, protection, flags, fd, at);
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t at) {
    return mmap64(address, length, protection, flags, fd, at);
}

ssize_t copy_file_range(int in, loff_t* in_at, int out, loff_t* out_at, size_t length, unsigned int flags) {
    static const auto real = next<ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned int)>("copy_file_range");
    uint64_t first = 0, end = 0;
    if (configured(in, first, end) || configured(in, first, end, "QUIRN_SLOW")) return failed(EXDEV);  // the caller falls back to reads
    return real(in, in_at, out, out_at, length, flags);
}

}  // extern "C"
