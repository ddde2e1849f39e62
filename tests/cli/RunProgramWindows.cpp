#include "RunProgram.h"

#include <fstream>
#include <sstream>
#include <windows.h>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    // Text-mode output ends its lines with CR LF; the tests compare lines as on Linux.
    std::string lines;
    for (const char c : text.str()) {
        if (c != '\r')
            lines += c;
    }
    return lines;
}

const DWORD LimitMs = 120000;

// One argument quoted for the command line; the tests' arguments hold no quotes and end in
// no backslash, so plain quotes keep each one whole.
std::string Quoted(const std::string& arg) {
    return "\"" + arg + "\"";
}

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir,
                      const std::vector<std::pair<std::string, std::string>>& env) {
    ProgramRun run;
    const std::string outPath = dir + "/stdout.txt";
    const std::string errPath = dir + "/stderr.txt";
    std::string command = Quoted(program);
    for (const std::string& arg : args)
        command += " " + Quoted(arg);
    // The child inherits this process's environment; the variables stay set here until the
    // next run sets them again.
    for (const auto& [name, value] : env)
        ::SetEnvironmentVariableA(name.c_str(), value.c_str());

    HANDLE in = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE out = Inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                                          nullptr, dir.c_str(), &startup, &process);
    ::CloseHandle(in);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started)
        return run;
    ::CloseHandle(process.hThread);
    DWORD code = 0;
    if (::WaitForSingleObject(process.hProcess, LimitMs) == WAIT_OBJECT_0 &&
        ::GetExitCodeProcess(process.hProcess, &code)) {
        run.status = static_cast<int>(code);
    } else {
        ::TerminateProcess(process.hProcess, 1);
        ::WaitForSingleObject(process.hProcess, LimitMs);
    }
    ::CloseHandle(process.hProcess);
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    return run;
}

HeldMutex::HeldMutex(const std::string& name) {
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    held_ = mutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
    lock_ = reinterpret_cast<intptr_t>(mutex);
}

HeldMutex::~HeldMutex() {
    if (lock_ != 0)
        ::CloseHandle(reinterpret_cast<HANDLE>(lock_));
}
