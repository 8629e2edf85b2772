#include "identify/type_worker.h"

#include "identify/magic_describer.h"
#include "watch/live_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

uint64_t TypeWorker::ask(const std::string& path, uint64_t offset) {
    return worker_.start([path, offset, describers = describers_](WorkerRun<State>& run) {
        std::unique_ptr<MagicDescriber> describer;
        {
            std::lock_guard<std::mutex> lock(describers->mutex);
            if (!describers->idle.empty()) {
                describer = std::move(describers->idle.back());
                describers->idle.pop_back();
            }
        }
        if (!describer) describer = std::make_unique<MagicDescriber>();
        State state = describe_at(*describer, path, offset);
        state.running = false;
        run.publish(state);
        std::lock_guard<std::mutex> lock(describers->mutex);
        describers->idle.push_back(std::move(describer));
    });
}

TypeWorker::State describe_at(MagicDescriber& describer, const std::string& path, uint64_t offset) {
    TypeWorker::State state;
    state.offset = offset;
    if (!describer.loaded()) {
        state.no_database = true;
        return state;
    }
    // Read as the page reads: around bad sectors, to the length reading finds.
    std::vector<uint8_t> bytes(magic_read_bytes);
    const FileRead read = read_file_at(path.c_str(), offset, bytes.size(), bytes.data());
    // The bytes before the first that could not be read are described.
    const uint64_t readable = read.unreadable == 0 ? read.done : read.first_unreadable - offset;
    if (read.failure != FileRead::Failure::None || (read.unreadable > 0 && readable == 0)) {
        state.unreadable = true;
        return state;
    }
    state.description = describer.describe(bytes.data(), size_t(readable));
    return state;
}
