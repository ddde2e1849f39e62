// The register access sessions in a stream of module commands: each "$A0H1" ... "$A0H0"
// is a read of the ID table or a write of it, and must hold nothing else.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct SESSION {
    std::string kind;             // "read", "write", "uncommitted" or "bad"
    std::vector<std::string> ids; // (un)committed write: the 14 IDs as set, position 1 first; "-"
                                  // for a position left as stored
    std::string problem;          // bad: what broke the sequence
};

// The 42 register query commands, position 1 first, three per position.
const std::vector<std::string>& RegisterCommands();

// Splits `commands` (as from HostCommands) into sessions. A read is "$00H0", "$A0H1",
// "$CEH1", the 42 queries in order, "$A0H0". A write is "$00H0", "$A0H1", "$CEH1" (the
// working registers loaded from the stored table), the sets of each position written in
// order (all three of a position; at least one position), the queries of the positions set
// (the working registers read back), "$CDH1", "$CEH1" and the same queries again (the
// stored table read back), "$A0H0". A write whose first read-back is followed by "$A0H0"
// alone is "uncommitted". Anything else inside a session, or a session left open at the end,
// makes it "bad".
std::vector<SESSION> RegisterSessions(const std::vector<std::string>& commands);

} // namespace e2e
