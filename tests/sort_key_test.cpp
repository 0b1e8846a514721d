// The POSIX name sort: the Windows orders it must reproduce, case and
// accents, the locale taken from the environment, and the keys behind it.
#include "collation.h"
#include "posix/sort_key.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// Sets the three locale variables for one test and puts the old values
// back afterwards, so no test leaks its locale into the next.
class SortTest : public ::testing::Test {
protected:
    static constexpr const char *VARIABLES[] = {"LC_ALL", "LC_COLLATE", "LANG"};

    void SetUp() override
    {
        for (const char *variable : VARIABLES) {
            const char *value = std::getenv(variable);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
    }

    void TearDown() override
    {
        for (std::size_t i = 0; i < saved_.size(); i++)
            set_variable(VARIABLES[i], saved_[i] ? saved_[i]->c_str() : nullptr);
    }

    // Null unsets the variable.
    static void set_variable(const char *variable, const char *value)
    {
        if (value)
            setenv(variable, value, 1);
        else
            unsetenv(variable);
    }

    static void set_locale(const char *lc_all, const char *lc_collate, const char *lang)
    {
        set_variable("LC_ALL", lc_all);
        set_variable("LC_COLLATE", lc_collate);
        set_variable("LANG", lang);
    }

    static void use_lang(const char *lang) { set_locale(nullptr, nullptr, lang); }

private:
    std::vector<std::optional<std::string>> saved_;
};

Names collate_sorted(const Names &names)
{
    std::vector<const char *> pointers;
    for (const std::string &name : names)
        pointers.push_back(name.c_str());
    std::vector<std::uint32_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); i++)
        order[i] = static_cast<std::uint32_t>(i);
    EXPECT_TRUE(collate_sort(pointers.data(), pointers.size(), order.data()));
    Names sorted;
    for (std::uint32_t index : order)
        sorted.push_back(names[index]);
    return sorted;
}

// Sorts `expected` from reversed and shuffled starts; both must give it back.
void expect_sorts_to(const Names &expected)
{
    Names reversed(expected.rbegin(), expected.rend());
    EXPECT_EQ(collate_sorted(reversed), expected);
    Names shuffled = expected;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(12345));
    EXPECT_EQ(collate_sorted(shuffled), expected);
}

// Orders seen with the Windows build, in ascending order.
const std::vector<Names> WINDOWS_ORDERS = {
    {"cook", "coop", "co'op", "co-op", "cop"},
    {"tank2", "tank-2"},
    {"x-", "-x"},
    {"abc", "abc-", "ab'c", "ab-c", "a'bc", "a'b-c", "a''bc", "a-bc", "a-b'c", "a-b-c", "a-b--c",
     "a--bc", "'abc", "-abc", "--abc"},
    {"tank.shp", "tank_2.shp", "Tank10.shp", "tank2.shp"},
    {"a.shp", "B.shp", "c.shp"},
    {"10.shp", "9.shp"},
    // The symbols allowed in Windows names, then digits, then letters.
    {"x", "x y", "x!", "x#", "x$", "x%", "x&", "x(", "x)", "x,", "x.", "x;", "x@", "x[", "x]", "x^",
     "x_", "x`", "x{", "x}", "x~", "x+", "x=", "x0", "x9", "xa", "xZ"},
};

} // namespace

// The tailoring is appended after each locale's own rules, so it must hold
// whichever locale is in force.
TEST_F(SortTest, WindowsOrdersHoldInEveryLocale)
{
    for (const char *lang : {"C", "en_US.UTF-8", "sv_SE.UTF-8", "de_DE.UTF-8", "fr_CA.UTF-8"}) {
        SCOPED_TRACE(lang);
        use_lang(lang);
        for (const Names &order : WINDOWS_ORDERS)
            expect_sorts_to(order);
    }
}

TEST_F(SortTest, CaseIsIgnoredAndEqualNamesEndInByteOrder)
{
    use_lang("C");
    expect_sorts_to({"appl", "APPLE", "Apple", "aPPLE", "apple", "Applf"});
    // The marks decide before the bytes do: COOP has none.
    expect_sorts_to({"COOP", "Co-op", "co-op", "coops"});
}

TEST_F(SortTest, AccentsCountAfterLettersBeforeCase)
{
    use_lang("C");
    expect_sorts_to({"E", "e", "\xC3\x89", "\xC3\xA9", "f"}); // E e É é f
    // Root weighs accents from the left: coté before côte, though its
    // bytes are greater.
    expect_sorts_to({"cote", "cot\xC3\xA9", "c\xC3\xB4te", "c\xC3\xB4t\xC3\xA9", "cotes"});
}

TEST_F(SortTest, LocaleRulesAndSettingsApply)
{
    use_lang("sv_SE.UTF-8");
    expect_sorts_to({"a", "o", "z", "\xC3\xA5", "\xC3\xA4", "\xC3\xB6"}); // a o z å ä ö
    use_lang("C");
    expect_sorts_to({"a", "\xC3\xA5", "\xC3\xA4", "o", "\xC3\xB6", "z"}); // a å ä o ö z
    // Canadian French weighs accents from the right.
    use_lang("fr_CA.UTF-8");
    expect_sorts_to({"cote", "c\xC3\xB4te", "cot\xC3\xA9", "c\xC3\xB4t\xC3\xA9"});
}

TEST_F(SortTest, LocaleComesFromFirstSetVariable)
{
    struct Case {
        const char *lc_all;
        const char *lc_collate;
        const char *lang;
        const char *locale; // "" for root
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, ""},
        {nullptr, nullptr, "sv_SE.UTF-8", "sv_SE"},
        {nullptr, nullptr, "sv_SE.UTF-8@euro", "sv_SE"},
        {nullptr, nullptr, "de_DE@euro", "de_DE"},
        {nullptr, nullptr, "sv", "sv"},
        {"C", nullptr, "sv_SE.UTF-8", ""},
        {"sv_SE.UTF-8", nullptr, "C", "sv_SE"},
        {nullptr, "sv_SE.UTF-8", "de_DE.UTF-8", "sv_SE"},
        {"de_DE.UTF-8", "sv_SE.UTF-8", nullptr, "de_DE"},
        {"", "", "sv_SE.UTF-8", "sv_SE"},
        {"", "POSIX", "sv_SE.UTF-8", ""},
        {nullptr, nullptr, "C.UTF-8", ""},
        {nullptr, nullptr, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.lc_all ? c.lc_all : "-") + " / " + (c.lc_collate ? c.lc_collate : "-") +
                     " / " + (c.lang ? c.lang : "-"));
        set_locale(c.lc_all, c.lc_collate, c.lang);
        EXPECT_EQ(collation_locale_from_environment(), c.locale);
        // The sort follows the same choice: Swedish puts å after z.
        Names swedish_order = {"z", "\xC3\xA5"};
        Names root_order = {"\xC3\xA5", "z"};
        bool swedish = std::string(c.locale).rfind("sv", 0) == 0;
        EXPECT_EQ(collate_sorted(root_order), swedish ? swedish_order : root_order);
    }
}

TEST_F(SortTest, InvalidUtf8CollatesAsReplacementCharacter)
{
    use_lang("C");
    // Lone bytes tie with a real U+FFFD, which sorts after letters; the
    // tie ends in byte order.
    expect_sorts_to({"a", "z", "\xEF\xBF\xBD", "\xFE", "\xFF"});
    // A hyphen between the two bytes of é must not join them into é.
    expect_sorts_to({"\xC3\xA9", "f", "\xC3-\xA9"});
}

TEST_F(SortTest, EmptyAndSingleListsSucceed)
{
    use_lang("C");
    EXPECT_EQ(collate_sorted({}), Names{});
    EXPECT_EQ(collate_sorted({"only"}), Names{"only"});
}

namespace {

struct KeyedName {
    std::string name;
    std::vector<std::uint8_t> key;
};

int compare_keyed(const KeyedName &a, const KeyedName &b)
{
    int result = compare_sort_keys(a.key.data(), a.key.size(), b.key.data(), b.key.size());
    if (result != 0)
        return result;
    return a.name.compare(b.name);
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

Names random_names(std::size_t count, unsigned seed, const std::string &prefix = "")
{
    const char *const pieces[] = {"a", "A", "b", "B", "e", "\xC3\xA9", "\xC3\x89", "-", "'", " ", "_",
                                  ".", "1", "9", "\xC3\xB6", "\xFF"};
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> length(0, 7);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1);
    Names names;
    for (std::size_t i = 0; i < count; i++) {
        std::string name = prefix;
        for (std::size_t n = length(random); n > 0; n--)
            name += pieces[piece(random)];
        names.push_back(name);
    }
    // Some exact duplicates, which must compare equal.
    for (std::size_t i = 0; i < count / 10; i++)
        names.push_back(names[i]);
    return names;
}

// Keys of names built with one scratch, which has first grown for a long
// name, so any stale byte it kept would show.
std::vector<KeyedName> keyed_names(UCollator *collator, const Names &names)
{
    SortKeyScratch scratch;
    std::string long_name(259, 'x');
    build_sort_key(collator, long_name.c_str(), scratch);
    std::vector<KeyedName> keyed;
    for (const std::string &name : names) {
        std::size_t length = build_sort_key(collator, name.c_str(), scratch);
        keyed.push_back({name, std::vector<std::uint8_t>(scratch.key.begin(), scratch.key.begin() + length)});
    }
    return keyed;
}

} // namespace

// Keys plus the byte tie-break must form a strict total order, whatever mix
// of case, accents, marks, symbols and invalid bytes the names hold.
TEST_F(SortTest, KeyOrderIsStrictTotalOrder)
{
    UCollator *collator = open_name_collator("");
    ASSERT_NE(collator, nullptr);
    std::vector<KeyedName> keyed = keyed_names(collator, random_names(300, 7));

    for (const KeyedName &a : keyed) {
        for (const KeyedName &b : keyed) {
            int forward = compare_keyed(a, b);
            ASSERT_EQ(sign(forward), -sign(compare_keyed(b, a))) << a.name << " | " << b.name;
            ASSERT_EQ(forward == 0, a.name == b.name) << a.name << " | " << b.name;
        }
    }

    std::mt19937 random(99);
    std::uniform_int_distribution<std::size_t> pick(0, keyed.size() - 1);
    for (int i = 0; i < 20000; i++) {
        const KeyedName &a = keyed[pick(random)];
        const KeyedName &b = keyed[pick(random)];
        const KeyedName &c = keyed[pick(random)];
        if (compare_keyed(a, b) < 0 && compare_keyed(b, c) < 0) {
            ASSERT_LT(compare_keyed(a, c), 0) << a.name << " | " << b.name << " | " << c.name;
        }
    }
    close_name_collator(collator);
}

// A key built in a reused scratch must match one built from scratch, and
// the sort must follow the keys.  The sort reads the keys a few bytes at a
// time; the long shared prefixes make it go many bytes deep in large runs.
TEST_F(SortTest, SortFollowsKeysFromReusedScratch)
{
    use_lang("C");
    UCollator *collator = open_name_collator("");
    ASSERT_NE(collator, nullptr);
    Names names = random_names(300, 11);
    for (const char *prefix : {"sprite", "Sprite-frame'", "sprite frame number ", "SPRITE-FRAME_NUMBER-"}) {
        Names prefixed = random_names(300, 13, prefix);
        names.insert(names.end(), prefixed.begin(), prefixed.end());
    }
    std::vector<KeyedName> keyed = keyed_names(collator, names);
    for (const KeyedName &entry : keyed) {
        SortKeyScratch fresh;
        std::size_t length = build_sort_key(collator, entry.name.c_str(), fresh);
        ASSERT_EQ(std::vector<std::uint8_t>(fresh.key.begin(), fresh.key.begin() + length), entry.key)
            << entry.name;
    }
    close_name_collator(collator);

    std::sort(keyed.begin(), keyed.end(),
              [](const KeyedName &a, const KeyedName &b) { return compare_keyed(a, b) < 0; });
    Names expected;
    for (const KeyedName &entry : keyed)
        expected.push_back(entry.name);
    EXPECT_EQ(collate_sorted(names), expected);
}

namespace {

bool built_with_address_sanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// Runs in a child process: caps the address space a little above what is
// mapped already, too little for the keys and records of all the names,
// and exits with 3 when the sort reports that memory ran out.
[[noreturn]] void sort_with_little_memory(const std::vector<const char *> &names)
{
    std::vector<std::uint32_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); i++)
        order[i] = static_cast<std::uint32_t>(i);
    std::size_t mapped_pages = 0;
    std::ifstream("/proc/self/statm") >> mapped_pages;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = mapped_pages * 4096 + (3u << 20);
    if (mapped_pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0)
        std::_Exit(2);
    bool sorted = collate_sort(names.data(), names.size(), order.data());
    std::_Exit(sorted ? 0 : 3);
}

} // namespace

TEST_F(SortTest, RunningOutOfMemoryReturnsFalse)
{
    if (built_with_address_sanitizer())
        GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
    use_lang("C");
    Names names;
    for (int i = 0; i < 300000; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "sprite_%06d.shp", i);
        names.push_back(name);
    }
    std::vector<const char *> pointers;
    for (const std::string &name : names)
        pointers.push_back(name.c_str());
    EXPECT_EXIT(sort_with_little_memory(pointers), ::testing::ExitedWithCode(3), "");
}
