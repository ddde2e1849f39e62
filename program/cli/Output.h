// What tarvelo-cli prints as its results: lines, or one JSON document.
#pragma once

#include "program/btdevice/Btdevice.h"
#include "program/btdevice/Journal.h"
#include "program/link/Axodll.h"

#include <string>
#include <vector>

// One line "ID<TAB>NAME<TAB>DETAIL" per slave. A tab, CR, LF or backslash inside a field is
// written as \t, \r, \n or \\, so every slave stays one line of three fields.
std::string SlaveLines(const std::vector<SLAVE>& slaves);
// {"completed":...,"slaves":[{"id":...,"name":...,"detail":...},...]}
std::string SlaveJson(const std::vector<SLAVE>& slaves, bool completed);

// One line "01 00A0C9112233" per position, 14 lines; a position flagged in `unread` (its ID
// could not be read) is "03 not read", which no script takes for an ID.
std::string TableLines(const std::vector<std::string>& table, const std::vector<bool>& unread);
// {"completed":...,"positions":[{"position":"01","id":"..."},...]}; an unread position's id
// is null.
std::string TableJson(const std::vector<std::string>& table, const std::vector<bool>& unread,
                      bool complete);

// One line "INDEX<TAB>SERIAL<TAB>DESCRIPTION" per bridge, the fields escaped as a slave's.
std::string BridgeLines(const std::vector<BRIDGE>& bridges);
// {"bridges":[{"index":0,"serial":"...","description":"..."},...]}
std::string BridgeJson(const std::vector<BRIDGE>& bridges);

// Per journalled session a line "TIME<TAB>BRIDGE<TAB>FRONT END<TAB>VERDICT" (the fields
// escaped as a slave's), then per changed position a line "  03 000000000000 ->
// 00A0C9445566", with "not read" for an entry unknown before the write.
std::string HistoryLines(const std::vector<JournalSession>& sessions);
// {"brokenLines":0,"sessions":[{"session":...,"time":...,"endTime":...,"frontEnd":...,
// "bridge":...,"bridgeDescription":...,"verdict":...,"changes":[{"position":"03",
// "before":...,"after":...}],"before":[...],"intended":[...],"verified":[...]}]}; unknown
// entries, and the end time and verified table of a session that never finished, are null.
std::string HistoryJson(const std::vector<JournalSession>& sessions, int brokenLines);

// `text` as a JSON string, quotes included. The module's texts are 8-bit: a byte outside
// printable ASCII is written as \u00XX (read as Latin-1), so the document is always valid
// UTF-8 JSON whatever the master sends.
std::string JsonString(const std::string& text);
