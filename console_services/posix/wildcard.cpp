// Windows-style name patterns: the rewrite and the matcher.
//
// The matcher runs the pattern as a non-deterministic automaton over the
// name, one character at a time, keeping the set of pattern positions that
// are still alive.  Every position is visited at most twice per character,
// so patterns such as *a*a*a*a*b cannot make it backtrack.
#include "wildcard.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unicode/uchar.h>

namespace {

bool is_continuation(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0xBF;
}

bool is_ascii_upper(std::uint32_t unit)
{
    return unit >= 'A' && unit <= 'Z';
}

unsigned char ascii_lower(unsigned char byte)
{
    return is_ascii_upper(byte) ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// The length of the UTF-8 sequence led by `lead`, and the range its second
// byte must lie in (narrower than 80..BF where overlong forms, surrogates or
// code points past U+10FFFF would otherwise slip through).  0 when `lead`
// cannot start a multi-byte sequence.
std::size_t sequence_length(unsigned char lead, unsigned char *second_low, unsigned char *second_high)
{
    *second_low = 0x80;
    *second_high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (lead == 0xE0)
            *second_low = 0xA0;
        if (lead == 0xED)
            *second_high = 0x9F;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (lead == 0xF0)
            *second_low = 0x90;
        if (lead == 0xF4)
            *second_high = 0x8F;
        return 4;
    }
    return 0;
}

// Which of '?', '.', '*' a typed byte turns into, given the byte after it
// (0 at the end).
WildcardKind rewritten_kind(unsigned char byte, unsigned char following)
{
    if (byte == '?')
        return WildcardKind::dos_qm;
    if (byte == '.' && (following == '?' || following == '*'))
        return WildcardKind::dos_dot;
    if (byte == '*')
        return following == '.' ? WildcardKind::dos_star : WildcardKind::star;
    return WildcardKind::literal;
}

char token_as_text(const WildcardToken &token)
{
    switch (token.kind) {
    case WildcardKind::star:
        return '*';
    case WildcardKind::dos_star:
        return '<';
    case WildcardKind::dos_qm:
        return '>';
    case WildcardKind::dos_dot:
        return '"';
    case WildcardKind::literal:
        break;
    }
    return static_cast<char>(token.byte);
}

// Turns the rewritten tokens into symbols, decoding each run of literal
// bytes into whole characters.  Wildcards are ASCII, so a run never breaks
// a valid UTF-8 sequence apart.
void compile_symbols(const std::vector<WildcardToken> &tokens, std::vector<WildcardSymbol> *symbols)
{
    std::string run;
    std::size_t index = 0;
    while (index < tokens.size()) {
        if (tokens[index].kind != WildcardKind::literal) {
            symbols->push_back({tokens[index].kind, 0});
            ++index;
            continue;
        }
        run.clear();
        while (index < tokens.size() && tokens[index].kind == WildcardKind::literal)
            run.push_back(static_cast<char>(tokens[index++].byte));
        std::string_view rest(run);
        while (!rest.empty()) {
            std::uint32_t unit = 0;
            rest.remove_prefix(wildcard_decode_unit(rest, &unit));
            symbols->push_back({WildcardKind::literal, wildcard_fold_unit(unit)});
        }
    }
}

// Picks the shortcut that decides most names for this pattern's shape.
void choose_shortcut(WildcardPattern *pattern)
{
    const std::vector<WildcardSymbol> &symbols = pattern->symbols;
    pattern->shortcut = WildcardShortcut::none;
    pattern->folded_suffix.clear();
    if (symbols.empty()) {
        pattern->shortcut = WildcardShortcut::nothing;
        return;
    }
    if (symbols.size() == 1 && symbols[0].kind == WildcardKind::star) {
        pattern->shortcut = WildcardShortcut::everything;
        return;
    }
    if (symbols[0].kind != WildcardKind::dos_star)
        return;
    for (std::size_t index = 1; index < symbols.size(); ++index)
        if (symbols[index].kind != WildcardKind::literal || symbols[index].unit >= 0x80)
            return;
    for (std::size_t index = 1; index < symbols.size(); ++index)
        pattern->folded_suffix.push_back(static_cast<char>(symbols[index].unit));
    pattern->shortcut = WildcardShortcut::star_suffix;
}

constexpr int UNDECIDED = -1;

// DOS_STAR then an ASCII suffix: the name must end in the suffix and the
// DOS_STAR's part, everything before it, must not hold the final dot.
// Scanning from the end, every ASCII byte is a whole character of its own,
// so the bytes decide until a non-ASCII byte shows up; from there a
// character such as U+017F (folds to 's') could still match, and the
// general matcher has to decide.
int match_star_suffix(const std::string &suffix, std::string_view name)
{
    if (name.size() < suffix.size())
        return 0; // fewer characters than the suffix, since none is under one byte
    const std::size_t suffix_start = name.size() - suffix.size();
    for (std::size_t index = suffix.size(); index-- > 0;) {
        unsigned char byte = static_cast<unsigned char>(name[suffix_start + index]);
        if (byte >= 0x80)
            return UNDECIDED;
        if (ascii_lower(byte) != static_cast<unsigned char>(suffix[index]))
            return 0;
    }
    std::size_t final_dot = name.rfind('.');
    return final_dot == std::string_view::npos || final_dot >= suffix_start ? 1 : 0;
}

struct NamePosition {
    bool at_end;
    bool at_dot;
};

NamePosition position_in(std::string_view name, std::size_t at)
{
    return {at == name.size(), at < name.size() && name[at] == '.'};
}

// The live positions of a state set lie within first..last; outside that
// range the set is all clear, so each step only walks the range.
struct LiveRange {
    std::size_t first;
    std::size_t last;
};

bool can_match_nothing(WildcardKind kind, NamePosition here)
{
    switch (kind) {
    case WildcardKind::star:
    case WildcardKind::dos_star:
        return true;
    case WildcardKind::dos_qm:
        return here.at_end || here.at_dot;
    case WildcardKind::dos_dot:
        return here.at_end;
    case WildcardKind::literal:
        break;
    }
    return false;
}

// Adds the positions reached by symbols that can match nothing here.
// Those moves only go one position forward, so one pass in order is enough.
void add_empty_moves(const WildcardPattern &pattern, unsigned char *states, NamePosition here, LiveRange *range,
                     std::size_t *steps)
{
    const std::size_t count = pattern.symbols.size();
    for (std::size_t index = range->first; index <= range->last && index < count; ++index) {
        ++*steps;
        if (states[index] && can_match_nothing(pattern.symbols[index].kind, here)) {
            states[index + 1] = 1;
            range->last = std::max(range->last, index + 1);
        }
    }
}

bool consumes(const WildcardSymbol &symbol, std::uint32_t folded, bool at_final_dot)
{
    switch (symbol.kind) {
    case WildcardKind::star:
        return true;
    case WildcardKind::dos_star:
        return !at_final_dot;
    case WildcardKind::dos_qm:
        return folded != '.';
    case WildcardKind::dos_dot:
        return folded == '.';
    case WildcardKind::literal:
        return folded == symbol.unit;
    }
    return false;
}

// Moves every live position over one character of the name, from `live`
// into `next` (clear on entry), then clears `live`.  Returns false when no
// position survives.
bool consume_character(const WildcardPattern &pattern, unsigned char *live, unsigned char *next,
                       std::uint32_t folded, bool at_final_dot, LiveRange *range, std::size_t *steps)
{
    const std::size_t count = pattern.symbols.size();
    const LiveRange walked = *range;
    bool any_alive = false;
    for (std::size_t index = walked.first; index <= walked.last && index < count; ++index) {
        ++*steps;
        if (!live[index] || !consumes(pattern.symbols[index], folded, at_final_dot))
            continue;
        // The stars stay where they are; every other symbol moves on.
        const bool stays = pattern.symbols[index].kind == WildcardKind::star ||
                           pattern.symbols[index].kind == WildcardKind::dos_star;
        const std::size_t reached = stays ? index : index + 1;
        next[reached] = 1;
        if (!any_alive)
            range->first = reached;
        range->last = reached;
        any_alive = true;
    }
    std::fill(live + walked.first, live + walked.last + 1, 0);
    return any_alive;
}

} // namespace

std::size_t wildcard_decode_unit(std::string_view text, std::uint32_t *unit)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const unsigned char lead = bytes[0];
    *unit = WILDCARD_RAW_BYTE + lead;
    if (lead < 0x80) {
        *unit = lead;
        return 1;
    }
    unsigned char second_low = 0;
    unsigned char second_high = 0;
    const std::size_t length = sequence_length(lead, &second_low, &second_high);
    if (length == 0 || text.size() < length || bytes[1] < second_low || bytes[1] > second_high)
        return 1;
    std::uint32_t code_point = lead & (0x7Fu >> length);
    for (std::size_t index = 1; index < length; ++index) {
        if (!is_continuation(bytes[index]))
            return 1;
        code_point = (code_point << 6) | (bytes[index] & 0x3Fu);
    }
    *unit = code_point;
    return length;
}

std::uint32_t wildcard_fold_unit(std::uint32_t unit)
{
    if (unit < 0x80)
        return is_ascii_upper(unit) ? unit - 'A' + 'a' : unit;
    if (unit >= WILDCARD_RAW_BYTE)
        return unit;
    return static_cast<std::uint32_t>(u_foldCase(static_cast<UChar32>(unit), U_FOLD_CASE_DEFAULT));
}

std::vector<WildcardToken> wildcard_rewrite(std::string_view typed)
{
    std::vector<WildcardToken> tokens;
    const bool dropped_dot = !typed.empty() && typed.back() == '.';
    if (dropped_dot)
        typed.remove_suffix(1);
    if (typed == "*.*") {
        tokens.push_back({WildcardKind::star, 0});
        return tokens;
    }
    for (std::size_t index = 0; index < typed.size(); ++index) {
        const auto byte = static_cast<unsigned char>(typed[index]);
        const auto following = static_cast<unsigned char>(index + 1 < typed.size() ? typed[index + 1] : 0);
        const WildcardKind kind = rewritten_kind(byte, following);
        tokens.push_back({kind, kind == WildcardKind::literal ? byte : static_cast<unsigned char>(0)});
    }
    // "a*." selects names that start with a and have no dot: the star may
    // not take a dot the typed pattern said is not there.
    if (dropped_dot && !tokens.empty() && tokens.back().kind == WildcardKind::star)
        tokens.back().kind = WildcardKind::dos_star;
    return tokens;
}

std::string wildcard_rewrite_text(std::string_view typed)
{
    std::string text;
    for (const WildcardToken &token : wildcard_rewrite(typed))
        text.push_back(token_as_text(token));
    return text;
}

bool wildcard_compile(std::string_view typed, WildcardPattern *pattern)
{
    try {
        pattern->symbols.clear();
        compile_symbols(wildcard_rewrite(typed), &pattern->symbols);
        choose_shortcut(pattern);
        pattern->live.assign(pattern->symbols.size() + 1, 0);
        pattern->next.assign(pattern->symbols.size() + 1, 0);
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

bool wildcard_match(const WildcardPattern &pattern, std::string_view name)
{
    switch (pattern.shortcut) {
    case WildcardShortcut::nothing:
        return false;
    case WildcardShortcut::everything:
        return true;
    case WildcardShortcut::star_suffix: {
        int decided = match_star_suffix(pattern.folded_suffix, name);
        if (decided != UNDECIDED)
            return decided == 1;
        break;
    }
    case WildcardShortcut::none:
        break;
    }
    return wildcard_match_general(pattern, name);
}

bool wildcard_match_general(const WildcardPattern &pattern, std::string_view name, std::size_t *steps)
{
    std::size_t ignored_steps = 0;
    if (!steps)
        steps = &ignored_steps;
    if (pattern.symbols.empty())
        return false; // an empty name part selects nothing, not the empty name
    const std::size_t count = pattern.symbols.size();
    unsigned char *live = pattern.live.data();
    unsigned char *next = pattern.next.data();
    const std::size_t final_dot = name.rfind('.');

    std::fill(live, live + count + 1, 0);
    std::fill(next, next + count + 1, 0);
    live[0] = 1;
    LiveRange range{0, 0};
    std::size_t at = 0;
    add_empty_moves(pattern, live, position_in(name, at), &range, steps);
    while (at < name.size()) {
        std::uint32_t unit = 0;
        const std::size_t width = wildcard_decode_unit(name.substr(at), &unit);
        if (!consume_character(pattern, live, next, wildcard_fold_unit(unit), at == final_dot, &range, steps))
            return false;
        at += width;
        add_empty_moves(pattern, next, position_in(name, at), &range, steps);
        std::swap(live, next);
    }
    return live[count] != 0;
}
