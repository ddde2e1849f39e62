// Feeds arbitrary bytes to the reader of "config.ini". The load must end, leave a sound
// object behind and leave nothing pending for the next load.
#include "EntryChecks.h"
#include "program/config/Cinits.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "config fuzz: %s\n", what);
        std::abort();
    }
}

// Loads `size` bytes from memory into `config`.
bool LoadBytes(CInits& config, const uint8_t* data, size_t size) {
    config.file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    Require(config.file != nullptr, "fmemopen failed");
    bool loaded = config.Load();
    config.Close();
    return loaded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CInits config;
    LoadBytes(config, data, size);
    const char* unsound = LoadLeftUnsoundState(config);
    Require(unsound[0] == '\0', unsound);

    static const uint8_t next[] = "k=1";
    CInits after;
    Require(LoadBytes(after, next, sizeof next - 1), "the next load failed");
    Require(after.items.size() == 1 && after.items[0].number == 1, "the next load read wrongly");
    return 0;
}
