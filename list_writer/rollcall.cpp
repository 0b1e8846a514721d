// Rollcall FileSpec ListPath
//
// Writes the names of the files that match FileSpec, sorted case-blind by
// the user's locale, one per line, into the list file that the repacking
// tool reads.
#include "console_services.h"

#include <iterator>

static const char NOTICE[] = "Rollcall 1.0 - list maker for sprite repacking, by the Rollcall authors, 2026\n";

static const char *const USAGE[] = {
    NOTICE,
    "USAGE:  Rollcall  FileSpec [Rollcall.txt]\n\n",
    "        creates a rollCal.txt for repacking with Marno QUILLBOX\n",
    "        FileSpec can be any DOS global expression as *.shp or *.s16\n",
    "        for each file found, a icon to include line will be added\n",
    "Hit any key\n",
};

static SearchRecord search;

static void say(const char *before, const char *list_path, const char *after)
{
    TextStream *out = standard_output();
    text_put(out, before);
    text_put(out, list_path);
    text_put(out, after);
}

// Appends every matched name; false when memory runs out on the way.
static bool collect_names(const char *file_spec, NameList *names)
{
    for (int found = search_start(file_spec, &search, 0); found == 0; found = search_next(&search))
        if (!name_list_append(names, search.name))
            return false;
    return true;
}

static bool write_names(TextStream *list_file, const NameList *names)
{
    std::size_t count = name_list_count(names);
    for (std::size_t i = 0; i < count; i++) {
        text_put(list_file, name_list_item(names, i));
        text_put(list_file, "\n");
    }
    return text_flush(list_file);
}

static int rollcall(int argc, char **argv)
{
    if (argc < 3 || argv[1][0] == '?')
        return show_usage_screen(USAGE, std::size(USAGE));
    const char *file_spec = argv[1];
    const char *list_path = argv[2];

    static TextStream list_file;
    if (!text_create(&list_file, list_path)) {
        say("Error creating ", list_path, "");
        return 1;
    }

    NameList *names = name_list_create();
    if (!names || !collect_names(file_spec, names) || !name_list_sort(names)) {
        name_list_release(names);
        text_close(&list_file);
        return 1;
    }

    text_put(standard_output(), NOTICE);
    say("Creating ", list_path, " to use with Marno QUILLBOX  to repack Torvex/Corvale.dat\n");
    bool written = write_names(&list_file, names);
    name_list_release(names);
    bool closed = text_close(&list_file);
    if (!written || !closed) {
        // A full disk must not pass for a finished list.
        say("Error writing ", list_path, "");
        return 1;
    }
    say("Done ! . ", list_path, " created\n");
    return 0;
}

int main(int argc, char **argv)
{
    return console_program(argc, argv, rollcall);
}
