// Feeds every file of the parse fuzzer's seed corpus to the parse.
#include "ParseChecks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

TEST(ParseCorpus, EveryFileParsesToASoundState) {
    CBtDevice device;
    device.FillCharClass();
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(BTDEVICE_CORPUS_DIR)) {
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        ParseText(device, bytes.str());
        EXPECT_EQ(ParseLeftUnsoundState(device, bytes.str()), "");
        ++files;
    }
    EXPECT_GE(files, 10);
}

} // namespace
