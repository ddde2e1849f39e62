// Cutting a piece out of a text, counting characters from 1.
#pragma once

#include <cstdint>
#include <string>

// The `count` characters of `text` that start at character `start` (from 1). A piece
// that starts beyond the end is empty; one that runs past the end is cut at the end.
std::string TextPiece(const std::string& text, int32_t start, int32_t count);
