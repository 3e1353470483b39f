// The console's settings file on a real (pseudo-)terminal: the lines typed
// in one console are saved when it quits and recalled with Up in the next,
// which starts with that file in its own home folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pty/pty_session.h"

namespace {

using zel::pty::Session;
using namespace std::chrono_literals;

const std::string ENTER = "\r", UP = "\x1b[A", CTRL_C = "\x03";
const std::string SETTINGS = "/.zel/Zel-Console/console-cfg.zel";

// Waits for an empty prompt on the cursor's row.
bool at_prompt(Session& s) {
    return s.wait_until([&] { return s.row(s.cursor_row()) == ">>" && s.cursor_column() == 3; });
}

// Types each line and waits for the next prompt.
void type_lines(Session& s, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        s.type(line + ENTER);
        EXPECT_TRUE(at_prompt(s)) << s.screen();
    }
}

// The settings file a console left in its home folder ("" when none).
std::string saved_settings(const Session& s) {
    std::ifstream in(s.home() + SETTINGS, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Ends the console with the keys: status 0 and the terminal as it was.
void end_with(Session& s, const std::string& keys) {
    s.type(keys);
    EXPECT_EQ(s.wait_exit(), 0) << s.screen();
    EXPECT_TRUE(s.mode_restored());
}

// A new console whose home holds the settings text.
std::unique_ptr<Session> console_with(const std::string& settings) {
    auto s = std::make_unique<Session>(std::vector<std::string>{ZEL_BINARY}, 80, 24, [&](const std::string& home) {
        std::filesystem::create_directories(home + "/.zel/Zel-Console");
        std::ofstream(home + SETTINGS, std::ios::binary) << settings;
    });
    EXPECT_TRUE(s->started());
    EXPECT_TRUE(at_prompt(*s)) << s->screen();
    return s;
}

TEST(ConsoleSettingsPty, QuitSavesTheLinesAndTheNextConsoleRecallsThem) {
    std::string settings;
    {
        Session first({ZEL_BINARY}, 80, 24);
        ASSERT_TRUE(at_prompt(first)) << first.screen();
        type_lines(first, {"1 + 1", "2 + 2"});
        end_with(first, "q" + ENTER);
        settings = saved_settings(first);
    }
    EXPECT_NE(settings.find("history: [\"q\" \"2 + 2\" \"1 + 1\"]"), std::string::npos) << settings;

    auto next = console_with(settings);
    // Newest first, the quitting line included; one Up too many empties the line.
    for (const char* recalled : {">> q", ">> 2 + 2", ">> 1 + 1", ">>"}) {
        next->type(UP);
        EXPECT_TRUE(next->wait_until([&] { return next->row(next->cursor_row()) == recalled; }, 5s))
            << "expected " << recalled << "\n"
            << next->screen();
    }
    end_with(*next, CTRL_C);
}

TEST(ConsoleSettingsPty, CtrlCAtThePromptSavesTheHistory) {
    Session s({ZEL_BINARY}, 80, 24);
    ASSERT_TRUE(at_prompt(s)) << s.screen();
    type_lines(s, {"3 * 3"});
    end_with(s, CTRL_C);
    std::string settings = saved_settings(s);
    EXPECT_EQ(settings.rfind("Zel [\n\tPurpose: \"Zel Console Configuration File\"\n]\n\n", 0), 0u) << settings;
    EXPECT_NE(settings.find("\"3 * 3\""), std::string::npos) << settings;
}

}  // namespace
