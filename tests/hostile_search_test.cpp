// The search and the matcher against hostile input at the library level:
// the cost of very long patterns, counted in matcher steps, and a search
// whose folder is removed or replaced while it is under way.
#include "console_services.h"
#include "posix/wildcard.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

struct CostCase {
    const char *label;
    std::string pattern;
    std::string name;
    bool matches;
};

class LongPatternCost : public testing::TestWithParam<CostCase> {};

// However long the pattern, one match costs at most two visits of each
// pattern position per name character (plus the start), and gives the
// ordinary answer.
TEST_P(LongPatternCost, StaysWithinTheStepBound)
{
    const CostCase &c = GetParam();
    WildcardPattern pattern;
    ASSERT_TRUE(wildcard_compile(c.pattern, &pattern));
    std::size_t steps = 0;
    EXPECT_EQ(wildcard_match_general(pattern, c.name, &steps), c.matches);
    EXPECT_EQ(wildcard_match(pattern, c.name), c.matches);
    EXPECT_GT(steps, 0u) << "the counter must see the work";
    EXPECT_LE(steps, 2 * (pattern.symbols.size() + 1) * (c.name.size() + 1));
}

const std::string LONGEST_NAME(255, 'a');

INSTANTIATE_TEST_SUITE_P(
    Patterns, LongPatternCost,
    testing::Values(CostCase{"stars_and_letters", repeated("*a", 4999) + "z", LONGEST_NAME, false},
                    CostCase{"stars_and_letters_matching", repeated("*a", 100) + "*", LONGEST_NAME, true},
                    CostCase{"question_marks", "a" + std::string(9999, '?'), LONGEST_NAME, true},
                    CostCase{"question_marks_at_a_dot", std::string(10000, '?'), "a.b", false},
                    CostCase{"literals", std::string(10000, 'a'), LONGEST_NAME, false},
                    CostCase{"dos_stars", repeated("*.", 5000), LONGEST_NAME + ".", true},
                    CostCase{"stars_and_dots", repeated("*.*", 3333), repeated("a.", 127), true}),
    LabelName());

// A search holds its folder open: removing or replacing the folder part
// way through ends it with names that were really there, each once.
struct ChangeCase {
    const char *label;
    bool replaced;
};

class FolderChangedDuringSearch : public testing::TestWithParam<ChangeCase> {};

TEST_P(FolderChangedDuringSearch, EndsWithNamesThatWereThere)
{
    ScratchDir dir;
    const std::string folder = dir / "sprites";
    fs::create_directory(folder);
    std::set<std::string> made;
    for (int i = 0; i < 300; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "s%03d.shp", i);
        write_file(folder + "/" + name);
        made.insert(name);
    }

    SearchRecord record{};
    ASSERT_EQ(search_start((folder + "/*.shp").c_str(), &record, 0), 0);
    std::set<std::string> seen = {record.name};
    if (GetParam().replaced) {
        fs::rename(folder, dir / "old");
        fs::create_directory(folder);
        write_file(folder + "/new.shp");
    } else {
        fs::remove_all(folder);
    }
    int result = 0;
    std::size_t delivered = 1;
    while ((result = search_next(&record)) == 0 && delivered <= made.size()) {
        ++delivered;
        EXPECT_TRUE(made.count(record.name)) << "never in the folder: " << record.name;
        EXPECT_TRUE(seen.insert(record.name).second) << "delivered twice: " << record.name;
    }
    EXPECT_NE(result, 0) << "the search did not end";
    EXPECT_NE(search_next(&record), 0) << "an ended search must stay ended";
}

INSTANTIATE_TEST_SUITE_P(Changes, FolderChangedDuringSearch,
                         testing::Values(ChangeCase{"removed", false}, ChangeCase{"replaced", true}),
                         LabelName());

} // namespace
