// A second copy of a program of the family reads its configuration, says so and ends
// without touching USB. Its own executable: this process must not hold the lock itself.
#include "UiFixture.h"

#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using SecondCopyTest = UiFixture;

TEST_F(SecondCopyTest, ASecondCopyShowsItsMessageAndEndsWithoutUsb) {
    // Another program of the family holds the lock until this test closes `release`.
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const std::string lockPath = platform::NamedMutexPath("VQM44TN QUELIN ZOMRA");
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
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
    ASSERT_EQ(byte, '1');

    Start(DemoScenario);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Another KESTRAVION family software is already running.");
    EXPECT_EQ(boxes[0].title, "error");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(boxes[0].owner, window.get());
    EXPECT_EQ(window->btDevice, nullptr);
    EXPECT_EQ(ReadConfig().substr(0, 16), "listview=\"List\"\n") << "config.ini was made";
    EXPECT_EQ(RunLoop(), 0);
    window->close();
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(std::string(SimCallLog()), "") << "no USB access at all";

    close(release[1]);
    close(ready[0]);
    waitpid(other, nullptr, 0);
}
