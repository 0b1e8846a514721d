// The name list's sort on POSIX: one ICU-built key per name (sort_key.h),
// then a sort of small records by those keys.  Building each key once
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

// One name to sort: 24 bytes, so a million of them fit in 24 MB.  The
// window holds eight key bytes next to the record, so most comparisons
// never touch the keys themselves, which lie scattered over the arena.
struct KeyRecord {
    std::uint64_t window; // key bytes [depth, depth + 8), big-endian, 0-padded
    const std::uint8_t *key;
    std::uint32_t key_length;
    std::uint32_t index; // into names
};

constexpr std::size_t WINDOW_SIZE = 8;

// Runs this short are sorted by whole keys at once rather than window by
// window, which keeps the list of pending runs short.
constexpr std::size_t SHORT_RUN = 16;

// Records [begin, end) whose keys agree on their first `depth` bytes.
struct PendingRun {
    std::size_t begin;
    std::size_t end;
    std::size_t depth;
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
        records.push_back(KeyRecord{0, key, static_cast<std::uint32_t>(length), index});
    }
}

// How many of the window's bytes are key bytes rather than padding.
std::size_t window_fill(const KeyRecord &record, std::size_t depth)
{
    if (record.key_length <= depth)
        return 0;
    std::size_t left = record.key_length - depth;
    return left < WINDOW_SIZE ? left : WINDOW_SIZE;
}

void load_window(KeyRecord &record, std::size_t depth)
{
    std::size_t fill = window_fill(record, depth);
    std::uint64_t window = 0;
    for (std::size_t i = 0; i < WINDOW_SIZE; i++)
        window = (window << 8) | (i < fill ? record.key[depth + i] : 0u);
    record.window = window;
}

// Comparing the padded windows as numbers is memcmp on them; the fill then
// puts a key that ends inside the window before one that goes on with
// zero bytes.
bool window_less(const KeyRecord &a, const KeyRecord &b, std::size_t depth)
{
    if (a.window != b.window)
        return a.window < b.window;
    return window_fill(a, depth) < window_fill(b, depth);
}

bool window_equal(const KeyRecord &a, const KeyRecord &b, std::size_t depth)
{
    return a.window == b.window && window_fill(a, depth) == window_fill(b, depth);
}

// The full order: keys, then, for names that collate equal such as "Tank"
// and "tank", their bytes, so the same folder always gives the same list.
bool record_less(const char *const *names, const KeyRecord &a, const KeyRecord &b)
{
    int result = compare_sort_keys(a.key, a.key_length, b.key, b.key_length);
    if (result != 0)
        return result < 0;
    return std::strcmp(names[a.index], names[b.index]) < 0;
}

void sort_whole_keys(const char *const *names, KeyRecord *begin, KeyRecord *end)
{
    std::sort(begin, end, [names](const KeyRecord &a, const KeyRecord &b) { return record_less(names, a, b); });
}

// Sorts one run by its window at run.depth and queues each group of equal
// windows that needs a further look.
void sort_run_by_window(const char *const *names, std::vector<KeyRecord> &records, const PendingRun &run,
                        std::vector<PendingRun> &pending)
{
    KeyRecord *first = records.data();
    std::size_t depth = run.depth;
    for (std::size_t i = run.begin; i < run.end; i++)
        load_window(records[i], depth);
    std::sort(first + run.begin, first + run.end,
              [depth](const KeyRecord &a, const KeyRecord &b) { return window_less(a, b, depth); });

    std::size_t group = run.begin;
    while (group < run.end) {
        std::size_t group_end = group + 1;
        while (group_end < run.end && window_equal(records[group], records[group_end], depth))
            group_end++;
        if (group_end - group <= SHORT_RUN || window_fill(records[group], depth) < WINDOW_SIZE)
            sort_whole_keys(names, first + group, first + group_end); // short, or keys all ended
        else
            pending.push_back(PendingRun{group, group_end, depth + WINDOW_SIZE});
        group = group_end;
    }
}

// Sorts by the keys eight bytes at a time (most significant first): each
// pass reads every key of a run once, instead of each comparison reading
// two keys from far-apart places in memory.  A list kept by hand, not
// recursion, so a run of very long equal keys cannot exhaust the stack.
void sort_records(const char *const *names, std::vector<KeyRecord> &records)
{
    std::vector<PendingRun> pending;
    pending.push_back(PendingRun{0, records.size(), 0});
    while (!pending.empty()) {
        PendingRun run = pending.back();
        pending.pop_back();
        sort_run_by_window(names, records, run, pending);
    }
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
