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
    switch (Inits->OpenExisting(FileName)) {
    case ConfigFile::Missing:
        return true;
    case ConfigFile::Unreadable:
        why = std::string(FileName) + " exists but cannot be read as a plain file";
        return false;
    case ConfigFile::Opened:
        break;
    }
    errno = 0;
    const bool loaded = Inits->Load();
    const bool readError = std::ferror(Inits->file) != 0;
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
