// The master unit's receiver: the line commands of its initialisation and the "MX" frames
// that carry the Bluetooth module's commands.
#pragma once

#include "Device.h"

#include <string>

// Takes one host write (one transfer) and queues the master's replies.
void ReceiveWrite(CSimDevice& device, const std::string& bytes);

// The reply to a frame, exactly `replyBytes` long: header, the module's data, CR.
std::string FitReply(const ModuleAnswer& answer, int replyBytes);
