// A second copy of a program of the family reads its configuration, says so and ends
// without touching USB. Its own executable: this process must not hold the lock itself.
#include "UiFixture.h"
#include "UiSystem.h"

using SecondCopyTest = UiFixture;

TEST_F(SecondCopyTest, ASecondCopyShowsItsMessageAndEndsWithoutUsb) {
    // Another program of the family holds the lock until the end of the test.
    const OtherFamilyProgram other;
    ASSERT_TRUE(other.Holds());

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
}
