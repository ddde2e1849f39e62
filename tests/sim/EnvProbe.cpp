// Prints what the simulator made of its environment when it was loaded: the last error,
// position 1 of the committed table, the violations. Run by the tests with KSIM_* set.
#include "SimControl.h"

#include <cstdio>
#include <string>

int main() {
    // Each text stays valid only until the next Sim call.
    const std::string error = SimLastError();
    const std::string id = SimCommittedId(1);
    const std::string violations = SimViolations();
    std::printf("error=%s\nid1=%s\nviolations=%s", error.c_str(), id.c_str(), violations.c_str());
    return 0;
}
