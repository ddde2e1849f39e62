#include "Cinits.h"

#include "platform/Ui.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

CInits* Inits = nullptr;

namespace {

// The configuration's own failures end the process: the technician reads why, then the
// program ends normally (exit handlers run) with status 0.
[[noreturn]] void EndWithMessage(const std::string& text) {
    platform::CurrentUi().ShowMessageBox(text, "error", platform::BoxIcon::Error);
    std::exit(0);
}

// Opens name for reading. A stream that opens but cannot be read (on POSIX, a directory
// opens) counts as not opened, so that it is handled like any unreadable file; so does
// anything but a plain file: opening a named pipe would wait for a writer, and a device
// such as /dev/zero would never end.
std::FILE* OpenForReading(const std::string& name) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(name, error);
    if (status.type() != std::filesystem::file_type::not_found &&
        status.type() != std::filesystem::file_type::regular)
        return nullptr;
    std::FILE* in = std::fopen(name.c_str(), "r");
    if (in == nullptr) {
        return nullptr;
    }
    int first = std::fgetc(in);
    if (first == EOF && std::ferror(in)) {
        std::fclose(in);
        return nullptr;
    }
    if (first != EOF) {
        std::ungetc(first, in);
    }
    return in;
}

// True when something stands under `name`, even what cannot be opened or followed. Also
// true when that cannot be found out: nothing is replaced unless it is surely missing.
bool NameIsTaken(const std::string& name) {
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::symlink_status(name, error);
    return status.type() != std::filesystem::file_type::not_found;
}

// The file as the technician finds it: its full path when that can be formed.
std::string ShownPath(const std::string& name) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(name, error);
    return error ? name : full.string();
}

} // namespace

CInits::CInits() {
    for (int32_t code = 0; code < 256; code++) {
        charClass[code] = icOther;
    }
    for (int32_t code = 'a'; code <= 'z'; code++) {
        charClass[code] = icLetter;
    }
    for (int32_t code = 'A'; code <= 'Z'; code++) {
        charClass[code] = icLetter;
    }
    for (int32_t code = '0'; code <= '9'; code++) {
        charClass[code] = icDigit;
    }
    for (int32_t code : {'[', ']', '=', '.', '"'}) {
        charClass[code] = code;
    }
}

CInits::~CInits() {
    Close();
}

ConfigFile CInits::OpenExisting(const std::string& fileName) {
    Close();
    file = OpenForReading(fileName);
    if (file != nullptr)
        return ConfigFile::Opened;
    return NameIsTaken(fileName) ? ConfigFile::Unreadable : ConfigFile::Missing;
}

bool CInits::Open(const std::string& fileName) {
    // Only a missing file is replaced by the defaults. Anything standing under the name
    // (a file without read permission, a folder, a dangling link) holds the user's
    // settings or is theirs to mend, so it is left untouched and named.
    switch (OpenExisting(fileName)) {
    case ConfigFile::Opened:
        return true;
    case ConfigFile::Unreadable:
        EndWithMessage("Could not open the ini file again.\n" + ShownPath(fileName));
    case ConfigFile::Missing:
        break;
    }
    if (!WriteDefaultFile()) {
        EndWithMessage("Could not make default ini file.");
    }
    if (OpenExisting(fileName) != ConfigFile::Opened) {
        EndWithMessage("Could not open the ini file again.");
    }
    return true;
}

bool CInits::Close() {
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
    return true;
}

int32_t CInits::Lookup(const std::string& key, Item& entry) const {
    for (size_t index = 0; index < items.size(); index++) {
        if (items[index].key == key) {
            entry = items[index];
            return static_cast<int32_t>(index);
        }
    }
    return -1;
}
