// Exec run as a process in scratch folders: each case puts files in a
// folder, runs Exec and compares standard output byte for byte (CR LF line
// ends, trailing spaces exact) and the exit status.
#include "tool_runner.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string USAGE_AFTER_NOTICE =
    crlf("USAGE:  Exec TOOL SPEC OUT [param1] [param2] [param3] \n\n"
         "        create a line for each file in SPEC\n"
         "        processing TOOL with each file found\n"
         "        You can define up to tree optional parameters.(to use in BAT files)\n"
         "        SPEC is a DOS global expresion as *.s16\n"
         "        Example:  [Exec sprconv.exe *.shp s16 g2.pal > mk_shp_s16.bat]\n"
         "        create a bat file to convert all shp files in a folder to s16\n"
         "Hit any key\n");

// Lines come in the folder's enumeration order, which no one promises:
// compare them as a sorted list of whole lines, line ends included.
std::vector<std::string> sorted_lines(const std::string &out)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        end = end == std::string::npos ? out.size() : end + 1;
        lines.push_back(out.substr(start, end - start));
        start = end;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

struct ExecCase {
    const char *label;
    std::vector<std::string> files; // a trailing '/' makes a folder
    std::vector<std::string> args;
    std::string expected; // without the CR of each line end
};

class ExecLines : public testing::TestWithParam<ExecCase> {};

TEST_P(ExecLines, WritesOneLinePerMatchedFile)
{
    const ExecCase &c = GetParam();
    ScratchDir dir;
    for (const std::string &file : c.files) {
        if (file.back() == '/')
            mkdir((dir / file).c_str(), 0755);
        else
            write_file(dir / file);
    }
    ToolRun run = run_tool("Exec", c.args, dir.path());
    EXPECT_EQ(sorted_lines(run.out), sorted_lines(crlf(c.expected)));
    EXPECT_EQ(run.status, 0);
}

const std::string LONG_BASE(196, 'L');

INSTANTIATE_TEST_SUITE_P(
    Cases, ExecLines,
    testing::Values(
        ExecCase{"usage_example", {"tank.shp", "jeep.shp", "tank.s16"}, {"sprconv.exe", "*.shp", "s16", "g2.pal"},
                 "sprconv.exe tank.shp tank.s16 g2.pal  \nsprconv.exe jeep.shp jeep.s16 g2.pal  \n"},
        ExecCase{"cut_at_first_dot", {"a.b.s16"}, {"conv.exe", "*.s16", "bmp"}, "conv.exe a.b.s16 a.bmp   \n"},
        ExecCase{"seventh_argument_ignored",
                 {"unit.s16"},
                 {"conv.exe", "*.s16", "bmp", "-q", "8", "pal.txt", "extra"},
                 "conv.exe unit.s16 unit.bmp -q 8 pal.txt\n"},
        ExecCase{"out_with_dot", {"tank.shp"}, {"t", "*.shp", "new.s16"}, "t tank.shp tank.new.s16   \n"},
        ExecCase{"empty_parameter_like_absent", {"tank.shp"}, {"t", "*.shp", "s16", "", "x"},
                 "t tank.shp tank.s16  x \n"},
        ExecCase{"name_with_spaces", {"my tank.shp"}, {"t", "*.shp", "s16"}, "t my tank.shp my tank.s16   \n"},
        ExecCase{"out_equal_to_own_extension", {"tank.s16"}, {"t", "*.s16", "s16"}, "t tank.s16 tank.s16   \n"},
        ExecCase{"empty_out", {"tank.shp"}, {"t", "*.shp", ""}, "t tank.shp tank.   \n"},
        ExecCase{"empty_tool", {"tank.shp"}, {"", "*.shp", "s16"}, " tank.shp tank.s16   \n"},
        ExecCase{"folder_part_slash", {"sprites/", "sprites/tank.shp", "top.shp"}, {"t", "sprites/*.shp", "s16"},
                 "t tank.shp tank.s16   \n"},
        ExecCase{"folder_part_backslash", {"sprites/", "sprites/tank.shp", "top.shp"}, {"t", "sprites\\*.shp", "s16"},
                 "t tank.shp tank.s16   \n"},
        ExecCase{"percent_is_a_character", {"100%d.shp"}, {"t%s", "*.shp", "%n", "%s%s"},
                 "t%s 100%d.shp 100%d.%n %s%s  \n"},
        ExecCase{"question_as_spec", {"a", "ab"}, {"t", "?", "s16"}, "t a a.s16   \n"},
        ExecCase{"question_as_out", {"tank.shp"}, {"t", "*.shp", "?"}, "t tank.shp tank.?   \n"},
        ExecCase{"slash_or_hyphen_tool_is_ordinary", {"tank.shp"}, {"-x", "*.shp", "s16"}, "-x tank.shp tank.s16   \n"},
        ExecCase{"nothing_matches", {"tank.s16"}, {"t", "*.shp", "s16"}, ""},
        ExecCase{"missing_folder", {}, {"t", "nowhere/*.shp", "s16"}, ""},
        ExecCase{"duplicate_output_names", {"a.b.shp", "a.c.shp"}, {"t", "*.shp", "s16"},
                 "t a.b.shp a.s16   \nt a.c.shp a.s16   \n"},
        ExecCase{"folders_and_hidden_give_no_line", {"tank.shp", ".hidden.shp", "folder.shp/"}, {"t", "*.shp", "s16"},
                 "t tank.shp tank.s16   \n"},
        ExecCase{"dotless_name_is_its_own_base", {"README"}, {"t", "*", "s16"}, "t README README.s16   \n"},
        ExecCase{"long_name_not_truncated", {LONG_BASE + ".shp"}, {"t", "*.shp", "s16"},
                 "t " + LONG_BASE + ".shp " + LONG_BASE + ".s16   \n"}),
    LabelName());

class ExecUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(ExecUsage, ShowsUsageScreen)
{
    ScratchDir dir;
    write_file(dir / "tank.shp");
    ToolRun run = run_tool("Exec", GetParam().args, dir.path());
    expect_notice_then(run, "Exec", USAGE_AFTER_NOTICE);
}

INSTANTIATE_TEST_SUITE_P(Arguments, ExecUsage,
                         testing::Values(UsageCase{"none", {}}, UsageCase{"two", {"t", "*.shp"}},
                                         UsageCase{"question_prefix_many", {"?x", "*.shp", "s16", "a", "b", "c", "d"}}),
                         LabelName());

// A failure at the final flush (one line) and one in the middle of the
// folder (many lines) must both end in status 1, not a half batch file
// passed off as a whole one.
TEST(Exec, FailedWriteEndsWithStatusOne)
{
    if (running_under_wine() || access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "needs /dev/full";
    for (int files : {1, 200}) {
        SCOPED_TRACE(files);
        ScratchDir dir;
        for (int i = 0; i < files; i++)
            write_file(dir / ("sprite" + std::to_string(i) + ".shp"));
        ToolRun run = run_tool("Exec", {"conv", "*.shp", "s16"}, dir.path(), "/dev/full");
        EXPECT_EQ(run.status, 1);
    }
}

} // namespace
