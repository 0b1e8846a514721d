// Say TXT [/SPEC]
//
// Prints a text, or the number of files that match a pattern together with
// a text, in the order typed.  The count is the exit status, for batch
// scripts to test.
#include "console_services.h"

#include <iterator>

#include <cstdio>

static const char *const USAGE[] = {
    "Say 1.0 - text and file count printer, by the Say authors, 2026\n",
    "USAGE:  Say TXT [/SPEC]\n\n",
    "      print to DOS output\n",
    "      can be redirected to any file, using > pipeline feature\n",
    "      TXT and SPEC are printed in the order you type them\n",
    "      if optional [/SPEC] it will count files matching global DOS SPEC\n",
    "Example:  [Say /*.s16 \"files S16\"]\n",
    "           will print \"165 files S16\" - (if there are 165 files in the folder)\n",
    "Hit any key\n",
};

static SearchRecord search;

static bool is_pattern_argument(const char *argument)
{
    return argument[0] == '/' || argument[0] == '-' || argument[0] == '#';
}

static int count_matches(const char *pattern)
{
    int count = 0;
    for (int found = search_start(pattern, &search, 0); found == 0; found = search_next(&search))
        count++;
    return count;
}

static void write_count(int count)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", count);
    text_put(standard_output(), digits);
}

static int say(int argc, char **argv)
{
    if (argc < 2 || argv[1][0] == '?')
        return show_usage_screen(USAGE, std::size(USAGE));

    const char *pattern = nullptr;
    const char *leading_text = nullptr;
    const char *trailing_text = nullptr;
    if (is_pattern_argument(argv[1]))
        pattern = argv[1] + 1;
    else
        leading_text = argv[1];
    if (argc < 3)
        trailing_text = "";
    else if (is_pattern_argument(argv[2]))
        pattern = argv[2] + 1;
    else
        trailing_text = argv[2];

    int count = pattern ? count_matches(pattern) : 0;

    // The line is the program's report; its exit status is the count
    // whether or not the line could be written.
    TextStream *out = standard_output();
    if (!pattern) {
        text_put(out, leading_text);
    } else if (leading_text) {
        text_put(out, leading_text);
        text_put(out, " ");
        write_count(count);
    } else {
        write_count(count);
        text_put(out, " ");
        text_put(out, trailing_text ? trailing_text : "(null)");
    }
    text_put(out, "\n");
    return count;
}

int main(int argc, char **argv)
{
    return console_program(argc, argv, say);
}
