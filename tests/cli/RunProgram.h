// Runs tarvelo-cli as a child process, as a user or a script runs it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
    int status = -1; // the exit status; -1 when it could not be started or did not end
    std::string out; // standard output
    std::string err; // standard error
};

// Runs `program` with `args` in the folder `dir`, with the variables `env` set in addition
// to this process's environment, standard input empty, and standard output and error
// caught in files of `dir` ("stdout.txt", "stderr.txt"). A run that has not ended after
// a generous limit is ended and reported with status -1.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir,
                      const std::vector<std::pair<std::string, std::string>>& env);

// Holds the family's single-instance mutex `name` as another program of the family would,
// until destroyed.
class HeldMutex {
public:
    explicit HeldMutex(const std::string& name);
    ~HeldMutex();
    bool held() const { return held_; }

private:
    bool held_ = false;
    // The lock file's descriptor (Linux) or the mutex handle (Windows); -1 or 0 when none.
    intptr_t lock_ = -1;
};
