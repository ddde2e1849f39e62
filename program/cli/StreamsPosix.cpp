#include "Streams.h"

#include <fcntl.h>
#include <unistd.h>

std::FILE* SetResultsAside(bool traceToStderr) {
    std::fflush(stdout);
    const int results = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (results < 0)
        return nullptr;
    const int trace = traceToStderr ? STDERR_FILENO : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (trace < 0 || ::dup2(trace, STDOUT_FILENO) < 0) {
        ::close(results);
        if (trace > STDERR_FILENO)
            ::close(trace);
        return nullptr;
    }
    if (trace > STDERR_FILENO)
        ::close(trace);
    std::FILE* stream = ::fdopen(results, "w");
    if (stream == nullptr)
        ::close(results);
    return stream;
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}
