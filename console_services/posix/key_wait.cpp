// The key wait on POSIX: one key press read from the controlling terminal,
// /dev/tty, in a raw mode, with the terminal's own mode put back afterwards
// (also when a hang-up or termination signal ends the process meanwhile).
#include "../console_services.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The controlling terminal, or -1 when the process has none.
int console_fd = -1;

// The terminal's mode from before the wait.  The signal handler reads it
// too, so it is set before the handler is installed and left alone while
// the handler may run.
struct termios saved_mode;

const unsigned char ESCAPE = 0x1b;

// How long the bytes after ESC may lag behind it and still belong to the
// same key.  A terminal sends a key's whole sequence in one write, so this
// only has to cover a slow link; it is also how long a lone Escape takes.
const int SEQUENCE_GAP_MS = 100;

// A control sequence longer than this is not a key; stop reading it.
const int LONGEST_SEQUENCE = 32;

// Signals whose default action ends the process and that may come while
// the terminal is raw: the terminal closing, a kill, and the two that the
// keyboard can no longer send but kill(1) still can.
const int ENDING_SIGNALS[] = {SIGHUP, SIGTERM, SIGINT, SIGQUIT};
const std::size_t ENDING_SIGNAL_COUNT = sizeof ENDING_SIGNALS / sizeof ENDING_SIGNALS[0];

struct sigaction previous_actions[ENDING_SIGNAL_COUNT];
bool handler_installed[ENDING_SIGNAL_COUNT];

// Puts the terminal mode back, then lets the signal do what it does by
// default.  SA_RESETHAND has already made the action the default one and
// the signal is blocked while this runs, so the raised signal ends the
// process as soon as the handler returns.  Only async-signal-safe calls.
void restore_mode_and_die(int signal_number)
{
    int saved_errno = errno;
    tcsetattr(console_fd, TCSANOW, &saved_mode);
    raise(signal_number);
    errno = saved_errno;
}

bool is_ignored(const struct sigaction &action)
{
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_IGN;
}

// A signal that was ignored when the wait began (nohup) stays ignored.
void catch_ending_signals()
{
    struct sigaction action {};
    action.sa_handler = restore_mode_and_die;
    action.sa_flags = SA_RESETHAND; // no SA_RESTART: not needed, EINTR is retried
    sigemptyset(&action.sa_mask);
    for (int signal_number : ENDING_SIGNALS)
        sigaddset(&action.sa_mask, signal_number); // one handler at a time
    for (std::size_t i = 0; i < ENDING_SIGNAL_COUNT; i++) {
        handler_installed[i] = false;
        if (sigaction(ENDING_SIGNALS[i], nullptr, &previous_actions[i]) != 0 || is_ignored(previous_actions[i]))
            continue;
        handler_installed[i] = sigaction(ENDING_SIGNALS[i], &action, nullptr) == 0;
    }
}

void release_ending_signals()
{
    for (std::size_t i = 0; i < ENDING_SIGNAL_COUNT; i++)
        if (handler_installed[i])
            sigaction(ENDING_SIGNALS[i], &previous_actions[i], nullptr);
}

// Every key arrives as typed: no line editing, no echo, no signal keys (so
// Ctrl+C, Ctrl+Z and Ctrl+\ are keys), no Ctrl+S/Ctrl+Q flow control, and
// no CR to LF mapping.  Output processing is left as it is.
struct termios key_mode(const struct termios &mode)
{
    struct termios raw = mode;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    return raw;
}

// Blocks for one byte.  False when the terminal is gone (end of file after
// a hang-up, or an error); a signal that does not end the process only
// interrupts the read, and the wait goes on.
bool read_byte(unsigned char *byte)
{
    for (;;) {
        ssize_t count = read(console_fd, byte, 1);
        if (count == 1)
            return true;
        if (count < 0 && errno == EINTR)
            continue;
        return false;
    }
}

// Reads one more byte of the key being read, if it comes soon enough.
bool read_following_byte(unsigned char *byte)
{
    struct pollfd terminal = {console_fd, POLLIN, 0};
    int ready;
    do
        ready = poll(&terminal, 1, SEQUENCE_GAP_MS);
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (terminal.revents & POLLIN) && read_byte(byte);
}

// Parameter and intermediate bytes of a control sequence; anything else
// (normally its final byte, 0x40..0x7E) ends it.
bool continues_sequence(unsigned char byte)
{
    return byte >= 0x20 && byte <= 0x3f;
}

// Reads the rest of a CSI (ESC [) or SS3 (ESC O) sequence: arrows, Home,
// Page Up, F1..F12, with or without modifiers.  Without a byte after the
// introducer the key was Alt+[ or Alt+O.
void consume_control_sequence(unsigned char introducer)
{
    unsigned char byte;
    if (!read_following_byte(&byte))
        return;
    // The Linux console sends F1..F5 as ESC [ [ A..E.
    if (introducer == '[' && byte == '[') {
        read_following_byte(&byte);
        return;
    }
    for (int length = 0; continues_sequence(byte) && length < LONGEST_SEQUENCE; length++)
        if (!read_following_byte(&byte))
            return;
}

int continuation_count(unsigned char lead)
{
    if (lead >= 0xc2 && lead <= 0xdf)
        return 1;
    if (lead >= 0xe0 && lead <= 0xef)
        return 2;
    if (lead >= 0xf0 && lead <= 0xf4)
        return 3;
    return 0;
}

// A UTF-8 character is one key however many bytes it takes.
void consume_rest_of_character(unsigned char lead)
{
    unsigned char byte;
    for (int left = continuation_count(lead); left > 0; left--)
        if (!read_following_byte(&byte) || (byte & 0xc0) != 0x80)
            return;
}

// After ESC: nothing more is the Escape key; '[' or 'O' starts a control
// sequence; another character is that character with Alt.  Some terminals
// send Alt with a sequence key as ESC followed by the key's own sequence.
void consume_escape_sequence()
{
    unsigned char byte;
    if (!read_following_byte(&byte))
        return;
    if (byte == ESCAPE && !read_following_byte(&byte))
        return;
    if (byte == '[' || byte == 'O')
        consume_control_sequence(byte);
    else
        consume_rest_of_character(byte);
}

// Reads one key press, all its bytes.  The key code is the key's first
// byte (ESC for every sequence key): no program looks at more than that.
int read_key()
{
    unsigned char first;
    if (!read_byte(&first))
        return -1;
    if (first == ESCAPE)
        consume_escape_sequence();
    else
        consume_rest_of_character(first);
    return first;
}

} // namespace

void console_open()
{
    if (console_fd < 0)
        console_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

void console_close()
{
    if (console_fd >= 0)
        close(console_fd);
    console_fd = -1;
}

int key_wait()
{
    if (console_fd < 0 || tcgetattr(console_fd, &saved_mode) != 0)
        return -1;
    struct termios raw = key_mode(saved_mode);
    // The handlers go in before the mode changes, so no moment is left in
    // which a signal could end the process with the terminal raw.
    catch_ending_signals();
    // TCSANOW, not TCSAFLUSH: keys typed before the wait must end it.
    int key = -1;
    if (tcsetattr(console_fd, TCSANOW, &raw) == 0)
        key = read_key();
    if (tcsetattr(console_fd, TCSANOW, &saved_mode) != 0)
        key = -1;
    release_ending_signals();
    return key;
}
