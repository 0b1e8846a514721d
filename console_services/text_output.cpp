// Text output: "\n" becomes CR LF on the way out, everything else is written
// byte for byte; a console is written at once, anything else in 512-byte
// blocks.
#include "console_services.h"
#include "platform.h"

#include <cstring>

static void text_init(TextStream *stream, std::intptr_t handle)
{
    stream->handle = handle;
    stream->write_through = os_is_console(handle);
    stream->failed = false;
    stream->used = 0;
}

TextStream *standard_output()
{
    static TextStream stream;
    static bool ready = false;
    if (!ready) {
        text_init(&stream, os_standard_output());
        ready = true;
    }
    return &stream;
}

bool text_create(TextStream *stream, const char *path)
{
    std::intptr_t handle = os_create_file(path);
    if (handle == NO_HANDLE)
        return false;
    text_init(stream, handle);
    stream->write_through = false; // a list file is always buffered
    return true;
}

static bool flush_buffer(TextStream *stream)
{
    if (stream->used > 0 && !stream->failed)
        stream->failed = !os_write_all(stream->handle, stream->buffer, stream->used);
    stream->used = 0;
    return !stream->failed;
}

static void put_bytes(TextStream *stream, const char *bytes, std::size_t length)
{
    while (length > 0 && !stream->failed) {
        std::size_t room = TEXT_BUFFER_SIZE - stream->used;
        std::size_t chunk = length < room ? length : room;
        std::memcpy(stream->buffer + stream->used, bytes, chunk);
        stream->used += chunk;
        bytes += chunk;
        length -= chunk;
        if (stream->used == TEXT_BUFFER_SIZE)
            flush_buffer(stream);
    }
}

bool text_write(TextStream *stream, const char *bytes, std::size_t length)
{
    const char *end = bytes + length;
    while (bytes < end && !stream->failed) {
        const char *newline = static_cast<const char *>(std::memchr(bytes, '\n', end - bytes));
        const char *stop = newline ? newline : end;
        put_bytes(stream, bytes, stop - bytes);
        if (newline)
            put_bytes(stream, "\r\n", 2);
        bytes = newline ? newline + 1 : end;
    }
    if (stream->write_through)
        flush_buffer(stream);
    return !stream->failed;
}

bool text_put(TextStream *stream, const char *text)
{
    return text_write(stream, text, std::strlen(text));
}

bool text_flush(TextStream *stream)
{
    return flush_buffer(stream);
}

bool text_close(TextStream *stream)
{
    bool written = flush_buffer(stream);
    bool closed = os_close(stream->handle);
    stream->handle = NO_HANDLE;
    return written && closed;
}

int show_usage_screen(const char *const *lines, std::size_t count)
{
    TextStream *out = standard_output();
    for (std::size_t i = 0; i < count; i++)
        text_put(out, lines[i]);
    text_flush(out);
    key_wait();
    return 0;
}
