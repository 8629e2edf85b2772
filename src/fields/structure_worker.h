#pragma once

#include "structure/field_navigator.h"
#include "work/background_worker.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the window asks of the structure: the fields around a place of the
// view, the leaf after or before one, or the field a path names.
struct StructureRequest {
    enum class Kind { View, Step, Resolve };
    Kind kind = Kind::View;
    uint64_t at = 0;        // the place whose field is shown; where a step starts
    bool backward = false;  // a step to the leaf before
    std::string path;       // what a go-to names, without its "@"
    uint64_t window_first = 0, window_size = 0;  // the page's file window, for the shades
    size_t tree_lines = 0;  // 0: no tree (the panel is hidden)
};

// The worker's answer. While it reads, `progress` says how far into the
// file its reading has come.
struct StructureAnswer {
    uint64_t generation = 0;
    bool running = false;
    StructureRequest request;
    uint64_t progress = 0;
    std::string format;    // the description in use, by its id; "" with none
    std::string refusal;   // why the description chosen could not be used
    bool found = false;    // a step or a path found its field, `target`
    std::string error;     // why a step or a path did not
    FieldSpan target;
    std::optional<FieldSpan> leaf;  // the leaf at the place shown (or at `target`)
    std::vector<TreeLine> tree;
    std::vector<FieldSpan> leaves;  // those in the file window, in file order
    int first_shade = 0;            // of leaves[0]
    bool cancelled = false;
};

// Chooses, loads and reads a file's description on a thread of its own:
// the engine and its caches live as long as the file does, each ask runs
// against them in turn, and no ask waits on the main thread.
class StructureWorker {
public:
    // `format`: a --format argument ("" to choose by the file's type, "none"
    // for no description).
    void open(const std::string& path, const std::string& format);
    // Forgets what was read, after the file changed.
    void reopen();
    uint64_t ask(const StructureRequest& request);
    void cancel() { worker_.cancel(); }
    void stop() { worker_.stop(); }
    StructureAnswer snapshot() const { return worker_.snapshot(); }
    static Uint32 event_type() { return BackgroundWorker<StructureAnswer>::event_type(); }
    bool wait_for(std::chrono::milliseconds limit) { return worker_.wait_for(limit); }

private:
    struct Session;
    std::string path_, format_;
    std::shared_ptr<Session> session_;
    BackgroundWorker<StructureAnswer> worker_;
};

// Answers one request against a navigator: for the tests and the worker.
void answer_request(FieldNavigator& navigator, const StructureRequest& request, StructureAnswer& answer);
