// Program entry on POSIX: the arguments arrive already split by the shell.
#include "../console_services.h"

#include <csignal>

int console_program(int argc, char **argv, ProgramEntry entry)
{
    // A reader that goes away must show up as a failed write, which the
    // programs report in their exit status, not as a silent kill.
    std::signal(SIGPIPE, SIG_IGN);
    console_open();
    int status = entry(argc, argv);
    text_flush(standard_output());
    console_close();
    return status;
}
