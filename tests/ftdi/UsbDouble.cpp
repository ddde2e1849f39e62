// A stand-in for libusb-1.0.so.0: the simulated master unit behind FT232R bridges at the USB
// level, so that the real libftdi runs against the same master and scenario files as the
// D2XX tests. Each bridge the simulator's D2XX functions list is a USB device 0403:6001 with
// its serial number and description as strings and bulk endpoints 0x81 and 0x02 of 64
// bytes. Bulk OUT is the simulator's FT_Write; bulk IN what it received, in packets that each
// start with the bridge's two modem status bytes; the purge requests are its FT_Purge. A
// bridge it no longer lists was pulled out (LIBUSB_ERROR_NO_DEVICE). The kernel's serial
// driver holds each interface until detached, and a claim without that is refused. Only the
// synchronous calls libftdi makes are served. As in libusb, only releasing the interface
// (with automatic detach on) gives the interface back to the kernel's driver: closing a
// handle that still claims it drops the claim and leaves the driver unbound. With
// KUSB_KERNEL_STATE set, that file holds one character per bridge, '1' while the kernel's
// driver holds it and '0' while not, so a test sees it after the process ended. The
// simulator is a build of the simulated driver under another name (KUSB_MASTER), so that
// nothing looking for libftd2xx.so finds it.
#include "UsbDouble.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <libusb-1.0/libusb.h>
#include <vector>

#define USB_EXPORT extern "C" __attribute__((visibility("default")))

struct libusb_context {};
struct libusb_device {
    int index;
    bool kernelDriverAttached;
};
struct libusb_device_handle {
    libusb_device* device;
    void* port; // the simulator's handle while the interface is claimed
    bool autoDetach;
    bool reattach;
};

namespace {

using FtStatus = uint32_t;
constexpr uint32_t kListNumberOnly = 0x80000000u, kListByIndex = 0x40000000u;
constexpr uint32_t kBySerialNumber = 1, kByDescription = 2, kPurgeRx = 1, kPurgeTx = 2;
constexpr int kMaxBridges = 8, kPacketSize = 64, kStatusBytes = 2;
// The modem and line status an idle FT232R sends at the start of each packet.
constexpr unsigned char kModemStatus[kStatusBytes] = {0x01, 0x60};
// FTDI's vendor requests: reset/purge (the value says which), latency timer.
constexpr uint8_t kRequestReset = 0, kRequestLatency = 9;
constexpr uint16_t kResetPort = 0, kPurgeToDevice = 1, kPurgeFromDevice = 2;

struct Master {
    FtStatus (*open)(int, void**);
    FtStatus (*list)(void*, void*, uint32_t);
    FtStatus (*close)(void*);
    FtStatus (*read)(void*, void*, uint32_t, uint32_t*);
    FtStatus (*write)(void*, void*, uint32_t, uint32_t*);
    FtStatus (*reset)(void*);
    FtStatus (*purge)(void*, uint32_t);
    FtStatus (*queue)(void*, uint32_t*);
    FtStatus (*latency)(void*, unsigned char);
};

Master master;
libusb_context context;
libusb_device bridges[kMaxBridges];

template <typename Fn> bool Bind(void* library, const char* name, Fn& field) {
    field = reinterpret_cast<Fn>(dlsym(library, name));
    return field != nullptr;
}

bool LoadMaster() {
    if (master.open != nullptr)
        return true;
    void* library = dlopen(KUSB_MASTER, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr || !Bind(library, "FT_Open", master.open) ||
        !Bind(library, "FT_ListDevices", master.list) || !Bind(library, "FT_Close", master.close) ||
        !Bind(library, "FT_Read", master.read) || !Bind(library, "FT_Write", master.write) ||
        !Bind(library, "FT_ResetDevice", master.reset) ||
        !Bind(library, "FT_Purge", master.purge) ||
        !Bind(library, "FT_GetQueueStatus", master.queue) ||
        !Bind(library, "FT_SetLatencyTimer", master.latency)) {
        std::fprintf(stderr, "usb double: cannot use %s: %s\n", KUSB_MASTER, dlerror());
        master.open = nullptr;
        return false;
    }
    for (int i = 0; i < kMaxBridges; ++i)
        bridges[i] = {i, true};
    return true;
}

// Writes the kernel drivers' state to KUSB_KERNEL_STATE, when set.
void KernelStateChanged() {
    const char* path = std::getenv("KUSB_KERNEL_STATE");
    if (path == nullptr)
        return;
    char state[kMaxBridges];
    for (int i = 0; i < kMaxBridges; ++i)
        state[i] = bridges[i].kernelDriverAttached ? '1' : '0';
    if (std::FILE* file = std::fopen(path, "wb")) {
        std::fwrite(state, 1, sizeof state, file);
        std::fclose(file);
    }
}

int Attached() {
    uint32_t count = 0;
    return master.list(&count, nullptr, kListNumberOnly) == 0 ? static_cast<int>(count) : 0;
}

// A failed call of the simulator: a bridge it no longer lists was pulled out.
int Failure(const libusb_device_handle* handle) {
    return handle->device->index < Attached() ? LIBUSB_ERROR_IO : LIBUSB_ERROR_NO_DEVICE;
}

int Result(const libusb_device_handle* handle, FtStatus status, int success) {
    return status == 0 ? success : Failure(handle);
}

// One reply of the bridge's bulk IN endpoint: full packets, then the rest, each with the
// status bytes in front; only the status bytes when nothing was received.
int ReceivePackets(libusb_device_handle* handle, unsigned char* data, int length) {
    const int packets = length / kPacketSize;
    uint32_t waiting = 0;
    FtStatus status = master.queue(handle->port, &waiting);
    const uint32_t room = static_cast<uint32_t>(packets * (kPacketSize - kStatusBytes));
    std::vector<unsigned char> bytes(waiting < room ? waiting : room);
    uint32_t got = 0;
    if (status == 0 && waiting > 0)
        status = master.read(handle->port, bytes.data(), static_cast<uint32_t>(bytes.size()), &got);
    if (status != 0 || length < kStatusBytes)
        return -1;
    int out = 0;
    uint32_t taken = 0;
    do {
        std::memcpy(data + out, kModemStatus, kStatusBytes);
        out += kStatusBytes;
        const uint32_t part =
            got - taken < kPacketSize - kStatusBytes ? got - taken : kPacketSize - kStatusBytes;
        std::copy_n(bytes.begin() + taken, part, data + out);
        out += static_cast<int>(part);
        taken += part;
    } while (taken < got);
    return out;
}

} // namespace

USB_EXPORT int UsbDoubleKernelDriverAttached(int index) {
    return index >= 0 && index < kMaxBridges && bridges[index].kernelDriverAttached ? 1 : 0;
}

USB_EXPORT int libusb_init(libusb_context** ctx) {
    if (!LoadMaster())
        return LIBUSB_ERROR_OTHER;
    if (ctx != nullptr)
        *ctx = &context;
    return 0;
}

USB_EXPORT void libusb_exit(libusb_context*) {}

USB_EXPORT ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
    const int count = Attached() < kMaxBridges ? Attached() : kMaxBridges;
    *list = new libusb_device*[count + 1];
    for (int i = 0; i < count; ++i)
        (*list)[i] = &bridges[i];
    (*list)[count] = nullptr;
    return count;
}

USB_EXPORT void libusb_free_device_list(libusb_device** list, int) {
    delete[] list;
}

USB_EXPORT libusb_device* libusb_ref_device(libusb_device* device) {
    return device;
}

USB_EXPORT void libusb_unref_device(libusb_device*) {}

USB_EXPORT uint8_t libusb_get_bus_number(libusb_device*) {
    return 1;
}

USB_EXPORT uint8_t libusb_get_device_address(libusb_device* device) {
    return static_cast<uint8_t>(device->index + 2);
}

USB_EXPORT int libusb_get_device_descriptor(libusb_device*, libusb_device_descriptor* d) {
    // An FT232R (release 6.00) with manufacturer, product and serial number strings 1-3.
    static const libusb_device_descriptor ft232r = {18,     1,      0x0200, 0, 0, 0, 8,
                                                    0x0403, 0x6001, 0x0600, 1, 2, 3, 1};
    *d = ft232r;
    return 0;
}

USB_EXPORT int libusb_get_config_descriptor(libusb_device*, uint8_t index,
                                            libusb_config_descriptor** config) {
    static const libusb_endpoint_descriptor endpoints[] = {
        {7, LIBUSB_DT_ENDPOINT, 0x81, LIBUSB_TRANSFER_TYPE_BULK, kPacketSize, 0, 0, 0, nullptr, 0},
        {7, LIBUSB_DT_ENDPOINT, 0x02, LIBUSB_TRANSFER_TYPE_BULK, kPacketSize, 0, 0, 0, nullptr, 0}};
    static const libusb_interface_descriptor setting = {
        9, LIBUSB_DT_INTERFACE, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2, endpoints, nullptr, 0};
    static const libusb_interface interface = {&setting, 1};
    static libusb_config_descriptor descriptor = {9,  LIBUSB_DT_CONFIG, 32,      1, 1, 0, 0x80,
                                                  45, &interface,       nullptr, 0};
    if (index != 0)
        return LIBUSB_ERROR_NOT_FOUND;
    *config = &descriptor;
    return 0;
}

USB_EXPORT void libusb_free_config_descriptor(libusb_config_descriptor*) {}

USB_EXPORT int libusb_open(libusb_device* device, libusb_device_handle** handle) {
    if (device->index >= Attached())
        return LIBUSB_ERROR_NO_DEVICE;
    *handle = new libusb_device_handle{device, nullptr, false, false};
    return 0;
}

USB_EXPORT int libusb_release_interface(libusb_device_handle* handle, int) {
    if (handle->port == nullptr)
        return LIBUSB_ERROR_NOT_FOUND;
    master.close(handle->port);
    handle->port = nullptr;
    if (handle->reattach) {
        handle->device->kernelDriverAttached = true;
        KernelStateChanged();
    }
    handle->reattach = false;
    return handle->device->index < Attached() ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

USB_EXPORT void libusb_close(libusb_device_handle* handle) {
    // The claim goes with the handle; the kernel's driver is not bound again.
    if (handle->port != nullptr)
        master.close(handle->port);
    delete handle;
}

USB_EXPORT int libusb_get_configuration(libusb_device_handle*, int* config) {
    *config = 1;
    return 0;
}

USB_EXPORT int libusb_set_configuration(libusb_device_handle*, int) {
    return 0;
}

USB_EXPORT int libusb_detach_kernel_driver(libusb_device_handle* handle, int) {
    if (!handle->device->kernelDriverAttached)
        return LIBUSB_ERROR_NOT_FOUND;
    handle->device->kernelDriverAttached = false;
    KernelStateChanged();
    return 0;
}

USB_EXPORT int libusb_set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable) {
    handle->autoDetach = enable != 0;
    return 0;
}

USB_EXPORT int libusb_claim_interface(libusb_device_handle* handle, int) {
    libusb_device* device = handle->device;
    if (device->kernelDriverAttached && !handle->autoDetach)
        return LIBUSB_ERROR_BUSY;
    const FtStatus status = master.open(device->index, &handle->port);
    if (status != 0) {
        handle->port = nullptr;
        return device->index < Attached() ? LIBUSB_ERROR_BUSY : LIBUSB_ERROR_NO_DEVICE;
    }
    handle->reattach = device->kernelDriverAttached;
    device->kernelDriverAttached = false;
    KernelStateChanged();
    return 0;
}

USB_EXPORT int libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                                  unsigned char* data, int length) {
    char text[64] = "FTDI";
    const uint32_t which = index == 2 ? kByDescription : kBySerialNumber;
    if (index < 1 || index > 3 || length < 1)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (index > 1 &&
        master.list(reinterpret_cast<void*>(static_cast<uintptr_t>(handle->device->index)), text,
                    kListByIndex | which) != 0)
        return LIBUSB_ERROR_NO_DEVICE;
    const int size = std::min(static_cast<int>(std::strlen(text)), length - 1);
    std::memcpy(data, text, static_cast<size_t>(size));
    data[size] = '\0';
    return size;
}

USB_EXPORT int libusb_control_transfer(libusb_device_handle* handle, uint8_t requestType,
                                       uint8_t request, uint16_t value, uint16_t,
                                       unsigned char* data, uint16_t length, unsigned int) {
    if (handle->port == nullptr)
        return LIBUSB_ERROR_IO;
    if ((requestType & LIBUSB_ENDPOINT_IN) != 0)
        std::memset(data, 0, length);
    if (request == kRequestReset && value == kResetPort)
        return Result(handle, master.reset(handle->port), length);
    if (request == kRequestReset && (value == kPurgeToDevice || value == kPurgeFromDevice))
        return Result(handle,
                      master.purge(handle->port, value == kPurgeFromDevice ? kPurgeRx : kPurgeTx),
                      length);
    if (request == kRequestLatency)
        return Result(handle, master.latency(handle->port, static_cast<unsigned char>(value)),
                      length);
    return handle->device->index < Attached() ? static_cast<int>(length) : LIBUSB_ERROR_NO_DEVICE;
}

USB_EXPORT int libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                                    unsigned char* data, int length, int* transferred,
                                    unsigned int) {
    *transferred = 0;
    if (handle->port == nullptr)
        return LIBUSB_ERROR_IO;
    if (endpoint == 0x02) {
        uint32_t written = 0;
        const FtStatus status =
            master.write(handle->port, data, static_cast<uint32_t>(length), &written);
        *transferred = static_cast<int>(written);
        return Result(handle, status, 0);
    }
    if (endpoint != 0x81)
        return LIBUSB_ERROR_INVALID_PARAM;
    const int received = ReceivePackets(handle, data, length);
    if (received < 0)
        return Failure(handle);
    *transferred = received;
    return 0;
}

USB_EXPORT libusb_transfer* libusb_alloc_transfer(int) {
    return nullptr;
}

USB_EXPORT void libusb_free_transfer(libusb_transfer*) {}

USB_EXPORT int libusb_submit_transfer(libusb_transfer*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

USB_EXPORT int libusb_cancel_transfer(libusb_transfer*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

USB_EXPORT int libusb_handle_events_timeout(libusb_context*, timeval*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

USB_EXPORT int libusb_handle_events_timeout_completed(libusb_context*, timeval*, int*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
