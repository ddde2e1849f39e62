// The D2XX provider (libkestravion-d2xx.so) through the real libftdi1, with the simulated
// master behind a simulated FT232R at the USB level (UsbDouble.cpp), in virtual time.
#include "SimFixture.h"
#include "UsbDouble.h"
#include "platform/D2xxApi.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>

namespace {

using Status = FT_STATUS;
using Handle = FT_HANDLE;

template <typename Fn> Fn Bound(const char* name) {
    static void* const provider = dlopen(PROVIDER, RTLD_NOW | RTLD_LOCAL);
    return reinterpret_cast<Fn>(dlsym(provider, name));
}

// The provider's entry points, bound by name as the interface library binds a driver.
struct Provider {
    decltype(&FT_Open) open = Bound<decltype(open)>("FT_Open");
    decltype(&FT_OpenEx) openEx = Bound<decltype(openEx)>("FT_OpenEx");
    decltype(&FT_ListDevices) list = Bound<decltype(list)>("FT_ListDevices");
    decltype(&FT_Close) close = Bound<decltype(close)>("FT_Close");
    decltype(&FT_Read) read = Bound<decltype(read)>("FT_Read");
    decltype(&FT_Write) write = Bound<decltype(write)>("FT_Write");
    decltype(&FT_Purge) purge = Bound<decltype(purge)>("FT_Purge");
    decltype(&FT_SetTimeouts) timeouts = Bound<decltype(timeouts)>("FT_SetTimeouts");
    decltype(&FT_GetQueueStatus) queue = Bound<decltype(queue)>("FT_GetQueueStatus");
    decltype(&FT_SetLatencyTimer) latency = Bound<decltype(latency)>("FT_SetLatencyTimer");
    decltype(&FT_SetUSBParameters) usb = Bound<decltype(usb)>("FT_SetUSBParameters");
    decltype(&FT_ResetDevice) reset = Bound<decltype(reset)>("FT_ResetDevice");
};

const Provider& D2xx() {
    static const Provider provider;
    return provider;
}

class ProviderTest : public SimFixture {
protected:
    void TearDown() override {
        if (handle != nullptr)
            D2xx().close(handle);
        SimFixture::TearDown();
    }

    void Open() { ASSERT_EQ(D2xx().open(0, &handle), FT_OK); }

    // Writes `bytes`, then reads `count` bytes within the read timeout.
    std::string Exchange(const std::string& bytes, uint32_t count) {
        uint32_t done = 0;
        std::string out = bytes;
        EXPECT_EQ(D2xx().write(handle, out.data(), static_cast<uint32_t>(out.size()), &done),
                  FT_OK);
        EXPECT_EQ(done, out.size());
        std::string in(count, '\0');
        EXPECT_EQ(D2xx().read(handle, in.data(), count, &done), FT_OK);
        return in.substr(0, done);
    }

    Handle handle = nullptr;
};

TEST_F(ProviderTest, ListsAndOpensByIndexSerialNumberAndDescription) {
    uint32_t count = 9;
    EXPECT_EQ(D2xx().list(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(D2xx().open(0, nullptr), FT_INVALID_PARAMETER);
    char all[64] = {};
    char* buffers[] = {all, nullptr};
    EXPECT_EQ(D2xx().list(buffers, &count, FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_STREQ(all, "KESTRAVION MASTER");

    const struct {
        uintptr_t index;
        uint32_t flags;
        Status status;
        const char* text;
    } listings[] = {
        {0, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, FT_OK, "KM000001"},
        {0, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, FT_OK, "KESTRAVION MASTER"},
        {1, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, FT_DEVICE_NOT_FOUND, ""},
        {0, FT_OPEN_BY_SERIAL_NUMBER, FT_INVALID_PARAMETER, ""},
    };
    for (const auto& row : listings) {
        char text[64] = {};
        EXPECT_EQ(D2xx().list(reinterpret_cast<void*>(row.index), text, row.flags), row.status)
            << row.text;
        EXPECT_STREQ(text, row.text);
    }

    // By index when no name is given.
    const struct {
        const char* name;
        uint32_t indexOrFlags;
        Status status;
    } opens[] = {
        {nullptr, 0, FT_OK},
        {nullptr, 1, FT_DEVICE_NOT_FOUND},
        {"KM000001", FT_OPEN_BY_SERIAL_NUMBER, FT_OK},
        {"KESTRAVION MASTER", FT_OPEN_BY_DESCRIPTION, FT_OK},
        {"KM000002", FT_OPEN_BY_SERIAL_NUMBER, FT_DEVICE_NOT_FOUND},
        {"KM000001", 4, FT_INVALID_PARAMETER},
    };
    for (const auto& row : opens) {
        SCOPED_TRACE(std::string(row.name ? row.name : "#") + std::to_string(row.indexOrFlags));
        Handle opened = nullptr;
        const Status status =
            row.name ? D2xx().openEx(const_cast<char*>(row.name), row.indexOrFlags, &opened)
                     : D2xx().open(static_cast<int>(row.indexOrFlags), &opened);
        ASSERT_EQ(status, row.status);
        // The kernel's serial driver gives the bridge up only while it is open here.
        EXPECT_EQ(UsbDoubleKernelDriverAttached(0), status != FT_OK);
        if (status == FT_OK) {
            Handle again = nullptr;
            EXPECT_EQ(D2xx().open(0, &again), FT_DEVICE_NOT_OPENED);
            EXPECT_EQ(D2xx().close(opened), FT_OK);
            EXPECT_EQ(D2xx().close(opened), FT_INVALID_HANDLE);
            EXPECT_EQ(UsbDoubleKernelDriverAttached(0), 1);
        }
    }
}

TEST_F(ProviderTest, SettingsAndBytesEachWay) {
    // A reply of 150 bytes comes in three USB packets, each with its own status bytes.
    const std::string longReply = std::string(149, 'Y') + "\r";
    LoadScenario(R"({"replyLatencyMs": 5, "faults": [{"command": "MV", "action": "reply",
                    "text": ")" +
                 std::string(149, 'Y') + R"(\r"}]})");
    Open();
    EXPECT_EQ(D2xx().purge(handle, 3), FT_OK);
    EXPECT_EQ(D2xx().timeouts(handle, 100, 1000), FT_OK);
    EXPECT_EQ(D2xx().usb(handle, 63360, 0), FT_OK);
    EXPECT_EQ(D2xx().latency(handle, 2), FT_OK);
    EXPECT_EQ(D2xx().reset(handle), FT_OK);
    uint32_t waiting = 0, done = 0;
    int notAHandle = 0;
    EXPECT_EQ(D2xx().latency(handle, 1), FT_INVALID_PARAMETER);
    EXPECT_EQ(D2xx().usb(handle, 100, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(D2xx().usb(handle, 4096, 32), FT_INVALID_PARAMETER);
    EXPECT_EQ(D2xx().write(handle, nullptr, 3, &done), FT_INVALID_PARAMETER);
    EXPECT_EQ(D2xx().queue(&notAHandle, &done), FT_INVALID_HANDLE);
    EXPECT_EQ(Exchange("MG\r", 3), "Y1\r");
    EXPECT_EQ(Exchange("MV\r", 150), longReply);
    EXPECT_EQ(Writes(), (std::vector<std::string>{"MG\r", "MV\r"}));

    // The queue status counts what has arrived; a purge of the receive side drops it.
    std::string out = "XV\r";
    ASSERT_EQ(D2xx().write(handle, out.data(), 3, &done), FT_OK);
    SimAdvanceUs(10000);
    EXPECT_EQ(D2xx().queue(handle, &waiting), FT_OK);
    EXPECT_EQ(waiting, 3u);
    EXPECT_EQ(D2xx().purge(handle, 1), FT_OK);
    EXPECT_EQ(D2xx().queue(handle, &waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
}

TEST_F(ProviderTest, ReadWaitsUpToItsTimeoutAndReturnsWhatArrived) {
    LoadScenario(R"({"replyLatencyMs": 30})");
    Open();
    char in[8] = {};
    uint32_t done = 9;
    // Before any timeout is set a read does not wait.
    EXPECT_EQ(D2xx().read(handle, in, 8, &done), FT_OK);
    EXPECT_EQ(done, 0u);
    ASSERT_EQ(D2xx().timeouts(handle, 200, 1000), FT_OK);
    long long start = SimNowUs();
    EXPECT_EQ(Exchange("MG\r", 3), "Y1\r");
    EXPECT_GE(SimNowUs() - start, 30000);
    EXPECT_LT(SimNowUs() - start, 200000);
    start = SimNowUs();
    EXPECT_EQ(Exchange("XV\r", 8), "Y1\r");
    EXPECT_GE(SimNowUs() - start, 200000);
}

TEST_F(ProviderTest, APulledCableFailsEveryCallAndTheBridgeIsGone) {
    LoadScenario(R"({"faults": [{"command": "MG", "action": "unplug"}]})");
    Open();
    uint32_t done = 0, count = 9;
    char out[] = "MG\r";
    EXPECT_EQ(D2xx().write(handle, out, 3, &done), FT_IO_ERROR);
    EXPECT_EQ(D2xx().queue(handle, &done), FT_IO_ERROR);
    EXPECT_EQ(D2xx().read(handle, out, 1, &done), FT_IO_ERROR);
    EXPECT_EQ(D2xx().purge(handle, 3), FT_IO_ERROR);
    EXPECT_EQ(D2xx().list(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    // Closing a pulled bridge fails, but the handle is gone all the same.
    EXPECT_EQ(D2xx().close(handle), FT_IO_ERROR);
    EXPECT_EQ(D2xx().close(handle), FT_INVALID_HANDLE);
    handle = nullptr;
    EXPECT_EQ(D2xx().open(0, &handle), FT_DEVICE_NOT_FOUND);
}

} // namespace
