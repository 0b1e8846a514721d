// Runs the command-line splitter's table without GoogleTest, for the
// Windows build, where it runs as an .exe (under Wine on Linux).  Prints
// each failing case and ends with status 1 if any failed.
#include "command_line.h"
#include "command_line_cases.h"

#include <cstdio>

static void print_words(const std::vector<std::string> &words)
{
    for (const std::string &word : words)
        std::printf(" [%s]", word.c_str());
    std::printf("\n");
}

int main()
{
    int failed = 0;
    for (const CommandLineCase &c : command_line_cases()) {
        std::vector<std::string> words = split_command_line(c.line);
        if (words == c.words)
            continue;
        failed++;
        std::printf("FAILED: line [%s]\n  expected:", c.line);
        print_words(c.words);
        std::printf("  actual:  ");
        print_words(words);
    }
    std::printf("%zu cases, %d failed\n", command_line_cases().size(), failed);
    return failed == 0 ? 0 : 1;
}
