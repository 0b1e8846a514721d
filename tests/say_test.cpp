// Say run as a process in a scratch folder: the one line it writes, byte for
// byte, and its exit status (the count; a POSIX shell sees its low 8 bits).
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string USAGE_AFTER_NOTICE =
    crlf("USAGE:  Say TXT [/SPEC]\n\n"
         "      print to DOS output\n"
         "      can be redirected to any file, using > pipeline feature\n"
         "      TXT and SPEC are printed in the order you type them\n"
         "      if optional [/SPEC] it will count files matching global DOS SPEC\n"
         "Example:  [Say /*.s16 \"files S16\"]\n"
         "           will print \"165 files S16\" - (if there are 165 files in the folder)\n"
         "Hit any key\n");

// Three files match *.s16; a folder, a hidden file and (natively) a FIFO
// that also match are not counted.  "z" is the only one-character name.
class SayFolder : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char *name : {"a.s16", "b.s16", "C.S16", "x.shp", "z"})
            write_file(dir / name);
        mkdir((dir / "folder.s16").c_str(), 0755);
        write_file(dir / ".hidden.s16");
        mkdir((dir / "sprites").c_str(), 0755);
        write_file(dir / "sprites/one.s16");
        write_file(dir / "sprites/two.s16");
        if (!running_under_wine()) // Wine lists a FIFO as a plain file
            mkfifo((dir / "pipe.s16").c_str(), 0644);
    }
    ScratchDir dir;
};

struct SayCase {
    const char *label;
    std::vector<std::string> args; // "{dir}" stands for the scratch folder
    std::string expected;          // without the CR of the line end
    int status;
    const char *native_only = nullptr; // why Windows decides otherwise
};

class SayLine : public SayFolder, public testing::WithParamInterface<SayCase> {};

TEST_P(SayLine, WritesOneLineAndReturnsTheCount)
{
    if (GetParam().native_only && running_under_wine())
        GTEST_SKIP() << GetParam().native_only;
    std::vector<std::string> args = GetParam().args;
    for (std::string &arg : args)
        if (std::size_t at = arg.find("{dir}"); at != std::string::npos)
            arg.replace(at, 5, dir.path());
    ToolRun run = run_tool("Say", args, dir.path());
    EXPECT_EQ(run.out, crlf(GetParam().expected));
    EXPECT_EQ(run.status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SayLine,
    testing::Values(SayCase{"text", {"hello"}, "hello\n", 0},
                    SayCase{"second_text_not_written", {"hello", "world"}, "hello\n", 0},
                    SayCase{"question_second_is_text", {"hello", "?"}, "hello\n", 0},
                    SayCase{"empty_text", {""}, "\n", 0},
                    SayCase{"count_then_text", {"/*.s16", "files S16"}, "3 files S16\n", 3},
                    SayCase{"text_then_count", {"files S16", "/*.s16"}, "files S16 3\n", 3},
                    SayCase{"count_alone_keeps_space", {"/*.s16"}, "3 \n", 3},
                    SayCase{"hyphen_marker", {"-*.s16", "x"}, "3 x\n", 3},
                    SayCase{"hash_marker", {"#*.s16", "x"}, "3 x\n", 3},
                    SayCase{"slash_question_counts", {"/?"}, "1 \n", 1},
                    SayCase{"empty_text_then_count", {"", "/*.s16"}, " 3\n", 3},
                    SayCase{"count_then_empty_text", {"/*.s16", ""}, "3 \n", 3},
                    SayCase{"empty_pattern", {"/"}, "0 \n", 0},
                    SayCase{"missing_folder", {"/nowhere/*.s16", "x"}, "0 x\n", 0},
                    SayCase{"only_first_marker_removed", {"x", "//{dir}/sprites/*.s16"}, "x 2\n", 2,
                            "a leading // is a network path on Windows"},
                    SayCase{"folder_part_backslash", {"/sprites\\*.s16"}, "2 \n", 2},
                    SayCase{"two_patterns_last_wins", {"/*.shp", "/*.s16"}, "3 (null)\n", 3},
                    SayCase{"extra_arguments_ignored", {"a", "/*.s16", "b", "c"}, "a 3\n", 3},
                    SayCase{"percent_text", {"100%"}, "100%\n", 0},
                    SayCase{"format_text_with_count", {"%d%s%n", "/*.s16"}, "%d%s%n 3\n", 3}),
    LabelName());

class SayUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(SayUsage, ShowsUsageScreen)
{
    ScratchDir dir;
    ToolRun run = run_tool("Say", GetParam().args, dir.path());
    expect_notice_then(run, "Say", USAGE_AFTER_NOTICE);
}

INSTANTIATE_TEST_SUITE_P(Arguments, SayUsage,
                         testing::Values(UsageCase{"none", {}}, UsageCase{"question", {"?"}},
                                         UsageCase{"question_prefix_with_pattern", {"?x", "/*.s16"}}),
                         LabelName());

TEST(Say, FullCountIsHandedOver)
{
    ScratchDir dir;
    for (int i = 0; i < 300; i++)
        write_file(dir / ("f" + std::to_string(i) + ".s16"));
    ToolRun run = run_tool("Say", {"/*.s16"}, dir.path());
    EXPECT_EQ(run.out, "300 \r\n");
    EXPECT_EQ(run.status, 300 % 256); // a shell keeps the low 8 bits
}

TEST(Say, FailedWriteKeepsTheCountAsStatus)
{
    if (running_under_wine() || access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "needs /dev/full";
    ScratchDir dir;
    write_file(dir / "a.s16");
    write_file(dir / "b.s16");
    ToolRun run = run_tool("Say", {"/*.s16"}, dir.path(), "/dev/full");
    EXPECT_EQ(run.status, 2);
}

} // namespace
