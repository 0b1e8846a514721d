// The Windows-style pattern rewrite and matcher.
#include "posix/wildcard.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

namespace {

WildcardPattern compiled(const std::string &typed)
{
    WildcardPattern pattern;
    EXPECT_TRUE(wildcard_compile(typed, &pattern));
    return pattern;
}

struct RewriteCase {
    const char *typed;
    const char *rewritten; // DOS_STAR '<', DOS_QM '>', DOS_DOT '"'
};

TEST(WildcardRewrite, FollowsTheWindowsRules)
{
    const RewriteCase cases[] = {
        // The worked rewrites of the design note.
        {"*.shp", "<.shp"},
        {"*.*", "*"},
        {"*.", "<"},
        {"a*.*", "a<\"*"},
        {"a.*", "a\"*"},
        {"?.?", ">\">"},
        {"a?", "a>"},
        {"*.s?6", "<.s>6"},
        {"tank.shp.", "tank.shp"},
        {"*.*.", "*"},
        // Further shapes.
        {"a*.", "a<"},
        {"*", "*"},
        {"tank.shp", "tank.shp"},
        {"a.b.c", "a.b.c"},
        {"*.*.*", "<\"<\"*"},  // only the exact "*.*" collapses
        {"a..", "a."},         // one trailing dot goes, the next one stays
        {".", ""},
        {"", ""},
        {"x.*.", "x\"<"},      // a trailing star after a dropped dot
        {"*?", "*>"},
        {"**.x", "*<.x"},
    };
    for (const RewriteCase &c : cases)
        EXPECT_EQ(wildcard_rewrite_text(c.typed), c.rewritten) << "typed " << c.typed;
}

struct MatchCase {
    const char *pattern;
    std::vector<std::string> matches;
    std::vector<std::string> rejects;
};

void expect_match_table(const std::vector<MatchCase> &cases)
{
    for (const MatchCase &c : cases) {
        const WildcardPattern pattern = compiled(c.pattern);
        for (const std::string &name : c.matches) {
            EXPECT_TRUE(wildcard_match(pattern, name)) << c.pattern << " should match " << name;
            EXPECT_TRUE(wildcard_match_general(pattern, name)) << c.pattern << " should match " << name;
        }
        for (const std::string &name : c.rejects) {
            EXPECT_FALSE(wildcard_match(pattern, name)) << c.pattern << " should not match " << name;
            EXPECT_FALSE(wildcard_match_general(pattern, name)) << c.pattern << " should not match " << name;
        }
    }
}

TEST(WildcardMatch, DesignNoteConsequences)
{
    expect_match_table({
        {"*.shp", {"tank.shp", "TANK.SHP", "a.b.shp", ".shp"}, {"x.shpx", "shp", "tank.shp.bak"}},
        {"*.*", {"tank.shp", "README", "a.b.c", ".hidden", "x"}, {}},
        {"*.", {"README", "a"}, {"a.txt", ".x"}},
        {"a?", {"a", "ab"}, {"abc", "a.b"}},
        {"???", {"a", "ab", "abc"}, {"abcd", "a.b"}},
        {"?.txt", {"a.txt", ".txt"}, {"ab.txt"}},
        {"a.*", {"a", "a.txt", "a.b.c"}, {"ab.txt"}},
        {"*a*", {"a", "tank.shp", "BAR"}, {"b.shp"}},
    });
}

TEST(WildcardMatch, FurtherShapes)
{
    expect_match_table({
        // No wildcard: the name itself, in any letter case.
        {"tank.shp", {"tank.shp", "Tank.SHP"}, {"tank.shpx", "xtank.shp", "tank", "tank.sh"}},
        // A trailing dot is dropped.
        {"tank.shp.", {"tank.shp", "TANK.shp"}, {"tank.shp.", "tank.shpx"}},
        {"readme.", {"readme", "README"}, {"readme.txt"}},
        // A star before a dropped dot may not take a dot.
        {"a*.", {"a", "abc"}, {"a.b", "b"}},
        // DOS_STAR crosses earlier dots but not the final one.
        {"*.s?6", {"x.s16", "a.b.s16"}, {"x.s6", "x.s16.bak", "x.s166"}},
        {"*.*.*", {"a.b.c", "a.b", "a"}, {}},
        // Plain star takes dots too.
        {"a*z", {"az", "a.b.z", "A..Z", "a.b.zz"}, {"a.b.zy"}},
        {"*x", {"x", "a.x", "a.b.x"}, {"x.a"}},
        // DOS_QM stops at a dot and the ones after it match nothing too.
        {"a??.b", {"a.b", "ax.b", "axy.b"}, {"axyz.b", "a.x.b"}},
        {"x.?", {"x", "x.a"}, {"x.ab", "xa"}},
        // Two stars in a row.
        {"**.x", {"a.x", ".x", "a.b.x"}, {"a.x.y"}},
    });
}

TEST(WildcardMatch, EmptyPatternMatchesNothing)
{
    for (const char *typed : {"", "."}) {
        const WildcardPattern pattern = compiled(typed);
        for (const char *name : {"", "a", ".", "a.b"}) {
            EXPECT_FALSE(wildcard_match(pattern, name)) << "pattern '" << typed << "' name '" << name << "'";
            EXPECT_FALSE(wildcard_match_general(pattern, name)) << "pattern '" << typed << "'";
        }
    }
}

TEST(WildcardMatch, LetterCaseBeyondAscii)
{
    expect_match_table({
        {"\xC3\x89t\xC3\xA9.txt", {"\xC3\xA9t\xC3\xA9.txt", "\xC3\x89T\xC3\x89.TXT"}, {"ete.txt", "\xC3\xA9t.txt"}},
        {"*\xCE\xA3*", {"\xCF\x83", "a\xCF\x83" "b", "\xCF\x82"}, {"s", "S"}},  // Σ σ ς share one folding
        {"stra\xC3\x9F" "e", {"STRA\xC3\x9F" "E"}, {"strasse"}},  // simple folding: ß stays one letter
        {"*.shp", {"x.\xC5\xBFhp"}, {"x.\xC5\xBFhpx"}},           // ſ folds to s
        {"?", {"\xC3\xA9", "\xF0\x9F\x98\x80"}, {"\xC3\xA9\xC3\xA9"}}, // DOS_QM takes a whole character
    });
}

TEST(WildcardMatch, InvalidUtf8BytesMatchOnlyThemselves)
{
    expect_match_table({
        // A lone 0xC9 is not É: it must not fold to é, and é must not match it.
        {"\xC9.txt", {"\xC9.txt"}, {"\xC3\xA9.txt", "\xE9.txt", "\xC3\x89.txt"}},
        {"*\xFF", {"a\xFF", "\xFF"}, {"a\xFE", "a"}},
        // Overlong encoding of '.' and of 'A', and an encoded surrogate:
        // raw bytes, not characters.
        {"x.*", {"x"}, {"x\xC0\xAE" "a"}},
        {"\xC1\x81", {"\xC1\x81"}, {"A", "a"}},
        {"?", {"\xED"}, {"\xED\xA0\x80"}}, // a surrogate is three bytes, three characters
        // A truncated sequence before an ASCII byte.
        {"\xC3" "a", {"\xC3" "a", "\xC3" "A"}, {"\xC3\xA1"}},
    });
}

TEST(WildcardDecode, TakesWholeValidSequencesAndSingleInvalidBytes)
{
    struct DecodeCase {
        std::string text;
        std::uint32_t unit;
        std::size_t width;
    };
    const DecodeCase cases[] = {
        {"a", 'a', 1},
        {"\xC3\xA9", 0xE9, 2},
        {"\xE2\x82\xAC", 0x20AC, 3},
        {"\xF0\x9F\x98\x80", 0x1F600, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
        {"\xC3", WILDCARD_RAW_BYTE + 0xC3, 1},              // cut short
        {"\xC0\x80", WILDCARD_RAW_BYTE + 0xC0, 1},          // overlong
        {"\xE0\x80\x80", WILDCARD_RAW_BYTE + 0xE0, 1},      // overlong
        {"\xED\xA0\x80", WILDCARD_RAW_BYTE + 0xED, 1},      // surrogate
        {"\xF4\x90\x80\x80", WILDCARD_RAW_BYTE + 0xF4, 1},  // past U+10FFFF
        {"\xE2\x82" "a", WILDCARD_RAW_BYTE + 0xE2, 1},      // continuation missing
        {"\x80", WILDCARD_RAW_BYTE + 0x80, 1},
    };
    for (const DecodeCase &c : cases) {
        std::uint32_t unit = 0;
        EXPECT_EQ(wildcard_decode_unit(c.text, &unit), c.width) << testing::PrintToString(c.text);
        EXPECT_EQ(unit, c.unit) << testing::PrintToString(c.text);
    }
}

// A direct, backtracking reading of the matching rules, for ASCII names:
// slow on purpose, and written independently of the matcher under test.
bool reference_match(const std::vector<WildcardToken> &tokens, std::size_t token, const std::string &name,
                     std::size_t at, std::size_t final_dot)
{
    if (token == tokens.size())
        return at == name.size();
    const bool at_end = at == name.size();
    const bool at_dot = !at_end && name[at] == '.';
    switch (tokens[token].kind) {
    case WildcardKind::star:
        for (std::size_t end = at; end <= name.size(); ++end)
            if (reference_match(tokens, token + 1, name, end, final_dot))
                return true;
        return false;
    case WildcardKind::dos_star:
        for (std::size_t end = at; end <= name.size(); ++end) {
            if (reference_match(tokens, token + 1, name, end, final_dot))
                return true;
            if (end == final_dot)
                break;
        }
        return false;
    case WildcardKind::dos_qm:
        return reference_match(tokens, token + 1, name, at_end || at_dot ? at : at + 1, final_dot);
    case WildcardKind::dos_dot:
        if (at_dot)
            return reference_match(tokens, token + 1, name, at + 1, final_dot);
        return at_end && reference_match(tokens, token + 1, name, at, final_dot);
    case WildcardKind::literal:
        return !at_end && std::tolower(static_cast<unsigned char>(name[at])) == std::tolower(tokens[token].byte) &&
               reference_match(tokens, token + 1, name, at + 1, final_dot);
    }
    return false;
}

TEST(WildcardMatch, AgreesWithABacktrackingReadingOfTheRules)
{
    std::mt19937 random(2024);
    const std::string pattern_bytes = "ab.*?A";
    const std::string name_bytes = "abB.";
    auto random_text = [&random](const std::string &alphabet, std::size_t longest) {
        std::uniform_int_distribution<std::size_t> length_of(1, longest);
        std::uniform_int_distribution<std::size_t> byte_of(0, alphabet.size() - 1);
        std::string text;
        for (std::size_t length = length_of(random); length > 0; --length)
            text.push_back(alphabet[byte_of(random)]);
        return text;
    };
    std::size_t matched = 0;
    std::size_t compared = 0;
    for (int pattern_count = 0; pattern_count < 400; ++pattern_count) {
        const std::string typed = random_text(pattern_bytes, 6);
        const std::vector<WildcardToken> tokens = wildcard_rewrite(typed);
        const WildcardPattern pattern = compiled(typed);
        for (int name_count = 0; name_count < 60; ++name_count) {
            const std::string name = random_text(name_bytes, 7);
            const bool expected = !tokens.empty() && reference_match(tokens, 0, name, 0, name.rfind('.'));
            ASSERT_EQ(wildcard_match(pattern, name), expected) << "pattern " << typed << " name " << name;
            matched += expected ? 1 : 0;
            ++compared;
        }
    }
    EXPECT_GT(matched, compared / 20);
    EXPECT_LT(matched, compared - compared / 20);
}

TEST(WildcardMatch, CostStaysWithinPatternTimesName)
{
    const WildcardPattern pattern = compiled("*a*a*a*a*a*a*a*a*b");
    for (std::size_t length : {100u, 1000u, 10000u}) {
        const std::string name(length, 'a');
        std::size_t steps = 0;
        EXPECT_FALSE(wildcard_match_general(pattern, name, &steps));
        const std::size_t bound = 2 * (pattern.symbols.size() + 1) * (name.size() + 1);
        EXPECT_GT(steps, name.size()) << "the counter must see the work";
        EXPECT_LE(steps, bound) << "name length " << length;
    }
}

TEST(WildcardShortcut, ChosenForTheCommonShapes)
{
    struct ShapeCase {
        const char *typed;
        WildcardShortcut shortcut;
    };
    const ShapeCase cases[] = {
        {"*.shp", WildcardShortcut::star_suffix}, {"*.", WildcardShortcut::star_suffix},
        {"*.a.b", WildcardShortcut::star_suffix}, {"*.*", WildcardShortcut::everything},
        {"*", WildcardShortcut::everything},      {"", WildcardShortcut::nothing},
        {"*.s?6", WildcardShortcut::none},        {"*.\xC3\xA9", WildcardShortcut::none},
        {"a*.shp", WildcardShortcut::none},       {"tank.shp", WildcardShortcut::none},
    };
    for (const ShapeCase &c : cases)
        EXPECT_EQ(compiled(c.typed).shortcut, c.shortcut) << c.typed;
}

// The shortcut must never decide differently from the general matcher.
TEST(WildcardShortcut, AgreesWithTheGeneralMatcher)
{
    const std::vector<std::string> patterns = {"*.shp", "*.SHP", "*.", "*.a.b", "*.*", "*", "*.s", "*.hp"};
    // Pieces chosen to hit the shortcut's edges: dots, letter case, a
    // character that folds to ASCII (U+017F), other non-ASCII, stray bytes.
    const std::vector<std::string> pieces = {"s", "S", "h", "p", "P", ".", "a", "b",
                                             "\xC5\xBF", "\xC3\xA9", "\xC5", "\xBF", "\xFF"};
    std::vector<std::string> names = {"", ".", "..", "shp", ".shp", "x.shp", "X.ShP", "x.shp.", "x.\xC5\xBFhp",
                                      "\xC5\xBF.shp", "x.sh\xC5", "a.b", "x.a.b", "x.A.B", "ab"};
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::size_t> length_of(1, 8);
    std::uniform_int_distribution<std::size_t> piece_of(0, pieces.size() - 1);
    for (int count = 0; count < 5000; ++count) {
        std::string name;
        for (std::size_t length = length_of(random); length > 0; --length)
            name += pieces[piece_of(random)];
        names.push_back(name);
    }
    std::size_t matched = 0;
    for (const std::string &typed : patterns) {
        const WildcardPattern pattern = compiled(typed);
        ASSERT_NE(pattern.shortcut, WildcardShortcut::none) << typed;
        for (const std::string &name : names) {
            const bool general = wildcard_match_general(pattern, name);
            ASSERT_EQ(wildcard_match(pattern, name), general)
                << "pattern " << typed << " name " << testing::PrintToString(name);
            matched += general ? 1 : 0;
        }
    }
    // Both outcomes must have been exercised for the comparison to mean much.
    EXPECT_GT(matched, 0u);
    EXPECT_LT(matched, patterns.size() * names.size());
}

} // namespace
