#pragma once

#include <vulkan/vulkan.h>

#include <exception>
#include <functional>
#include <thread>
#include <utility>

// Builds one pipeline on a thread of its own, so that its compile runs
// beside the frames that do not need it. The one frame that does waits in
// take(); a failure there is the build's own error.
class PipelineWorker {
public:
    PipelineWorker() = default;
    ~PipelineWorker() { join(); }
    PipelineWorker(const PipelineWorker&) = delete;
    PipelineWorker& operator=(const PipelineWorker&) = delete;

    bool started() const { return thread_.joinable() || done_; }

    void start(std::function<VkPipeline()> build) {
        thread_ = std::thread([this, build = std::move(build)] {
            try {
                pipeline_ = build();
            } catch (...) {
                error_ = std::current_exception();
            }
        });
    }

    // Waits for the build and hands its pipeline over (VK_NULL_HANDLE when
    // none was started or it was already taken); rethrows its failure.
    VkPipeline take() {
        join();
        if (error_) {
            std::exception_ptr error = std::exchange(error_, nullptr);
            std::rethrow_exception(error);
        }
        return std::exchange(pipeline_, VK_NULL_HANDLE);
    }

    // Waits for the build and returns its pipeline, if any, dropping a
    // failure no frame asked for; ready for another build after it.
    VkPipeline drop() {
        join();
        done_ = false;
        error_ = nullptr;
        return std::exchange(pipeline_, VK_NULL_HANDLE);
    }

private:
    void join() {
        if (thread_.joinable()) {
            thread_.join();
            done_ = true;
        }
    }

    std::thread thread_;
    VkPipeline pipeline_ = VK_NULL_HANDLE;
    std::exception_ptr error_;
    bool done_ = false;
};
