#include "Cinits.h"

#include "platform/Ui.h"

#include <cstdlib>

CInits* Inits = nullptr;

namespace {

// The configuration's own failures end the process: the technician reads why, then the
// program ends normally (exit handlers run) with status 0.
[[noreturn]] void EndWithMessage(const std::string& text) {
    platform::CurrentUi().ShowMessageBox(text, "error", platform::BoxIcon::Error);
    std::exit(0);
}

// Opens name for reading. A stream that opens but cannot be read (on POSIX, a directory
// opens) counts as not opened, so that it is handled like any unreadable file.
std::FILE* OpenForReading(const std::string& name) {
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

bool CInits::Open(const std::string& fileName) {
    Close();
    file = OpenForReading(fileName);
    if (file != nullptr) {
        return true;
    }
    if (!WriteDefaultFile()) {
        EndWithMessage("Could not make default ini file.");
    }
    file = OpenForReading(fileName);
    if (file == nullptr) {
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
