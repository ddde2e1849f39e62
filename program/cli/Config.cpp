#include "Config.h"

#include "program/config/Cinits.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
const char* const FileName = "config.ini";
} // namespace

bool LoadConfiguration(std::string& why, std::string& warning) {
    delete Inits;
    Inits = new CInits;
    errno = 0;
    std::FILE* file = std::fopen(FileName, "r");
    if (file == nullptr) {
        if (errno == ENOENT)
            return true;
        why = std::string(FileName) + " cannot be opened: " + std::strerror(errno);
        return false;
    }
    Inits->file = file;
    const bool loaded = Inits->Load();
    const bool readError = std::ferror(file) != 0;
    const int error = errno;
    Inits->Close();
    if (readError) {
        why = std::string(FileName) + " cannot be read: " + std::strerror(error);
        return false;
    }
    if (!loaded)
        warning = std::string(FileName) +
                  ": a statement could not be read; the keys after it count as absent";
    return true;
}
