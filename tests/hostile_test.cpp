// The tools against hostile folders: names built to break a list file, a
// batch line or a format string; patterns built to make the matcher slow
// or to overrun a path buffer; folders that vanish, change or cannot be
// read while the tools work.  Outputs are compared byte for byte, and the
// folder must hold nothing afterwards that the run was not asked to write.
#include "tool_runner.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using Names = std::vector<std::string>;

// A 255-byte name, the longest Linux file systems allow.
const std::string LONGEST_NAME = std::string(251, 'L') + ".shp";

// Names the tools must deliver exactly as they are.
const Names DELIVERED = {
    "%s%n%x.shp", "%n",           "-rf.shp",          "--help",     "?.shp",          "*.shp",
    "a\\b.shp",   "with space.shp", " lead.shp",      "trail .shp", "Case.shp",       "case.shp",
    "CASE.shp",   "\xff\xfe.shp", "caf\xc3.shp",      "caf\xc3\xa9.shp", "x:y\"z<>|.shp", LONGEST_NAME,
};

// Names holding a control byte: never delivered, whatever the pattern.
const Names PASSED_OVER = {
    "a\x01.shp", "tab\t.shp", "nl\n.shp", "cr\r.shp", "del\x7f.shp", "\x1b[31m.shp", "\x1f",
};

std::set<std::string> folder_content(const std::string &folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::vector<std::string> lines_of(const std::string &out)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(out.substr(start)); // an unfinished line shows up as itself
            break;
        }
        lines.push_back(out.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string base_of(const std::string &name)
{
    return name.substr(0, name.find('.'));
}

class HostileNames : public testing::Test {
protected:
    void SetUp() override
    {
        if (running_under_wine())
            GTEST_SKIP() << "names no Windows file system can hold: the POSIX search's rules";
        for (const Names *names : {&DELIVERED, &PASSED_OVER})
            for (const std::string &name : *names)
                write_file(dir_ / name, "x");
        before_ = folder_content(dir_.path());
        ASSERT_EQ(before_.size(), DELIVERED.size() + PASSED_OVER.size()) << "a name could not be made";
    }

    // Nothing but `written` may have appeared, and nothing may have gone.
    void expect_folder_unchanged_but(const std::set<std::string> &written)
    {
        std::set<std::string> expected = before_;
        expected.insert(written.begin(), written.end());
        EXPECT_EQ(folder_content(dir_.path()), expected);
    }

    ScratchDir dir_;
    std::set<std::string> before_;
};

TEST_F(HostileNames, SayCountsEveryDeliverableNameOnce)
{
    ToolRun run = run_tool("Say", {"/*", "files"}, dir_.path());
    EXPECT_EQ(run.out, std::to_string(DELIVERED.size()) + " files\r\n");
    EXPECT_EQ(run.status, static_cast<int>(DELIVERED.size()));
    expect_folder_unchanged_but({});
}

// Exec writes names and parameters as they are: a '%' is no format, a
// leading '-' no option, a blank no separator the tool cares about.
TEST_F(HostileNames, ExecWritesEveryNameByteForByte)
{
    ToolRun run = run_tool("Exec", {"conv", "*", "s16", "%n", "-x", "a b"}, dir_.path());
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> lines = lines_of(run.out);
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> expected;
    for (const std::string &name : DELIVERED)
        expected.push_back("conv " + name + " " + base_of(name) + ".s16 %n -x a b");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(run.out.substr(run.out.size() - 2), "\r\n");
    expect_folder_unchanged_but({});
}

// The sorted list: case-blind, so the three spellings of "case" sit
// together in byte order; symbols before letters; a stray byte collates as
// U+FFFD, after every letter.
TEST_F(HostileNames, RollcallListsThemSortedByteForByte)
{
    ToolRun run = run_tool("Rollcall", {"*.shp", "list.txt"}, dir_.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(after_notice(run.out),
              crlf("Creating list.txt to use with Marno QUILLBOX  to repack Torvex/Corvale.dat\n"
                   "Done ! . list.txt created\n"));
    const std::string expected = " lead.shp\r\n"
                                 "%s%n%x.shp\r\n"
                                 "*.shp\r\n"
                                 "?.shp\r\n"
                                 "a\\b.shp\r\n"
                                 "caf\xc3\xa9.shp\r\n"
                                 "caf\xc3.shp\r\n"
                                 "CASE.shp\r\n"
                                 "Case.shp\r\n"
                                 "case.shp\r\n" +
                                 LONGEST_NAME + "\r\n" +
                                 "-rf.shp\r\n"
                                 "trail .shp\r\n"
                                 "with space.shp\r\n"
                                 "x:y\"z<>|.shp\r\n"
                                 "\xff\xfe.shp\r\n";
    EXPECT_EQ(read_file(dir_ / "list.txt"), expected);
    expect_folder_unchanged_but({"list.txt"});
}

struct PatternCase {
    const char *label;
    std::string pattern; // as Say gets it, after its marker
    int count;
};

class HostilePattern : public HostileNames, public testing::WithParamInterface<PatternCase> {};

// Hostile names as patterns: found by what they are, never taken for an
// option, a format or a folder they are not.
TEST_P(HostilePattern, SayCountsWhatItNames)
{
    ToolRun run = run_tool("Say", {"-" + GetParam().pattern, "found"}, dir_.path());
    EXPECT_EQ(run.out, std::to_string(GetParam().count) + " found\r\n");
    EXPECT_EQ(run.status, GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostilePattern,
    testing::Values(PatternCase{"percent_n", "%n", 1}, PatternCase{"format_string", "%s%n%x.shp", 1},
                    PatternCase{"leading_dashes", "--help", 1}, PatternCase{"dash_name", "-rf.shp", 1},
                    // All three spellings, each in its own.
                    PatternCase{"letter_case", "CASE.SHP", 3},
                    // A typed '?' is a wildcard, so it finds "?.shp" and "*.shp".
                    PatternCase{"question_mark", "?.shp", 2},
                    // '\' in a pattern is a separator: "a\b.shp" means b.shp in a.
                    PatternCase{"backslash_is_a_folder", "a\\b.shp", 0},
                    PatternCase{"backslash_name_by_wildcard", "a?b.shp", 1},
                    PatternCase{"longest_name", LONGEST_NAME, 1},
                    PatternCase{"longer_than_any_name", LONGEST_NAME + "x", 0},
                    PatternCase{"stray_bytes", "\xff\xfe.shp", 1},
                    PatternCase{"stray_byte_is_not_its_character", "caf\xc3\xa9*", 1},
                    PatternCase{"control_name_by_wildcard", "tab?.shp", 0},
                    PatternCase{"control_name_typed", "tab\t.shp", 0}),
    LabelName());

// ---------------------------------------------------------------------------
// Patterns built to be slow or to overrun a buffer.  Each run must end with
// the ordinary outcome of its pattern.

struct PathologicalCase {
    const char *label;
    std::string pattern;
    int count;
    const char *native_only = nullptr; // why Windows decides otherwise
};

class PathologicalPattern : public testing::TestWithParam<PathologicalCase> {
protected:
    void SetUp() override
    {
        write_file(dir_ / std::string(255, 'a'));
        write_file(dir_ / (std::string(200, 'a') + ".shp"));
        write_file(dir_ / "plain.shp");
    }
    ScratchDir dir_;
};

TEST_P(PathologicalPattern, EveryToolEndsWithTheOrdinaryOutcome)
{
    const PathologicalCase &c = GetParam();
    if (c.native_only && running_under_wine())
        GTEST_SKIP() << c.native_only;
    ToolRun say = run_tool("Say", {"/" + c.pattern, "found"}, dir_.path());
    EXPECT_EQ(say.out, std::to_string(c.count) + " found\r\n");
    EXPECT_EQ(say.status, c.count);

    ToolRun exec = run_tool("Exec", {"conv", c.pattern, "s16"}, dir_.path());
    EXPECT_EQ(exec.status, 0);
    EXPECT_EQ(lines_of(exec.out).size(), static_cast<std::size_t>(c.count));

    ToolRun rollcall = run_tool("Rollcall", {c.pattern, "list.txt"}, dir_.path());
    EXPECT_EQ(rollcall.status, 0);
    EXPECT_EQ(lines_of(read_file(dir_ / "list.txt")).size(), static_cast<std::size_t>(c.count));
}

const std::string LONG_FOLDER(PATH_MAX + 100, 'd');
const std::string DEEP_FOLDER = repeated("d/", PATH_MAX / 2 + 10);

INSTANTIATE_TEST_SUITE_P(
    Patterns, PathologicalPattern,
    testing::Values(
        PathologicalCase{"stars_and_letters", "*a*a*a*a*a*a*a*a*b", 0},
        PathologicalCase{"stars_and_letters_matching", "*a*a*a*a*a*a*a*a*p", 1},
        // 10,000 characters: "*a" repeated, then a letter no name has.
        PathologicalCase{"ten_thousand_characters", repeated("*a", 4999) + "z", 0},
        // A name part longer than 255 characters finds nothing, as Windows
        // refuses it, even where it would take a name ('a' and DOS_QMs take
        // the 255 a's).  (A first argument that starts with '?' is
        // Rollcall's usage screen.)
        PathologicalCase{"ten_thousand_question_marks", "a" + std::string(9999, '?'), 0},
        PathologicalCase{"question_marks_past_longest_name", "a" + std::string(255, '?'), 0},
        PathologicalCase{"question_marks_longest_name", "a" + std::string(254, '?'), 1,
                         "Windows also limits the whole path, scratch folder included, to MAX_PATH"},
        PathologicalCase{"ten_thousand_literals", std::string(10000, 'a'), 0},
        PathologicalCase{"folder_name_past_path_max", LONG_FOLDER + "/*", 0},
        PathologicalCase{"folder_path_past_path_max", DEEP_FOLDER + "*", 0},
        PathologicalCase{"folder_missing", "missing/deeper/*", 0},
        PathologicalCase{"folder_part_is_a_file", "plain.shp/*", 0},
        PathologicalCase{"folder_part_is_a_file_backslash", "plain.shp\\*", 0}),
    LabelName());

// ---------------------------------------------------------------------------
// Folders that go away, change, or may not be read.

constexpr int BIG_FOLDER_FILES = 5000;

std::string numbered(const char *prefix, int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "%s%05d.shp", prefix, number);
    return name;
}

void fill_folder(const std::string &folder, const char *prefix)
{
    fs::create_directory(folder);
    for (int i = 0; i < BIG_FOLDER_FILES; ++i)
        write_file(folder + "/" + numbered(prefix, i));
}

std::set<std::string> numbered_names(const char *prefix)
{
    std::set<std::string> names;
    for (int i = 0; i < BIG_FOLDER_FILES; ++i)
        names.insert(numbered(prefix, i));
    return names;
}

struct ChangeCase {
    const char *label;
    bool replaced; // false: removed with its content
};

// While a tool reads a big folder, another thread removes it, file by file
// and then the folder, or renames it away and puts a new folder with other
// names in its place.  Which names a run sees depends on the timing; what
// it may never do is crash, deliver a name that was never in either
// folder, deliver one twice, or end with a broken output.
class FolderChangedDuringRun : public testing::TestWithParam<ChangeCase> {
protected:
    void SetUp() override { fill_folder(dir_ / "big", "old"); }

    // Runs `run` while the folder is changed under it.
    ToolRun run_while_changing(const std::function<ToolRun()> &run)
    {
        std::thread changer([this] {
            if (GetParam().replaced) {
                fs::rename(dir_ / "big", dir_ / "gone");
                fs::create_directory(dir_ / "big");
                for (int i = 0; i < 100; ++i)
                    write_file(dir_ / ("big/" + numbered("new", i)));
            } else {
                std::error_code ignored;
                fs::remove_all(dir_ / "big", ignored);
            }
        });
        ToolRun result = run();
        changer.join();
        return result;
    }

    std::set<std::string> possible_names() const
    {
        std::set<std::string> names = numbered_names("old");
        if (GetParam().replaced)
            for (int i = 0; i < 100; ++i)
                names.insert(numbered("new", i));
        return names;
    }

    void expect_sane_names(const std::vector<std::string> &names) const
    {
        const std::set<std::string> possible = possible_names();
        std::set<std::string> seen;
        for (const std::string &name : names) {
            EXPECT_TRUE(possible.count(name)) << "never in the folder: " << name;
            EXPECT_TRUE(seen.insert(name).second) << "delivered twice: " << name;
        }
    }

    ScratchDir dir_;
};

TEST_P(FolderChangedDuringRun, ExecWritesWholeLinesOfRealNames)
{
    ToolRun run = run_while_changing([this] { return run_tool("Exec", {"conv", "big/*.shp", "s16"}, dir_.path()); });
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> names;
    for (const std::string &line : lines_of(run.out)) {
        // "conv NAME BASE.s16   " with NAME = BASE.shp
        ASSERT_EQ(line.size(), 5 + 12 + 1 + 12 + 3) << line;
        names.push_back(line.substr(5, 12));
        EXPECT_EQ(line, "conv " + names.back() + " " + names.back().substr(0, 8) + ".s16   ");
    }
    EXPECT_TRUE(run.out.empty() || run.out.substr(run.out.size() - 2) == "\r\n");
    expect_sane_names(names);
}

TEST_P(FolderChangedDuringRun, RollcallListsRealNamesInOrder)
{
    ToolRun run = run_while_changing([this] { return run_tool("Rollcall", {"big/*", "list.txt"}, dir_.path()); });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(after_notice(run.out),
              crlf("Creating list.txt to use with Marno QUILLBOX  to repack Torvex/Corvale.dat\n"
                   "Done ! . list.txt created\n"));
    const std::string list = read_file(dir_ / "list.txt");
    EXPECT_TRUE(list.empty() || list.substr(list.size() - 2) == "\r\n");
    std::vector<std::string> names = lines_of(list);
    expect_sane_names(names);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST_P(FolderChangedDuringRun, SayCountsWhatItSaw)
{
    ToolRun run = run_while_changing([this] { return run_tool("Say", {"/big/*", "files"}, dir_.path()); });
    ASSERT_NE(run.status, -1) << "killed by a signal";
    const std::size_t blank = run.out.find(' ');
    ASSERT_NE(blank, std::string::npos) << run.out;
    const int count = std::stoi(run.out.substr(0, blank));
    EXPECT_EQ(run.out, std::to_string(count) + " files\r\n");
    EXPECT_GE(count, 0);
    EXPECT_LE(static_cast<std::size_t>(count), possible_names().size());
    EXPECT_EQ(run.status, count & 0xFF);
}

INSTANTIATE_TEST_SUITE_P(Changes, FolderChangedDuringRun,
                         testing::Values(ChangeCase{"removed", false}, ChangeCase{"replaced", true}),
                         LabelName());

// A folder the user may not list gives an ordinary empty run, not an error
// and not a crash.  As root the tools run as "nobody" for this.
struct LockedCase {
    const char *label;
    mode_t mode;
};

class LockedFolder : public testing::TestWithParam<LockedCase> {};

TEST_P(LockedFolder, EveryToolSeesNothingThere)
{
    ScratchDir dir;
    fs::create_directory(dir / "locked");
    write_file(dir / "locked/a.shp");
    fs::create_directory(dir / "out");
    ASSERT_EQ(chmod((dir / "out").c_str(), 0777), 0);
    ASSERT_EQ(chmod((dir / "locked").c_str(), GetParam().mode), 0);

    ToolRun say;
    if (!run_tool_unprivileged("Say", {"/locked/*", "files"}, dir.path(), &say))
        GTEST_SKIP() << "cannot run the tools as an unprivileged user here";
    EXPECT_EQ(say.out, "0 files\r\n");
    EXPECT_EQ(say.status, 0);

    ToolRun exec;
    ASSERT_TRUE(run_tool_unprivileged("Exec", {"conv", "locked/*.shp", "s16"}, dir.path(), &exec));
    EXPECT_EQ(exec.out, "");
    EXPECT_EQ(exec.status, 0);

    ToolRun rollcall;
    ASSERT_TRUE(run_tool_unprivileged("Rollcall", {"locked/*", "out/list.txt"}, dir.path(), &rollcall));
    EXPECT_EQ(after_notice(rollcall.out),
              crlf("Creating out/list.txt to use with Marno QUILLBOX  to repack Torvex/Corvale.dat\n"
                   "Done ! . out/list.txt created\n"));
    EXPECT_EQ(rollcall.status, 0);
    EXPECT_EQ(read_file(dir / "out/list.txt"), "");
}

INSTANTIATE_TEST_SUITE_P(Modes, LockedFolder,
                         testing::Values(LockedCase{"no_access", 0}, LockedCase{"search_only", 0311}),
                         LabelName());

// ---------------------------------------------------------------------------
// Standard output closed before the tool starts (`Rollcall ... >&-`): the
// list file must not take its place and collect the messages.

// Runs `tool` with its standard output closed, through a small script put
// in front of any wrapper already in use.
ToolRun run_with_output_closed(const ScratchDir &dir, const std::string &tool, const std::vector<std::string> &args)
{
    const char *outer = std::getenv("TOOLS_WRAPPER");
    const std::string saved = outer ? outer : "";
    const std::string script = dir / "close-output.sh";
    write_file(script, "#!/bin/sh\nexec " + saved + " \"$@\" >&-\n");
    chmod(script.c_str(), 0755);
    setenv("TOOLS_WRAPPER", script.c_str(), 1);
    ToolRun run = run_tool(tool, args, dir.path());
    if (outer)
        setenv("TOOLS_WRAPPER", saved.c_str(), 1);
    else
        unsetenv("TOOLS_WRAPPER");
    fs::remove(script);
    return run;
}

TEST(ClosedOutput, RollcallListHoldsOnlyTheNames)
{
    if (running_under_wine())
        GTEST_SKIP() << "a closed standard stream is a POSIX case";
    ScratchDir dir;
    write_file(dir / "b.shp");
    write_file(dir / "a.shp");
    // A list path long enough that the messages fill the output buffer
    // before the list is written.
    const std::string folder = std::string(200, 'f') + "/" + std::string(200, 'g');
    fs::create_directories(dir / folder);
    const std::string list_path = folder + "/list.txt";
    run_with_output_closed(dir, "Rollcall", {"*.shp", list_path});
    EXPECT_EQ(read_file(dir / list_path), crlf("a.shp\nb.shp\n"));
}

TEST(ClosedOutput, ExecFailsAndSayKeepsItsCount)
{
    if (running_under_wine())
        GTEST_SKIP() << "a closed standard stream is a POSIX case";
    ScratchDir dir;
    write_file(dir / "a.shp");
    write_file(dir / "b.shp");
    EXPECT_EQ(run_with_output_closed(dir, "Exec", {"conv", "*.shp", "s16"}).status, 1);
    EXPECT_EQ(run_with_output_closed(dir, "Say", {"/*.shp", "files"}).status, 2);
}

} // namespace
