// What every load must leave behind, whatever bytes it was given. Shared by the corpus
// replay and the fuzzer.
#pragma once

#include "program/config/Cinits.h"

// Empty when the object is sound; otherwise what is wrong.
inline const char* LoadLeftUnsoundState(const CInits& config) {
    if (config.stackDepth != 0) {
        return "token stack not empty";
    }
    for (size_t index = 0; index < config.items.size(); index++) {
        const std::string& key = config.items[index].key;
        if (key.empty() || config.charClass[static_cast<unsigned char>(key[0])] != icLetter) {
            return "key does not begin with a letter";
        }
        for (char c : key) {
            int32_t cls = config.charClass[static_cast<unsigned char>(c)];
            if (cls != icLetter && cls != icDigit) {
                return "key holds a character other than letters and digits";
            }
        }
        Item found;
        if (config.Lookup(key, found) != static_cast<int32_t>(index)) {
            return "key stored twice";
        }
    }
    return "";
}
