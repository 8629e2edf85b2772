#include "transfer/save_file.h"

#include "base/file_descriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>

namespace {

const uint64_t block_bytes = uint64_t{1} << 20;      // a read and write without the kernel's copy
const uint64_t kernel_step = uint64_t{64} << 20;     // a kernel copy between cancel checks

// A system reason as the system words it, as every message of the viewer gives it.
std::string reason(int error) { return std::strerror(error); }

TransferOutcome failed(const std::string& why) { return {TransferOutcome::Kind::Failed, why}; }


bool write_all(int fd, const uint8_t* data, size_t length, uint64_t at) {
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, data, length, off_t(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        length -= size_t(n);
        at += uint64_t(n);
    }
    return true;
}

// The umask, read without changing it (umask() would, for the whole process).
mode_t current_umask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return mode_t(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

const char save_marker[] = ".quirn-save-";

// ".NAME.quirn-save-PID-RANDOM" in the folder: hidden, recognisable, and
// telling which process made it.
std::string random_name(const std::string& folder, const std::string& path) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "%s%ld-%08llx", save_marker, static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(random() & 0xffffffffULL));
    return folder + "/." + base + suffix;
}

// Temporary files of saves whose process is gone (killed midway, where the
// folder takes no unnamed files): removed on the next save there.
void remove_stale_temporaries(const std::string& folder) {
    DIR* entries = ::opendir(folder.c_str());
    if (!entries) return;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string name = entry->d_name;
        const size_t marker = name.rfind(save_marker);
        if (name[0] != '.' || marker == std::string::npos) continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + marker + sizeof save_marker - 1, &end, 10);
        if (pid <= 0 || *end != '-') continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) ::unlinkat(::dirfd(entries), name.c_str(), 0);
    }
    ::closedir(entries);
}

// Where the temporary file is and how it gets its name.
struct Temporary {
    FileDescriptor fd;
    std::string path;  // "" for an unnamed one (O_TMPFILE)
    explicit Temporary(int descriptor, std::string name = "") : fd(descriptor), path(std::move(name)) {}
    ~Temporary() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

std::unique_ptr<Temporary> open_temporary(const std::string& folder, const std::string& target, int& error) {
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (unnamed >= 0) return std::make_unique<Temporary>(unnamed);
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        error = errno;
        return nullptr;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string name = random_name(folder, target);
        const int named = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666 & ~current_umask());
        if (named >= 0) return std::make_unique<Temporary>(named, name);
        if (errno != EEXIST) break;
    }
    error = errno;
    return nullptr;
}

// Gives the complete temporary file the target's name; errno on failure.
bool give_name(Temporary& temporary, const std::string& folder, const std::string& target, bool replace) {
    std::string named = temporary.path;
    if (named.empty()) {
        const std::string proc = "/proc/self/fd/" + std::to_string(temporary.fd.get());
        if (!replace) {
            if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
            if (errno != ENOENT) return false;  // EEXIST among them: someone made the name meanwhile
            return ::linkat(temporary.fd.get(), "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0;
        }
        for (int attempt = 0; named.empty() && attempt < 16; ++attempt) {
            const std::string name = random_name(folder, target);
            if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) named = name;
            else if (errno != EEXIST) return false;
        }
        if (named.empty()) return false;
        temporary.path = named;
    }
    if (replace) {
        if (::rename(named.c_str(), target.c_str()) != 0) return false;
    } else if (::renameat2(AT_FDCWD, named.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL) return false;
        if (::link(named.c_str(), target.c_str()) != 0) return false;  // a folder without renameat2's flag
    }
    if (::access(named.c_str(), F_OK) != 0) temporary.path.clear();  // renamed: nothing left to remove
    return true;
}

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// What the target's name says before anything is written, and again before
// the rename: the shown files are looked at anew each time, as a replace by
// rename may have put another file at a shown path.
TransferOutcome check_target(const std::string& target, const struct stat& source, const std::string& source_path,
                             const std::vector<std::string>& shown, bool replace) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) != 0) {
        if (errno == ENOENT) return {};
        return failed(reason(errno));
    }
    if (same_file(existing, source)) return {TransferOutcome::Kind::Shown, source_path};
    if (const int index = shown_file_named(target, shown); index >= 0) {
        return {TransferOutcome::Kind::Shown, shown[size_t(index)]};
    }
    if (S_ISDIR(existing.st_mode)) return failed("it is a folder");
    if (!replace) return {TransferOutcome::Kind::Exists, ""};
    return {};
}

}  // namespace

int shown_file_named(const std::string& target, const std::vector<std::string>& shown) {
    struct stat named[2] {};
    int names = 0;
    if (::stat(target.c_str(), &named[names]) == 0) ++names;
    if (char* resolved = ::realpath(target.c_str(), nullptr)) {
        if (::stat(resolved, &named[names]) == 0) ++names;
        std::free(resolved);
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        struct stat file {};
        if (::stat(shown[i].c_str(), &file) != 0) continue;
        for (int n = 0; n < names; ++n) {
            if (same_file(named[n], file)) return int(i);
        }
    }
    return -1;
}

TransferOutcome copy_range(int source, uint64_t first, uint64_t length, int target,
                           const std::atomic<bool>& cancel, const SaveProgress& progress) {
    if (::ftruncate(target, off_t(length)) != 0) return failed(reason(errno));
    const uint64_t end = first + length;
    bool sparse = true;        // the source tells its holes
    bool kernel_copy = true;   // and the two files allow the kernel's copy
    std::unique_ptr<uint8_t[]> block;
    uint64_t position = first;
    while (position < end) {
        uint64_t data = position, hole = end;
        if (sparse) {
            const off_t found = ::lseek(source, off_t(position), SEEK_DATA);
            if (found < 0) {
                if (errno == ENXIO) break;  // holes to the end
                if (errno != EINVAL && errno != EOPNOTSUPP) return failed(reason(errno));
                sparse = false;
            } else {
                data = uint64_t(found);
                if (data >= end) break;
                const off_t next_hole = ::lseek(source, found, SEEK_HOLE);
                hole = next_hole < 0 ? end : std::min(end, uint64_t(next_hole));
            }
        }
        while (data < hole) {
            if (cancel.load(std::memory_order_relaxed)) return {TransferOutcome::Kind::Cancelled, ""};
            if (kernel_copy) {
                loff_t in = loff_t(data), out = loff_t(data - first);
                const ssize_t n = ::copy_file_range(source, &in, target, &out, std::min(hole - data, kernel_step), 0);
                if (n < 0) {
                    if (errno == EINTR) continue;
                    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                        errno != EBADF) {
                        return failed(reason(errno));
                    }
                    kernel_copy = false;
                    continue;
                }
                if (n == 0) return failed("the file ended before the range did");
                // Writeback starts now, beside the copy, rather than all in the final sync.
                ::sync_file_range(target, off_t(data - first), off_t(n), SYNC_FILE_RANGE_WRITE);
                data += uint64_t(n);
            } else {
                if (!block) block = std::make_unique<uint8_t[]>(block_bytes);
                const ssize_t n = ::pread(source, block.get(), std::min(hole - data, block_bytes), off_t(data));
                if (n < 0) {
                    if (errno == EINTR) continue;
                    return failed(reason(errno));
                }
                if (n == 0) return failed("the file ended before the range did");
                if (!write_all(target, block.get(), size_t(n), data - first)) return failed(reason(errno));
                data += uint64_t(n);
            }
            if (progress) progress(data - first);
        }
        position = hole;
    }
    // Holes to the range's end may be a file that ends, or shrank, before it.
    struct stat source_now {};
    if (::fstat(source, &source_now) == 0 && S_ISREG(source_now.st_mode) && uint64_t(source_now.st_size) < end) {
        return failed("the file ended before the range did");
    }
    if (progress) progress(length);
    return {};
}

TransferOutcome save_range(const std::string& source_path, uint64_t first, uint64_t length,
                           const std::string& target_name, bool replace, const std::atomic<bool>& cancel,
                           const SaveProgress& progress, const std::vector<std::string>& shown) {
    const FileDescriptor source(::open(source_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat source_file {};
    if (source.get() < 0 || ::fstat(source.get(), &source_file) != 0) return failed("the file cannot be opened");
    // A name that is a symbolic link: the file it points to is replaced, and the link stays.
    std::string target_path = target_name;
    if (char* resolved = replace ? ::realpath(target_name.c_str(), nullptr) : nullptr) {
        target_path = resolved;
        std::free(resolved);
    }
    TransferOutcome outcome = check_target(target_path, source_file, source_path, shown, replace);
    if (outcome.kind != TransferOutcome::Kind::Done) return outcome;

    const std::string folder = folder_of(target_path);
    remove_stale_temporaries(folder);
    int error = 0;
    const std::unique_ptr<Temporary> temporary = open_temporary(folder, target_path, error);
    if (!temporary) return failed("cannot write in " + folder + ": " + reason(error));
    outcome = copy_range(source.get(), first, length, temporary->fd.get(), cancel, progress);
    if (outcome.kind != TransferOutcome::Kind::Done) return outcome;
    // A replaced file keeps its mode, and its owner where that is allowed.
    struct stat replaced {};
    if (replace && ::stat(target_path.c_str(), &replaced) == 0) {
        (void)!::fchown(temporary->fd.get(), replaced.st_uid, replaced.st_gid);
        ::fchmod(temporary->fd.get(), replaced.st_mode & 07777);
    }
    if (::fsync(temporary->fd.get()) != 0) return failed(reason(errno));
    if (cancel.load()) return {TransferOutcome::Kind::Cancelled, ""};

    // The name may have changed hands while the bytes were copied.
    outcome = check_target(target_path, source_file, source_path, shown, replace);
    if (outcome.kind != TransferOutcome::Kind::Done) return outcome;
    if (!give_name(*temporary, folder, target_path, replace)) {
        if (errno == EEXIST) return {TransferOutcome::Kind::Exists, ""};
        return failed(reason(errno));
    }
    const FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0) ::fsync(directory.get());
    return {};
}
