#include "fields/structure_worker.h"

#include "structure/description_loader.h"
#include "structure/format_lookup.h"
#include "structure/interpreter.h"

#include <mutex>

// The file's engine, shared by the runs in turn: a stopped run may still
// be reading while the next one starts, and waits here for it.
struct StructureWorker::Session {
    std::mutex mutex;
    bool opened = false;
    std::string format;
    std::string refusal;
    std::unique_ptr<StructureEngine> engine;
};

void StructureWorker::open(const std::string& path, const std::string& format) {
    path_ = path;
    format_ = format;
    reopen();
}

void StructureWorker::reopen() {
    worker_.stop();
    session_ = std::make_shared<Session>();
}

namespace {

// Chooses and loads the description, once a session.
void open_session(const std::string& path, const std::string& format_argument, std::string& format,
                  std::string& refusal, std::unique_ptr<StructureEngine>& engine) {
    if (format_argument == "none") return;
    const std::vector<std::string> folders = format_folders();
    std::string ksy;
    if (!format_argument.empty()) {
        ksy = find_format(format_argument, folders, refusal);
    } else {
        ksy = choose_format(mime_type_of(path), path, folders);
    }
    if (ksy.empty()) return;
    try {
        std::shared_ptr<const Description> description = load_description_file(ksy, folders);
        engine = std::make_unique<StructureEngine>(description, std::make_shared<ByteSource>(path));
        format = description->id;
    } catch (const std::exception& e) {
        refusal = e.what();
    }
}

}  // namespace

uint64_t StructureWorker::ask(const StructureRequest& request) {
    return worker_.start([session = session_, path = path_, format = format_,
                          request](WorkerRun<StructureAnswer>& run) {
        StructureAnswer answer = run.fresh();
        answer.request = request;
        std::lock_guard<std::mutex> lock(session->mutex);
        if (run.cancelled()) {
            answer.running = false;
            answer.cancelled = true;
            run.publish(answer);
            return;
        }
        if (!session->opened) {
            session->opened = true;
            open_session(path, format, session->format, session->refusal, session->engine);
        }
        answer.format = session->format;
        answer.refusal = session->refusal;
        if (session->engine) {
            FieldNavigator navigator(*session->engine);
            answer_request(navigator, request, answer);
        }
        answer.cancelled = run.cancelled();
        answer.running = false;
        run.publish(answer);
    });
}

void answer_request(FieldNavigator& navigator, const StructureRequest& request, StructureAnswer& answer) {
    uint64_t at = request.at;
    try {
        if (request.kind == StructureRequest::Kind::Step) {
            if (std::optional<FieldSpan> next = navigator.step(request.at, request.backward)) {
                answer.found = true;
                answer.target = *next;
                at = next->offset;
            } else {
                answer.error = request.backward ? "no field before this one" : "no field after this one";
            }
        } else if (request.kind == StructureRequest::Kind::Resolve) {
            answer.target = navigator.resolve(request.path);
            answer.found = true;
            at = answer.target.offset;
        }
    } catch (const std::exception& e) {
        answer.error = e.what();
    }
    try {
        answer.leaf = navigator.leaf_at(at);
        if (request.tree_lines > 0) answer.tree = navigator.tree(at, request.tree_lines);
        if (request.window_size > 0) {
            answer.leaves = navigator.leaves_in(request.window_first, request.window_first + request.window_size, 2048);
        }
    } catch (const std::exception& e) {
        if (answer.error.empty()) answer.error = e.what();
    }
}
