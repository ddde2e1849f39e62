// Feeds every file of the fuzzer's seed corpus to the reader.
#include "ConfigTestSupport.h"
#include "EntryChecks.h"

#include <filesystem>

namespace {

using ConfigCorpus = ConfigDirTest;

TEST_F(ConfigCorpus, EveryFileLoadsToASoundState) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CONFIG_CORPUS_DIR)) {
        SCOPED_TRACE(entry.path().string());
        CInits config;
        ASSERT_TRUE(config.Open(entry.path().string()));
        config.Load();
        config.Close();
        EXPECT_STREQ(LoadLeftUnsoundState(config), "");
        files++;
    }
    EXPECT_GE(files, 10);
}

} // namespace
