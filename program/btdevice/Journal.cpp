#include "Journal.h"

#include "JournalFile.h"
#include "Rules.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>

// Kept in the order written, which is the order a reader of the file meets them.
using json = nlohmann::ordered_json;

const char* const JournalFileName = "journal.jsonl";

namespace {

// A line is a few hundred bytes; a longer one is not the journal's.
const size_t MaxLineSize = 16384;
// Several times what JournalSessionLimit sessions take; of a larger file only the end is
// read.
const long MaxJournalSize = 8L << 20;

const char* const VerdictTexts[] = {"saved", "not saved", "partly saved", "in doubt",
                                    "never finished"};

json TableJson(const JournalTable& table) {
    json entries = json::array();
    for (size_t i = 0; i < static_cast<size_t>(PositionCount); ++i) {
        const bool unknown = i >= table.ids.size() ||
                             (i < table.unknown.size() && table.unknown[i]) ||
                             !IsWellFormedId(table.ids[i]);
        entries.push_back(unknown ? json(nullptr) : json(table.ids[i]));
    }
    return entries;
}

// `object` as one line of text; bytes that are not UTF-8 (a bridge's description may
// hold any) are replaced, never thrown at.
std::string Line(const json& object) {
    return object.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

bool TakeString(const json& object, const char* key, std::string& value) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string())
        return false;
    value = found->get_ref<const std::string&>();
    return true;
}

bool TakeTable(const json& object, const char* key, JournalTable& table) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_array() ||
        found->size() != static_cast<size_t>(PositionCount))
        return false;
    table = JournalTable();
    for (const json& entry : *found) {
        const bool known = entry.is_string() && IsWellFormedId(entry.get_ref<const std::string&>());
        if (!known && !entry.is_null())
            return false;
        table.ids.push_back(known ? entry.get_ref<const std::string&>() : std::string());
        table.unknown.push_back(!known);
    }
    return true;
}

bool TakeVerdict(const json& object, JournalVerdict& verdict) {
    std::string text;
    if (!TakeString(object, "verdict", text))
        return false;
    for (int v = jvSaved; v < jvUnfinished; ++v) {
        if (text == VerdictTexts[v]) {
            verdict = static_cast<JournalVerdict>(v);
            return true;
        }
    }
    return false;
}

enum LineKind { lkBroken, lkBegin, lkEnd };

// Reads one line: a whole "begin" line into `session`, or an "end" line's id, end time,
// verdict and verified table.
LineKind ReadLine(const std::string& line, JournalSession& session) {
    if (line.size() > MaxLineSize)
        return lkBroken;
    const json object = json::parse(line, nullptr, false);
    std::string event;
    session = JournalSession();
    if (!object.is_object() || !TakeString(object, "event", event) ||
        !TakeString(object, "session", session.id))
        return lkBroken;
    if (event == "begin" && TakeString(object, "time", session.time) &&
        TakeString(object, "frontEnd", session.frontEnd) &&
        TakeString(object, "bridge", session.bridge) &&
        TakeString(object, "bridgeDescription", session.description) &&
        TakeTable(object, "before", session.before) &&
        TakeTable(object, "intended", session.intended))
        return lkBegin;
    if (event == "end" && TakeString(object, "time", session.endTime) &&
        TakeVerdict(object, session.verdict) && TakeTable(object, "verified", session.verified))
        return lkEnd;
    return lkBroken;
}

// Calls `take` with each line of `text` (without its line end; a last line without one
// too), and its offset.
template <typename Take> void EachLine(const std::string& text, Take take) {
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        take(text.substr(start, end - start), start);
        start = end + 1;
    }
}

// The offset of the "begin" line of the oldest of the newest `keep` sessions in `text`; 0
// when it holds no more than `keep`.
size_t KeptPart(const std::string& text, size_t keep) {
    std::vector<size_t> begins;
    JournalSession session;
    EachLine(text, [&](const std::string& line, size_t offset) {
        if (ReadLine(line, session) == lkBegin)
            begins.push_back(offset);
    });
    return begins.size() > keep ? begins[begins.size() - keep] : 0;
}

// Reads the journal's text from `path`: the whole file, or of a file larger than the journal
// ever grows, its last MaxJournalSize bytes without the piece of a line they begin with. A
// missing file is empty text. False, with `why`, when the file cannot be read.
bool ReadText(const std::string& path, std::string& text, bool& cut, std::string& why) {
    text.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr && errno == ENOENT)
        return true;
    if (file == nullptr) {
        why = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    // ftell() fails for a file too large for a long: read from the end too.
    const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : 0;
    cut = size < 0 || size > MaxJournalSize;
    bool read = std::fseek(file, cut ? -MaxJournalSize : 0, cut ? SEEK_END : SEEK_SET) == 0;
    char buffer[65536];
    size_t got = 0;
    while (read && text.size() < static_cast<size_t>(MaxJournalSize) &&
           (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    read = read && std::ferror(file) == 0;
    const int error = errno;
    std::fclose(file);
    if (!read) {
        why = "cannot read " + path + ": " + std::strerror(error);
        return false;
    }
    if (cut)
        text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n') + 1);
    return true;
}

} // namespace

const char* VerdictText(JournalVerdict verdict) {
    return verdict >= jvSaved && verdict <= jvUnfinished ? VerdictTexts[verdict] : "";
}

JournalTable MakeJournalTable(const std::vector<std::string>& ids,
                              const std::vector<bool>& unknown) {
    JournalTable table;
    for (size_t i = 0; i < static_cast<size_t>(PositionCount); ++i) {
        table.ids.push_back(i < ids.size() ? ids[i] : std::string());
        table.unknown.push_back(i >= ids.size() || (i < unknown.size() && unknown[i]));
    }
    return table;
}

std::vector<int> ChangedPositions(const JournalSession& session) {
    std::vector<int> changed;
    const JournalTable& before = session.before;
    const JournalTable& intended = session.intended;
    for (size_t i = 0; i < intended.ids.size() && i < intended.unknown.size(); ++i) {
        const bool knownBefore =
            i < before.ids.size() && i < before.unknown.size() && !before.unknown[i];
        if (!intended.unknown[i] && (!knownBefore || !SameId(before.ids[i], intended.ids[i])))
            changed.push_back(static_cast<int>(i) + 1);
    }
    return changed;
}

CJournal::CJournal(std::string path) : path_(std::move(path)) {}

std::string CJournal::DefaultJournalPath() {
    const std::string folder = journalfile::DefaultFolder();
    return folder.empty() ? "" : journalfile::Join(folder, JournalFileName);
}

bool CJournal::Begin(JournalSession& session) {
    std::random_device random;
    char id[20];
    std::snprintf(id, sizeof id, "%08x%08x", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()));
    session.id = id;
    session.time = journalfile::UtcNow();
    session.endTime.clear();
    session.verdict = jvUnfinished;
    begun_.clear();
    if (!Append(Line({{"event", "begin"},
                      {"session", session.id},
                      {"time", session.time},
                      {"frontEnd", session.frontEnd},
                      {"bridge", session.bridge},
                      {"bridgeDescription", session.description},
                      {"before", TableJson(session.before)},
                      {"intended", TableJson(session.intended)}})))
        return false;
    begun_ = session.id;
    return true;
}

bool CJournal::End(JournalSession& session) {
    session.endTime = journalfile::UtcNow();
    // A session whose "begin" line is not on the disk gets no "end" line: alone, it would
    // be a broken line. The trouble was kept when the "begin" line failed.
    if (session.id.empty() || session.id != begun_)
        return false;
    begun_.clear();
    if (!Append(Line({{"event", "end"},
                      {"session", session.id},
                      {"time", session.endTime},
                      {"verdict", VerdictText(session.verdict)},
                      {"verified", TableJson(session.verified)}})))
        return false;
    Shorten();
    return true;
}

std::string CJournal::Warning() {
    if (warned_ || warning_.empty())
        return "";
    warned_ = true;
    return warning_;
}

bool CJournal::Append(const std::string& line) {
    std::string why = "no folder for it is known (HOME or LOCALAPPDATA is not set)";
    if (!path_.empty() && journalfile::AppendDurably(path_, line, why))
        return true;
    Trouble(why);
    return false;
}

void CJournal::Shorten() {
    std::string text;
    bool cut = false;
    std::string why;
    if (!ReadText(path_, text, cut, why)) {
        Trouble(why + "; its oldest sessions are kept");
        return;
    }
    // Every session takes a line at least: a journal of fewer lines needs no parse.
    if (!cut && std::count(text.begin(), text.end(), '\n') <= JournalSessionLimit)
        return;
    const size_t kept = KeptPart(text, JournalSessionLimit);
    if ((kept > 0 || cut) && !journalfile::ReplaceDurably(path_, text.substr(kept), why))
        Trouble(why + "; its oldest sessions are kept");
}

void CJournal::Trouble(const std::string& what) {
    if (warning_.empty())
        warning_ = "the write journal is not kept: " + what;
}

JournalContents ParseJournal(const std::string& text) {
    JournalContents contents;
    std::vector<JournalSession> inOrder;
    std::map<std::string, size_t> open; // an unfinished session's id -> its place
    JournalSession line;
    EachLine(text, [&](const std::string& content, size_t) {
        switch (ReadLine(content, line)) {
        case lkBegin:
            open[line.id] = inOrder.size();
            inOrder.push_back(line);
            break;
        case lkEnd: {
            const auto found = open.find(line.id);
            if (found == open.end()) {
                ++contents.brokenLines;
                break;
            }
            JournalSession& session = inOrder[found->second];
            session.endTime = line.endTime;
            session.verdict = line.verdict;
            session.verified = line.verified;
            open.erase(found);
            break;
        }
        default:
            contents.brokenLines += content.find_first_not_of(" \t\r") != std::string::npos;
        }
    });
    contents.sessions.assign(inOrder.rbegin(), inOrder.rend());
    return contents;
}

bool ReadJournal(const std::string& path, JournalContents& contents, std::string& why) {
    std::string text;
    bool cut = false;
    if (!ReadText(path, text, cut, why)) {
        contents = JournalContents();
        return false;
    }
    contents = ParseJournal(text);
    return true;
}

std::string BrokenLinesNotice(int brokenLines) {
    if (brokenLines <= 0)
        return "";
    return std::string(JournalFileName) + ": " + std::to_string(brokenLines) + " broken line" +
           (brokenLines == 1 ? "" : "s") + " skipped";
}

const JournalSession* LastSession(const JournalContents& contents, const std::string& bridge) {
    for (const JournalSession& session : contents.sessions) {
        if (session.bridge == bridge)
            return &session;
    }
    return nullptr;
}
