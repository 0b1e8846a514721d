// Exec TOOL SPEC OUT [param1] [param2] [param3]
//
// Prints one batch line per file that matches SPEC:
//     TOOL name base.OUT param1 param2 param3
// where base is the part of the name before its first dot.  Redirected into
// a .bat file, the lines convert a whole folder.
#include "batch_line.h"
#include "console_services.h"

#include <iterator>

static const char *const USAGE[] = {
    "Exec 1.0.0.3 - batch line maker for sprite folders, by the Exec authors, 2026\n",
    "USAGE:  Exec TOOL SPEC OUT [param1] [param2] [param3] \n\n",
    "        create a line for each file in SPEC\n",
    "        processing TOOL with each file found\n",
    "        You can define up to tree optional parameters.(to use in BAT files)\n",
    "        SPEC is a DOS global expresion as *.s16\n",
    "        Example:  [Exec sprconv.exe *.shp s16 g2.pal > mk_shp_s16.bat]\n",
    "        create a bat file to convert all shp files in a folder to s16\n",
    "Hit any key\n",
};

static SearchRecord search;

static int exec(int argc, char **argv)
{
    if (argc < 4 || argv[1][0] == '?')
        return show_usage_screen(USAGE, std::size(USAGE));
    const char *tool = argv[1];
    const char *spec = argv[2];
    const char *out_ext = argv[3];
    const char *params[3];
    for (int i = 0; i < 3; i++)
        params[i] = argc > 4 + i ? argv[4 + i] : "";

    for (int found = search_start(spec, &search, 0); found == 0; found = search_next(&search))
        if (!write_batch_line(standard_output(), tool, search.name, out_ext, params))
            return 1; // half a batch file must not pass for a whole one
    return text_flush(standard_output()) ? 0 : 1;
}

int main(int argc, char **argv)
{
    return console_program(argc, argv, exec);
}
