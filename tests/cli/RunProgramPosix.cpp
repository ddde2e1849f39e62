#include "RunProgram.h"

#include "platform/NamedMutex.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Real time: the child is a real program. No test waits this long unless it hangs.
const int LimitSeconds = 120;

time_t Now() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec;
}

} // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir,
                      const std::vector<std::pair<std::string, std::string>>& env) {
    ProgramRun run;
    const std::string outPath = dir + "/stdout.txt";
    const std::string errPath = dir + "/stderr.txt";
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0)
        return run;
    if (child == 0) {
        for (const auto& [name, value] : env)
            ::setenv(name.c_str(), value.c_str(), 1);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::chdir(dir.c_str()) != 0 || ::dup2(in, 0) < 0 ||
            ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(126);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int waited = 0;
    int status = 0;
    const time_t deadline = Now() + LimitSeconds;
    while ((waited = ::waitpid(child, &status, WNOHANG)) == 0 && Now() < deadline) {
        const timespec pause{0, 10 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
    if (waited == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    } else if (waited > 0 && WIFEXITED(status)) {
        run.status = WEXITSTATUS(status);
    }
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    return run;
}

HeldMutex::HeldMutex(const std::string& name) {
    // The user's own lock file, where every program of the family looks for it.
    lock_ = ::open(platform::NamedMutexPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    held_ = lock_ >= 0 && ::flock(static_cast<int>(lock_), LOCK_EX | LOCK_NB) == 0;
}

HeldMutex::~HeldMutex() {
    if (lock_ >= 0)
        ::close(static_cast<int>(lock_));
}
