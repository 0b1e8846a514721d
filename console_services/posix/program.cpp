// Program entry on POSIX: the arguments arrive already split by the shell.
#include "../console_services.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>

// A standard stream closed by the caller (`Rollcall ... >&-`) is taken by
// /dev/null opened read-only: otherwise the next file opened, such as the
// list file, would become standard output and collect the messages.
// Read-only, so writes to it still fail the way writes to a closed stream
// do, and the programs still see that their output was lost.
static void reserve_standard_streams()
{
    for (int fd = 0; fd <= 2; fd++)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDONLY) != fd)
            return;
}

int console_program(int argc, char **argv, ProgramEntry entry)
{
    // A reader that goes away must show up as a failed write, which the
    // programs report in their exit status, not as a silent kill.
    std::signal(SIGPIPE, SIG_IGN);
    reserve_standard_streams();
    console_open();
    int status = entry(argc, argv);
    text_flush(standard_output());
    console_close();
    return status;
}
