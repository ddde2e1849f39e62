// What tarvelo-cli prints as its results: lines, or one JSON document.
#pragma once

#include "program/btdevice/Btdevice.h"

#include <string>
#include <vector>

// True for a record the window lists: its name begins with "ZOMRA".
bool IsListedSlave(const SLAVE& slave);

// One line "ID<TAB>NAME<TAB>DETAIL" per slave.
std::string SlaveLines(const std::vector<SLAVE>& slaves);
// {"completed":...,"slaves":[{"id":...,"name":...,"detail":...},...]}
std::string SlaveJson(const std::vector<SLAVE>& slaves, bool completed);

// One line "01 00A0C9112233" per position, 14 lines.
std::string TableLines(const std::vector<std::string>& table);
// {"completed":...,"positions":[{"position":"01","id":"..."},...]}
std::string TableJson(const std::vector<std::string>& table, bool complete);

// `text` as a JSON string, quotes included. The module's texts are 8-bit: a byte outside
// printable ASCII is written as \u00XX (read as Latin-1), so the document is always valid
// UTF-8 JSON whatever the master sends.
std::string JsonString(const std::string& text);
