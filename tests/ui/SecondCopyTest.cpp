// A second copy of a program of the family: it reads its configuration, says so and ends
// without touching USB. Its own executable: the process must not hold the lock itself.
#include "UiFixture.h"

#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using SecondCopyTest = UiFixture;

TEST_F(SecondCopyTest, ASecondCopyShowsItsMessageAndEndsWithoutUsb) {
    // Another program of the family, holding the lock until told to go.
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const std::string lockPath = platform::NamedMutexPath("VQM44TN QUELIN ZOMRA");
    pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        // Holds on until the test closes its end of `release`, or ends.
        close(release[1]);
        int fd = open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
        char byte = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? '1' : '0';
        (void)!write(ready[1], &byte, 1);
        (void)!read(release[0], &byte, 1);
        _exit(0);
    }
    close(release[0]);
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    ASSERT_EQ(byte, '1');

    Start(DemoScenario);

    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, "Another KESTRAVION family software is already running.");
    EXPECT_EQ(boxes.seen[0].title, "error");
    EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes.seen[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(boxes.seen[0].owner, window.get());
    EXPECT_EQ(std::string(SimCallLog()), "") << "no USB access at all";
    EXPECT_EQ(window->btDevice, nullptr);
    EXPECT_TRUE(window->quitPosted);
    EXPECT_EQ(ReadConfig().substr(0, 18), "listview=\"List\"\nou") << "config.ini was made";
    EXPECT_EQ(RunLoop(), 0);
    window->close();
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(std::string(SimCallLog()), "");

    close(release[1]);
    int status = 0;
    waitpid(other, &status, 0);
}
