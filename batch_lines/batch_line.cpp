#include "batch_line.h"

#include <cstring>

static std::size_t base_name_length(const char *name)
{
    const char *dot = std::strchr(name, '.');
    return dot ? static_cast<std::size_t>(dot - name) : std::strlen(name);
}

bool write_batch_line(TextStream *out, const char *tool, const char *name, const char *out_ext,
                      const char *const params[3])
{
    text_put(out, tool);
    text_put(out, " ");
    text_put(out, name);
    text_put(out, " ");
    text_write(out, name, base_name_length(name));
    text_put(out, ".");
    text_put(out, out_ext);
    for (int i = 0; i < 3; i++) {
        text_put(out, " ");
        text_put(out, params[i]);
    }
    return text_put(out, "\n");
}
