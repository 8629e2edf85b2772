#include "core/application.h"
#include "core/command_line.h"
#include "core/page_rules.h"
#include "history/view_history.h"
#include "support/command_line_words.h"

#include <gtest/gtest.h>

namespace {

SavedView view_at(int64_t offset) { return {offset, {}}; }

TEST(ViewHistory, BackAndForwardLikeABrowserWithin100Views) {
    ViewHistory history;
    EXPECT_FALSE(history.back(view_at(0)));  // nothing before the start
    for (int64_t i = 0; i < 150; ++i) history.record(view_at(i * 16), view_at(i * 16 + 16));
    EXPECT_EQ(history.back_count(), ViewHistory::limit);
    history.record(view_at(7), view_at(7));  // a jump that went nowhere is no jump
    EXPECT_EQ(history.back_count(), ViewHistory::limit);

    EXPECT_EQ(history.back(view_at(2400))->offset, 149 * 16);
    EXPECT_EQ(history.back(view_at(149 * 16))->offset, 148 * 16);
    EXPECT_EQ(history.forward(view_at(148 * 16))->offset, 149 * 16);
    // A new jump forgets the views ahead.
    history.record(view_at(149 * 16), view_at(5));
    EXPECT_FALSE(history.forward(view_at(5)));
    // '' swaps with the view before the last jump, twice back to the start.
    EXPECT_EQ(history.before_last_jump(view_at(5))->offset, 149 * 16);
    EXPECT_EQ(history.before_last_jump(view_at(149 * 16))->offset, 5);
}

class Jumps : public ::testing::Test {
protected:
    void SetUp() override {
        app.file_size = 100000;
        SDL_SetModState(KMOD_NONE);
    }
    void send(const SDL_Event& event) {
        bool quit = false;
        app.handle_event(event, quit);
    }
    void press(SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        send(event);
    }
    void type(const char* text) {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        std::snprintf(event.text.text, sizeof event.text.text, "%s", text);
        send(event);
    }
    Application app;
};

TEST_F(Jumps, JumpsAreRecordedAndStepsAreNot) {
    press(SDLK_END);                 // a jump: 0 is kept
    press(SDLK_UP);                  // steps and the wheel are not jumps
    press(SDLK_PAGEUP);
    type(":");
    for (const char* c : {"4", "0"}) type(c);
    press(SDLK_RETURN);              // go-to 0x40 selects its byte: a jump
    ASSERT_EQ(app.offset, 0x40);
    press(SDLK_F3);                  // a jump
    EXPECT_EQ(app.offset, 0x1040);

    press(SDLK_LEFT, KMOD_LALT);
    EXPECT_EQ(app.offset, 0x40);
    EXPECT_TRUE(app.selection.active);  // the go-to's selection comes back with its view
    EXPECT_EQ(app.selection.first(), 0x40u);
    press(SDLK_LEFT, KMOD_LALT);
    EXPECT_EQ(app.offset, end_target(100000) - 256 - 16);
    press(SDLK_LEFT, KMOD_LALT);
    EXPECT_EQ(app.offset, 0);
    press(SDLK_RIGHT, KMOD_LALT);
    press(SDLK_RIGHT, KMOD_LALT);
    press(SDLK_RIGHT, KMOD_LALT);
    EXPECT_EQ(app.offset, 0x1040);
    EXPECT_TRUE(app.selection.active);

    // A view restored after the file shrank keeps only the selected bytes still there.
    app.selection.set(0x100, 0x200);
    press(SDLK_F4);
    app.file_size = 0x180;
    press(SDLK_LEFT, KMOD_LALT);
    EXPECT_EQ(app.selection.last(), 0x17fu);
}

TEST_F(Jumps, MarksSetJumpAndSayWhatTheyDid) {
    app.offset = 0x7e00;
    type("m");
    type("a");
    EXPECT_EQ(app.find.status, "mark a at 7e00");
    press(SDLK_HOME);
    type("'");
    type("b");
    EXPECT_EQ(app.find.status, "no mark b");
    type("'");
    type("a");
    EXPECT_EQ(app.offset, 0x7e00);
    type("'");
    type("'");  // back to the view before the jump to the mark
    EXPECT_EQ(app.offset, 0);
    // A mark set with a selection is at its first byte; typed "n" after m is a mark name, no search.
    app.selection.set(0x123, 0x130);
    type("m");
    type("n");
    EXPECT_EQ(app.find.status, "mark n at 123");
    EXPECT_FALSE(app.find.searching);
    // Any other command cancels a waiting m or ': the letter after it is no mark's name.
    for (const SDL_Keycode command : {SDLK_g, SDLK_DOWN}) {
        type("m");
        press(command, command == SDLK_g ? KMOD_LCTRL : KMOD_NONE);
        if (command == SDLK_g) {
            for (const char* c : {"1", "0", "0"}) type(c);
            press(SDLK_RETURN);
        }
        type("z");
        EXPECT_FALSE(app.navigation_memory.marks.get('z')) << command;
    }
}

TEST(StartPosition, CommandLineFormsAndRefusals) {
    const auto parse = parse_words;
    EXPECT_EQ(parse({"+7e00", "f"}).start.at, "7e00");
    EXPECT_EQ(parse({"--at", "$-200", "f"}).start.at, "$-200");
    EXPECT_EQ(parse({"--at=50%", "--select", "10..+4", "f"}).start.select, "10..+4");
    EXPECT_STREQ(parse({"+name"}).path, "+name");  // a lone +NAME is the file
    EXPECT_STREQ(parse({"--at", "1", "--", "--at"}).path, "--at");
    EXPECT_EQ(parse({"f", "--at", "7e00"}).start.at, "7e00") << "an option after the file counts";
    EXPECT_EQ(parse({"f", "+7e00"}).start.at, "7e00");
    EXPECT_STREQ(parse({"--", "-f", "--at", "1"}).path, "-f") << "-- ends the options";
    EXPECT_EQ(parse({"--", "-f", "--at", "1"}).start.at, "");
    EXPECT_EQ(parse({"f", "--charset", "cp437"}).charset, "cp437");
    EXPECT_EQ(parse({"--"}).action, CommandLine::Action::Usage);
    for (const auto& [words, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--bogus", "f"}, "quirn: unknown option --bogus (use -- before a file whose name starts with -)"},
             {{"f", "-x"}, "quirn: unknown option -x (use -- before a file whose name starts with -)"},
             {{"f", "--at"}, "quirn: --at needs a value"},
             {{"--charset=ebcdic", "f"}, "quirn: unknown character set ebcdic (koi8-r, latin-1, cp437 or ascii)"},
             {{"--charset=", "f"}, "quirn: --charset needs a value"},
             {{"f", "--at", ""}, "quirn: --at needs a value"},
             {{"--shift", "5", "f"}, "quirn: --shift needs two files"}}) {
        const CommandLine line = parse(words);
        EXPECT_EQ(line.action, CommandLine::Action::Error) << message;
        EXPECT_EQ(line.error, message);
    }

    Application app;
    app.file_size = 0x10000;
    for (const auto& [words, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--at", "zz", "f"}, "quirn: --at zz: hexadecimal digits expected"},
             {{"f", "--at", "zz"}, "quirn: --at zz: hexadecimal digits expected"},
             {{"+12z", "f"}, "quirn: +12z: unexpected \"z\""},
             {{"--at=20000", "f"}, "quirn: --at 20000: past the end"}}) {
        app.start_position = parse(words).start;
        try {
            app.apply_start_position();
            ADD_FAILURE() << message;
        } catch (const StartError& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    app.start_position = parse({"+$-200", "f"}).start;
    app.apply_start_position();
    EXPECT_EQ(app.offset, 0xfe00);
}

}  // namespace
