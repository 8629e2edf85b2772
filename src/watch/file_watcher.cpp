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

FileWatcher::Channel::~Channel() {
    if (stop_fd >= 0) ::close(stop_fd);
}

FileWatcher::Watches::~Watches() {
    if (inotify_fd >= 0) ::close(inotify_fd);
}

bool FileWatcher::arm(const std::string& path) {
    stop();
    auto watches = std::make_unique<Watches>();
    auto channel = std::make_shared<Channel>();
    watches->path = path;
    watches->inotify_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    channel->stop_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (watches->inotify_fd < 0 || channel->stop_fd < 0 || path.empty() || path.back() == '/') return false;
    watches->watch_path();
    if (watches->folders.empty()) return false;
    watches_ = std::move(watches);
    channel_ = std::move(channel);
    return true;
}

void FileWatcher::start() {
    if (!watches_) return;
    worker_.start([watches = std::shared_ptr<Watches>(std::move(watches_)), channel = channel_](
                      WorkerRun<State>& run) { FileWatcher::run(*watches, *channel, run); });
}

void FileWatcher::stop() {
    worker_.stop();
    if (channel_) {
        const uint64_t one = 1;
        (void)!::write(channel_->stop_fd, &one, sizeof one);
    }
    channel_.reset();
    watches_.reset();
}

void FileWatcher::take_notice() {
    if (channel_) channel_->notice.store(Notice::Taken);
}

// Watches the folders on the way, from the root down, so that a step made
// after its folder's watch is seen; then whatever file is at the path now.
// The watches of what left the path go, so that changes elsewhere wake nobody.
void FileWatcher::Watches::watch_path() {
    for (const auto& watch : folders) {
        inotify_rm_watch(inotify_fd, watch.first);
    }
    folders.clear();
    if (file >= 0) {
        inotify_rm_watch(inotify_fd, file);
    }
    std::vector<std::pair<std::string, std::string>> steps;
    resolution_steps(path, 0, steps);
    for (const auto& [folder, name] : steps) {
        const int wd = inotify_add_watch(inotify_fd, folder.c_str(), folder_events | IN_ONLYDIR);
        if (wd < 0) continue;  // not there (yet): its parent's watch sees it come
        auto known =
            std::find_if(folders.begin(), folders.end(), [wd](const auto& watch) { return watch.first == wd; });
        if (known == folders.end()) {
            folders.push_back({wd, {}});
            known = folders.end() - 1;
        }
        known->second.push_back(name);
    }
    file = inotify_add_watch(inotify_fd, path.c_str(), file_events);
}

void FileWatcher::frame_drawn() {
    if (!channel_) return;
    channel_->frame_at.store(std::chrono::steady_clock::now().time_since_epoch().count());
    Notice taken = Notice::Taken;
    channel_->notice.compare_exchange_strong(taken, Notice::None);
}

void FileWatcher::run(Watches& watches, Channel& channel, WorkerRun<State>& run) {
    using Clock = std::chrono::steady_clock;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + 256)];
    pollfd fds[2] = {{watches.inotify_fd, POLLIN, 0}, {channel.stop_fd, POLLIN, 0}};
    Clock::time_point last_notice;
    // A frame interval after the last notice and after the last frame.
    auto next_notice = [&] {
        const Clock::time_point drawn{Clock::duration(channel.frame_at.load())};
        return std::max(last_notice, drawn) + notice_interval;
    };
    bool owed = false;  // a change came too soon after the last notice: told when its interval is over
    for (;;) {
        int timeout_ms = -1;  // with nothing owed, sleep until the kernel has news
        if (owed) {
            // While the last notice's frame is drawn, look again an interval on.
            const auto left = channel.notice.load() == Notice::Taken ? notice_interval : next_notice() - Clock::now();
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
            const ssize_t got = ::read(watches.inotify_fd, buffer, sizeof buffer);
            if (got <= 0) {
                break;  // drained (EAGAIN)
            }
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                const auto folder = std::find_if(watches.folders.begin(), watches.folders.end(),
                                                 [event](const auto& watch) { return watch.first == event->wd; });
                if (event->mask & IN_Q_OVERFLOW) {
                    watches.watch_path();  // events were lost: look afresh
                    changed = true;
                } else if (folder != watches.folders.end()) {
                    const auto& names = folder->second;
                    if (event->len == 0 || std::find(names.begin(), names.end(), event->name) == names.end()) {
                        continue;
                    }
                    // A step of the path came, went or was replaced.
                    changed = true;
                    watches.watch_path();
                } else if (event->wd == watches.file && watches.file >= 0) {
                    if (event->mask & IN_IGNORED) {
                        watches.file = -1;
                    } else {
                        changed = true;
                        if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                            inotify_rm_watch(watches.inotify_fd, watches.file);
                            watches.file = -1;
                        }
                    }
                }
            }
        }
        if (!changed) {
            continue;
        }
        const Notice notice = channel.notice.load();
        if (notice == Notice::Sent) {
            owed = false;  // covered: the main thread reads after taking it
        } else if (notice == Notice::None && Clock::now() >= next_notice()) {
            owed = false;
            last_notice = Clock::now();
            channel.notice.store(Notice::Sent);
            State state = run.fresh();
            if (!run.publish(state)) {
                if (run.cancelled()) return;
                channel.notice.store(Notice::None);  // a full queue: the next change tries again
            }
        } else {
            owed = true;
        }
    }
}
