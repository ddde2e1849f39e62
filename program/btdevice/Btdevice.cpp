#include "Btdevice.h"

#include "TextPiece.h"
#include "platform/Console.h"
#include "platform/Sleep.h"
#include "platform/Ui.h"
#include "program/config/Cinits.h"
#include "program/link/Axodll.h"

#include <algorithm>
#include <cstdarg>

namespace {

// A pause longer than this is taken as this: the pause paces polling, and a mistyped or
// wrapped "time" must not stall the tool for days.
const int32_t MaxPauseMs = 60000;

// Looks `key` up in the program's configuration; false when it is absent.
bool LookupOption(const std::string& key, Item& entry) {
    return Inits != nullptr && Inits->Lookup(key, entry) >= 0;
}

} // namespace

CBtDevice::CBtDevice(std::FILE* trace)
    : link(nullptr), readPosition(0), tokenKind(tkEnd), charClass(), waitOn(0), waitTime(0),
      readIncomplete(), storedKnown(), doubtful(), writeOutcome(), notTaken() {
    link = new CAxoDll(true);
    link->trace = trace;

    Item entry;
    if (trace == stdout && LookupOption("output", entry) && entry.value == "dos") {
        platform::OpenTraceConsole();
    }
    if (LookupOption("device", entry)) {
        bridgeSerial = entry.value;
    }
    if (LookupOption("wait", entry) && (entry.value == "ON" || entry.value == "on")) {
        waitOn = 1;
        if (LookupOption("time", entry)) {
            waitTime = entry.number;
        }
    }
}

// The bridge goes back to the kernel's serial driver on every way out of a front end.
CBtDevice::~CBtDevice() {
    Close();
    delete link;
}

void CBtDevice::FillCharClass() {
    for (uint8_t& cls : charClass) {
        cls = ccText;
    }
    charClass[44] = ccComma;
    charClass[13] = ccCR;
    charClass[10] = ccLF;
}

void CBtDevice::Trace(const char* format, ...) const {
    if (!link->trace)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(link->trace, format, arguments);
    va_end(arguments);
}

bool CBtDevice::Open() {
    FillCharClass();
    return StartLink(link, bridgeSerial, &bridges);
}

bool CBtDevice::Close() {
    return link->Close();
}

std::string CBtDevice::OpenedBridgeNote() const {
    if (!bridgeSerial.empty() || bridges.size() < 2)
        return std::string();
    return std::to_string(bridges.size()) + " USB bridges are attached; the first, " +
           bridges[0].serial + " (" + bridges[0].description +
           "), is used. Another is chosen by its serial number: device=\"SERIAL\" in "
           "config.ini, or tarvelo-cli --device SERIAL.";
}

std::string CBtDevice::MissingBridgeNote() const {
    if (bridgeSerial.empty())
        return std::string();
    for (const BRIDGE& bridge : bridges) {
        if (bridge.serial == bridgeSerial)
            return std::string();
    }
    return "The USB bridge " + bridgeSerial + " named by its serial number is not attached.";
}

std::string CBtDevice::OpenedBridgeSerial() const {
    return link->openedSerial;
}

std::string CBtDevice::OpenedBridgeDescription() const {
    for (const BRIDGE& bridge : bridges) {
        if (!link->openedSerial.empty() && bridge.serial == link->openedSerial)
            return bridge.description;
    }
    return std::string();
}

bool CBtDevice::Reconnect() {
    if (ReopenLink(link))
        return true;
    const std::string& serial = link->openedSerial;
    std::vector<BRIDGE> attached;
    ListBridges(attached);
    const bool present =
        serial.empty() || std::any_of(attached.begin(), attached.end(),
                                      [&serial](const BRIDGE& b) { return b.serial == serial; });
    if (!present)
        platform::CurrentUi().ShowMessageBox(
            "The USB bridge " + serial +
                " of the master unit the ID table was read from is not attached. Nothing is "
                "written to another master unit.",
            "error", platform::BoxIcon::Error);
    return false;
}

std::string CBtDevice::SendCommand(const std::string& command) {
    const std::string prefix = TextPiece(command, 1, 3);
    for (const CommandRow* row = CommandTable; row->replyLength >= 0; ++row) {
        if (prefix == row->prefix) {
            if (row->replyLength == 0) {
                return std::string();
            }
            const std::string payload = command + "\r";
            return link->SendRecv(static_cast<int32_t>(payload.size()), row->replyLength, payload);
        }
    }
    return std::string();
}

int32_t CBtDevice::HexValue(const std::string& text) const {
    uint32_t value = 0;
    for (const char c : text) {
        const int32_t code = static_cast<unsigned char>(c);
        const int32_t digit = (code >= '0' && code <= '9') ? code - 48 : code - 55;
        value = value * 16u + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(value);
}

int32_t CBtDevice::ReplyValue(const std::string& reply) const {
    return HexValue(TextPiece(reply, 6, 4));
}

bool CBtDevice::Pause() {
    if (waitOn == 1 && waitTime > 0) {
        platform::SleepMs(static_cast<unsigned>(waitTime < MaxPauseMs ? waitTime : MaxPauseMs));
        return true;
    }
    return false;
}
