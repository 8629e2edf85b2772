#include "watch/file_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

namespace {

// What counts as a change of the file itself: its bytes, its length, its
// mode (it may become unreadable), and its leaving the path.
const uint32_t file_events = IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
// Entries of the folder that come to or leave the path.
const uint32_t folder_events = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;

// Notices come at most once a frame interval of a 60 Hz display, so that a
// file written without pause costs at most one read and one frame each,
// where the display does not pace the frames itself.
const std::chrono::microseconds notice_interval{16667};

}  // namespace

Uint32 FileWatcher::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

namespace {

// The (folder, name) steps that resolving `path` takes, symbolic links
// followed into their targets (to a depth that ends loops).
void resolution_steps(const std::string& path, int depth, std::vector<std::pair<std::string, std::string>>& steps) {
    std::string at = path.empty() || path[0] != '/' ? "." : "";
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        const std::string name = path.substr(from, slash - from);
        from = slash + 1;
        if (name.empty() || name == ".") continue;
        const std::string folder = at.empty() ? "/" : at;
        steps.emplace_back(folder, name);
        at += "/" + name;
        char target[4096];
        const ssize_t n = depth < 8 ? ::readlink(at.c_str(), target, sizeof target - 1) : -1;
        if (n > 0) {
            const std::string link(target, size_t(n));
            resolution_steps(link[0] == '/' ? link : folder + "/" + link, depth + 1, steps);
        }
    }
}

}  // namespace

bool FileWatcher::arm(const std::string& path) {
    stop();
    notice_.store(Notice::None);
    event_type();  // registered here, on the main thread
    path_ = path;
    inotify_fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    stop_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (inotify_fd_ < 0 || stop_fd_ < 0 || path.empty() || path.back() == '/') {
        stop();
        return false;
    }
    watch_path();
    if (folder_watches_.empty()) {
        stop();
        return false;
    }
    return true;
}

void FileWatcher::start() {
    if (inotify_fd_ >= 0 && !thread_.joinable()) {
        thread_ = std::thread(&FileWatcher::run, this);
    }
}

void FileWatcher::stop() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        (void)!::write(stop_fd_, &one, sizeof one);
        thread_.join();
    }
    for (int* fd : {&inotify_fd_, &stop_fd_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    folder_watches_.clear();
    file_watch_ = -1;
}

// Watches the folders on the way, from the root down, so that a step made
// after its folder's watch is seen; then whatever file is at the path now.
// The watches of what left the path go, so that changes elsewhere wake nobody.
void FileWatcher::watch_path() {
    for (const auto& watch : folder_watches_) {
        inotify_rm_watch(inotify_fd_, watch.first);
    }
    folder_watches_.clear();
    if (file_watch_ >= 0) {
        inotify_rm_watch(inotify_fd_, file_watch_);
    }
    std::vector<std::pair<std::string, std::string>> steps;
    resolution_steps(path_, 0, steps);
    for (const auto& [folder, name] : steps) {
        const int wd = inotify_add_watch(inotify_fd_, folder.c_str(), folder_events | IN_ONLYDIR);
        if (wd < 0) continue;  // not there (yet): its parent's watch sees it come
        auto known = std::find_if(folder_watches_.begin(), folder_watches_.end(),
                                  [wd](const auto& watch) { return watch.first == wd; });
        if (known == folder_watches_.end()) {
            folder_watches_.push_back({wd, {}});
            known = folder_watches_.end() - 1;
        }
        known->second.push_back(name);
    }
    file_watch_ = inotify_add_watch(inotify_fd_, path_.c_str(), file_events);
}

void FileWatcher::frame_drawn() {
    frame_at_.store(std::chrono::steady_clock::now().time_since_epoch().count());
    Notice taken = Notice::Taken;
    notice_.compare_exchange_strong(taken, Notice::None);
}

void FileWatcher::notify() {
    notice_.store(Notice::Sent);
    SDL_Event event{};
    event.type = event_type();
    if (SDL_PushEvent(&event) != 1) {
        notice_.store(Notice::None);  // a full queue: the next change tries again
    }
}

void FileWatcher::run() {
    using Clock = std::chrono::steady_clock;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + 256)];
    pollfd fds[2] = {{inotify_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    Clock::time_point last_notice;
    // A frame interval after the last notice and after the last frame.
    auto next_notice = [&] {
        const Clock::time_point drawn{Clock::duration(frame_at_.load())};
        return std::max(last_notice, drawn) + notice_interval;
    };
    bool owed = false;  // a change came too soon after the last notice: told when its interval is over
    for (;;) {
        int timeout_ms = -1;  // with nothing owed, sleep until the kernel has news
        if (owed) {
            // While the last notice's frame is drawn, look again an interval on.
            const auto left = notice_.load() == Notice::Taken ? notice_interval : next_notice() - Clock::now();
            timeout_ms = int(std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        fds[0].revents = fds[1].revents = 0;
        if (::poll(fds, 2, timeout_ms) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents) {
            return;
        }
        bool changed = owed;
        for (;;) {
            const ssize_t got = ::read(inotify_fd_, buffer, sizeof buffer);
            if (got <= 0) {
                break;  // drained (EAGAIN)
            }
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                const auto folder = std::find_if(folder_watches_.begin(), folder_watches_.end(),
                                                 [event](const auto& watch) { return watch.first == event->wd; });
                if (event->mask & IN_Q_OVERFLOW) {
                    watch_path();  // events were lost: look afresh
                    changed = true;
                } else if (folder != folder_watches_.end()) {
                    const auto& names = folder->second;
                    if (event->len == 0 || std::find(names.begin(), names.end(), event->name) == names.end()) {
                        continue;
                    }
                    // A step of the path came, went or was replaced.
                    changed = true;
                    watch_path();
                } else if (event->wd == file_watch_ && file_watch_ >= 0) {
                    if (event->mask & IN_IGNORED) {
                        file_watch_ = -1;
                    } else {
                        changed = true;
                        if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                            inotify_rm_watch(inotify_fd_, file_watch_);
                            file_watch_ = -1;
                        }
                    }
                }
            }
        }
        if (!changed) {
            continue;
        }
        const Notice notice = notice_.load();
        if (notice == Notice::Sent) {
            owed = false;  // covered: the main thread reads after taking it
        } else if (notice == Notice::None && Clock::now() >= next_notice()) {
            owed = false;
            last_notice = Clock::now();
            notify();
        } else {
            owed = true;
        }
    }
}
