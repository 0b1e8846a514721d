// Fuzzes the name-pattern rewrite and matcher against the plain reference
// in reference_matcher.h.  Input: the typed pattern, a NUL byte, the name.
// Checks that the rewrite gives the reference's tokens, that the shortcut
// matcher and the general matcher both agree with the reference, and that
// the general matcher stays within its step bound.
#include "posix/wildcard.h"
#include "reference_matcher.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The reference is quadratic; longer inputs teach the fuzzer nothing new.
constexpr std::size_t LONGEST_PART = 200;

[[noreturn]] void fail(const char *what, const std::string &typed, const std::string &name)
{
    std::fprintf(stderr, "%s\n  pattern:", what);
    for (unsigned char c : typed)
        std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n  name:   ");
    for (unsigned char c : name)
        std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

bool same_tokens(const std::vector<WildcardToken> &real, const std::vector<reference::Token> &expected)
{
    if (real.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < real.size(); ++i) {
        const auto kind = static_cast<int>(real[i].kind);
        // Both enumerations list the kinds in the same order.
        if (kind != static_cast<int>(expected[i].kind))
            return false;
        if (expected[i].kind == reference::Kind::literal && real[i].byte != expected[i].byte)
            return false;
    }
    return true;
}

} // namespace

static_assert(static_cast<int>(WildcardKind::literal) == static_cast<int>(reference::Kind::literal));
static_assert(static_cast<int>(WildcardKind::star) == static_cast<int>(reference::Kind::star));
static_assert(static_cast<int>(WildcardKind::dos_star) == static_cast<int>(reference::Kind::dos_star));
static_assert(static_cast<int>(WildcardKind::dos_qm) == static_cast<int>(reference::Kind::dos_qm));
static_assert(static_cast<int>(WildcardKind::dos_dot) == static_cast<int>(reference::Kind::dos_dot));

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    const char *separator = static_cast<const char *>(std::memchr(bytes, 0, size));
    if (!separator)
        return 0;
    const std::string typed(bytes, separator);
    const std::string name(separator + 1, bytes + size);
    if (typed.size() > LONGEST_PART || name.size() > LONGEST_PART)
        return 0;

    if (!same_tokens(wildcard_rewrite(typed), reference::rewrite(typed)))
        fail("rewrite differs from the reference", typed, name);

    WildcardPattern pattern;
    if (!wildcard_compile(typed, &pattern))
        fail("compile failed", typed, name);
    const bool expected = reference::matches(typed, name);
    std::size_t steps = 0;
    if (wildcard_match_general(pattern, name, &steps) != expected)
        fail(expected ? "general matcher missed a match" : "general matcher matched wrongly", typed, name);
    if (wildcard_match(pattern, name) != expected)
        fail(expected ? "shortcut missed a match" : "shortcut matched wrongly", typed, name);
    // Each character visits every position at most twice, plus the start.
    if (steps > 2 * (pattern.symbols.size() + 1) * (name.size() + 1))
        fail("matcher went past its step bound", typed, name);
    return 0;
}
