// The file search over FindFirstFileA / FindNextFileA.  The search state
// is the find handle itself; it stays open until the process ends.
#include "../console_services.h"

#include <cstring>
#include <windows.h>

static_assert(MATCHED_NAME_SIZE >= sizeof(WIN32_FIND_DATAA::cFileName), "a long name must fit the record");

// An entry with a hidden, system or directory bit is skipped unless the
// caller's mask asks for one of the bits it has.
static bool passes_filter(DWORD attributes, unsigned mask)
{
    unsigned filtered = attributes & ATTR_FILTERED;
    return filtered == 0 || (filtered & mask) != 0;
}

static bool find_entry(SearchRecord *record, WIN32_FIND_DATAA *entry)
{
    if (record->state == nullptr) {
        HANDLE handle = FindFirstFileA(record->pattern, entry);
        record->state = handle;
        return handle != INVALID_HANDLE_VALUE;
    }
    if (record->state == INVALID_HANDLE_VALUE)
        return false;
    return FindNextFileA(record->state, entry) != 0;
}

int search_next(SearchRecord *record)
{
    WIN32_FIND_DATAA entry;
    do {
        if (!find_entry(record, &entry))
            return -1;
    } while (!passes_filter(entry.dwFileAttributes, record->attribute_mask));
    // The long name, never the 8.3 alias in cAlternateFileName.
    std::memcpy(record->name, entry.cFileName, sizeof entry.cFileName);
    record->name[sizeof entry.cFileName - 1] = '\0';
    return 0;
}

int search_start(const char *pattern, SearchRecord *record, unsigned attribute_mask)
{
    record->state = nullptr;
    record->attribute_mask = attribute_mask;
    record->pattern = pattern;
    return search_next(record);
}
