// Windows-style name patterns on POSIX: the rewrite Windows applies to a
// typed pattern (DOS_STAR, DOS_QM, DOS_DOT) and a matcher for the result,
// so that a pattern selects the same names here as it does there.
//
// A pattern is compiled once per search; matching a name then allocates
// nothing and costs at most (symbols + 1) x (name characters + 1) steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class WildcardKind : unsigned char {
    literal,  // one character, letter case ignored
    star,     // '*': any run of characters
    dos_star, // any run that does not hold the name's final dot
    dos_qm,   // one character; nothing at a dot or at the end of the name
    dos_dot,  // a dot; nothing at the end of the name
};

// One symbol of a rewritten pattern, before the literals are decoded: a
// literal is a single byte of the typed pattern.
struct WildcardToken {
    WildcardKind kind;
    unsigned char byte; // the literal byte; 0 for the other kinds
};

// One symbol of a compiled pattern.  A literal holds a whole character:
// a case-folded code point, or a raw byte (see wildcard_fold_unit).
struct WildcardSymbol {
    WildcardKind kind;
    std::uint32_t unit;
};

// How most names can be decided without the general matcher.
enum class WildcardShortcut : unsigned char {
    none,
    nothing,       // an empty pattern: no name matches
    everything,    // a lone '*'
    star_suffix,   // DOS_STAR then ASCII literals only, as "*.shp" becomes
};

struct WildcardPattern {
    std::vector<WildcardSymbol> symbols;
    WildcardShortcut shortcut = WildcardShortcut::none;
    std::string folded_suffix; // star_suffix: the literals, ASCII lower case
    // The matcher's two state sets, one flag per symbol position plus the
    // accepting one.  Sized by wildcard_compile so matching never allocates.
    mutable std::vector<unsigned char> live;
    mutable std::vector<unsigned char> next;
};

// Bytes that are not part of a valid UTF-8 sequence become units at and
// above this value, so they equal only themselves.
constexpr std::uint32_t WILDCARD_RAW_BYTE = 0x110000;

// Rewrites a typed name pattern the way Windows does before matching.
std::vector<WildcardToken> wildcard_rewrite(std::string_view typed);

// The rewrite as text, DOS_STAR shown as '<', DOS_QM as '>' and DOS_DOT as
// '"' (a typed '<', '>' or '"' is a literal and shows as itself).
std::string wildcard_rewrite_text(std::string_view typed);

// Rewrites and compiles `typed` into `pattern`.  False when memory runs out.
bool wildcard_compile(std::string_view typed, WildcardPattern *pattern);

// True when `name` matches: the shortcut when it can decide, otherwise the
// general matcher.
bool wildcard_match(const WildcardPattern &pattern, std::string_view name);

// The general matcher alone.  When `steps` is given, the number of state
// visits made is added to it.
bool wildcard_match_general(const WildcardPattern &pattern, std::string_view name, std::size_t *steps = nullptr);

// Reads one character of UTF-8 text at the start of `text` (not empty):
// stores its code point, or WILDCARD_RAW_BYTE + byte when the bytes there
// are not a valid sequence, and returns how many bytes it took.
std::size_t wildcard_decode_unit(std::string_view text, std::uint32_t *unit);

// Folds a unit for comparison: ASCII letters to lower case, other code
// points by Unicode simple case folding, raw bytes unchanged.
std::uint32_t wildcard_fold_unit(std::uint32_t unit);
