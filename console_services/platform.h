// Raw file primitives that each platform provides to the portable code of
// the library.  Not part of the public interface.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::intptr_t NO_HANDLE = -1;

std::intptr_t os_standard_output();
bool os_is_console(std::intptr_t handle);

// Creates or empties `path` for writing; `\` counts as a folder separator
// on every platform.  Returns NO_HANDLE on failure.
std::intptr_t os_create_file(const char *path);

// Writes all `length` bytes, retrying short writes.  False on any failure.
bool os_write_all(std::intptr_t handle, const char *bytes, std::size_t length);
bool os_close(std::intptr_t handle);
