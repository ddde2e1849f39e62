#include "TextPiece.h"

std::string TextPiece(const std::string& text, int32_t start, int32_t count) {
    if (start < 1 || count <= 0 || static_cast<size_t>(start) > text.size()) {
        return std::string();
    }
    return text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(count));
}
