// Feeds arbitrary bytes to the parse as a gathered search result. The parse must end,
// leave a sound state behind, and give the same records when run again.
#include "ParseChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "parse fuzz: %s\n", what);
        std::abort();
    }
}

bool SameRecords(const std::vector<SLAVE>& a, const std::vector<SLAVE>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].name != b[i].name || a[i].detail != b[i].detail) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CBtDevice* device = [] {
        CBtDevice* made = new CBtDevice;
        made->FillCharClass();
        return made;
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseText(*device, text);
    const std::string unsound = ParseLeftUnsoundState(*device, text);
    Require(unsound.empty(), unsound.c_str());

    const std::vector<SLAVE> first = device->found;
    ParseText(*device, text);
    Require(SameRecords(first, device->found), "a second parse read differently");
    return 0;
}
