// Program entry on Windows: the arguments are split from the raw command
// line by the programs' own rules (the C runtime's argv is not used, since
// its rules for backslashes and quotes differ), and the entry function's
// result leaves through ExitProcess as the full 32-bit exit status.
#include "../command_line.h"
#include "../console_services.h"

#include <string>
#include <vector>
#include <windows.h>

int console_program(int, char **, ProgramEntry entry)
{
    std::vector<std::string> words = split_command_line(GetCommandLineA());
    std::vector<char *> arguments;
    for (std::string &word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);

    console_open();
    int status = entry(static_cast<int>(words.size()), arguments.data());
    text_flush(standard_output());
    console_close();
    ExitProcess(static_cast<UINT>(status));
}
