// The command line: the two questions it answers, the refusal of anything else, and the
// per-user folder the menu entry starts in.
#include "main_window/command_line.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

TEST(CommandLine, AnswersVersionAndHelpAndRefusesAnythingElse) {
    const struct {
        std::vector<const char*> args;
        std::optional<int> status;
        const char* out;  // a piece of what stdout says
        const char* err;  // a piece of what stderr says
    } cases[] = {
        {{}, std::nullopt, "", ""},
        {{"--help"}, 0, "COMn in the working folder", ""},
        {{"--help", "x"}, 2, "", "vorbixloader: unexpected argument: x\nUsage: vorbixloader"},
        {{"--bogus"}, 2, "", "vorbixloader: unknown option: --bogus\nUsage: vorbixloader"},
        {{"--from-menu", "--bogus"}, 2, "", "unexpected argument: --bogus"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv{"vorbixloader"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::ostringstream out, err;
        EXPECT_EQ(handleCommandLine(static_cast<int>(argv.size()), argv.data(), out, err), c.status)
            << argv.back();
        EXPECT_NE(out.str().find(c.out), std::string::npos) << argv.back();
        EXPECT_NE(err.str().find(c.err), std::string::npos) << argv.back();
        EXPECT_EQ(out.str().empty(), !*c.out) << argv.back();  // nothing when nothing is asked
    }
}

TEST(CommandLine, FromTheMenuRunsInTheUserFolderMadeWhenMissing) {
    EXPECT_EQ(userFolder("/x/data", "/home/op"), "/x/data/vorbixloader");
    EXPECT_EQ(userFolder("relative", "/home/op"), "/home/op/.local/share/vorbixloader");
    EXPECT_EQ(userFolder(nullptr, nullptr), "");

    support::ScratchDir dir;
    const std::string data = dir.at("new/data");
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    const char* argv[] = {"vorbixloader", "--from-menu"};
    std::ostringstream out, err;
    EXPECT_EQ(handleCommandLine(2, argv, out, err), std::nullopt) << err.str();
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(fs::current_path(), fs::path(data) / "vorbixloader");
    EXPECT_TRUE(startedFromMenu(2, argv));
    EXPECT_FALSE(startedFromMenu(1, argv));  // from a terminal
}

}  // namespace
