// POSIX file primitives under the portable text output.
#include "../platform.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

std::intptr_t os_standard_output()
{
    return STDOUT_FILENO;
}

bool os_is_console(std::intptr_t handle)
{
    return isatty(static_cast<int>(handle)) == 1;
}

std::intptr_t os_create_file(const char *path)
{
    // Batch files written on Windows say sprites\list.txt; here that is a
    // file in the folder sprites, as it is there.
    std::string native(path);
    for (char &c : native)
        if (c == '\\')
            c = '/';
    int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? NO_HANDLE : fd;
}

bool os_write_all(std::intptr_t handle, const char *bytes, std::size_t length)
{
    while (length > 0) {
        ssize_t written = write(static_cast<int>(handle), bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool os_close(std::intptr_t handle)
{
    // After a failed close the descriptor is gone anyway (Linux, POSIX 2024),
    // so it is never retried; the failure is what the caller needs to know.
    return close(static_cast<int>(handle)) == 0;
}
