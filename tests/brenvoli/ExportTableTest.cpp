// The library's export table holds exactly its ten functions.
#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>

namespace {

// The names of the symbols the library defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
    std::set<std::string> names;
    std::string command = "nm -D --defined-only '" + library + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name)
            names.insert(name);
    }
    pclose(pipe);
    return names;
}

TEST(ExportTable, ExactlyTheTenFunctions) {
    std::set<std::string> expected = {
        "KestravionUsbOpen", "KestravionUsbClose",  "KestravionExtInit", "KestravionExtCon",
        "KestravionExtSR",   "AxoUsbSendOnly",      "AxoUsbSendCmd_Adv", "AxoUsbSendCmd_Bin",
        "KestravionUsbList", "KestravionUsbSelect",
    };
    EXPECT_EQ(DefinedDynamicSymbols(BRENVOLI_LIBRARY), expected);
}

} // namespace
