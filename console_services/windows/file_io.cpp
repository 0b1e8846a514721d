// Win32 file primitives under the portable text output: standard output
// and list files are plain handles written with WriteFile, so no C runtime
// translation ever touches the bytes.
#include "../platform.h"

#include <windows.h>

static HANDLE as_handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t os_standard_output()
{
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    // A process started without standard output has a null handle; writes
    // to it must fail like writes to a closed one.
    if (handle == nullptr)
        return NO_HANDLE;
    return reinterpret_cast<std::intptr_t>(handle);
}

bool os_is_console(std::intptr_t handle)
{
    return GetFileType(as_handle(handle)) == FILE_TYPE_CHAR;
}

std::intptr_t os_create_file(const char *path)
{
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return NO_HANDLE;
    return reinterpret_cast<std::intptr_t>(handle);
}

bool os_write_all(std::intptr_t handle, const char *bytes, std::size_t length)
{
    constexpr std::size_t LARGEST_WRITE = 1u << 30; // WriteFile takes a DWORD count
    while (length > 0) {
        DWORD chunk = static_cast<DWORD>(length < LARGEST_WRITE ? length : LARGEST_WRITE);
        DWORD written = 0;
        if (!WriteFile(as_handle(handle), bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        length -= written;
    }
    return true;
}

bool os_close(std::intptr_t handle)
{
    return CloseHandle(as_handle(handle)) != 0;
}
