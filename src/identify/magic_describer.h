#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// libmagic's one-line description of data in memory. A handle is not safe
// to share between threads: each thread that describes keeps its own. The
// database is the system's, loaded once when the describer is made.
class MagicDescriber {
public:
    enum class Use {
        Any,        // any data: text and its encoding are named too
        Embedded,   // a file inside another: binary formats only
    };

    explicit MagicDescriber(Use use = Use::Any);
    ~MagicDescriber();
    MagicDescriber(const MagicDescriber&) = delete;
    MagicDescriber& operator=(const MagicDescriber&) = delete;

    // Whether the magic database could be loaded.
    bool loaded() const { return loaded_; }
    // The description of `size` bytes, "" without a database or an answer.
    std::string describe(const uint8_t* data, size_t size);

private:
    struct magic_set* cookie_ = nullptr;
    bool loaded_ = false;
};

// The most the type line and the scan's confirmation read at an offset.
inline constexpr size_t magic_read_bytes = size_t{64} << 10;
