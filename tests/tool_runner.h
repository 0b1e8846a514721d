// Runs the built tools as processes, in scratch folders, for the end-to-end
// tests.  The same tests run the Windows .exe files under Wine when
// TOOLS_RUNNER=wine, TOOLS_DIR and TOOLS_SUFFIX=.exe are set.  TOOLS_WRAPPER
// names a program that runs each tool (tests/run_valgrind.sh sets it).
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Names the cases of a parameterised test after their `label` field.
struct LabelName {
    template <class Case> std::string operator()(const testing::TestParamInfo<Case> &param_info) const
    {
        return param_info.param.label;
    }
};

struct ToolRun {
    std::string out; // standard output, byte for byte
    int status;      // exit status as a shell sees it (low 8 bits); -1 if killed
};

// Runs `tool` ("Rollcall", "Exec" or "Say") with `args` in folder `cwd`.
// Standard input is /dev/null and there is no controlling terminal, so a
// usage screen's key wait returns at once.  Standard output goes to a file
// that is read back, or to `stdout_path` when it is given (its content is
// then not read back).
ToolRun run_tool(const std::string &tool, const std::vector<std::string> &args, const std::string &cwd,
                 const std::string &stdout_path = "");

// As run_tool, but the tool runs as the unprivileged user "nobody" when
// the tests run as root, so that file permissions apply to it.  Returns
// false (and runs nothing) when that cannot be arranged.
bool run_tool_unprivileged(const std::string &tool, const std::vector<std::string> &args,
                           const std::string &cwd, ToolRun *run);

// As run_tool, with the tool's address space limited to `address_space`
// bytes, so that it runs out of memory.
ToolRun run_tool_with_memory_limit(const std::string &tool, const std::vector<std::string> &args,
                                   const std::string &cwd, std::size_t address_space);

// Splits off the first line (through its CR LF), which every tool uses for
// a notice naming itself; returns the rest.
std::string after_notice(const std::string &out, std::string *notice = nullptr);

// Expects a one-line notice naming `tool`, then exactly `rest`, and
// `status`.
void expect_notice_then(const ToolRun &run, const std::string &tool, const std::string &rest, int status = 0);

// Arguments that lead to a usage screen.
struct UsageCase {
    const char *label;
    std::vector<std::string> args;
};

// True when the tools under test are the Windows build run by Wine.
bool running_under_wine();

// A fresh folder under the system's temporary folder, removed with all its
// content (permissions restored first) when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void write_file(const std::string &path, const std::string &content = "");
std::string read_file(const std::string &path);
bool file_exists(const std::string &path);

// `piece` written `times` times over, for long patterns and names.
std::string repeated(const std::string &piece, std::size_t times);

// Turns "\n" into CR LF, to write expected output readably.
std::string crlf(const std::string &text);
