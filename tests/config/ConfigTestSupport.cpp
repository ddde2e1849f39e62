#include "ConfigTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#ifdef _WIN32
// The file is written in text mode, which ends each line with CR LF on Windows.
const char* const DefaultFileText = "listview=\"List\"\r\n"
                                    "output=\"win\"\r\n"
                                    "wait=\"on\"\r\n"
                                    "time=\"25\"\r\n"
                                    "usbcomm=\"sync\"\r\n"
                                    "debug=\"off\"\r\n";
#else
const char* const DefaultFileText = "listview=\"List\"\n"
                                    "output=\"win\"\n"
                                    "wait=\"on\"\n"
                                    "time=\"25\"\n"
                                    "usbcomm=\"sync\"\n"
                                    "debug=\"off\"\n";
#endif

void ConfigDirTest::SetUp() {
    previousDir = std::filesystem::current_path().string();
    std::string pattern = (std::filesystem::temp_directory_path() / "cinits-XXXXXX").string();
#ifdef _WIN32
    ASSERT_NE(_mktemp(pattern.data()), nullptr);
    ASSERT_TRUE(std::filesystem::create_directory(pattern));
#else
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
#endif
    dir = pattern;
    std::filesystem::current_path(dir);
}

void ConfigDirTest::TearDown() {
    std::filesystem::current_path(previousDir);
    std::filesystem::remove_all(dir);
}

void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool LoadText(CInits& config, const std::string& text) {
    WriteFile("config.ini", text);
    config.Open("config.ini");
    bool loaded = config.Load();
    config.Close();
    return loaded;
}

bool operator==(const Item& a, const Item& b) {
    return a.key == b.key && a.value == b.value && a.number == b.number;
}

void PrintTo(const Item& item, std::ostream* out) {
    *out << "{" << ::testing::PrintToString(item.key) << ", "
         << ::testing::PrintToString(item.value) << ", " << item.number << "}";
}
