// What the window tests do differently on each system (UiSystemPosix.cpp,
// UiSystemWindows.cpp): the family's single-instance lock as another program holds it, and
// letting go of the master's USB device.
#pragma once

#include <cstdint>

// Whether some process, this one included, holds the family's single-instance lock now.
bool FamilyLockHeld();

// Another program of the family, holding the single-instance lock from construction until
// destruction; Holds() says whether it got it.
class OtherFamilyProgram {
public:
    OtherFamilyProgram();
    ~OtherFamilyProgram();
    OtherFamilyProgram(const OtherFamilyProgram&) = delete;
    OtherFamilyProgram& operator=(const OtherFamilyProgram&) = delete;
    bool Holds() const { return holds_; }

private:
    bool holds_ = false;
    // What holds the lock: on POSIX the child process's id and the write end of the pipe
    // that releases it, on Windows the mutex's handle.
    std::intptr_t holder_[2] = {-1, -1};
};

// Closes the master's device through the interface library when the library is loaded
// (the program never lets go of it; a test that starts the tool again must).
void CloseLinkDevice();
