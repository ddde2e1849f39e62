// The journal of table writes as the core keeps it, in a folder of the test's own.
#include "program/btdevice/Journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct JournalTest : ::testing::Test {
    const fs::path dir =
        fs::temp_directory_path() /
        ("journal-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    const std::string path = (dir / "kestravion" / JournalFileName).string();
    CJournal journal{path};
    JournalContents contents;
    std::string why;

    void SetUp() override { fs::remove_all(dir); }
    void TearDown() override { fs::remove_all(dir); }

    // One session on bridge KM000001 setting position 03; position 07 is unread.
    JournalSession Write(JournalVerdict verdict) {
        JournalSession session{
            "", "", "", "tarvelo-cli", "KM000001", "KESTRAVION MASTER", {}, {}, jvUnfinished, {}};
        std::vector<std::string> ids(14, "000000000000");
        session.before = MakeJournalTable(ids, {0, 0, 0, 0, 0, 0, 1});
        ids[2] = "00A0C9445566";
        session.intended = session.verified = MakeJournalTable(ids, {0, 0, 0, 0, 0, 0, 1});
        EXPECT_TRUE(journal.Begin(session));
        session.verdict = verdict;
        EXPECT_TRUE(journal.End(session));
        return session;
    }
    std::string Text() const {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }
};

TEST_F(JournalTest, ASessionIsABeginAndAnEndLineReadNewestFirstPastACutOffLine) {
    const JournalSession failed = Write(jvNotSaved);
    const std::string text = Text();
    EXPECT_EQ(text.rfind("{\"event\":\"begin\",\"session\":\"" + failed.id + "\",\"time\":\"20", 0),
              0u);
    EXPECT_NE(
        text.find("\"bridge\":\"KM000001\",\"bridgeDescription\":\"KESTRAVION MASTER\","
                  "\"before\":[\"000000000000\",\"000000000000\",\"000000000000\",\"000000000000\","
                  "\"000000000000\",\"000000000000\",null,"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("\n{\"event\":\"end\",\"session\":\"" + failed.id + "\""),
              std::string::npos);
    EXPECT_NE(text.find("\"verdict\":\"not "
                        "saved\",\"verified\":[\"000000000000\",\"000000000000\",\"00A0C9445566\""),
              std::string::npos);

    // A power cut while the next "begin" line was appended: skipped, and the next line
    // starts a line of its own.
    std::ofstream(path, std::ios::app | std::ios::binary) << text.substr(0, 40);
    const JournalSession doubtful = Write(jvInDoubt);
    ASSERT_TRUE(ReadJournal(path, contents, why));
    ASSERT_EQ(contents.sessions.size(), 2u);
    EXPECT_EQ(LastSession(contents, "KM000001"), &contents.sessions[0]);
    EXPECT_EQ(contents.sessions[0].id, doubtful.id);
    EXPECT_EQ(contents.sessions[0].verdict, jvInDoubt);
    EXPECT_EQ(contents.sessions[1].before.unknown, failed.before.unknown);
    EXPECT_EQ(ChangedPositions(contents.sessions[1]), std::vector<int>{3});
    EXPECT_EQ(BrokenLinesNotice(contents.brokenLines), "journal.jsonl: 1 broken line skipped");
    EXPECT_EQ(journal.Warning(), "");
}

TEST_F(JournalTest, PastTheLimitTheOldestSessionIsDroppedByARewrite) {
    Write(jvSaved);
    std::string full;
    for (int n = 0; n < JournalSessionLimit; ++n)
        full += Text();
    std::ofstream(path, std::ios::binary) << full;
    const JournalSession newest = Write(jvSaved);
    ASSERT_TRUE(ReadJournal(path, contents, why));
    EXPECT_EQ(contents.sessions.size(), static_cast<size_t>(JournalSessionLimit));
    EXPECT_EQ(contents.sessions[0].id, newest.id);
    EXPECT_EQ(Text().size(), full.size());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "kestravion"), {}), 1); // no temporary
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenIsSaidOnceAndTheWriteGoesOn) {
    fs::create_directories(dir);
    std::ofstream(dir / "kestravion") << "a file where the folder should be";
    JournalSession session;
    EXPECT_FALSE(journal.Begin(session));
    EXPECT_FALSE(journal.End(session));
    EXPECT_EQ(journal.Warning().rfind("the write journal is not kept: cannot open " + path, 0), 0u);
    EXPECT_EQ(journal.Warning(), "");
}

} // namespace
