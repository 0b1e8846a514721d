// The console services shared by Rollcall, Exec and Say: the file search,
// the key wait that ends a usage screen, text output with CR LF line ends,
// the sorted name list, and the program entry that ties them together.
//
// This is the only header the programs include.  Everything that differs
// between POSIX and Windows lives behind it, in posix/ and windows/.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// File search

// Attribute bits of a directory entry.  Only hidden, system and directory
// take part in the attribute filter.
enum : unsigned {
    ATTR_READONLY = 0x01,
    ATTR_HIDDEN = 0x02,
    ATTR_SYSTEM = 0x04,
    ATTR_DIRECTORY = 0x10,
    ATTR_ARCHIVE = 0x20,
};
constexpr unsigned ATTR_FILTERED = ATTR_HIDDEN | ATTR_SYSTEM | ATTR_DIRECTORY;

// Large enough for the longest entry name of either platform (Windows keeps
// names in a MAX_PATH array, POSIX allows NAME_MAX = 255 bytes).
constexpr std::size_t MATCHED_NAME_SIZE = 260;

// One search, held by the caller from start to the end of the process.
struct SearchRecord {
    void *state;                  // platform search state; null until started
    unsigned attribute_mask;      // entries with a filtered bit not in here are skipped
    const char *pattern;          // the caller's pattern, used unchanged
    char name[MATCHED_NAME_SIZE]; // last matched name, bare, NUL-terminated
};

// Starts a search over `pattern` (a folder part, then a name that may hold
// '*' and '?').  Returns 0 when a first matched name is in record->name,
// non-zero when nothing passed the filter or the search could not be made.
int search_start(const char *pattern, SearchRecord *record, unsigned attribute_mask);

// Fetches the next matched name into record->name.  Returns 0 on success,
// non-zero when no entry is left or the search failed.
int search_next(SearchRecord *record);

// ---------------------------------------------------------------------------
// Console keyboard

// Opens the console keyboard (it is read even when standard input is
// redirected) and closes it again.  console_program() calls both.
void console_open();
void console_close();

// Waits for one key press on the console keyboard, without echo.  Returns a
// key code, or -1 at once when there is no console.
int key_wait();

// ---------------------------------------------------------------------------
// Text output
//
// Every "\n" written reaches the stream as CR LF; all other bytes pass
// unchanged.  A stream that is a console is written at once; anything else
// goes through a 512-byte buffer.

constexpr std::size_t TEXT_BUFFER_SIZE = 512;

struct TextStream {
    std::intptr_t handle;       // platform file descriptor or handle
    bool write_through;         // console: no buffering
    bool failed;                // a write has failed; later writes are dropped
    std::size_t used;           // bytes waiting in buffer
    char buffer[TEXT_BUFFER_SIZE];
};

// The process's standard output, set up by console_program().
TextStream *standard_output();

// Creates the file at `path` for writing as text, or empties it when it
// exists.  Returns false when it cannot be created.
bool text_create(TextStream *stream, const char *path);

// Writes `length` bytes (or the NUL-terminated `text`), turning each "\n"
// into CR LF.  Returns false once any write on the stream has failed.
bool text_write(TextStream *stream, const char *bytes, std::size_t length);
bool text_put(TextStream *stream, const char *text);

// Writes out the buffer.  Returns false if this or any earlier write failed.
bool text_flush(TextStream *stream);

// Flushes and closes a stream made by text_create().  Returns false if any
// write or the close itself failed.
bool text_close(TextStream *stream);

// ---------------------------------------------------------------------------
// Name list: the matched names of one run, sorted case-blind by the user's
// locale the way the Windows string list sorts them.

struct NameList;

// All of these report running out of memory: a null list or false.
NameList *name_list_create();
bool name_list_append(NameList *list, const char *name);
bool name_list_sort(NameList *list);
std::size_t name_list_count(const NameList *list);
const char *name_list_item(const NameList *list, std::size_t index);
void name_list_release(NameList *list);

// ---------------------------------------------------------------------------
// Program entry

// Writes the lines of a usage screen to standard output, makes sure they
// are all out, then waits for a key.  Returns 0, the status after a usage
// screen.
int show_usage_screen(const char *const *lines, std::size_t count);

using ProgramEntry = int (*)(int argc, char **argv);

// Runs one console program: opens the console keyboard, sets up standard
// output, calls `entry` with the program's arguments (on Windows split from
// the raw command line), writes out all buffered output, closes the
// keyboard and returns entry's result, which becomes the exit status.
int console_program(int argc, char **argv, ProgramEntry entry);
