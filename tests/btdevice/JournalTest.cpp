// The journal of table writes as the core keeps it, in a folder of the test's own.
#include "program/btdevice/Journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// One session on bridge KM000001 setting position 03; position 07 is unread.
JournalSession Journalled(CJournal& journal, JournalVerdict verdict) {
    JournalSession session;
    session.bridge = "KM000001";
    session.before =
        MakeJournalTable(std::vector<std::string>(14, "000000000000"), {0, 0, 0, 0, 0, 0, 1});
    session.intended = session.verified = session.before;
    session.intended.ids[2] = session.verified.ids[2] = "00A0C9445566";
    EXPECT_TRUE(journal.Begin(session));
    session.verdict = verdict;
    EXPECT_TRUE(journal.End(session));
    return session;
}

TEST(Journal, SessionsAreAppendedBoundedByARewriteAndReadPastACutOffLine) {
    const fs::path dir = fs::temp_directory_path() / "journal-test";
    fs::remove_all(dir);
    const std::string path = (dir / "kestravion" / JournalFileName).string();
    CJournal journal(path);
    const JournalSession failed = Journalled(journal, jvNotSaved);
    std::ostringstream pair;
    pair << std::ifstream(path, std::ios::binary).rdbuf();
    const std::string begin =
        "{\"event\":\"begin\",\"session\":\"" + failed.id + "\",\"time\":\"20";
    EXPECT_EQ(pair.str().rfind(begin, 0), 0u);

    // A thousand sessions, then one cut off by a power cut: the next starts a line of its
    // own, and the oldest is dropped.
    std::string text;
    for (int n = 0; n < JournalSessionLimit; ++n)
        text += pair.str();
    std::ofstream(path, std::ios::binary) << text + begin;
    const JournalSession newest = Journalled(journal, jvInDoubt);
    JournalContents contents;
    std::string why;
    ASSERT_TRUE(ReadJournal(path, contents, why));
    ASSERT_EQ(contents.sessions.size(), static_cast<size_t>(JournalSessionLimit));
    EXPECT_EQ(LastSession(contents, "KM000001")->id, newest.id);
    EXPECT_EQ(contents.sessions[0].verdict, jvInDoubt);
    EXPECT_EQ(contents.sessions[1].verdict, jvNotSaved);
    EXPECT_EQ(contents.sessions[1].before.unknown, failed.before.unknown); // 07 as null
    EXPECT_EQ(BrokenLinesNotice(contents.brokenLines), "journal.jsonl: 1 broken line skipped");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "kestravion"), {}), 1); // no temporary
    EXPECT_EQ(journal.Warning(), "");

    // A journal that cannot be written is said once, and the write goes on.
    fs::remove_all(dir / "kestravion");
    std::ofstream(dir / "kestravion") << "a file where the folder should be";
    JournalSession session;
    EXPECT_FALSE(journal.Begin(session));
    EXPECT_FALSE(journal.End(session));
    EXPECT_EQ(journal.Warning().rfind("the write journal is not kept: cannot open " + path, 0), 0u);
    EXPECT_EQ(journal.Warning(), "");
    fs::remove_all(dir);
}

} // namespace
