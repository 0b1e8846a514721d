// The POSIX file search, over scratch folders.
#include "console_services.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// Runs one search to its end and returns the delivered names, sorted: the
// order of a directory read is not fixed.
Names search_all(const std::string &pattern, unsigned mask = 0)
{
    SearchRecord record{};
    Names names;
    int result = search_start(pattern.c_str(), &record, mask);
    for (; result == 0 && names.size() < 10000; result = search_next(&record))
        names.push_back(record.name);
    EXPECT_NE(result, 0) << "search of " << pattern << " did not end";
    EXPECT_NE(search_next(&record), 0) << "an ended search must stay ended";
    std::sort(names.begin(), names.end());
    return names;
}

void make_folder(const std::string &path)
{
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
}

void make_link(const std::string &target, const std::string &path)
{
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
}

// Runs the tests that name no folder in a chosen current folder.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string &path)
    {
        char buffer[PATH_MAX];
        if (getcwd(buffer, sizeof buffer))
            previous_ = buffer;
        EXPECT_EQ(chdir(path.c_str()), 0);
    }
    ~CurrentFolder()
    {
        if (!previous_.empty() && chdir(previous_.c_str()) != 0)
            ADD_FAILURE() << "cannot return to " << previous_;
    }
    CurrentFolder(const CurrentFolder &) = delete;
    CurrentFolder &operator=(const CurrentFolder &) = delete;

private:
    std::string previous_;
};

// One entry of every kind the filter tells apart, all named *.shp, plus a
// folder "sprites" with content of its own.
class SearchFolder : public testing::Test {
protected:
    void SetUp() override
    {
        write_file(dir / "a.shp", "plain");
        write_file(dir / "b.shp", "read-only");
        ASSERT_EQ(chmod((dir / "b.shp").c_str(), 0444), 0);
        write_file(dir / ".c.shp", "hidden");
        ASSERT_EQ(mkfifo((dir / "d.shp").c_str(), 0644), 0);
        make_folder(dir / "e.shp");
        make_link("a.shp", dir / "f.shp");          // to a file
        make_link("no-such-target", dir / "g.shp"); // leads nowhere
        make_link("e.shp", dir / "h.shp");          // to a folder
        make_folder(dir / ".i.shp");                // hidden folder
        write_file(dir / "notes.txt");
        make_folder(dir / "sprites");
        write_file(dir / "sprites/tank.shp");
        write_file(dir / "sprites/jeep.s16");
    }

    ScratchDir dir;
};

TEST_F(SearchFolder, MaskZeroDeliversPlainAndReadOnlyFilesAndLinksToFiles)
{
    EXPECT_EQ(search_all(dir / "*.shp"), (Names{"a.shp", "b.shp", "f.shp"}));
}

TEST_F(SearchFolder, AnEntryIsDeliveredWhenTheMaskSharesOneOfItsFilteredBits)
{
    struct MaskCase {
        unsigned mask;
        Names names;
    };
    const MaskCase cases[] = {
        {ATTR_READONLY | ATTR_ARCHIVE, {"a.shp", "b.shp", "f.shp"}},
        {ATTR_HIDDEN, {".c.shp", ".i.shp", "a.shp", "b.shp", "f.shp"}},
        {ATTR_SYSTEM, {"a.shp", "b.shp", "d.shp", "f.shp", "g.shp"}},
        {ATTR_DIRECTORY, {".i.shp", "a.shp", "b.shp", "e.shp", "f.shp", "h.shp"}},
        {ATTR_FILTERED, {".c.shp", ".i.shp", "a.shp", "b.shp", "d.shp", "e.shp", "f.shp", "g.shp", "h.shp"}},
    };
    for (const MaskCase &c : cases)
        EXPECT_EQ(search_all(dir / "*.shp", c.mask), c.names) << "mask " << c.mask;
}

TEST_F(SearchFolder, DotAndDotDotAreFoldersNotDeliveredWithMaskZero)
{
    EXPECT_EQ(search_all(dir / "*"), (Names{"a.shp", "b.shp", "f.shp", "notes.txt"}));
    const Names folders = search_all(dir / "*", ATTR_DIRECTORY);
    EXPECT_EQ(folders, (Names{".", "..", ".i.shp", "a.shp", "b.shp", "e.shp", "f.shp", "h.shp", "notes.txt",
                              "sprites"}));
}

TEST_F(SearchFolder, FolderPartWithEitherSeparatorGivesBareNames)
{
    const Names expected{"jeep.s16", "tank.shp"};
    EXPECT_EQ(search_all(dir / "sprites/*"), expected);
    EXPECT_EQ(search_all(dir / "sprites\\*"), expected);
    EXPECT_EQ(search_all(dir.path() + "\\sprites\\*.*"), expected);
    EXPECT_EQ(search_all(dir / "sprites\\*.s16"), Names{"jeep.s16"});
}

TEST_F(SearchFolder, PatternWithoutFolderSearchesTheCurrentFolder)
{
    CurrentFolder here(dir.path());
    EXPECT_EQ(search_all("*.shp"), (Names{"a.shp", "b.shp", "f.shp"}));
    EXPECT_EQ(search_all("sprites\\*.shp"), Names{"tank.shp"});
}

TEST_F(SearchFolder, NamingAFolderDeliversNothingButItsStarDeliversItsContent)
{
    CurrentFolder here(dir.path());
    EXPECT_EQ(search_all("sprites"), Names{});
    EXPECT_EQ(search_all("sprites\\*"), (Names{"jeep.s16", "tank.shp"}));
}

TEST_F(SearchFolder, PatternNamingOneFileDeliversItOnce)
{
    EXPECT_EQ(search_all(dir / "a.shp"), Names{"a.shp"});
    EXPECT_EQ(search_all(dir / "sprites/tank.shp"), Names{"tank.shp"});
}

TEST_F(SearchFolder, FailuresReturnNonZeroAtOnce)
{
    const std::string too_long_folder = dir.path() + "/" + std::string(PATH_MAX, 'x');
    const std::string failing[] = {
        "",
        dir / "missing/*.shp",
        dir / "a.shp/*",    // folder part is a file
        dir / "a.shp\\*",
        dir / "sprites/",   // empty name part
        dir / "sprites\\",
        dir / "*.none",     // nothing matches
        too_long_folder + "/*",
    };
    for (const std::string &pattern : failing) {
        SearchRecord record{};
        EXPECT_NE(search_start(pattern.c_str(), &record, ATTR_FILTERED), 0) << pattern;
        EXPECT_NE(search_next(&record), 0) << pattern;
    }
}

TEST_F(SearchFolder, UnreadableFolderFails)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    ASSERT_EQ(chmod((dir / "sprites").c_str(), 0), 0);
    SearchRecord record{};
    EXPECT_NE(search_start((dir / "sprites/*").c_str(), &record, 0), 0);
}

TEST_F(SearchFolder, StartFillsTheRecord)
{
    const std::string pattern = dir / "a.shp";
    SearchRecord record{};
    ASSERT_EQ(search_start(pattern.c_str(), &record, ATTR_HIDDEN), 0);
    EXPECT_EQ(record.pattern, pattern.c_str());
    EXPECT_EQ(record.attribute_mask, unsigned{ATTR_HIDDEN});
    EXPECT_STREQ(record.name, "a.shp");
    EXPECT_NE(search_next(&record), 0);
}

TEST(SearchNames, ControlCharacterNamesArePassedOver)
{
    ScratchDir dir;
    write_file(dir / "good.shp");
    write_file(dir / "tab\there.shp");
    write_file(dir / "line\nbreak.shp");
    write_file(dir / "del\x7f.shp");
    write_file(dir / "\x01.shp");
    EXPECT_EQ(search_all(dir / "*.shp", ATTR_FILTERED), Names{"good.shp"});
    EXPECT_EQ(search_all(dir / "*", 0), Names{"good.shp"});
}

TEST(SearchNames, NameInOtherLetterCaseIsDeliveredInItsOwnSpelling)
{
    ScratchDir dir;
    write_file(dir / "Tank.SHP");
    EXPECT_EQ(search_all(dir / "tank.shp"), Names{"Tank.SHP"});
    // A case-sensitive file system can hold both spellings: both match.
    write_file(dir / "TANK.shp");
    EXPECT_EQ(search_all(dir / "tank.shp"), (Names{"TANK.shp", "Tank.SHP"}));
}

TEST(SearchNames, LongestAndNonAsciiNamesComeThroughWhole)
{
    ScratchDir dir;
    const std::string longest = std::string(251, 'n') + ".shp";
    write_file(dir / longest);
    write_file(dir / "\xC3\x89t\xC3\xA9.shp");
    write_file(dir / "raw\xFF.shp");
    EXPECT_EQ(search_all(dir / "*.SHP"), (Names{longest, "raw\xFF.shp", "\xC3\x89t\xC3\xA9.shp"}));
    EXPECT_EQ(search_all(dir / "\xC3\xA9T\xC3\x89.shp"), Names{"\xC3\x89t\xC3\xA9.shp"});
}

TEST(SearchNames, RootFolderFromALeadingSeparator)
{
    // Every Linux system has /etc; the pattern's only separator is its first
    // character, which selects the root folder.
    EXPECT_EQ(search_all("/etc", ATTR_DIRECTORY), Names{"etc"});
    EXPECT_EQ(search_all("\\etc", ATTR_DIRECTORY), Names{"etc"});
}

} // namespace
