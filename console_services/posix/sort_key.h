// Sort keys for the name list on POSIX: one byte string per name, built
// once with ICU, so that comparing two keys with memcmp gives the order of
// the Windows string list (case-blind, by the user's locale).
//
// A key is two stages:
//   1. ICU's sort key of the name without its hyphens and apostrophes, made
//      by a collator that ignores case, keeps accents and puts the symbols
//      allowed in Windows names before the digits in Windows' order.
//   2. The hyphens and apostrophes themselves, one fixed-width mark each,
//      from the left, so names that tie on stage 1 are ordered by them.
// Names whose keys are equal are put in order by their bytes by the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct UCollator; // ICU's collator; this header needs no ICU include

// The collation locale the environment asks for: the first of LC_ALL,
// LC_COLLATE and LANG that is set and not empty, without its encoding and
// modifier ("sv_SE.UTF-8@euro" gives "sv_SE").  "C", "POSIX" and no
// setting at all give "", which stands for ICU's root collation.
std::string collation_locale_from_environment();

// Opens the collator for names in `locale` ("" for root): the locale's own
// rules with the Windows symbol order appended, secondary strength,
// punctuation not ignorable.  Falls back to root with the same settings
// when the locale's rules cannot be combined.  Returns null only when ICU
// cannot open even that (it runs out of memory); may also throw
// std::bad_alloc while copying the rules.
UCollator *open_name_collator(const std::string &locale);
void close_name_collator(UCollator *collator);

// Buffers that one run reuses for every name, so that building a key
// allocates nothing once they have grown to the longest name.
struct SortKeyScratch {
    std::vector<char16_t> text;     // the name in UTF-16, marks removed
    std::vector<std::uint8_t> key;  // the finished key, then unused room
};

// Builds the key of the NUL-terminated UTF-8 `name` at the start of
// scratch.key and returns its length; the buffer only ever grows, so it may
// be longer than the key.  Invalid UTF-8 bytes collate as U+FFFD.  Throws
// std::bad_alloc when the buffers cannot grow.
std::size_t build_sort_key(UCollator *collator, const char *name, SortKeyScratch &scratch);

// Compares two keys: negative, zero or positive.  A key that is a prefix of
// the other comes first.
int compare_sort_keys(const std::uint8_t *a, std::size_t a_length,
                      const std::uint8_t *b, std::size_t b_length);
