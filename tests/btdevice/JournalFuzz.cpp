// Feeds arbitrary bytes to the journal's reader as the file's text. The read must end, and
// every session it gives must be whole: its tables of 14 entries, a verdict, its changes
// among the 14 positions.
#include "program/btdevice/Journal.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "journal fuzz: %s\n", what);
        std::abort();
    }
}

bool Whole(const JournalTable& table) {
    return table.ids.size() == 14 && table.unknown.size() == 14;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const JournalContents contents =
        ParseJournal(std::string(reinterpret_cast<const char*>(data), size));
    for (const JournalSession& session : contents.sessions) {
        const bool finished = session.verdict != jvUnfinished;
        Require(Whole(session.before) && Whole(session.intended), "a table is not whole");
        Require(Whole(session.verified) == finished, "a verified table without its end line");
        Require(VerdictText(session.verdict)[0] != '\0', "a verdict out of range");
        for (const int position : ChangedPositions(session))
            Require(position >= 1 && position <= 14, "a change outside the positions");
    }
    const JournalSession* last = LastSession(contents, "KM000001");
    Require(last == nullptr || last->bridge == "KM000001", "another bridge's session");
    return 0;
}
