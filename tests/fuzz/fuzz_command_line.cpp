// Fuzzes the Windows command-line splitter.  Input: a raw command line (up
// to the first NUL).  The words it gives are written back as a command line
// by the documented quoting rules and split again: the second split must
// give the same words.  Every word ever given must survive that trip, so a
// word the rules cannot express, or a quoting rule the splitter breaks,
// shows up here.
#include "command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool has_blank(const std::string &word)
{
    return word.find_first_of(" \t") != std::string::npos;
}

// The program path: as typed when it has no blank (it then cannot hold a
// quote at its start, or it would have been read as quoted), otherwise in
// quotes (it then holds no quote).  An empty path needs quotes too.
std::string quote_program_path(const std::string &path)
{
    if (path.empty() || has_blank(path))
        return "\"" + path + "\"";
    return path;
}

// An argument: in quotes, a quote written as \" ; the backslashes it ends
// with go after the closing quote, where no quote follows them.
std::string quote_argument(const std::string &word)
{
    std::size_t core_end = word.size();
    while (core_end > 0 && word[core_end - 1] == '\\')
        --core_end;
    std::string line = "\"";
    for (std::size_t i = 0; i < core_end; ++i) {
        if (word[i] == '"')
            line += "\\\"";
        else
            line += word[i];
    }
    line += "\"";
    line.append(word, core_end, std::string::npos);
    return line;
}

void print_words(const char *title, const std::vector<std::string> &words)
{
    std::fprintf(stderr, "%s:\n", title);
    for (const std::string &word : words) {
        std::fprintf(stderr, "  [");
        for (unsigned char c : word)
            std::fprintf(stderr, c >= 32 && c < 127 ? "%c" : "\\x%02x", c);
        std::fprintf(stderr, "]\n");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char *>(data), strnlen(reinterpret_cast<const char *>(data), size));
    const std::vector<std::string> words = split_command_line(line.c_str());
    if (words.empty())
        std::abort(); // the program path is always there, if empty

    std::string again = quote_program_path(words[0]);
    for (std::size_t i = 1; i < words.size(); ++i)
        again += " " + quote_argument(words[i]);
    const std::vector<std::string> resplit = split_command_line(again.c_str());
    if (resplit != words) {
        print_words("first split", words);
        std::fprintf(stderr, "written back as: %s\n", again.c_str());
        print_words("second split", resplit);
        std::abort();
    }
    return 0;
}
