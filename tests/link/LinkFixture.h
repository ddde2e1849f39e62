// The link against the simulated master through the real interface library: a fresh
// configuration per test, and the library unloaded again afterwards.
#pragma once

#include "SimFixture.h"
#include "program/config/Cinits.h"
#include "program/link/Axodll.h"
#include "program/link/LinkLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

class LinkFixture : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        Inits = &inits;
    }
    void TearDown() override {
        FreeLinkLibrary();
        Inits = nullptr;
        SimFixture::TearDown();
    }

    // Adds the statement key="value" to the configuration.
    void Configure(const std::string& key, const std::string& value) {
        inits.items.push_back(Item{key, value, 0});
    }

    // Runs StartLink and returns what it traced on standard output.
    std::string StartTraced(CAxoDll& link, bool& started) {
        ::testing::internal::CaptureStdout();
        started = StartLink(&link);
        return ::testing::internal::GetCapturedStdout();
    }

    // True while the interface library is mapped into the process.
    static bool LibraryMapped() {
#ifdef _WIN32
        return ::GetModuleHandleA(LinkLibraryName) != nullptr;
#else
        void* handle = dlopen(LinkLibraryName, RTLD_NOW | RTLD_NOLOAD);
        if (!handle)
            return false;
        dlclose(handle);
        return true;
#endif
    }

    CInits inits;
};
