// Feeds arbitrary bytes to the journal's reader as the file's text. The read must end, and
// each session it gives must be whole: its tables of 14 entries (the verified one once it
// ended), a verdict, its changes among the 14 positions.
#include "program/btdevice/Journal.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const JournalContents contents =
        ParseJournal(std::string(reinterpret_cast<const char*>(data), size));
    for (const JournalSession& session : contents.sessions) {
        const size_t verified = session.verdict == jvUnfinished ? 0 : 14;
        if (session.before.unknown.size() != 14 || session.intended.ids.size() != 14 ||
            session.verified.unknown.size() != verified || VerdictText(session.verdict)[0] == 0)
            std::abort();
        for (const int position : ChangedPositions(session)) {
            if (position < 1 || position > 14)
                std::abort();
        }
    }
    return 0;
}
