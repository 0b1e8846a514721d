// Rollcall run as a process in scratch folders: its messages, its list file
// and its exit status, compared byte for byte.
#include "tool_runner.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string USAGE_AFTER_NOTICE = crlf("USAGE:  Rollcall  FileSpec [Rollcall.txt]\n\n"
                                            "        creates a rollCal.txt for repacking with Marno QUILLBOX\n"
                                            "        FileSpec can be any DOS global expression as *.shp or *.s16\n"
                                            "        for each file found, a icon to include line will be added\n"
                                            "Hit any key\n");

std::string messages_for(const std::string &list_path)
{
    return crlf("Creating " + list_path + " to use with Marno QUILLBOX  to repack Torvex/Corvale.dat\n"
                "Done ! . " + list_path + " created\n");
}

// A normal run: the notice names the tool, then the two messages follow.
void expect_normal_run(const ToolRun &run, const std::string &list_path)
{
    expect_notice_then(run, "Rollcall", messages_for(list_path));
}

class RollcallUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(RollcallUsage, ShowsUsageAndCreatesNothing)
{
    ScratchDir dir;
    ToolRun run = run_tool("Rollcall", GetParam().args, dir.path());
    expect_notice_then(run, "Rollcall", USAGE_AFTER_NOTICE);
    EXPECT_FALSE(file_exists(dir / "list.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RollcallUsage,
    testing::Values(UsageCase{"none", {}}, UsageCase{"one", {"list.txt"}}, UsageCase{"question", {"?"}},
                    UsageCase{"question_with_list", {"?", "list.txt"}},
                    UsageCase{"question_prefix_many", {"?x", "list.txt", "more", "args"}}),
    LabelName());

TEST(Rollcall, ListsMatchesSortedCaseBlindWithCrLf)
{
    ScratchDir dir;
    for (const char *name : {"c.shp", "B.shp", "a.shp", "10.shp", "9.shp", "x.s16", "Tank.SHP"})
        write_file(dir / name);
    ToolRun run = run_tool("Rollcall", {"*.shp", "list.txt"}, dir.path());
    expect_normal_run(run, "list.txt");
    EXPECT_EQ(read_file(dir / "list.txt"), crlf("10.shp\n9.shp\na.shp\nB.shp\nc.shp\nTank.SHP\n"));
}

TEST(Rollcall, NothingMatchedLeavesAnEmptyList)
{
    ScratchDir dir;
    write_file(dir / "list.txt", "old content\r\n");
    write_file(dir / "a.s16");
    ToolRun run = run_tool("Rollcall", {"*.shp", "list.txt"}, dir.path());
    expect_normal_run(run, "list.txt");
    EXPECT_TRUE(file_exists(dir / "list.txt"));
    EXPECT_EQ(read_file(dir / "list.txt"), "");
}

TEST(Rollcall, PatternInMissingFolderIsAnOrdinaryEmptyRun)
{
    ScratchDir dir;
    ToolRun run = run_tool("Rollcall", {"nowhere/*.shp", "list.txt"}, dir.path());
    expect_normal_run(run, "list.txt");
    EXPECT_EQ(read_file(dir / "list.txt"), "");
}

TEST(Rollcall, ListFindsItselfUnderStar)
{
    ScratchDir dir;
    write_file(dir / "a.shp");
    ToolRun run = run_tool("Rollcall", {"*", "list.txt"}, dir.path());
    expect_normal_run(run, "list.txt");
    EXPECT_EQ(read_file(dir / "list.txt"), crlf("a.shp\nlist.txt\n"));
}

TEST(Rollcall, ExtraArgumentsChangeNothing)
{
    ScratchDir dir;
    write_file(dir / "a.shp");
    ToolRun run = run_tool("Rollcall", {"*.shp", "list.txt", "other.txt", "?"}, dir.path());
    expect_normal_run(run, "list.txt");
    EXPECT_EQ(read_file(dir / "list.txt"), crlf("a.shp\n"));
    EXPECT_FALSE(file_exists(dir / "other.txt"));
}

TEST(Rollcall, SlashQuestionIsAPatternNotUsage)
{
    ScratchDir dir;
    ToolRun run = run_tool("Rollcall", {"/?", "list.txt"}, dir.path());
    expect_normal_run(run, "list.txt");
    EXPECT_TRUE(file_exists(dir / "list.txt"));
}

// Folder parts of the pattern select the folder and never reach the list;
// both separators work everywhere.
TEST(Rollcall, FolderPartOfPatternWithEitherSeparator)
{
    for (const char *pattern : {"sprites/*.shp", "sprites\\*.shp"}) {
        SCOPED_TRACE(pattern);
        ScratchDir dir;
        mkdir((dir / "sprites").c_str(), 0755);
        write_file(dir / "sprites/b.shp");
        write_file(dir / "sprites/A.shp");
        write_file(dir / "top.shp");
        ToolRun run = run_tool("Rollcall", {pattern, "list.txt"}, dir.path());
        expect_normal_run(run, "list.txt");
        EXPECT_EQ(read_file(dir / "list.txt"), crlf("A.shp\nb.shp\n"));
    }
}

TEST(Rollcall, ListPathWithBackslashLandsInThatFolder)
{
    ScratchDir dir;
    mkdir((dir / "sprites").c_str(), 0755);
    write_file(dir / "sprites/a.shp");
    ToolRun run = run_tool("Rollcall", {"sprites\\*.shp", "sprites\\list.txt"}, dir.path());
    expect_normal_run(run, "sprites\\list.txt");
    EXPECT_EQ(read_file(dir / "sprites/list.txt"), crlf("a.shp\n"));
}

TEST(Rollcall, FoldersHiddenAndSystemEntriesAreLeftOut)
{
    ScratchDir dir;
    write_file(dir / "plain.shp");
    write_file(dir / "readonly.shp");
    chmod((dir / "readonly.shp").c_str(), 0444);
    write_file(dir / ".hidden.shp");
    mkdir((dir / "folder.shp").c_str(), 0755);
    std::vector<std::string> expected = {"plain.shp", "readonly.shp"};
    if (!running_under_wine()) {
        // Wine lists FIFOs as plain files and follows dangling links
        // differently, so these "system" entries are checked natively only.
        ASSERT_EQ(mkfifo((dir / "pipe.shp").c_str(), 0644), 0);
        ASSERT_EQ(symlink("missing", (dir / "dangling.shp").c_str()), 0);
    }
    ToolRun run = run_tool("Rollcall", {"*.shp", "list.txt"}, dir.path());
    expect_normal_run(run, "list.txt");
    EXPECT_EQ(read_file(dir / "list.txt"), crlf("plain.shp\nreadonly.shp\n"));
}

struct CreationFailure {
    const char *label;
    const char *list_path;
    void (*prepare)(const ScratchDir &);
};

class RollcallCreationFailure : public testing::TestWithParam<CreationFailure> {};

TEST_P(RollcallCreationFailure, ReportsErrorWithoutLineEnd)
{
    ScratchDir dir;
    write_file(dir / "a.shp");
    GetParam().prepare(dir);
    ToolRun run = run_tool("Rollcall", {"*.shp", GetParam().list_path}, dir.path());
    EXPECT_EQ(run.out, std::string("Error creating ") + GetParam().list_path);
    EXPECT_EQ(run.status, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RollcallCreationFailure,
    testing::Values(CreationFailure{"missing_folder", "nowhere/list.txt", [](const ScratchDir &) {}},
                    CreationFailure{"folder_of_that_name", "list.txt",
                                    [](const ScratchDir &dir) { mkdir((dir / "list.txt").c_str(), 0755); }}),
    LabelName());

TEST(Rollcall, ReadOnlyListFileCannotBeCreated)
{
    ScratchDir dir;
    write_file(dir / "list.txt", "keep\r\n");
    chmod((dir / "list.txt").c_str(), 0444);
    ToolRun run;
    if (!run_tool_unprivileged("Rollcall", {"*", "list.txt"}, dir.path(), &run))
        GTEST_SKIP() << "cannot run the tool without write permission here";
    EXPECT_EQ(run.out, "Error creating list.txt");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(read_file(dir / "list.txt"), "keep\r\n");
}

TEST(Rollcall, FullDiskIsReportedNotDone)
{
    if (running_under_wine() || access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "needs /dev/full";
    ScratchDir dir;
    write_file(dir / "a.shp");
    ToolRun run = run_tool("Rollcall", {"*.shp", "/dev/full"}, dir.path());
    expect_notice_then(run, "Rollcall",
                       crlf("Creating /dev/full to use with Marno QUILLBOX  to repack Torvex/Corvale.dat\n") +
                           "Error writing /dev/full",
                       1);
}

// Running out of memory while names are stored or sorted ends the run with
// status 1 and no messages at all: no list is passed off as complete.
TEST(Rollcall, RunningOutOfMemoryIsAFailureWithoutMessages)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs far more address space than any limit here";
#endif
    if (running_under_wine() || std::getenv("TOOLS_WRAPPER"))
        GTEST_SKIP() << "the address-space limit applies to the native tool alone";
    ScratchDir dir;
    // The smallest limit under which an ordinary run works, to 1 MiB: the
    // libraries and locale data take most of it, and that differs between
    // machines.
    const std::size_t MiB = 1 << 20;
    std::size_t enough = 0;
    for (std::size_t limit = 16 * MiB; limit <= 1024 * MiB && !enough; limit += MiB)
        if (run_tool_with_memory_limit("Rollcall", {"*.shp", "list.txt"}, dir.path(), limit).status == 0)
            enough = limit;
    ASSERT_NE(enough, 0u) << "Rollcall never ran under any limit";

    // Names worth a few MiB more than that.
    for (int i = 0; i < 12000; i++)
        write_file(dir / (std::to_string(i) + std::string(240, 'n') + ".shp"));
    ToolRun starved = run_tool_with_memory_limit("Rollcall", {"*.shp", "list.txt"}, dir.path(), enough + MiB);
    EXPECT_EQ(starved.out, "");
    EXPECT_EQ(starved.status, 1);
    EXPECT_EQ(read_file(dir / "list.txt"), "");

    // With room to spare the same folder lists fine: it was memory.
    ToolRun roomy = run_tool_with_memory_limit("Rollcall", {"*.shp", "list.txt"}, dir.path(), enough + 64 * MiB);
    EXPECT_EQ(roomy.status, 0);
    EXPECT_EQ(std::count(roomy.out.begin(), roomy.out.end(), '\n'), 3);
}

} // namespace
