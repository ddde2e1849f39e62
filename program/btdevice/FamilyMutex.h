// The name of the single-instance mutex shared with every program of the instrument family,
// blanks included. Both front ends (the window and tarvelo-cli) take it at start-up.
#pragma once

constexpr const char* SingleInstanceMutex = "VQM44TN QUELIN ZOMRA";
