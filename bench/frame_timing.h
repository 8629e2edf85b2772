#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

// Runs `frame` ten times to warm up, then `count` times, and prints the
// minimum, median and maximum in milliseconds as `name_ms min= median= max=`.
template <typename Frame>
void time_frames(const char* name, int count, Frame frame) {
    for (int i = 0; i < 10; ++i) {
        frame();
    }
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        frame();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s_ms min=%.3f median=%.3f max=%.3f frames=%d\n", name, ms.front(), ms[ms.size() / 2], ms.back(),
                count);
}
