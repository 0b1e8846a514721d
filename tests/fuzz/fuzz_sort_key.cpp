// Fuzzes the name sort.  Input: three names separated by NUL bytes.  The
// order keys plus the byte tie-break give must be a strict total order on
// them (antisymmetric, transitive, equal only for equal bytes); a key must
// not depend on what the reused scratch held before; names that differ only
// in ASCII letter case must get the same key; and the sort itself must give
// the order the keys give.
#include "collation.h"
#include "posix/sort_key.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t NAMES = 3;
constexpr std::size_t LONGEST_NAME = 300;

struct Keyed {
    std::string name;
    std::vector<std::uint8_t> key;
};

std::vector<std::uint8_t> key_of(UCollator *collator, const std::string &name, SortKeyScratch &scratch)
{
    const std::size_t length = build_sort_key(collator, name.c_str(), scratch);
    return std::vector<std::uint8_t>(scratch.key.begin(), scratch.key.begin() + static_cast<long>(length));
}

int full_compare(const Keyed &a, const Keyed &b)
{
    int result = compare_sort_keys(a.key.data(), a.key.size(), b.key.data(), b.key.size());
    if (result == 0)
        result = std::strcmp(a.name.c_str(), b.name.c_str());
    return (result > 0) - (result < 0);
}

[[noreturn]] void fail(const char *what, const std::array<Keyed, NAMES> &keyed)
{
    std::fprintf(stderr, "%s\n", what);
    for (const Keyed &entry : keyed) {
        std::fprintf(stderr, "  name:");
        for (unsigned char c : entry.name)
            std::fprintf(stderr, " %02x", c);
        std::fprintf(stderr, "\n");
    }
    std::abort();
}

std::string ascii_upper(std::string name)
{
    for (char &c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return name;
}

UCollator *root_collator()
{
    static UCollator *collator = [] {
        setenv("LC_ALL", "C", 1); // collate_sort reads the locale from here
        return open_name_collator("");
    }();
    return collator;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::array<Keyed, NAMES> keyed;
    const char *at = reinterpret_cast<const char *>(data);
    const char *end = at + size;
    for (std::size_t i = 0; i < NAMES; ++i) {
        const char *stop = static_cast<const char *>(std::memchr(at, 0, static_cast<std::size_t>(end - at)));
        if (!stop)
            stop = end;
        keyed[i].name.assign(at, stop);
        if (keyed[i].name.size() > LONGEST_NAME)
            return 0;
        at = stop < end ? stop + 1 : end;
    }
    UCollator *collator = root_collator();
    if (!collator)
        std::abort();

    // One scratch for all, as the sort uses it; each key checked against one
    // from a fresh scratch.
    SortKeyScratch shared;
    for (Keyed &entry : keyed) {
        entry.key = key_of(collator, entry.name, shared);
        SortKeyScratch fresh;
        if (key_of(collator, entry.name, fresh) != entry.key)
            fail("key depends on the scratch's earlier content", keyed);
        if (key_of(collator, ascii_upper(entry.name), fresh) != entry.key)
            fail("ASCII letter case changes the key", keyed);
    }

    for (const Keyed &a : keyed)
        for (const Keyed &b : keyed) {
            if (full_compare(a, b) != -full_compare(b, a))
                fail("order is not antisymmetric", keyed);
            if ((full_compare(a, b) == 0) != (a.name == b.name))
                fail("different names compare equal", keyed);
            for (const Keyed &c : keyed)
                if (full_compare(a, b) < 0 && full_compare(b, c) < 0 && full_compare(a, c) >= 0)
                    fail("order is not transitive", keyed);
        }

    // The sort, from the order the names came in (the fuzzer varies it):
    // the keys' order is total, so only one result is right.  A sort opens
    // its own collator, some ten milliseconds, so the sort is checked on
    // one input in eight (by length), which keeps the fuzzer fast.
    if (size % 8 != 0)
        return 0;
    std::array<const char *, NAMES> pointers;
    for (std::size_t i = 0; i < NAMES; ++i)
        pointers[i] = keyed[i].name.c_str();
    std::array<std::uint32_t, NAMES> order = {0, 1, 2};
    if (!collate_sort(pointers.data(), NAMES, order.data()))
        fail("sort failed", keyed);
    std::array<std::uint32_t, NAMES> expected = {0, 1, 2};
    std::sort(expected.begin(), expected.end(),
              [&keyed](std::uint32_t a, std::uint32_t b) { return full_compare(keyed[a], keyed[b]) < 0; });
    for (std::size_t i = 0; i < NAMES; ++i)
        if (keyed[order[i]].name != keyed[expected[i]].name)
            fail("sort disagrees with the keys", keyed);
    return 0;
}
