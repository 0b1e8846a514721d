// The name list: copies of the matched names in large blocks (one
// allocation per block, not per name), a pointer per name, and the sorted
// order as indices.
#include "console_services.h"
#include "collation.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {
constexpr std::size_t BLOCK_SIZE = 1 << 20;
}

struct NameList {
    std::vector<std::unique_ptr<char[]>> blocks;
    std::size_t block_used = BLOCK_SIZE;
    std::vector<const char *> names;
    std::vector<std::uint32_t> order; // empty until sorted
};

NameList *name_list_create()
{
    return new (std::nothrow) NameList;
}

static char *store_name(NameList *list, const char *name, std::size_t size)
{
    if (list->block_used + size > BLOCK_SIZE) {
        list->blocks.emplace_back(new char[BLOCK_SIZE]);
        list->block_used = 0;
    }
    char *copy = list->blocks.back().get() + list->block_used;
    std::memcpy(copy, name, size);
    list->block_used += size;
    return copy;
}

bool name_list_append(NameList *list, const char *name)
{
    std::size_t size = std::strlen(name) + 1;
    if (size > BLOCK_SIZE || list->names.size() >= UINT32_MAX)
        return false;
    try {
        const char *copy = store_name(list, name, size);
        list->names.push_back(copy);
        list->order.clear();
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

bool name_list_sort(NameList *list)
{
    try {
        std::size_t count = list->names.size();
        list->order.resize(count);
        for (std::size_t i = 0; i < count; i++)
            list->order[i] = static_cast<std::uint32_t>(i);
        if (collate_sort(list->names.data(), count, list->order.data()))
            return true;
    } catch (const std::bad_alloc &) {
    }
    list->order.clear();
    return false;
}

std::size_t name_list_count(const NameList *list)
{
    return list->names.size();
}

const char *name_list_item(const NameList *list, std::size_t index)
{
    if (list->order.empty())
        return list->names[index];
    return list->names[list->order[index]];
}

void name_list_release(NameList *list)
{
    delete list;
}
