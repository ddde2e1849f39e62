#include "Cinits.h"

namespace {

// Windows names the working directory's file with a backslash; here the plain name is the
// same file.
#ifdef _WIN32
const char* const DefaultFileName = ".\\config.ini";
#else
const char* const DefaultFileName = "config.ini";
#endif

} // namespace

const Item DefaultItems[] = {
    {"listview", "List", 0}, {"output", "win", 0}, {"wait", "on", 0}, {"time", "25", 0},
    {"usbcomm", "sync", 0},  {"debug", "off", 0},  {"", "", -1},
};

bool CInits::WriteDefaultFile() {
    std::FILE* out = std::fopen(DefaultFileName, "w");
    if (out == nullptr) {
        return false;
    }
    bool written = true;
    for (const Item* row = DefaultItems; row->number >= 0; row++) {
        written =
            std::fprintf(out, "%s=\"%s\"\n", row->key.c_str(), row->value.c_str()) >= 0 && written;
    }
    written = std::fclose(out) == 0 && written;
    // A cut-off default file would be read as the configuration on every later start.
    if (!written) {
        std::remove(DefaultFileName);
    }
    return written;
}
