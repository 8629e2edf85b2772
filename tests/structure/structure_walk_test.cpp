// The walk of a variable-size repeat on the worker: progress through the
// event queue, the engine handed over with its checkpoints, Esc's cancel.
#include "structure/description_loader.h"
#include "structure/walk_worker.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

namespace {

const char* packets_yaml = "meta: {id: t}\n"
                           "seq: [{id: p, type: pkt, repeat: eos}]\n"
                           "types:\n"
                           "  pkt:\n"
                           "    seq: [{id: n, type: u1}, {id: body, size: n}]\n";

std::vector<uint8_t> packets(int count) {
    std::vector<uint8_t> data;
    for (int i = 0; i < count; i++) {
        data.push_back(static_cast<uint8_t>(i % 7));
        data.insert(data.end(), i % 7, 0xaa);
    }
    return data;
}

}  // namespace

TEST(StructureWalk, HandsOverTheEngineWithItsCheckpoints) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    {
        TempFile file(packets(300000));
        StructureWalkWorker worker;
        const uint64_t generation =
            worker.start(structure_walk(load_description(packets_yaml, "t.ksy"), file.path(), "p"));
        ASSERT_TRUE(worker.wait_for(std::chrono::seconds(60)));
        const StructureWalkState state = worker.snapshot();
        EXPECT_EQ(state.generation, generation);
        EXPECT_FALSE(state.running);
        EXPECT_EQ(state.message, "");
        EXPECT_EQ(state.walked, 300000u);
        EXPECT_EQ(state.position, state.size);
        ASSERT_TRUE(state.engine);
        // The main thread reads on at once, from the checkpoints: no walk again.
        const Slot& p = state.engine->root().seq[0];
        ASSERT_EQ(p.value.kind, Value::Kind::Array);
        EXPECT_EQ(p.value.arr->checkpoints.size(), (300000u + 63) / 64);
        EXPECT_EQ(p.value.arr->element(299999).value.kind, Value::Kind::Struct);
        EXPECT_EQ(walk_progress_text(state, "p"), "walking p: 300000 elements, 100%");
        SDL_Event event;
        int notices = 0;
        while (SDL_PollEvent(&event)) notices += event.type == StructureWalkWorker::event_type();
        EXPECT_GE(notices, 1);
    }
    SDL_Quit();
}

TEST(StructureWalk, ACancelledWalkSaysWhereItStopped) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    {
        TempFile file(packets(2000000));
        StructureWalkWorker worker;
        worker.start(structure_walk(load_description(packets_yaml, "t.ksy"), file.path(), "p"));
        worker.cancel();
        ASSERT_TRUE(worker.wait_for(std::chrono::seconds(60)));
        const StructureWalkState state = worker.snapshot();
        EXPECT_FALSE(state.running);
        EXPECT_NE(state.message.find("the walk of p was stopped at element"), std::string::npos) << state.message;
        EXPECT_FALSE(state.engine);
        EXPECT_LT(state.walked, 2000000u);
    }
    SDL_Quit();
}
