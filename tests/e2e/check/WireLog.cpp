#include "WireLog.h"

#include <cstdio>

namespace e2e {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Two upper-case hexadecimal digits at `at`, or -1.
int HexByte(const std::string& text, size_t at) {
    if (at + 2 > text.size())
        return -1;
    int high = HexDigit(text[at]);
    int low = HexDigit(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

} // namespace

std::string Unescape(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        char kind = text[++i];
        if (kind == 'r') {
            bytes += '\r';
        } else if (kind == 'n') {
            bytes += '\n';
        } else if (kind == 'x' && i + 2 < text.size()) {
            // The log writes \xNN in either case; accept both.
            auto nibble = [](char c) {
                if (c >= 'a' && c <= 'f')
                    return c - 'a' + 10;
                return HexDigit(c);
            };
            int high = nibble(text[i + 1]);
            int low = nibble(text[i + 2]);
            if (high < 0 || low < 0) {
                bytes += "\\x";
                continue;
            }
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            bytes += kind;
        }
    }
    return bytes;
}

std::string Escape(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\\') {
            text += "\\\\";
        } else if (c < 0x20 || c > 0x7E) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            text += hex;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

std::vector<std::string> DecodeWrite(const std::string& bytes) {
    std::vector<std::string> commands;
    size_t at = 0;
    while (at < bytes.size()) {
        std::string rest = bytes.substr(at);
        if (rest.compare(0, 2, "MX") == 0) {
            // "MX", L (bytes after "MX"), R (reply bytes), L-5 payload bytes, CR.
            int following = HexByte(rest, 2);
            int replyBytes = HexByte(rest, 4);
            size_t frameSize = following < 0 ? 0 : 2 + static_cast<size_t>(following);
            if (following < 6 || replyBytes < 2 || frameSize > rest.size() ||
                rest[frameSize - 1] != '\r') {
                commands.push_back("?" + Escape(rest));
                break;
            }
            std::string payload = rest.substr(6, frameSize - 7);
            if (payload.empty() || payload.back() != '\r' ||
                payload.find('\r') != payload.size() - 1) {
                commands.push_back("?" + Escape(rest.substr(0, frameSize)));
            } else {
                payload.pop_back();
                commands.push_back(payload);
            }
            at += frameSize;
            continue;
        }
        size_t end = rest.find('\r');
        if (end == std::string::npos) {
            commands.push_back("?" + Escape(rest));
            break;
        }
        commands.push_back(rest.substr(0, end));
        at += end + 1;
    }
    return commands;
}

std::vector<std::string> HostCommands(std::istream& log) {
    std::vector<std::string> commands;
    std::string line;
    while (std::getline(log, line)) {
        if (line.compare(0, 2, "> ") != 0)
            continue;
        for (const std::string& command : DecodeWrite(Unescape(line.substr(2))))
            commands.push_back(command);
    }
    return commands;
}

} // namespace e2e
