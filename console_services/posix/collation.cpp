// The name list's sort on POSIX: one ICU-built key per name (sort_key.h),
// then a plain sort of small records by those keys.  Building each key once
// is far cheaper than running the collator n log n times.
#include "../collation.h"
#include "sort_key.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// Keys are stored back to back in large blocks: one allocation per block
// rather than per key, and no block is ever moved, so a record can point
// straight at its key.  A growing single buffer would need twice its size
// while it is copied.
constexpr std::size_t KEY_BLOCK_SIZE = 1 << 20;

struct KeyArena {
    std::vector<std::unique_ptr<std::uint8_t[]>> blocks;
    std::size_t block_used = KEY_BLOCK_SIZE;
};

// One name to sort: 16 bytes, so a million of them fit in 16 MB.
struct KeyRecord {
    const std::uint8_t *key;
    std::uint32_t key_length;
    std::uint32_t index; // into names
};

struct CollatorCloser {
    void operator()(UCollator *collator) const { close_name_collator(collator); }
};
using CollatorHandle = std::unique_ptr<UCollator, CollatorCloser>;

const std::uint8_t *store_key(KeyArena &arena, const std::uint8_t *key, std::size_t length)
{
    if (arena.block_used + length > KEY_BLOCK_SIZE || arena.blocks.empty()) {
        // A key longer than a block gets a block of its own size.
        std::size_t size = length > KEY_BLOCK_SIZE ? length : KEY_BLOCK_SIZE;
        arena.blocks.reserve(arena.blocks.size() + 1);
        arena.blocks.emplace_back(new std::uint8_t[size]);
        arena.block_used = 0;
    }
    std::uint8_t *copy = arena.blocks.back().get() + arena.block_used;
    if (length > 0)
        std::memcpy(copy, key, length);
    arena.block_used += length;
    return copy;
}

void build_records(UCollator *collator, const char *const *names, std::size_t count,
                   const std::uint32_t *order, KeyArena &arena, std::vector<KeyRecord> &records)
{
    SortKeyScratch scratch;
    records.reserve(count);
    for (std::size_t i = 0; i < count; i++) {
        std::uint32_t index = order[i];
        std::size_t length = build_sort_key(collator, names[index], scratch);
        const std::uint8_t *key = store_key(arena, scratch.key.data(), length);
        records.push_back(KeyRecord{key, static_cast<std::uint32_t>(length), index});
    }
}

// Names that collate equal, such as "Tank" and "tank", are put in byte
// order, so the same folder always gives the same list.
void sort_records(const char *const *names, std::vector<KeyRecord> &records)
{
    std::sort(records.begin(), records.end(), [names](const KeyRecord &a, const KeyRecord &b) {
        int result = compare_sort_keys(a.key, a.key_length, b.key, b.key_length);
        if (result != 0)
            return result < 0;
        return std::strcmp(names[a.index], names[b.index]) < 0;
    });
}

} // namespace

bool collate_sort(const char *const *names, std::size_t count, std::uint32_t *order)
{
    try {
        CollatorHandle collator(open_name_collator(collation_locale_from_environment()));
        if (!collator)
            return false;
        KeyArena arena;
        std::vector<KeyRecord> records;
        build_records(collator.get(), names, count, order, arena, records);
        sort_records(names, records);
        for (std::size_t i = 0; i < count; i++)
            order[i] = records[i].index;
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}
