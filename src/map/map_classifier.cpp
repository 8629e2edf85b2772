#include "map/map_classifier.h"

#include <cmath>
#include <cstring>

void ByteHistogram::add(const uint8_t* bytes, size_t length) {
    // Four tables break the store-to-load chain of runs of one value.
    uint32_t partial[4][256] = {};
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes + i, 8);
        ++partial[0][w & 0xff];
        ++partial[1][(w >> 8) & 0xff];
        ++partial[2][(w >> 16) & 0xff];
        ++partial[3][(w >> 24) & 0xff];
        ++partial[0][(w >> 32) & 0xff];
        ++partial[1][(w >> 40) & 0xff];
        ++partial[2][(w >> 48) & 0xff];
        ++partial[3][w >> 56];
    }
    for (; i < length; ++i) {
        ++partial[0][bytes[i]];
    }
    for (int v = 0; v < 256; ++v) {
        counts[size_t(v)] += partial[0][v] + partial[1][v] + partial[2][v] + partial[3][v];
    }
    total += length;
}

double entropy_estimate(const ByteHistogram& histogram) {
    if (histogram.total == 0) return 0;
    const double n = double(histogram.total);
    double sum = 0;
    int seen = 0;
    for (const uint32_t c : histogram.counts) {
        if (c == 0) continue;
        ++seen;
        sum += double(c) * std::log2(double(c));
    }
    return std::log2(n) - sum / n + double(seen - 1) / (2.0 * n * std::log(2.0));
}

SliceClass classify(const ByteHistogram& histogram) {
    if (histogram.total == 0) return SliceClass::Hole;
    if (histogram.counts[0] == histogram.total) return SliceClass::Zeros;
    uint64_t text = uint64_t(histogram.counts['\t']) + histogram.counts['\n'] + histogram.counts['\r'];
    for (int v = 0x20; v < 0x7f; ++v) {
        text += histogram.counts[size_t(v)];
    }
    if (text * 10 >= histogram.total * 9) return SliceClass::Text;
    if (entropy_estimate(histogram) >= 7.2) return SliceClass::Dense;
    return SliceClass::Binary;
}
