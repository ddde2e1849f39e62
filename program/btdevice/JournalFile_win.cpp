#include "JournalFile.h"

#include "platform/ReplaceFile.h"

#include <cstdlib>
#include <ctime>
#include <windows.h>

namespace journalfile {

namespace {

bool Fail(std::string& why, const std::string& what) {
    why = what + " (Windows error " + std::to_string(::GetLastError()) + ")";
    return false;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Makes `folder` and its missing parents ("C:\" and "\\server\share\" exist or not, as
// they are).
bool MakeFolders(const std::string& folder, std::string& why) {
    for (size_t slash = folder.find_first_of("\\/", 3);;
         slash = folder.find_first_of("\\/", slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!::CreateDirectoryA(part.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS && ::GetLastError() != ERROR_ACCESS_DENIED)
            return Fail(why, "cannot create " + part);
        if (slash == std::string::npos)
            return ::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES ||
                   Fail(why, "cannot create " + folder);
    }
}

bool WriteAll(HANDLE file, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        DWORD wrote = 0;
        const DWORD size = static_cast<DWORD>(text.size() - done);
        if (!::WriteFile(file, text.data() + done, size, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

} // namespace

std::string DefaultFolder() {
    const char* local = std::getenv("LOCALAPPDATA");
    if (local == nullptr || local[0] == '\0')
        return "";
    return std::string(local) + "\\kestravion";
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

bool AppendDurably(const std::string& path, const std::string& text, std::string& why) {
    if (!MakeFolders(FolderOf(path), why))
        return false;
    // Without FILE_WRITE_DATA every write goes to the end of the file.
    const HANDLE file =
        ::CreateFileA(path.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(why, "cannot open " + path);
    LARGE_INTEGER size{};
    char last = '\n';
    DWORD got = 0;
    LARGE_INTEGER end{};
    bool done = ::GetFileSizeEx(file, &size) != 0;
    if (done && size.QuadPart > 0) {
        end.QuadPart = size.QuadPart - 1;
        done = ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
               ::ReadFile(file, &last, 1, &got, nullptr) && got == 1;
    }
    done = done && WriteAll(file, last == '\n' ? text : "\n" + text) && ::FlushFileBuffers(file);
    if (!done)
        Fail(why, "cannot write " + path);
    ::CloseHandle(file);
    return done;
}

bool ReplaceDurably(const std::string& path, const std::string& text, std::string& why) {
    // The new file is created new, with a name of its own, and flushed before the rename.
    if (platform::ReplaceFileWith(path, text) != platform::ReplaceResult::Done)
        return Fail(why, "cannot replace " + path);
    return true;
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    char text[32] = "";
    if (::gmtime_s(&utc, &now) == 0)
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace journalfile
