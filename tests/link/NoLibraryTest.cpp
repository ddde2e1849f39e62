// The link without its real interface library: not found at all, or an impostor lacking
// one of the five names (found through LD_LIBRARY_PATH, which names it in LINK_LACKING),
// and a worker whose thread cannot be started. This executable has no path to build/bin.
// On Windows the impostor is found through the DLL search path, and the thread library,
// linked in statically, cannot be replaced to refuse a thread.
#include "FakeExchange.h"
#include "program/config/Cinits.h"
#include "program/link/Axodll.h"
#include "program/link/LinkLibrary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <pthread.h>

namespace {
std::atomic<bool> failThreadStart{false};
}

// Lets a test refuse every new thread, as a system out of resources does.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                              void* arg) {
    using CreateFn = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<CreateFn>(dlsym(RTLD_NEXT, "pthread_create"));
    if (failThreadStart)
        return EAGAIN;
    return real(thread, attr, start, arg);
}
#endif

namespace {

bool BindingEmpty() {
    return !LinkLibrary.module && !LinkLibrary.KestravionUsbOpen &&
           !LinkLibrary.KestravionUsbClose && !LinkLibrary.KestravionExtInit &&
           !LinkLibrary.KestravionExtCon && !LinkLibrary.KestravionExtSR;
}

#ifdef _WIN32
bool LibraryMapped() {
    return ::GetModuleHandleA(LinkLibraryName) != nullptr;
}

// True when the library that the ordinary search finds lacks `name`.
bool FoundLibraryLacks(const char* name) {
    HMODULE impostor = ::LoadLibraryA(LinkLibraryName);
    if (!impostor)
        return false;
    bool lacks = ::GetProcAddress(impostor, name) == nullptr;
    ::FreeLibrary(impostor);
    return lacks;
}
#else
bool LibraryMapped() {
    void* handle = dlopen(LinkLibraryName, RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

// True when the library that the ordinary search finds lacks `name`.
bool FoundLibraryLacks(const char* name) {
    void* impostor = dlopen(LinkLibraryName, RTLD_NOW);
    if (!impostor)
        return false;
    bool lacks = dlsym(impostor, name) == nullptr;
    dlclose(impostor);
    return lacks;
}
#endif

TEST(LibraryMissing, StartFailsWithOnlyTheThreadingLineTraced) {
    CInits inits;
    inits.items.push_back(Item{"usbcomm", "thread", 0});
    Inits = &inits;
    CAxoDll link(true);
    ::testing::internal::CaptureStdout();
    const bool started = StartLink(&link);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Thread ON\n");
    Inits = nullptr;
    EXPECT_FALSE(started);
    EXPECT_TRUE(link.threaded);
    EXPECT_TRUE(BindingEmpty());
    EXPECT_FALSE(LoadLinkLibrary());

    // Exchanges after a failed start send nothing and return nothing, in both modes.
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "");
    link.threaded = false;
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "");
}

TEST(LibraryLacking, IsAFailedStartAndIsUnloaded) {
    const char* lacking = std::getenv("LINK_LACKING");
    if (!lacking)
        GTEST_SKIP() << "run by ctest with an impostor library on LD_LIBRARY_PATH";
    SCOPED_TRACE(lacking);
    // The impostor is there to be found...
    ASSERT_TRUE(FoundLibraryLacks(lacking));
    ASSERT_FALSE(LibraryMapped());

    // ...and refused: nothing of it is called (each of its functions aborts).
    CAxoDll link(true);
    EXPECT_FALSE(LoadLinkLibrary());
    EXPECT_TRUE(BindingEmpty());
    EXPECT_FALSE(LibraryMapped());
    EXPECT_FALSE(StartLink(&link));
    EXPECT_TRUE(BindingEmpty());
    EXPECT_FALSE(LibraryMapped());
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "");
}

#ifndef _WIN32
TEST(WorkerStart, ThreadThatCannotStartGivesAnEmptyReplyAndLaterStarts) {
    FakeExchange fake;
    InstallFake(&fake);
    {
        CAxoDll link(true);
        failThreadStart = true;
        EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "");
        failThreadStart = false;
        EXPECT_EQ(fake.calls, 0);
        EXPECT_FALSE(link.busy);
        EXPECT_TRUE(link.Suspended());
        // The next hand-over starts the thread after all.
        EXPECT_EQ(link.SendRecv(4, 9, "$04\r"), "R$04\r");
        EXPECT_EQ(fake.calls, 1);
    }
    UninstallFake();
}
#endif

} // namespace
