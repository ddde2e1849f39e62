#include "Btdevice.h"

#include <cctype>

const std::string EmptyId = "000000000000";

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
