// The command-line splitter behind console_program() on Windows.
#include "command_line.h"

static bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

static const char *skip_blanks(const char *p)
{
    while (is_blank(*p))
        p++;
    return p;
}

// Takes the program path from the start of the line; returns where the
// arguments begin.  A quoted path ends at its closing quote, even when more
// text follows directly, as it does for CreateProcess.
static const char *take_program_path(const char *p, std::string &path)
{
    if (*p == '"') {
        p++;
        while (*p && *p != '"')
            path += *p++;
        return *p == '"' ? p + 1 : p;
    }
    while (*p && !is_blank(*p))
        path += *p++;
    return p;
}

// Takes one argument starting at a non-blank character; returns where it
// ended.
static const char *take_argument(const char *p, std::string &argument)
{
    bool quoted = false;
    while (*p && (quoted || !is_blank(*p))) {
        if (p[0] == '\\' && p[1] == '"') {
            argument += '"';
            p += 2;
        } else if (*p == '"') {
            quoted = !quoted;
            p++;
        } else {
            argument += *p++;
        }
    }
    return p;
}

std::vector<std::string> split_command_line(const char *line)
{
    std::vector<std::string> words(1);
    const char *p = take_program_path(skip_blanks(line), words[0]);
    for (p = skip_blanks(p); *p; p = skip_blanks(p)) {
        words.emplace_back();
        p = take_argument(p, words.back());
    }
    return words;
}
