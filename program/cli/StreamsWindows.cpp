#include "Streams.h"

#include <fcntl.h>
#include <io.h>

std::FILE* SetResultsAside(bool traceToStderr) {
    std::fflush(stdout);
    const int out = _fileno(stdout);
    const int results = _dup(out);
    if (results < 0)
        return nullptr;
    const int trace = traceToStderr ? _fileno(stderr) : _open("NUL", _O_WRONLY);
    if (trace < 0 || _dup2(trace, out) != 0) {
        _close(results);
        if (!traceToStderr && trace >= 0)
            _close(trace);
        return nullptr;
    }
    if (!traceToStderr)
        _close(trace);
    std::FILE* stream = _fdopen(results, "w");
    if (stream == nullptr)
        _close(results);
    return stream;
}

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}
