#include "tool_runner.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

static std::string env_or(const char *name, const std::string &fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? value : fallback;
}

bool running_under_wine()
{
    return !env_or("TOOLS_RUNNER", "").empty();
}

static std::vector<std::string> command_for(const std::string &tool, const std::vector<std::string> &args)
{
    std::vector<std::string> command;
    // A wrapper (valgrind, say) runs the native tools under it; unlike a
    // runner it does not mean the tools are the Windows build.
    std::string wrapper = env_or("TOOLS_WRAPPER", "");
    if (!wrapper.empty())
        command.push_back(wrapper);
    std::string runner = env_or("TOOLS_RUNNER", "");
    if (!runner.empty())
        command.push_back(runner);
    command.push_back(env_or("TOOLS_DIR", TOOLS_DIR) + "/" + tool + env_or("TOOLS_SUFFIX", ""));
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

static const uid_t NOBODY = 65534;

// What the child changes about itself before it runs the tool.
struct ChildSetup {
    bool unprivileged = false;      // become "nobody"
    std::size_t address_space = 0;  // bytes; 0 leaves the limit alone
};

static ToolRun run_as(const std::string &tool, const std::vector<std::string> &args, const std::string &cwd,
                      const std::string &stdout_path, const ChildSetup &setup)
{
    std::string capture = stdout_path;
    if (capture.empty()) {
        capture = (fs::temp_directory_path() / "toolout.XXXXXX").string();
        int fd = mkstemp(capture.data());
        if (fd < 0)
            throw std::runtime_error("mkstemp failed");
        close(fd);
    }
    std::vector<std::string> command = command_for(tool, args);
    std::vector<char *> argv;
    for (std::string &word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        setsid(); // no controlling terminal: the key wait must not block
        int in = open("/dev/null", O_RDONLY);
        int out = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0)
            _exit(126);
        if (setup.unprivileged && (setgroups(0, nullptr) != 0 || setgid(NOBODY) != 0 || setuid(NOBODY) != 0))
            _exit(125);
        struct rlimit limit = {setup.address_space, setup.address_space};
        if (setup.address_space && setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(125);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int wait_status = 0;
    while (waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    ToolRun run;
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    if (stdout_path.empty()) {
        run.out = read_file(capture);
        fs::remove(capture);
    }
    return run;
}

ToolRun run_tool(const std::string &tool, const std::vector<std::string> &args, const std::string &cwd,
                 const std::string &stdout_path)
{
    return run_as(tool, args, cwd, stdout_path, ChildSetup{});
}

ToolRun run_tool_with_memory_limit(const std::string &tool, const std::vector<std::string> &args,
                                   const std::string &cwd, std::size_t address_space)
{
    return run_as(tool, args, cwd, "", ChildSetup{false, address_space});
}

bool run_tool_unprivileged(const std::string &tool, const std::vector<std::string> &args, const std::string &cwd,
                           ToolRun *run)
{
    if (running_under_wine())
        return false; // Wine's prefix belongs to the user running the tests
    if (geteuid() != 0) {
        *run = run_tool(tool, args, cwd);
        return true;
    }
    // The scratch folders on the way must be open to "nobody".
    const fs::path temp = fs::temp_directory_path();
    if (cwd.rfind(temp.string(), 0) != 0)
        return false;
    for (fs::path folder = cwd; folder.has_relative_path() && folder != temp; folder = folder.parent_path())
        if (chmod(folder.c_str(), 0755) != 0)
            return false;
    *run = run_as(tool, args, cwd, "", ChildSetup{true, 0});
    return run->status != 125;
}

std::string after_notice(const std::string &out, std::string *notice)
{
    std::size_t end = out.find("\r\n");
    if (end == std::string::npos)
        return out;
    if (notice)
        *notice = out.substr(0, end + 2);
    return out.substr(end + 2);
}

void expect_notice_then(const ToolRun &run, const std::string &tool, const std::string &rest, int status)
{
    std::string notice;
    EXPECT_EQ(after_notice(run.out, &notice), rest);
    EXPECT_NE(notice.find(tool), std::string::npos) << notice;
    EXPECT_EQ(run.status, status);
}

ScratchDir::ScratchDir()
{
    std::string pattern = (fs::temp_directory_path() / "tooltest.XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

void write_file(const std::string &path, const std::string &content)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

bool file_exists(const std::string &path)
{
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

std::string crlf(const std::string &text)
{
    std::string result;
    for (char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

std::string repeated(const std::string &piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}
