// A slow, plain reading of the name-pattern rules, for checking the real
// rewrite and matcher against.  It shares no code with wildcard.cpp: the
// rewrite follows the four Windows steps word for word, characters are
// decoded with ICU's U8_NEXT and folded with u_foldCase, and matching is a
// memoised recursive search over (symbol, name position).  Meant for short
// inputs only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace reference {

enum class Kind { literal, star, dos_star, dos_qm, dos_dot };

struct Token {
    Kind kind;
    unsigned char byte; // literal only
};

// 1. drop a trailing dot and remember it; 2. "*.*" is "*"; 3. '?' is DOS_QM,
// '.' before '?' or '*' is DOS_DOT, '*' before '.' is DOS_STAR; 4. after a
// dropped dot a final '*' is DOS_STAR.
inline std::vector<Token> rewrite(std::string typed)
{
    bool dropped = false;
    if (!typed.empty() && typed.back() == '.') {
        typed.pop_back();
        dropped = true;
    }
    if (typed == "*.*")
        return {{Kind::star, 0}};
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        char c = typed[i];
        char after = i + 1 < typed.size() ? typed[i + 1] : '\0';
        if (c == '?')
            tokens.push_back({Kind::dos_qm, 0});
        else if (c == '.' && (after == '?' || after == '*'))
            tokens.push_back({Kind::dos_dot, 0});
        else if (c == '*' && after == '.')
            tokens.push_back({Kind::dos_star, 0});
        else if (c == '*')
            tokens.push_back({Kind::star, 0});
        else
            tokens.push_back({Kind::literal, static_cast<unsigned char>(c)});
    }
    if (dropped && !tokens.empty() && tokens.back().kind == Kind::star)
        tokens.back().kind = Kind::dos_star;
    return tokens;
}

// A character: a folded code point, or 0x110000 + byte for a byte that does
// not start a valid UTF-8 sequence (it then stands alone).
constexpr std::int64_t RAW = 0x110000;

inline std::vector<std::int64_t> characters(std::string_view bytes)
{
    std::vector<std::int64_t> out;
    const auto *s = reinterpret_cast<const std::uint8_t *>(bytes.data());
    const auto length = static_cast<std::int32_t>(bytes.size());
    std::int32_t i = 0;
    while (i < length) {
        std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            out.push_back(RAW + s[start]);
            i = start + 1;
        } else {
            out.push_back(u_foldCase(c, U_FOLD_CASE_DEFAULT));
        }
    }
    return out;
}

struct Symbol {
    Kind kind;
    std::int64_t character; // literal only
};

// Runs of literal bytes become characters; wildcards stay as they are.
inline std::vector<Symbol> symbols_of(const std::vector<Token> &tokens)
{
    std::vector<Symbol> symbols;
    std::string run;
    auto end_run = [&] {
        for (std::int64_t c : characters(run))
            symbols.push_back({Kind::literal, c});
        run.clear();
    };
    for (const Token &token : tokens) {
        if (token.kind == Kind::literal) {
            run.push_back(static_cast<char>(token.byte));
            continue;
        }
        end_run();
        symbols.push_back({token.kind, 0});
    }
    end_run();
    return symbols;
}

class Matcher {
public:
    Matcher(const std::vector<Symbol> &symbols, const std::vector<std::int64_t> &name)
        : symbols_(symbols), name_(name), memo_((symbols.size() + 1) * (name.size() + 1), unknown)
    {
        final_dot_ = name.size(); // none
        for (std::size_t i = 0; i < name.size(); ++i)
            if (name[i] == '.')
                final_dot_ = i;
    }

    bool matches() { return !symbols_.empty() && match(0, 0); }

private:
    static constexpr signed char unknown = -1;

    bool match(std::size_t s, std::size_t at)
    {
        signed char &known = memo_[s * (name_.size() + 1) + at];
        if (known == unknown)
            known = decide(s, at) ? 1 : 0;
        return known == 1;
    }

    bool decide(std::size_t s, std::size_t at)
    {
        if (s == symbols_.size())
            return at == name_.size();
        const bool at_end = at == name_.size();
        const bool at_dot = !at_end && name_[at] == '.';
        switch (symbols_[s].kind) {
        case Kind::star: // any run, tried from the shortest
            for (std::size_t end = at; end <= name_.size(); ++end)
                if (match(s + 1, end))
                    return true;
            return false;
        case Kind::dos_star: // any run that does not take the final dot
            for (std::size_t end = at; end <= name_.size(); ++end) {
                if (match(s + 1, end))
                    return true;
                if (end == final_dot_)
                    return false;
            }
            return false;
        case Kind::dos_qm: // one character, or nothing at a dot or the end
            if (at_end || at_dot)
                return match(s + 1, at);
            return match(s + 1, at + 1);
        case Kind::dos_dot: // a dot, or nothing at the end
            if (at_dot)
                return match(s + 1, at + 1);
            return at_end && match(s + 1, at);
        case Kind::literal:
            return !at_end && name_[at] == symbols_[s].character && match(s + 1, at + 1);
        }
        return false;
    }

    const std::vector<Symbol> &symbols_;
    const std::vector<std::int64_t> &name_;
    std::vector<signed char> memo_;
    std::size_t final_dot_;
};

inline bool matches(std::string_view typed_pattern, std::string_view name)
{
    const std::vector<Symbol> symbols = symbols_of(rewrite(std::string(typed_pattern)));
    const std::vector<std::int64_t> units = characters(name);
    return Matcher(symbols, units).matches();
}

} // namespace reference
