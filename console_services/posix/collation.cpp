// PLACEHOLDER, being replaced: byte order.
#include "../collation.h"
#include <algorithm>
#include <cstring>
bool collate_sort(const char *const *names, std::size_t count, std::uint32_t *order)
{
    std::sort(order, order + count, [&](std::uint32_t a, std::uint32_t b) { return std::strcmp(names[a], names[b]) < 0; });
    return true;
}
