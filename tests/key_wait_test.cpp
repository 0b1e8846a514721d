// The key wait, seen from outside: Rollcall with no arguments shows its
// usage screen and waits for a key on a fresh pseudo-terminal that is its
// controlling terminal, while its standard input is /dev/null.  The test
// types on the master side and watches the output, the exit status, the
// terminal mode and what is left unread.
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Generous, for a loaded machine and a sanitizer build: only a broken
// build ever waits this long.
const auto ENDS_WITHIN = 10s;
// How long the program must go on waiting while nothing is typed.
const auto STILL_WAITING_FOR = 300ms;
// Output that has not come this long after the program ended is not coming.
const int QUIET_MS = 100;

const std::string LAST_USAGE_LINE = "Hit any key\r\n";

std::string rollcall_path()
{
    const char *dir = std::getenv("TOOLS_DIR");
    return std::string(dir && *dir ? dir : TOOLS_DIR) + "/Rollcall";
}

// Runs the tool to the end, like run_tool, but a hang fails the test run
// (SIGALRM) instead of stalling it.
ToolRun run_tool_bounded(const std::string &tool, const std::vector<std::string> &args, const std::string &cwd)
{
    alarm(static_cast<unsigned>(std::chrono::seconds(ENDS_WITHIN).count()));
    ToolRun run = run_tool(tool, args, cwd);
    alarm(0);
    return run;
}

// Rollcall's usage screen as it comes out without a terminal, byte for byte.
const std::string &usage_screen()
{
    static const std::string screen = [] {
        ScratchDir dir;
        return run_tool_bounded("Rollcall", {}, dir.path()).out;
    }();
    return screen;
}

// What a terminal in `mode` receives for `text`: with ONLCR every LF goes
// out as CR LF.
std::string as_terminal_shows(const std::string &text, const struct termios &mode)
{
    if (!(mode.c_oflag & OPOST) || !(mode.c_oflag & ONLCR))
        return text;
    return crlf(text);
}

bool ends_with(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string describe_status(int wait_status)
{
    if (WIFEXITED(wait_status))
        return "exit " + std::to_string(WEXITSTATUS(wait_status));
    if (WIFSIGNALED(wait_status))
        return std::string("signal ") + strsignal(WTERMSIG(wait_status));
    return "status " + std::to_string(wait_status);
}

std::string signal_status(int signal_number)
{
    return std::string("signal ") + strsignal(signal_number);
}

const char STILL_RUNNING[] = "still running, killed";

void expect_same_mode(const struct termios &before, const struct termios &after)
{
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    for (std::size_t i = 0; i < NCCS; i++)
        EXPECT_EQ(after.c_cc[i], before.c_cc[i]) << "c_cc[" << i << "]";
}

// One pseudo-terminal, and Rollcall run on it.
class KeyWait : public testing::Test {
protected:
    void SetUp() override
    {
        if (running_under_wine())
            GTEST_SKIP() << "the key wait through a pseudo-terminal is a POSIX test";
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0) << strerror(errno);
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        ASSERT_EQ(tcgetattr(slave_, &mode_before_), 0);
        expected_screen_ = as_terminal_shows(usage_screen(), mode_before_);
        ASSERT_TRUE(ends_with(usage_screen(), LAST_USAGE_LINE)) << usage_screen();
    }

    void TearDown() override
    {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        close_master();
        if (slave_ >= 0)
            close(slave_);
    }

    // Starts Rollcall with no arguments as the leader of a new session whose
    // controlling terminal is the slave; standard input is /dev/null.
    void start(bool ignore_hangup = false)
    {
        std::string path = rollcall_path();
        child_ = fork();
        ASSERT_GE(child_, 0) << strerror(errno);
        if (child_ == 0) {
            if (ignore_hangup)
                signal(SIGHUP, SIG_IGN); // as nohup does; kept across exec
            int no_input = open("/dev/null", O_RDONLY);
            if (setsid() < 0 || ioctl(slave_, TIOCSCTTY, 0) != 0 || no_input < 0 || dup2(no_input, 0) < 0 ||
                dup2(slave_, 1) < 0 || dup2(slave_, 2) < 0)
                _exit(126);
            execl(path.c_str(), "Rollcall", static_cast<char *>(nullptr));
            _exit(127);
        }
    }

    void type(const std::string &keys)
    {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())) << strerror(errno);
    }

    // Reads what the program wrote until `done` says so or time is up.
    template <class Done> void read_output_until(Done done, std::chrono::milliseconds limit)
    {
        auto deadline = Clock::now() + limit;
        while (!done()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms)
                return;
            struct pollfd terminal = {master_, POLLIN, 0};
            if (poll(&terminal, 1, static_cast<int>(left.count())) <= 0)
                return;
            char bytes[512];
            ssize_t count = read(master_, bytes, sizeof bytes);
            if (count <= 0)
                return;
            output_.append(bytes, static_cast<std::size_t>(count));
        }
    }

    void expect_usage_screen_shown()
    {
        read_output_until([this] { return ends_with(output_, as_terminal_shows(LAST_USAGE_LINE, mode_before_)); },
                          ENDS_WITHIN);
        EXPECT_EQ(output_, expected_screen_);
    }

    // Collects whatever else arrives, until the terminal has been quiet a while.
    void read_remaining_output()
    {
        for (std::size_t seen = std::string::npos; seen != output_.size();) {
            seen = output_.size();
            read_output_until([&] { return output_.size() > seen; }, std::chrono::milliseconds(QUIET_MS));
        }
    }

    // True once the program has taken the terminal out of line mode, that
    // is, it is in its key wait and a key typed now goes to it.  False at
    // once if the program ended without waiting.
    bool wait_for_key_mode()
    {
        auto deadline = Clock::now() + ENDS_WITHIN;
        struct termios mode;
        while (Clock::now() < deadline && still_running()) {
            if (tcgetattr(slave_, &mode) == 0 && !(mode.c_lflag & ICANON))
                return true;
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }

    // Looks without collecting the exit status, which wait_for_end reports.
    bool still_running()
    {
        siginfo_t info {};
        return waitid(P_PID, static_cast<id_t>(child_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    }

    // How the program ended, or STILL_RUNNING when it had to be killed.
    std::string wait_for_end()
    {
        auto deadline = Clock::now() + ENDS_WITHIN;
        int wait_status = 0;
        for (;;) {
            pid_t ended = waitpid(child_, &wait_status, WNOHANG);
            if (ended == child_) {
                child_ = -1;
                return describe_status(wait_status);
            }
            if (ended < 0 && errno != EINTR)
                return std::string("waitpid: ") + strerror(errno);
            if (Clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(5ms);
        }
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
        child_ = -1;
        return STILL_RUNNING;
    }

    struct termios mode_now()
    {
        struct termios mode {};
        EXPECT_EQ(tcgetattr(slave_, &mode), 0) << strerror(errno);
        return mode;
    }

    // Whatever input the program left on the terminal.  A line end typed
    // after it makes it readable in line mode; it comes back alone when
    // nothing was left.
    std::string left_unread()
    {
        type("\n");
        std::string input;
        auto deadline = Clock::now() + ENDS_WITHIN;
        while (!ends_with(input, "\n") && Clock::now() < deadline) {
            struct pollfd terminal = {slave_, POLLIN, 0};
            if (poll(&terminal, 1, 100) <= 0)
                continue;
            char bytes[64];
            ssize_t count = read(slave_, bytes, sizeof bytes);
            if (count <= 0)
                break;
            input.append(bytes, static_cast<std::size_t>(count));
        }
        return input.substr(0, input.size() - (ends_with(input, "\n") ? 1 : 0));
    }

    void close_master()
    {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

    int master_ = -1;
    int slave_ = -1;
    pid_t child_ = -1;
    struct termios mode_before_ {};
    std::string expected_screen_;
    std::string output_; // everything read from the master
};

TEST_F(KeyWait, WaitsWhileNothingIsTyped)
{
    start();
    expect_usage_screen_shown();
    ASSERT_TRUE(wait_for_key_mode()) << "no key wait began";
    std::this_thread::sleep_for(STILL_WAITING_FOR);
    EXPECT_TRUE(still_running());
    type("x");
    EXPECT_EQ(wait_for_end(), "exit 0");
}

// A key typed before the program started is still unread when the wait
// begins, and ends it: the wait does not throw away typeahead.
TEST_F(KeyWait, KeyTypedBeforeTheWaitEndsIt)
{
    type("\x1b[A");
    start();
    EXPECT_EQ(wait_for_end(), "exit 0");
    EXPECT_EQ(left_unread(), "");
    expect_same_mode(mode_before_, mode_now());
}

struct KeyCase {
    const char *label;
    std::string bytes; // what the terminal sends for the key
};

void PrintTo(const KeyCase &key, std::ostream *out)
{
    *out << key.label;
}

class KeyPress : public KeyWait, public testing::WithParamInterface<KeyCase> {};

// Each key ends the wait with status 0, is not echoed, leaves none of its
// bytes behind for the shell, and the terminal mode is as it was.
TEST_P(KeyPress, EndsTheWaitAndIsConsumedWhole)
{
    start();
    expect_usage_screen_shown();
    ASSERT_TRUE(wait_for_key_mode()) << "no key wait began";
    type(GetParam().bytes);
    EXPECT_EQ(wait_for_end(), "exit 0");
    read_remaining_output();
    EXPECT_EQ(output_, expected_screen_) << "output after the usage screen (an echo?)";
    expect_same_mode(mode_before_, mode_now());
    EXPECT_EQ(left_unread(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyPress,
    testing::Values(KeyCase{"letter", "x"}, KeyCase{"enter", "\r"}, KeyCase{"space", " "},
                    // Keys that make signals or stop output in line mode.
                    KeyCase{"ctrl_c", "\x03"}, KeyCase{"ctrl_backslash", "\x1c"}, KeyCase{"ctrl_z", "\x1a"},
                    KeyCase{"ctrl_s", "\x13"}, KeyCase{"ctrl_d", "\x04"},
                    // Keys that send escape sequences.
                    KeyCase{"escape", "\x1b"}, KeyCase{"arrow_up", "\x1b[A"}, KeyCase{"ctrl_arrow_left", "\x1b[1;5D"},
                    KeyCase{"home", "\x1b[H"}, KeyCase{"page_up", "\x1b[5~"}, KeyCase{"f1", "\x1bOP"},
                    KeyCase{"f5", "\x1b[15~"}, KeyCase{"shift_f12", "\x1b[24;2~"},
                    KeyCase{"linux_console_f1", "\x1b[[A"}, KeyCase{"alt_x", "\x1bx"},
                    KeyCase{"alt_arrow_old_style", "\x1b\x1b[A"},
                    // Characters of more than one byte.
                    KeyCase{"e_acute", "\xc3\xa9"}, KeyCase{"euro_sign", "\xe2\x82\xac"},
                    KeyCase{"alt_e_acute", "\x1b\xc3\xa9"}),
    LabelName());

struct SignalCase {
    const char *label;
    int signal_number;
};

void PrintTo(const SignalCase &signal_case, std::ostream *out)
{
    *out << signal_case.label;
}

class SignalDuringWait : public KeyWait, public testing::WithParamInterface<SignalCase> {};

// A signal that ends the program while it waits still leaves the terminal
// in its own mode, and the program dies of that signal.
TEST_P(SignalDuringWait, RestoresTheModeThenDies)
{
    start();
    expect_usage_screen_shown();
    ASSERT_TRUE(wait_for_key_mode()) << "no key wait began";
    ASSERT_EQ(kill(child_, GetParam().signal_number), 0);
    EXPECT_EQ(wait_for_end(), signal_status(GetParam().signal_number));
    expect_same_mode(mode_before_, mode_now());
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringWait,
                         testing::Values(SignalCase{"hangup", SIGHUP}, SignalCase{"terminate", SIGTERM},
                                         SignalCase{"interrupt", SIGINT}),
                         LabelName());

struct HangupCase {
    const char *label;
    bool hangup_ignored;
    std::string end;
};

void PrintTo(const HangupCase &hangup, std::ostream *out)
{
    *out << hangup.label;
}

class TerminalClosed : public KeyWait, public testing::WithParamInterface<HangupCase> {};

// Closing the terminal under the waiting program ends the wait: by the
// hang-up signal, or, where that is ignored, because the terminal can no
// longer be read.
TEST_P(TerminalClosed, EndsTheWait)
{
    start(GetParam().hangup_ignored);
    expect_usage_screen_shown();
    ASSERT_TRUE(wait_for_key_mode()) << "no key wait began";
    close_master();
    EXPECT_EQ(wait_for_end(), GetParam().end);
}

INSTANTIATE_TEST_SUITE_P(Hangup, TerminalClosed,
                         testing::Values(HangupCase{"hangup_signal", false, signal_status(SIGHUP)},
                                         HangupCase{"hangup_ignored", true, "exit 0"}),
                         LabelName());

// Without a controlling terminal (CI, scripts) the usage screen does not
// wait at all.
TEST(KeyWaitWithoutTerminal, ReturnsAtOnce)
{
    ScratchDir dir;
    ToolRun run = run_tool_bounded("Rollcall", {}, dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(ends_with(run.out, LAST_USAGE_LINE)) << run.out;
}

} // namespace
