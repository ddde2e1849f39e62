#include "Escape.h"

std::string EscapeBytes(const std::string& bytes) {
    static const char hexDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const unsigned char code = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\\') {
            text += "\\\\";
        } else if (code < 0x20 || code > 0x7E) {
            text += "\\x";
            text += hexDigits[code >> 4];
            text += hexDigits[code & 0x0F];
        } else {
            text += c;
        }
    }
    return text;
}
