// The single-instance lock on Linux between real processes (fork): the lock attempt itself
// decides, and a lock folder that others could have made or may write is refused.
#include "platform/NamedMutex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using platform::InstanceLock;

// A name of its own for each test, with blanks as in the family's name.
std::string UniqueName() {
    static int counter = 0;
    return "KESTRAVION test " + std::to_string(::getpid()) + " " + std::to_string(++counter);
}

// Starts a copy of this process that waits until the pipe `go` ends, takes the lock,
// reports the outcome's number on `report` and then holds on until the pipe `release` ends.
pid_t StartTaker(const std::string& name, const int go[2], int report, const int release[2]) {
    pid_t child = ::fork();
    if (child == 0) {
        // Only the parent may keep the write ends: their closing is the signal.
        ::close(go[1]);
        ::close(release[1]);
        char byte = 0;
        (void)!::read(go[0], &byte, 1);
        std::string why;
        byte = static_cast<char>('0' + static_cast<int>(platform::TakeNamedMutex(name, why)));
        (void)!::write(report, &byte, 1);
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    return child;
}

TEST(NamedMutex, OfCopiesStartedAtTheSameMomentExactlyOneTakesIt) {
    const std::string name = UniqueName();
    constexpr int kCopies = 4;
    int go[2], report[2], release[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(report), 0);
    ASSERT_EQ(::pipe(release), 0);
    std::vector<pid_t> copies;
    for (int i = 0; i < kCopies; ++i)
        copies.push_back(StartTaker(name, go, report[1], release));
    // Closing the last writer wakes every copy at once.
    ::close(go[1]);
    std::string outcomes;
    for (int i = 0; i < kCopies; ++i) {
        char byte = 0;
        ASSERT_EQ(::read(report[0], &byte, 1), 1);
        outcomes += byte;
    }
    std::sort(outcomes.begin(), outcomes.end());
    EXPECT_EQ(outcomes, "0111") << "one Taken (0), the others HeldElsewhere (1)";

    // A later copy finds it held until the holder ends, then takes it. (This process never
    // takes it: the copies it starts later would inherit it.)
    std::string why;
    EXPECT_EQ(platform::TakeNamedMutex(name, why), InstanceLock::HeldElsewhere);
    ::close(release[1]);
    for (pid_t copy : copies)
        ::waitpid(copy, nullptr, 0);
    int again[2];
    ASSERT_EQ(::pipe(again), 0);
    ::close(again[1]);
    pid_t later = StartTaker(name, go, report[1], again);
    char byte = 0;
    EXPECT_EQ(::read(report[0], &byte, 1), 1);
    EXPECT_EQ(byte, '0') << "Taken";
    ::waitpid(later, nullptr, 0);
    ::close(again[0]);
    for (int fd : {go[0], report[0], report[1], release[0]})
        ::close(fd);
}

// The per-user folder under /tmp, as root prepares it for a user; a copy of this process
// then runs as that user and tries the lock, with an XDG_RUNTIME_DIR that does not move it.
class LockFolder : public ::testing::Test {
protected:
    static constexpr uid_t kUser = 54321;
    static constexpr uid_t kOther = 65534; // nobody
    const std::string folder = "/tmp/kestravion-" + std::to_string(kUser);

    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to act as two users";
        std::filesystem::remove_all(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // The outcome as the user, and the reason given; the folder's state is left as is.
    InstanceLock TakeAsUser(std::string& why) {
        int report[2];
        EXPECT_EQ(::pipe(report), 0);
        pid_t child = ::fork();
        if (child == 0) {
            ::close(report[0]);
            if (::setgid(kUser) != 0 || ::setuid(kUser) != 0)
                ::_exit(1);
            ::setenv("XDG_RUNTIME_DIR", "/tmp", 1);
            std::string reason;
            char outcome =
                static_cast<char>('0' + static_cast<int>(platform::TakeNamedMutex("lock", reason)));
            (void)!::write(report[1], &outcome, 1);
            (void)!::write(report[1], reason.data(), reason.size());
            ::_exit(0);
        }
        ::close(report[1]);
        std::string said;
        char buffer[256];
        for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
            said.append(buffer, static_cast<size_t>(n));
        ::close(report[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        if (said.empty())
            return InstanceLock::Refused;
        why = said.substr(1);
        return static_cast<InstanceLock>(said[0] - '0');
    }
};

TEST_F(LockFolder, MissingFolderIsMadePrivateToTheUser) {
    ::umask(0);
    std::string why;
    EXPECT_EQ(TakeAsUser(why), InstanceLock::Taken) << why;
    struct stat made {};
    ASSERT_EQ(::lstat(folder.c_str(), &made), 0);
    EXPECT_TRUE(S_ISDIR(made.st_mode));
    EXPECT_EQ(made.st_mode & 07777, 0700u);
    EXPECT_EQ(made.st_uid, kUser);
    ::umask(022);
}

// Whoever made the folder first must not keep the user's program from starting, nor make
// it lock a file of their choosing: the lock is refused with a reason naming the folder.
TEST_F(LockFolder, FolderThatOthersCouldControlIsRefused) {
    const struct {
        const char* what;
        void (*make)(const std::string& folder);
        const char* reason;
    } cases[] = {
        {"another user's folder",
         [](const std::string& f) {
             std::filesystem::create_directory(f);
             (void)!::chown(f.c_str(), kOther, kOther);
             ::chmod(f.c_str(), 0700);
         },
         "belongs to another user; ask an administrator to remove it (sudo rm -r '"},
        {"the user's folder, writable by all",
         [](const std::string& f) {
             std::filesystem::create_directory(f);
             (void)!::chown(f.c_str(), kUser, kUser);
             ::chmod(f.c_str(), 0777);
         },
         "may be written by other users; remove it and start again."},
        {"a link to a folder of the user",
         [](const std::string& f) {
             std::filesystem::create_directory(f + "-target");
             (void)!::chown((f + "-target").c_str(), kUser, kUser);
             ::chmod((f + "-target").c_str(), 0700);
             std::filesystem::create_directory_symlink(f + "-target", f);
         },
         "is not a folder"},
        {"a file", [](const std::string& f) { std::ofstream(f).put('x'); }, "is not a folder"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(folder);
        std::filesystem::remove_all(folder + "-target");
        c.make(folder);
        std::string why;
        EXPECT_EQ(TakeAsUser(why), InstanceLock::Refused) << c.what;
        EXPECT_NE(why.find("The lock folder " + folder + " " + c.reason), std::string::npos)
            << c.what << ": " << why;
        EXPECT_FALSE(std::filesystem::exists(folder + "-target/lock.lock")) << c.what;
    }
    std::filesystem::remove_all(folder + "-target");
}

} // namespace
