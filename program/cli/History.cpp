#include "History.h"

#include "Output.h"
#include "program/btdevice/Journal.h"

#include <cstdio>

int RunHistory(const Request& request) {
    const std::string path = CJournal::DefaultJournalPath();
    JournalContents contents;
    std::string why = "no folder for the write journal is known (HOME is not set)";
    if (path.empty() || !ReadJournal(path, contents, why)) {
        std::fprintf(stderr, "tarvelo-cli: %s\n", why.c_str());
        return esBadInput;
    }
    if (const std::string notice = BrokenLinesNotice(contents.brokenLines); !notice.empty())
        std::fprintf(stderr, "tarvelo-cli: %s\n", notice.c_str());
    if (contents.sessions.empty() && !request.json)
        std::fprintf(stderr, "tarvelo-cli: no table write is journalled in %s\n", path.c_str());

    std::vector<JournalSession> shown;
    for (const JournalSession& session : contents.sessions) {
        if (request.count > 0 && shown.size() >= static_cast<size_t>(request.count))
            break;
        if (!request.deviceGiven || session.bridge == request.device)
            shown.push_back(session);
    }
    const std::string text =
        request.json ? HistoryJson(shown, contents.brokenLines) : HistoryLines(shown);
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "tarvelo-cli: the results could not be written to standard output\n");
        return esFailed;
    }
    return esDone;
}
