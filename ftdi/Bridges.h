// The FTDI bridges on the USB, as libftdi finds them: listed in one order that the index of
// FT_Open and FT_ListDevices counts in, and opened for the port.
#pragma once

#include "platform/D2xxApi.h"

#include <functional>
#include <string>
#include <vector>

struct ftdi_context;

namespace provider {

// Serial numbers and descriptions are read, and handed out, in buffers of this size.
constexpr unsigned kD2xxStringSize = 64;

struct Bridge {
    std::string serialNumber;
    std::string description;
};

// The attached bridges: FTDI's vendor ID with each product ID of the provider's table in
// turn, in the bus's order within one product. Empty when the USB cannot be used.
std::vector<Bridge> ListBridges();

// Opens the first bridge, in the order of ListBridges(), for which `pick(index, bridge)`
// is true. The kernel's serial driver is detached from the bridge while it is open and
// attached again when libftdi closes it. FT_DEVICE_NOT_FOUND when no bridge is picked,
// FT_DEVICE_NOT_OPENED when the picked one cannot be opened (held by another program, no
// access); `*opened` is set only with FT_OK.
FT_STATUS OpenBridge(const std::function<bool(unsigned index, const Bridge& bridge)>& pick,
                     ftdi_context** opened);

} // namespace provider
