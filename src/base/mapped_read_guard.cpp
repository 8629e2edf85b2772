#include "base/mapped_read_guard.h"

#include <signal.h>
#include <sys/mman.h>

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace {

const uintptr_t page_mask = ~uintptr_t(::sysconf(_SC_PAGESIZE) - 1);

struct Range {
    uintptr_t begin = 0, end = 0;
    volatile sig_atomic_t faulted = 0;
};
thread_local Range guarded;
struct sigaction previous {};

void on_bus_error(int signal, siginfo_t* info, void* context) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    if (info->si_code > 0 && at >= guarded.begin && at < guarded.end) {
        const uintptr_t page = at & page_mask;
        // The faulting load runs again on return and reads zeros.
        if (::mmap(reinterpret_cast<void*>(page), guarded.end - page, PROT_READ,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            guarded.faulted = 1;
            return;
        }
    }
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    } else {
        // A fault repeats on return and now ends the process as it would have.
        ::sigaction(SIGBUS, &previous, nullptr);
        if (info->si_code <= 0) ::raise(signal);
    }
}

}  // namespace

MappedReadGuard::MappedReadGuard(const void* begin, size_t size) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = on_bus_error;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previous);
    });
    guarded.begin = reinterpret_cast<uintptr_t>(begin);
    guarded.end = (guarded.begin + size + ~page_mask) & page_mask;
    guarded.faulted = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

MappedReadGuard::~MappedReadGuard() {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    guarded.begin = guarded.end = 0;
}

bool MappedReadGuard::faulted() const { return guarded.faulted != 0; }

bool last_page_resident(const void* map, size_t size) {
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t last_page = (size - 1) & ~(page - 1);
    unsigned char in_cache = 0;
    return ::mincore(const_cast<uint8_t*>(static_cast<const uint8_t*>(map)) + last_page, size - last_page,
                     &in_cache) == 0 &&
           (in_cache & 1);
}
