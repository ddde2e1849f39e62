#include "StateFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string PositionLabel(int position) {
    char label[8];
    std::snprintf(label, sizeof label, "%02X", position);
    return label;
}

} // namespace

bool ReadStateFile(const std::string& path, IdTable& table, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "state file " + path + " cannot be read";
        return false;
    }
    std::stringstream content;
    content << file.rdbuf();
    const std::string text = content.str();

    IdTable read = table;
    bool seen[positionCount] = {};
    size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        // A file edited on Windows ends its lines with CR LF.
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        ++lineNumber;
        int position = 0;
        for (int p = 1; p <= positionCount; ++p) {
            if (line.compare(0, 3, PositionLabel(p) + "=") == 0) {
                position = p;
            }
        }
        const std::string id = line.size() > 3 ? line.substr(3) : "";
        if (position == 0 || !IsDeviceId(id) || seen[position - 1]) {
            error = "state file " + path + " line " + std::to_string(lineNumber) + " is not " +
                    "a position and an ID";
            return false;
        }
        seen[position - 1] = true;
        read[static_cast<size_t>(position - 1)] = id;
    }
    for (const bool s : seen) {
        if (!s) {
            error = "state file " + path + " lacks a position";
            return false;
        }
    }
    table = read;
    return true;
}

bool WriteStateFile(const std::string& path, const IdTable& table, std::string& error) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        for (int p = 1; p <= positionCount; ++p) {
            file << PositionLabel(p) << "=" << table[static_cast<size_t>(p - 1)] << "\n";
        }
        file.flush();
        if (!file) {
            error = "state file " + temporary + " cannot be written";
            std::remove(temporary.c_str());
            return false;
        }
    }
#ifdef _WIN32
    // Windows renames only onto a name that is free, unless told to replace.
    const bool replaced =
        ::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    const bool replaced = std::rename(temporary.c_str(), path.c_str()) == 0;
#endif
    if (!replaced) {
        error = "state file " + path + " cannot be replaced";
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
