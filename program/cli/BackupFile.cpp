#include "BackupFile.h"

#include "platform/ReplaceFile.h"
#include "program/btdevice/Btdevice.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// A backup is 14 lines of 16 characters; a file far longer is not one, and is never read
// whole into memory.
const size_t MaxBackupSize = 4096;

bool Fail(std::string& why, const std::string& text) {
    why = text;
    return false;
}

} // namespace

std::string FormatBackup(const std::vector<std::string>& table) {
    std::string text;
    for (int position = 1; position <= PositionCount; ++position) {
        const size_t index = static_cast<size_t>(position - 1);
        text += PositionLabel(position) + "=" + (index < table.size() ? table[index] : "") + "\n";
    }
    return text;
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string& why) {
    // Written whole to a new file beside the file first and only then put in its place, so
    // an earlier file of that name is never lost to a write that fails half-way (a full
    // disk). The text has LF line ends on every system.
    const platform::ReplaceResult result = platform::ReplaceFileWith(path, text);
    if (result == platform::ReplaceResult::Done)
        return true;
    const std::string reason = std::strerror(errno);
    if (result == platform::ReplaceResult::CannotCreate)
        return Fail(why, "cannot create a new file beside " + path + ": " + reason);
    if (result == platform::ReplaceResult::CannotWrite)
        return Fail(why, "cannot write a new file beside " + path + ": " + reason + "; " + path +
                             " is left as it was");
    return Fail(why, "cannot replace " + path + ": " + reason);
}

bool ReadBackup(const std::string& path, std::vector<Change>& changes, std::string& why) {
    changes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return Fail(why, "cannot open " + path + ": " + std::strerror(errno));
    std::string text;
    char buffer[512];
    size_t got = 0;
    while (text.size() <= MaxBackupSize && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError)
        return Fail(why, "cannot read " + path);
    if (text.size() > MaxBackupSize)
        return Fail(why, path + " is too long for a backup file");

    // What editors leave: a UTF-8 byte-order mark before the first line, blank lines at the
    // end.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();

    std::vector<std::string> ids(PositionCount);
    size_t start = 0;
    int line = 0;
    while (start < text.size()) {
        ++line;
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string content = text.substr(start, end - start);
        start = end + 1;
        if (!content.empty() && content.back() == '\r')
            content.pop_back();
        const std::string where = path + " line " + std::to_string(line) + ": ";
        const size_t equals = content.find('=');
        if (equals == std::string::npos)
            return Fail(why, where + "not POS=ID");
        const int position = ParsePosition(content.substr(0, equals));
        const std::string id = content.substr(equals + 1);
        if (position == 0)
            return Fail(why, where + "\"" + content.substr(0, equals) + "\" is not a position");
        if (!IsWellFormedId(id))
            return Fail(why, where + "\"" + id + "\" is not 12 hexadecimal digits");
        if (!ids[static_cast<size_t>(position - 1)].empty())
            return Fail(why, where + "position " + PositionLabel(position) + " given twice");
        ids[static_cast<size_t>(position - 1)] = id;
    }
    for (int position = 1; position <= PositionCount; ++position) {
        const std::string& id = ids[static_cast<size_t>(position - 1)];
        if (id.empty())
            return Fail(why, path + ": position " + PositionLabel(position) + " is missing");
        changes.push_back(Change{position, RegisteredForm(id)});
    }
    return true;
}
