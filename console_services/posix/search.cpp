// The file search on POSIX: lists one folder and delivers the entries whose
// names match a Windows-style pattern and pass the attribute filter.
//
// The folders this serves can hold a million entries, so an entry costs a
// name match and, only when the directory read cannot tell its type (links
// and file systems without d_type), one fstatat.
#include "../console_services.h"
#include "wildcard.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SearchState {
    DIR *folder = nullptr;
    WildcardPattern pattern;
    char folder_path[PATH_MAX] = {};
};

struct PatternParts {
    std::string_view folder; // empty: the current folder
    std::string_view name;
    bool rooted;             // the only separator is the first character
};

bool is_separator(char c)
{
    return c == '/' || c == '\\';
}

// Splits at the last separator: before it a literal folder, after it the
// name pattern.
PatternParts split_pattern(std::string_view pattern)
{
    std::size_t last = pattern.size();
    while (last > 0 && !is_separator(pattern[last - 1]))
        --last;
    if (last == 0)
        return {{}, pattern, false};
    const std::size_t separator = last - 1;
    return {pattern.substr(0, separator), pattern.substr(last), separator == 0};
}

// Writes the folder to open into `path`, with '\' as a separator the way a
// batch line written on Windows has it.  False when it does not fit.
bool folder_path_of(const PatternParts &parts, char (&path)[PATH_MAX])
{
    std::string_view folder = parts.folder;
    if (parts.rooted)
        folder = "/";
    else if (folder.empty())
        folder = ".";
    if (folder.size() >= sizeof path)
        return false;
    for (std::size_t index = 0; index < folder.size(); ++index)
        path[index] = folder[index] == '\\' ? '/' : folder[index];
    path[folder.size()] = '\0';
    return true;
}

DIR *open_folder(const char *path)
{
    int descriptor = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    DIR *folder = fdopendir(descriptor);
    if (!folder)
        close(descriptor);
    return folder;
}

// No Windows file system can hold such a name, and in a list file or a
// batch line it would break the line apart.
bool has_control_byte(std::string_view name)
{
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 1 && byte <= 31) || byte == 127)
            return true;
    }
    return false;
}

unsigned type_attributes_from_mode(mode_t mode)
{
    if (S_ISDIR(mode))
        return ATTR_DIRECTORY;
    if (S_ISREG(mode))
        return 0;
    return ATTR_SYSTEM;
}

// Folder or system, from the entry's type.  Only a link, or a file system
// that leaves d_type unknown, costs a stat, which follows links: a link to
// a folder is a folder, a link that leads nowhere is system.
unsigned type_attributes(DIR *folder, const dirent *entry)
{
    switch (entry->d_type) {
    case DT_DIR:
        return ATTR_DIRECTORY;
    case DT_REG:
        return 0;
    case DT_LNK:
    case DT_UNKNOWN: {
        struct stat status;
        if (fstatat(dirfd(folder), entry->d_name, &status, 0) != 0)
            return ATTR_SYSTEM;
        return type_attributes_from_mode(status.st_mode);
    }
    default:
        return ATTR_SYSTEM; // FIFOs, sockets, devices
    }
}

// An entry with hidden, system or directory set is delivered only when the
// mask names at least one of the bits it has.
bool passes_filter(unsigned attributes, unsigned mask)
{
    const unsigned filtered = attributes & ATTR_FILTERED;
    return filtered == 0 || (filtered & mask) != 0;
}

bool entry_wanted(DIR *folder, const dirent *entry, const WildcardPattern &pattern, unsigned mask)
{
    const std::string_view name(entry->d_name);
    if (name.size() >= MATCHED_NAME_SIZE || !wildcard_match(pattern, name) || has_control_byte(name))
        return false;
    const unsigned hidden = name.front() == '.' ? ATTR_HIDDEN : 0u;
    // With no filtered bit in the mask a hidden entry is out whatever its
    // type, so it needs no stat.
    if (hidden && (mask & ATTR_FILTERED) == 0)
        return false;
    return passes_filter(hidden | type_attributes(folder, entry), mask);
}

void release_state(SearchRecord *record)
{
    auto *state = static_cast<SearchState *>(record->state);
    if (state && state->folder)
        closedir(state->folder);
    delete state;
    record->state = nullptr;
}

// Reads on to the next wanted entry.  At the end of the folder (or on a
// read error) the search is over and its state is released.
int fetch_next(SearchRecord *record)
{
    auto *state = static_cast<SearchState *>(record->state);
    if (!state)
        return -1;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(state->folder);
        if (!entry) {
            release_state(record);
            return -1;
        }
        if (entry_wanted(state->folder, entry, state->pattern, record->attribute_mask)) {
            std::memcpy(record->name, entry->d_name, std::strlen(entry->d_name) + 1);
            return 0;
        }
    }
}

// No file system of either platform holds a name longer than 255
// characters, and Windows refuses a longer name part outright.  So such a
// pattern finds nothing here either, even where its '?'s, which may match
// nothing, would let it take a shorter name.  Long folder parts are left to
// the folder's own limits.
constexpr std::size_t LONGEST_NAME = 255;

bool open_search(const char *pattern, SearchState *state)
{
    const PatternParts parts = split_pattern(pattern);
    if (parts.name.empty() || parts.name.size() > LONGEST_NAME || !folder_path_of(parts, state->folder_path))
        return false;
    if (!wildcard_compile(parts.name, &state->pattern))
        return false;
    state->folder = open_folder(state->folder_path);
    return state->folder != nullptr;
}

} // namespace

int search_start(const char *pattern, SearchRecord *record, unsigned attribute_mask)
{
    record->state = nullptr;
    record->attribute_mask = attribute_mask;
    record->pattern = pattern;
    record->name[0] = '\0';
    if (!pattern)
        return -1;
    auto *state = new (std::nothrow) SearchState;
    if (!state)
        return -1;
    record->state = state;
    if (!open_search(pattern, state)) {
        release_state(record);
        return -1;
    }
    return fetch_next(record);
}

int search_next(SearchRecord *record)
{
    return fetch_next(record);
}
