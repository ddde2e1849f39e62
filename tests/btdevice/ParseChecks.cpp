#include "ParseChecks.h"

void ParseText(CBtDevice& device, const std::string& text) {
    device.receiveBuffer = text;
    device.readPosition = 0;
    device.ParseResult();
}

namespace {

size_t CountLineEnds(const std::string& text) {
    size_t count = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
        ++count;
    }
    return count;
}

bool HoldsSeparator(const std::string& field) {
    return field.find(',') != std::string::npos || field.find('\n') != std::string::npos;
}

} // namespace

std::string ParseLeftUnsoundState(const CBtDevice& device, const std::string& text) {
    if (device.tokenKind != tkEnd) {
        return "the parse stopped before the end";
    }
    if (device.readPosition != static_cast<int32_t>(text.size())) {
        return "the parse did not read the whole text";
    }
    if (device.found.size() > CountLineEnds(text)) {
        return "more records than closing line ends";
    }
    for (const SLAVE& slave : device.found) {
        if (HoldsSeparator(slave.id) || HoldsSeparator(slave.name) ||
            HoldsSeparator(slave.detail)) {
            return "a field holds a comma or a line feed";
        }
        if (slave.id.find('\r') != std::string::npos) {
            return "an ID holds a carriage return";
        }
    }
    return std::string();
}
