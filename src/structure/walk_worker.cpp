#include "structure/walk_worker.h"

#include "structure/field_tree.h"

#include <chrono>

StructureWalkWorker::Body structure_walk(std::shared_ptr<const Description> desc, std::string file,
                                         std::string array_path, StructureLimits limits) {
    return [desc = std::move(desc), file = std::move(file), array_path = std::move(array_path),
            limits](WorkerRun<StructureWalkState>& run) {
        StructureWalkState state = run.fresh();
        std::shared_ptr<StructureEngine> engine;
        try {
            engine = std::make_shared<StructureEngine>(desc, std::make_shared<ByteSource>(file), limits);
        } catch (const std::exception& e) {
            state.message = e.what();
        } catch (const ParseStop& p) {
            state.message = p.message;
        }
        if (engine) {
            auto last = std::chrono::steady_clock::now();
            engine->set_walk_hooks(&run.cancel_flag(), [&](const ArrayObj& arr) {
                const auto now = std::chrono::steady_clock::now();
                if (now - last < std::chrono::milliseconds(100)) return;
                last = now;
                run.wait_turn();
                state.walked = arr.walked;
                state.position = arr.walk_pos / 8;
                state.size = arr.io ? arr.io->size : 0;
                run.publish(state);
            });
            FieldTree tree(*engine);
            std::string error;
            try {
                const auto array = tree.resolve(array_path, error);
                if (array && array->slot.value.kind == Value::Kind::Array) {
                    ArrayObj& arr = *array->slot.value.arr;
                    arr.size();
                    state.walked = arr.walked;
                    state.position = arr.walk_pos / 8;
                    state.size = arr.io->size;
                } else if (array) {
                    state.message = array_path + " is not an array";
                } else {
                    state.message = error;
                }
            } catch (const ParseStop& p) {
                state.message = p.message;
            } catch (const std::exception& e) {
                state.message = e.what();
            }
            engine->set_walk_hooks(nullptr, nullptr);
        }
        state.running = false;
        if (state.message.empty()) state.engine = std::move(engine);
        run.publish(state);
    };
}

std::string walk_progress_text(const StructureWalkState& state, const std::string& array_path) {
    std::string text = "walking " + array_path + ": " + std::to_string(state.walked) + " elements";
    if (state.size > 0) text += ", " + std::to_string(state.position * 100 / state.size) + "%";
    return text;
}
