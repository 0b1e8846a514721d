// The list order on Windows: the user's locale, letter case ignored, as the
// string list of the original sorted; names the locale calls equal (such as
// ones differing only in case) then go by their bytes, so a run repeats.
#include "../collation.h"

#include <algorithm>
#include <cstring>
#include <windows.h>

static bool collates_before(const char *a, const char *b)
{
    int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1);
    if (result == CSTR_LESS_THAN)
        return true;
    if (result == CSTR_GREATER_THAN)
        return false;
    return std::strcmp(a, b) < 0; // equal, or the comparison failed
}

bool collate_sort(const char *const *names, std::size_t count, std::uint32_t *order)
{
    std::sort(order, order + count,
              [names](std::uint32_t a, std::uint32_t b) { return collates_before(names[a], names[b]); });
    return true;
}
