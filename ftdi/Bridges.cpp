#include "Bridges.h"

#include <ftdi.h>
#include <memory>

namespace provider {

namespace {

constexpr int kVendorFtdi = 0x0403;
// FT232R and the older single-port bridges, FT2232 and FT4232 (their first port), FT232H,
// the FT-X series.
constexpr int kProducts[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

using Context = std::unique_ptr<ftdi_context, decltype(&ftdi_free)>;

Context NewContext() {
    return Context(ftdi_new(), &ftdi_free);
}

// Calls `visit` with each attached bridge's USB device and strings, in the listing order,
// until it returns true. The devices belong to `usb`'s USB context, in which they are
// opened too: a handle must not outlive the context it was opened in.
void FindBridge(ftdi_context* usb,
                const std::function<bool(libusb_device* device, const Bridge& bridge)>& visit) {
    for (int product : kProducts) {
        ftdi_device_list* list = nullptr;
        if (ftdi_usb_find_all(usb, &list, kVendorFtdi, product) < 0)
            continue;
        bool done = false;
        for (ftdi_device_list* node = list; node != nullptr && !done; node = node->next) {
            // A bridge whose strings cannot be read still takes its place in the order.
            char serialNumber[kD2xxStringSize] = {};
            char description[kD2xxStringSize] = {};
            ftdi_usb_get_strings(usb, node->dev, nullptr, 0, description, sizeof description,
                                 serialNumber, sizeof serialNumber);
            done = visit(node->dev, Bridge{serialNumber, description});
        }
        ftdi_list_free(&list);
        if (done)
            return;
    }
}

} // namespace

std::vector<Bridge> ListBridges() {
    std::vector<Bridge> bridges;
    Context usb = NewContext();
    if (usb) {
        FindBridge(usb.get(), [&bridges](libusb_device*, const Bridge& bridge) {
            bridges.push_back(bridge);
            return false;
        });
    }
    return bridges;
}

FT_STATUS OpenBridge(const std::function<bool(unsigned index, const Bridge& bridge)>& pick,
                     ftdi_context** opened) {
    Context port = NewContext();
    if (!port)
        return FT_DEVICE_NOT_FOUND;
    // The bridge is taken from the kernel's serial driver only while it is open here;
    // libusb gives it back when the interface is released at close.
    port->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    if (ftdi_set_interface(port.get(), INTERFACE_A) < 0)
        return FT_DEVICE_NOT_OPENED;
    FT_STATUS status = FT_DEVICE_NOT_FOUND;
    unsigned index = 0;
    FindBridge(port.get(), [&](libusb_device* device, const Bridge& bridge) {
        if (!pick(index++, bridge))
            return false;
        status = ftdi_usb_open_dev(port.get(), device) == 0 ? FT_OK : FT_DEVICE_NOT_OPENED;
        return true;
    });
    if (status == FT_OK)
        *opened = port.release();
    return status;
}

} // namespace provider
