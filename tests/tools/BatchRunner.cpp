#include "tests/tools/BatchRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <thread>

#include <boost/filesystem/operations.hpp>

namespace fs = boost::filesystem;

namespace rxtest {
namespace {
std::string Slurp(const fs::path& p) {
    std::ifstream f(p.string());
    return std::string(std::istreambuf_iterator<char>(f), {});
}
} // namespace

std::string BatchResult::lastLine() const {
    std::string s = out;
    while (!s.empty() && s.back() == '\n')
        s.pop_back();
    const auto nl = s.rfind('\n');
    return nl == std::string::npos ? s : s.substr(nl + 1);
}

pid_t SpawnBatch(const TempDir& dir, const std::vector<std::string>& args, int out, int err,
                 const Environment& env) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (out < 0)
            out = open((dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err < 0)
            err = open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        signal(SIGPIPE, SIG_DFL); // as a shell starts it
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(RX_BATCH_EXE)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(RX_BATCH_EXE, argv.data());
        _exit(127);
    }
    return pid;
}

BatchResult FinishBatch(const TempDir& dir, pid_t pid, std::chrono::seconds deadline) {
    BatchResult r;
    int st = 0;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (waitpid(pid, &st, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            r.timedOut = true;
            kill(pid, SIGKILL);
            waitpid(pid, &st, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = Slurp(dir / "stdout");
    r.err = Slurp(dir / "stderr");
    return r;
}

BatchResult RunBatch(const TempDir& dir, const std::vector<std::string>& args,
                     std::chrono::seconds deadline, const Environment& env) {
    return FinishBatch(dir, SpawnBatch(dir, args, -1, -1, env), deadline);
}

std::vector<fs::path> Listing(const fs::path& folder) {
    std::vector<fs::path> v;
    boost::system::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        v.push_back(it->path().filename());
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace rxtest
