#include "Rules.h"

#include "Btdevice.h"

#include <cctype>
#include <cstdio>

const std::string EmptyId = "000000000000";
const char* const UnreadText = "not read";
const char* const AlreadyRunningText = "Another KESTRAVION family software is already running.";
const char* const NotPreparedText =
    "KESTRAVION is not prepared. \nPlease check USB connection and power.";

namespace {

// Length of a complete ID: three groups of four digits.
const size_t IdLength = 12;

} // namespace

bool IsWellFormedId(const std::string& id) {
    if (id.size() != IdLength)
        return false;
    for (const char c : id) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

bool IsFreeId(const std::string& id) {
    return id.empty() || id == EmptyId;
}

bool SameId(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string RegisteredForm(const std::string& id) {
    std::string form = id;
    for (char& c : form)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return form;
}

std::string PositionLabel(int position) {
    char label[8];
    std::snprintf(label, sizeof label, "%02X", static_cast<unsigned>(position) & 0xFFu);
    return label;
}

std::string PositionLabels(const std::vector<int>& positions) {
    std::string text;
    for (const int position : positions)
        text += (text.empty() ? "" : ", ") + PositionLabel(position);
    return text;
}

std::vector<SLAVE> ListedSlaves(const std::vector<SLAVE>& found) {
    const std::string prefix = "ZOMRA";
    std::vector<SLAVE> listed;
    for (const SLAVE& slave : found) {
        if (slave.name.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool known = false;
        for (const SLAVE& earlier : listed)
            known = known || SameId(earlier.id, slave.id);
        if (!known)
            listed.push_back(slave);
    }
    return listed;
}

RegistrationVerdict CheckRegistration(const std::vector<std::string>& table, int position,
                                      const std::string& id) {
    if (position < 1 || position > PositionCount)
        return rvBadPosition;
    if (id == EmptyId)
        return rvAccepted;
    if (!IsWellFormedId(id))
        return rvMalformedId;
    for (int other = 1; other <= PositionCount && other <= static_cast<int>(table.size());
         ++other) {
        if (other != position && SameId(table[static_cast<size_t>(other - 1)], id))
            return rvHeldElsewhere;
    }
    return rvAccepted;
}
